#pragma once
// A MIDI player for tests of what drives one: it plays only as far as the test turns
// its clock, and records every call it gets. Whatever a real player does with sound
// has the player's own tests.

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "playback/midi_player.h"

namespace chwr::testing {

/// A player whose position and mode move only when the test says so.
class FakePlayer final : public MidiPlayer {
 public:
  /// The length every opened file has: the fake reads no MIDI.
  std::int64_t lengthOnOpen = 12000;
  /// When set, Open fails with it.
  std::optional<Diagnostic> openFailure;
  /// Every call in order: "Open <bytes>", "Play", "PlayLoop", "PlayLoopRange <from> <to>",
  /// "Stop", "Pause",
  /// "Resume", "SetPosition <ms>", "Mute <channel> on|off".
  std::vector<std::string> calls;
  /// The bytes of the file last opened.
  std::vector<std::uint8_t> openedBytes;

  /// Lets `ms` pass: a playing file goes on, and stops at its end unless it loops.
  void Advance(std::int64_t ms) {
    if (mode_ != PlayerMode::kPlaying) return;
    position_ += ms;
    if (range_ && position_ >= range_->second) {
      const auto [from, to] = *range_;
      position_ = to > from ? from + (position_ - to) % (to - from) : from;
      return;
    }
    if (position_ < length_) return;
    if (looping_ && length_ > 0) {
      position_ %= length_;
    } else {
      position_ = length_;
      mode_ = PlayerMode::kStopped;
    }
  }
  /// Plays to the end, as a file that ends by itself.
  void Finish() {
    position_ = length_;
    mode_ = PlayerMode::kStopped;
  }

  Result<void> Open(const std::filesystem::path& path) override {
    std::ifstream in(path, std::ios::binary);
    openedBytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    calls.push_back("Open " + std::to_string(openedBytes.size()));
    mode_ = PlayerMode::kStopped;
    position_ = 0;
    if (openFailure) {
      length_ = 0;
      return std::unexpected(*openFailure);
    }
    length_ = lengthOnOpen;
    return {};
  }
  void Play() override { Start("Play", false); }
  void PlayLoop() override { Start("PlayLoop", true); }
  void PlayLoopRange(std::int64_t startMs, std::int64_t endMs) override {
    Start(("PlayLoopRange " + std::to_string(startMs) + " " + std::to_string(endMs)).c_str(), true);
    range_ = std::pair{startMs, std::min(endMs, length_)};
    if (mode_ == PlayerMode::kPlaying && position_ >= range_->second) position_ = startMs;
  }
  void Stop() override {
    calls.push_back("Stop");
    mode_ = PlayerMode::kStopped;
  }
  void Pause() override {
    calls.push_back("Pause");
    if (mode_ == PlayerMode::kPlaying) mode_ = PlayerMode::kPaused;
  }
  void Resume() override {
    calls.push_back("Resume");
    if (mode_ == PlayerMode::kPaused) mode_ = PlayerMode::kPlaying;
  }
  std::int64_t Position() override { return position_; }
  void SetPosition(std::int64_t ms) override {
    calls.push_back("SetPosition " + std::to_string(ms));
    position_ = std::clamp<std::int64_t>(ms, 0, length_);
  }
  std::int64_t Length() override { return length_; }
  PlayerMode Mode() override { return mode_; }
  void SetChannelMute(int channel, bool muted) override {
    calls.push_back("Mute " + std::to_string(channel) + (muted ? " on" : " off"));
  }

 private:
  void Start(const char* call, bool loop) {
    calls.push_back(call);
    if (length_ == 0) return;
    if (position_ >= length_) position_ = 0;
    looping_ = loop;
    range_.reset();
    mode_ = PlayerMode::kPlaying;
  }

  PlayerMode mode_ = PlayerMode::kStopped;
  std::int64_t position_ = 0;
  std::int64_t length_ = 0;
  bool looping_ = false;
  std::optional<std::pair<std::int64_t, std::int64_t>> range_;  // PlayLoopRange's
};

}  // namespace chwr::testing
