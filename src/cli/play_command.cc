// `chwr play`: a song played with a live position line until its end or Ctrl+C.

#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <ostream>
#include <string>
#include <thread>

#include "cli/cli_messages.h"
#include "cli/commands.h"
#include "cli/exit_status.h"
#include "cli/shared.h"
#include "playback/playback.h"

namespace chwr::cli {
namespace {

std::string Clock(std::int64_t ms) {
  const std::int64_t s = std::max<std::int64_t>(ms, 0) / 1000;
  char buf[32];
  std::snprintf(buf, sizeof buf, "%02lld:%02lld", static_cast<long long>(s / 60),
                static_cast<long long>(s % 60));
  return buf;
}

std::atomic<bool> g_interrupted{false};

extern "C" void OnInterrupt(int) {
  g_interrupted = true;
}

}  // namespace

int PlayCommand(const SoundRequest& request, std::ostream& out, std::ostream& err) {
  if (request.audio != "system" && request.audio != "none") {
    return Failed(UsageError(msg::kAudioChoices), err);
  }
  auto midi = MidiToHear(request, err);
  if (!midi) return Failed(midi.error(), err);
  PlaybackOptions options;
  options.soundFont = SoundFontSetting(request);
  options.output = request.audio == "none" ? AudioOutput::kNone : AudioOutput::kSystem;
  auto player = CreatePlayer(options);
  if (!player) {
    Diagnostic d = player.error();
    // When the same player would start without a sound card, the sound card was what
    // failed: say how to play on without one.
    if (options.output == AudioOutput::kSystem) {
      PlaybackOptions silent = options;
      silent.output = AudioOutput::kNone;
      if (CreatePlayer(silent)) {
        if (!d.detail.empty()) d.detail += '\n';
        d.detail += msg::kNoSoundCardHint;
      }
    }
    return Failed(d, err);
  }
  if (auto r = (*player)->OpenBytes(std::move(*midi)); !r) {
    return Failed(r.error(), err);
  }
  g_interrupted = false;
  struct sigaction action {};
  action.sa_handler = OnInterrupt;
  struct sigaction previous {};
  sigaction(SIGINT, &action, &previous);

  const std::int64_t length = (*player)->Length();
  if (request.loop) {
    (*player)->PlayLoop();
  } else {
    (*player)->Play();
  }
  const bool terminal = ::isatty(STDOUT_FILENO) != 0;
  std::string last;
  while (!g_interrupted && (*player)->Mode() == PlayerMode::kPlaying) {
    const std::string line = Clock((*player)->Position()) + " / " + Clock(length);
    if (line != last) {
      out << (terminal ? "\r" : "") << line << (terminal ? "" : "\n") << std::flush;
      last = line;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  (*player)->Stop();
  sigaction(SIGINT, &previous, nullptr);
  if (terminal) out << '\n';
  out.flush();
  return g_interrupted ? kInterrupted : kOk;
}

}  // namespace chwr::cli
