#pragma once
// Building binary images: big-endian integers, variable-length quantities and
// "tag then length" chunks whose length is filled in once the body is known.

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <span>
#include <string_view>
#include <vector>

namespace chwr {

/// Appends to a byte vector it does not own.
class ByteWriter {
 public:
  explicit ByteWriter(std::vector<std::uint8_t>& out) : out_(out) {}

  std::vector<std::uint8_t>& bytes() { return out_; }
  std::size_t size() const { return out_.size(); }

  void U8(std::uint8_t v) { out_.push_back(v); }
  void Raw(std::initializer_list<std::uint8_t> bytes) { out_.insert(out_.end(), bytes); }
  void Raw(std::span<const std::uint8_t> bytes) {
    out_.insert(out_.end(), bytes.begin(), bytes.end());
  }
  void Tag(std::string_view tag) { out_.insert(out_.end(), tag.begin(), tag.end()); }
  void U16be(std::uint32_t v) {
    out_.push_back(static_cast<std::uint8_t>(v >> 8));
    out_.push_back(static_cast<std::uint8_t>(v));
  }
  void U32be(std::uint32_t v) {
    out_.push_back(static_cast<std::uint8_t>(v >> 24));
    out_.push_back(static_cast<std::uint8_t>(v >> 16));
    out_.push_back(static_cast<std::uint8_t>(v >> 8));
    out_.push_back(static_cast<std::uint8_t>(v));
  }
  /// The Standard MIDI variable-length quantity: 1 to 4 bytes for values below 2^28.
  void Vlq(std::uint32_t v) {
    std::uint8_t bytes[4];
    out_.insert(out_.end(), bytes, bytes + PutVlq(bytes, v));
  }
  /// The same quantity written at `out`, which has room for four bytes; returns how many
  /// it took.
  static std::size_t PutVlq(std::uint8_t* out, std::uint32_t v) {
    std::size_t n = 0;
    if (v >= 0x200000) out[n++] = static_cast<std::uint8_t>(((v >> 21) & 0x7F) | 0x80);
    if (v >= 0x4000) out[n++] = static_cast<std::uint8_t>(((v >> 14) & 0x7F) | 0x80);
    if (v >= 0x80) out[n++] = static_cast<std::uint8_t>(((v >> 7) & 0x7F) | 0x80);
    out[n++] = static_cast<std::uint8_t>(v & 0x7F);
    return n;
  }

  /// Writes `tag` and a four-byte length to be filled by EndChunk; returns where the
  /// length stands.
  std::size_t BeginChunk(std::string_view tag) {
    Tag(tag);
    const std::size_t at = out_.size();
    U32be(0);
    return at;
  }
  /// Fills the length of the chunk begun at `lengthAt` with everything written since.
  void EndChunk(std::size_t lengthAt) { PatchU32be(lengthAt, out_.size() - lengthAt - 4); }
  /// A whole chunk at once.
  void Chunk(std::string_view tag, std::span<const std::uint8_t> body) {
    Tag(tag);
    U32be(static_cast<std::uint32_t>(body.size()));
    Raw(body);
  }
  void PatchU16be(std::size_t at, std::size_t v) {
    out_[at] = static_cast<std::uint8_t>(v >> 8);
    out_[at + 1] = static_cast<std::uint8_t>(v);
  }
  void PatchU32be(std::size_t at, std::size_t v) {
    out_[at] = static_cast<std::uint8_t>(v >> 24);
    out_[at + 1] = static_cast<std::uint8_t>(v >> 16);
    out_[at + 2] = static_cast<std::uint8_t>(v >> 8);
    out_[at + 3] = static_cast<std::uint8_t>(v);
  }

 private:
  std::vector<std::uint8_t>& out_;
};

}  // namespace chwr
