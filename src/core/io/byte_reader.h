#pragma once
// Bounds-checked reading of outside bytes: every format reader goes through here, so
// no length a file states, however false, can take a read past the end.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

namespace chwr {

/// Reads big-endian integers, variable-length quantities and chunks from a byte image,
/// either at a cursor that moves or at positions given by the caller.
class ByteReader {
 public:
  using Bytes = std::span<const std::uint8_t>;

  explicit ByteReader(Bytes bytes, std::size_t pos = 0) : b_(bytes), pos_(pos) {}

  /// The whole image.
  Bytes bytes() const { return b_; }
  std::size_t size() const { return b_.size(); }

  // ---- at a position; the cursor stays ----

  /// Whether `n` bytes from `pos` lie inside the image.
  bool Has(std::size_t pos, std::size_t n) const {
    return pos <= b_.size() && n <= b_.size() - pos;
  }
  /// The byte at `pos`; the caller has checked Has(pos, 1).
  std::uint8_t U8At(std::size_t pos) const { return b_[pos]; }
  /// Two bytes at `pos`, big-endian; the caller has checked Has(pos, 2).
  std::uint16_t U16At(std::size_t pos) const {
    return static_cast<std::uint16_t>(b_[pos] << 8 | b_[pos + 1]);
  }
  /// Four bytes at `pos`, big-endian; the caller has checked Has(pos, 4).
  std::uint32_t U32At(std::size_t pos) const {
    return std::uint32_t{b_[pos]} << 24 | std::uint32_t{b_[pos + 1]} << 16 |
           std::uint32_t{b_[pos + 2]} << 8 | b_[pos + 3];
  }
  /// Whether the bytes at `pos` spell `tag`.
  bool MatchesAt(std::size_t pos, std::string_view tag) const {
    return Has(pos, tag.size()) &&
           std::equal(tag.begin(), tag.end(), b_.begin() + static_cast<std::ptrdiff_t>(pos),
                      [](char c, std::uint8_t b) { return static_cast<std::uint8_t>(c) == b; });
  }
  /// First occurrence of `needle` starting in [from, to), the whole needle before `to`.
  std::optional<std::size_t> Find(Bytes needle, std::size_t from, std::size_t to) const {
    to = std::min(to, b_.size());
    if (from >= to) return std::nullopt;
    const auto first = b_.begin() + static_cast<std::ptrdiff_t>(from);
    const auto last = b_.begin() + static_cast<std::ptrdiff_t>(to);
    const auto hit = std::search(first, last, needle.begin(), needle.end());
    if (hit == last) return std::nullopt;
    return static_cast<std::size_t>(hit - b_.begin());
  }
  std::optional<std::size_t> Find(std::string_view tag, std::size_t from, std::size_t to) const {
    return Find(Bytes(reinterpret_cast<const std::uint8_t*>(tag.data()), tag.size()), from, to);
  }
  /// Up to `n` bytes from `pos`; `clipped` is set when the image ends sooner.
  Bytes TakeAt(std::size_t pos, std::size_t n, bool& clipped) const {
    if (pos >= b_.size()) {
      clipped = clipped || n > 0;
      return {};
    }
    const std::size_t avail = b_.size() - pos;
    if (n > avail) clipped = true;
    return b_.subspan(pos, std::min(n, avail));
  }

  // ---- at the cursor, which moves past what was read ----

  std::size_t pos() const { return pos_; }
  void Seek(std::size_t pos) { pos_ = pos; }
  /// Whether `n` more bytes lie at the cursor.
  bool Has(std::size_t n) const { return Has(pos_, n); }
  std::size_t Remaining() const { return pos_ < b_.size() ? b_.size() - pos_ : 0; }
  bool AtEnd() const { return Remaining() == 0; }

  std::optional<std::uint8_t> U8() {
    if (!Has(1)) return std::nullopt;
    return b_[pos_++];
  }
  std::optional<std::uint16_t> U16be() {
    if (!Has(2)) return std::nullopt;
    pos_ += 2;
    return U16At(pos_ - 2);
  }
  std::optional<std::uint32_t> U32be() {
    if (!Has(4)) return std::nullopt;
    pos_ += 4;
    return U32At(pos_ - 4);
  }
  /// A Standard MIDI variable-length quantity of at most four bytes (a fourth byte ends
  /// it whatever its top bit); nullopt when the image ends inside it.
  std::optional<std::uint32_t> Vlq() {
    std::uint32_t v = 0;
    for (int i = 0; i < 4; ++i) {
      if (!Has(1)) return std::nullopt;
      const std::uint8_t byte = b_[pos_++];
      v = (v << 7) | (byte & 0x7F);
      if (!(byte & 0x80)) break;
    }
    return v;
  }
  /// The next `n` bytes; nullopt (cursor unmoved) when fewer are left.
  std::optional<Bytes> Take(std::size_t n) {
    if (!Has(n)) return std::nullopt;
    pos_ += n;
    return b_.subspan(pos_ - n, n);
  }
  /// Moves past `n` bytes; false (cursor unmoved) when fewer are left.
  bool Skip(std::size_t n) {
    if (!Has(n)) return false;
    pos_ += n;
    return true;
  }

  /// A "tag then four-byte length" chunk.
  struct Chunk {
    std::size_t offset = 0;    ///< where its tag starts
    std::string_view tag;      ///< four characters, pointing into the image
    std::uint32_t length = 0;  ///< the length the chunk states
    Bytes body;                ///< its data, clipped to what the image holds
    bool clipped = false;      ///< the image ends before the stated length
  };
  /// Reads a chunk at the cursor and moves past it (to the end when clipped);
  /// nullopt when not even its eight-byte head is left.
  std::optional<Chunk> NextChunk() {
    if (!Has(8)) return std::nullopt;
    Chunk c;
    c.offset = pos_;
    c.tag = std::string_view(reinterpret_cast<const char*>(b_.data() + pos_), 4);
    c.length = U32At(pos_ + 4);
    c.body = TakeAt(pos_ + 8, c.length, c.clipped);
    pos_ += 8 + c.body.size();
    return c;
  }

 private:
  Bytes b_;
  std::size_t pos_ = 0;
};

}  // namespace chwr
