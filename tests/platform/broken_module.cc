// Playback modules a user may be left with: one from another build (the entry
// point is there, the version is not ours) and a library that is no module at all.
// Each is built under the module's file name in a folder of its own.

#include "playback/playback_module.h"

#ifdef CHWR_STALE_MODULE
namespace {
constexpr chwr::PlaybackModule kStale{chwr::kPlaybackModuleVersion + 1, nullptr, nullptr};
}  // namespace

extern "C" [[gnu::visibility("default")]] const chwr::PlaybackModule* chwr_playback_module() {
  return &kStale;
}
#else
extern "C" [[gnu::visibility("default")]] int chwr_not_a_playback_module() {
  return 0;
}
#endif
