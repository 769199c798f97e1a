#include "playback/fluidsynth_player.h"

#include <alsa/asoundlib.h>
#include <fluidsynth.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstring>
#include <utility>

#include "io/file_io.h"
#include "platform_messages.h"
#include "playback/playback_module.h"

namespace chwr {
namespace {

constexpr double kSampleRate = 44100.0;

void SilentAlsa(const char*, int, const char*, int, const char*, ...) {}

// FluidSynth and ALSA speak to standard error on their own; our callers show their
// own messages instead.
void QuietLogs() {
  static const bool done = [] {
    for (int level = FLUID_PANIC; level <= FLUID_DBG; ++level) {
      fluid_set_log_function(level, nullptr, nullptr);
    }
    snd_lib_error_set_handler(SilentAlsa);
    return true;
  }();
  (void)done;
}

// Tried in this order: PulseAudio (and PipeWire's PulseAudio service) on desktops,
// plain ALSA, then SDL. Left to itself FluidSynth may try JACK first, which can
// start a server of its own.
fluid_audio_driver_t* OpenAudio(fluid_settings_t* settings, fluid_synth_t* synth) {
  for (const char* driver : {"pulseaudio", "alsa", "sdl2"}) {
    if (fluid_settings_setstr(settings, "audio.driver", driver) != FLUID_OK) continue;
    if (fluid_audio_driver_t* d = new_fluid_audio_driver(settings, synth)) return d;
  }
  return nullptr;
}

fluid_settings_t* NewSettings() {
  fluid_settings_t* s = new_fluid_settings();
  // The player follows the samples the synth renders, so it keeps time with any
  // output, including none at all.
  fluid_settings_setstr(s, "player.timing-source", "sample");
  fluid_settings_setnum(s, "synth.sample-rate", kSampleRate);
  fluid_settings_setint(s, "synth.lock-memory", 0);
  // FluidSynth's default gain of 0.2 leaves four-part ring melodies very quiet.
  fluid_settings_setnum(s, "synth.gain", 0.5);
  return s;
}

// A file of our own in the temporary folder, removed when done with.
class RenderFile {
 public:
  static Result<RenderFile> Make() {
    std::string name = (std::filesystem::temp_directory_path() / "chwr-render-XXXXXX").string();
    const int fd = ::mkstemp(name.data());
    if (fd < 0) return FileFailure(msg::kFileWriteFailed, name, errno);
    ::close(fd);
    return RenderFile(name);
  }
  RenderFile(RenderFile&& other) noexcept : path_(std::exchange(other.path_, {})) {}
  RenderFile& operator=(RenderFile&&) = delete;
  ~RenderFile() {
    std::error_code ec;
    if (!path_.empty()) std::filesystem::remove(path_, ec);
  }
  const std::filesystem::path& path() const { return path_; }

 private:
  explicit RenderFile(std::filesystem::path path) : path_(std::move(path)) {}
  std::filesystem::path path_;
};

}  // namespace

Result<std::unique_ptr<FluidSynthPlayer>> FluidSynthPlayer::Create(const PlaybackOptions& options) {
  QuietLogs();
  std::unique_ptr<FluidSynthPlayer> p(new FluidSynthPlayer);
  p->settings_ = NewSettings();
  p->synth_ = new_fluid_synth(p->settings_);
  if (!p->synth_) return Fail(msg::kSynthUnavailable, DiagnosticCode::kPlayback);
  if (fluid_synth_sfload(p->synth_, options.soundFont.c_str(), 1) == FLUID_FAILED) {
    return Fail(msg::SoundFontNotLoaded(options.soundFont), DiagnosticCode::kPlayback);
  }
  switch (options.output) {
    case AudioOutput::kSystem:
      p->driver_ = OpenAudio(p->settings_, p->synth_);
      if (!p->driver_) {
        return Fail(msg::kNoAudioOutput, DiagnosticCode::kPlayback);
      }
      break;
    case AudioOutput::kNone:
      p->renderer_ = std::thread([raw = p.get()] { raw->RenderLoop(); });
      break;
    case AudioOutput::kManual:
      p->manual_ = true;
      break;
  }
  return p;
}

FluidSynthPlayer::~FluidSynthPlayer() {
  stopRenderer_ = true;
  if (renderer_.joinable()) renderer_.join();
  if (driver_) delete_fluid_audio_driver(driver_);
  if (player_) delete_fluid_player(player_);
  if (synth_) delete_fluid_synth(synth_);
  if (settings_) delete_fluid_settings(settings_);
}

// Without a sound card the synth is still rendered, at the pace a sound card would
// take its samples, so the player keeps real time.
void FluidSynthPlayer::RenderLoop() {
  constexpr int kFrames = 256;
  constexpr std::uint64_t kLead = 2048;
  float left[kFrames], right[kFrames];
  const auto start = std::chrono::steady_clock::now();
  std::uint64_t rendered = 0;
  while (!stopRenderer_) {
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const auto due = static_cast<std::uint64_t>(seconds * kSampleRate) + kLead;
    if (rendered >= due) {
      std::this_thread::sleep_for(std::chrono::milliseconds(2));
      continue;
    }
    {
      std::lock_guard lock(mutex_);
      fluid_synth_write_float(synth_, kFrames, left, 0, 1, right, 0, 1);
      TrySeek();
    }
    rendered += kFrames;
  }
}

// The synth's blocks are 64 frames; rendering block by block lets the player, its
// tick callback and a waiting seek act at every block, as they would with a driver.
void FluidSynthPlayer::Render(std::int64_t ms) {
  if (!manual_ || ms <= 0) return;
  constexpr int kFrames = 64;
  float left[kFrames], right[kFrames];
  std::lock_guard lock(mutex_);
  for (auto frames = static_cast<std::int64_t>(std::llround(ms * kSampleRate / 1000.0)); frames > 0;
       frames -= kFrames) {
    const int n = static_cast<int>(std::min<std::int64_t>(frames, kFrames));
    fluid_synth_write_float(synth_, n, left, 0, 1, right, 0, 1);
    TrySeek();
  }
}

Result<void> FluidSynthPlayer::Open(const std::filesystem::path& path) {
  auto bytes = ReadFileBytes(path);
  if (!bytes) return std::unexpected(bytes.error());
  return OpenBytes(std::move(*bytes));
}

Result<void> FluidSynthPlayer::OpenBytes(std::vector<std::uint8_t> bytes) {
  auto timing = ReadSmfTiming(bytes);
  if (!timing) return std::unexpected(timing.error());
  std::lock_guard lock(mutex_);
  if (player_) {
    tickPlayer_ = nullptr;
    delete_fluid_player(player_);
    player_ = nullptr;
  }
  fluid_synth_all_notes_off(synth_, -1);
  file_ = std::move(bytes);
  timing_ = *timing;
  open_ = true;
  paused_ = false;
  loop_ = false;
  range_.reset();
  pendingSeek_.reset();
  return {};
}

void FluidSynthPlayer::StartPlayer(bool loop, std::optional<LoopRange> range) {
  std::lock_guard lock(mutex_);
  if (!open_) return;
  if (!player_) {
    player_ = new_fluid_player(synth_);
    if (!player_ || fluid_player_add_mem(player_, file_.data(), file_.size()) != FLUID_OK) {
      if (player_) delete_fluid_player(player_);
      player_ = nullptr;
      return;
    }
    fluid_player_set_tick_callback(player_, &FluidSynthPlayer::OnTick, this);
    fluid_player_set_playback_callback(player_, &FluidSynthPlayer::OnEvent, this);
    tickPlayer_ = player_;
  }
  // Rounded down, as the ticks of a note at the loop start may lie a fraction of a
  // millisecond after the position named.
  const auto tickAt = [&](std::int64_t ms) {
    return timing_.MsToTicks(static_cast<double>(std::max<std::int64_t>(ms, 0)));
  };
  endTick_ = range ? tickAt(range->endMs) : timing_.totalTicks;
  loopTick_ = range ? tickAt(range->startMs) : 0;
  looping_ = loop;
  fluid_player_set_loop(player_, loop ? -1 : 1);
  // A position chosen while stopped or paused goes in before playing starts: once
  // playing, the player first takes a seek of its own, and ours would wait for the
  // next call, playing on from the old place meanwhile.
  if (pendingSeek_ && fluid_player_get_status(player_) != FLUID_PLAYER_PLAYING &&
      fluid_player_seek(player_, static_cast<int>(*pendingSeek_)) == FLUID_OK) {
    pendingSeek_.reset();
  }
  fluid_player_play(player_);
  paused_ = false;
  loop_ = loop;
  range_ = range;
  TrySeek();
}

// While playing, a seek is taken only once the player has taken any seek before it;
// until then the wish waits and is tried again at every call. While stopped or
// paused it waits for StartPlayer, so that the position stays where it was asked.
void FluidSynthPlayer::TrySeek() {
  if (!pendingSeek_ || !player_ || fluid_player_get_status(player_) != FLUID_PLAYER_PLAYING) return;
  if (fluid_player_seek(player_, static_cast<int>(*pendingSeek_)) == FLUID_OK) pendingSeek_.reset();
}

// FluidSynth's player lingers for seconds after the last event before it calls the
// file done, and again before each repeat. The file ends at its last event (or a loop
// at its end): there the player stops, or goes back at once when looping. Runs on the
// synth's thread.
int FluidSynthPlayer::OnTick(void* data, int tick) {
  auto* self = static_cast<FluidSynthPlayer*>(data);
  if (tick < 0 || static_cast<std::uint32_t>(tick) < self->endTick_.load()) return FLUID_OK;
  fluid_player_t* player = self->tickPlayer_.load();
  if (!player) return FLUID_OK;
  if (self->looping_.load()) {
    fluid_synth_all_notes_off(self->synth_, -1);
    fluid_player_seek(player, static_cast<int>(self->loopTick_.load()));
  } else {
    fluid_player_stop(player);
    fluid_synth_all_notes_off(self->synth_, -1);
  }
  return FLUID_OK;
}

// Every event of the file passes here on its way to the synth: a muted channel's notes
// are held back, everything else (programs, volumes, note-offs) goes through, so the
// channel is ready when it sounds again. Runs on the synth's thread.
int FluidSynthPlayer::OnEvent(void* data, fluid_midi_event_t* event) {
  auto* self = static_cast<FluidSynthPlayer*>(data);
  const int channel = fluid_midi_event_get_channel(event);
  const bool noteOn =
      fluid_midi_event_get_type(event) == 0x90 && fluid_midi_event_get_velocity(event) > 0;
  // Past a loop's end the player sends what lies up to the tick it reached before it
  // takes the seek back: notes struck there would sound for a moment at the jump.
  if (noteOn && self->looping_.load()) {
    fluid_player_t* player = self->tickPlayer_.load();
    const int tick = player ? fluid_player_get_current_tick(player) : -1;
    if (tick >= 0 && static_cast<std::uint32_t>(tick) >= self->endTick_.load()) return FLUID_OK;
  }
  if (noteOn && channel >= 0 && channel < 16 && self->muted_[channel].load()) return FLUID_OK;
  return fluid_synth_handle_midi_event(self->synth_, event);
}

void FluidSynthPlayer::SetChannelMute(int channel, bool muted) {
  if (channel < 0 || channel >= 16) return;
  muted_[channel] = muted;
  if (muted) fluid_synth_all_notes_off(synth_, channel);
}

void FluidSynthPlayer::Play() {
  StartPlayer(false);
}

void FluidSynthPlayer::PlayLoop() {
  StartPlayer(true);
}

void FluidSynthPlayer::PlayLoopRange(std::int64_t startMs, std::int64_t endMs) {
  StartPlayer(true, LoopRange{startMs, endMs});
}

void FluidSynthPlayer::Stop() {
  std::lock_guard lock(mutex_);
  looping_ = false;
  if (player_) fluid_player_stop(player_);
  fluid_synth_all_notes_off(synth_, -1);
  paused_ = false;
  loop_ = false;
  range_.reset();
}

void FluidSynthPlayer::Pause() {
  std::lock_guard lock(mutex_);
  if (!player_ || fluid_player_get_status(player_) != FLUID_PLAYER_PLAYING) return;
  fluid_player_stop(player_);
  fluid_synth_all_notes_off(synth_, -1);
  paused_ = true;
}

void FluidSynthPlayer::Resume() {
  StartPlayer(loop_, range_);
}

std::int64_t FluidSynthPlayer::Position() {
  std::lock_guard lock(mutex_);
  TrySeek();
  if (pendingSeek_) return std::llround(timing_.TicksToMs(*pendingSeek_));
  if (!player_) return 0;
  // The player may run a little past the last event; the position never does.
  const auto tick = static_cast<std::uint32_t>(std::max(fluid_player_get_current_tick(player_), 0));
  return std::llround(timing_.TicksToMs(std::min(tick, timing_.totalTicks)));
}

void FluidSynthPlayer::SetPosition(std::int64_t ms) {
  std::lock_guard lock(mutex_);
  if (!open_) return;
  pendingSeek_ = timing_.MsToTicks(static_cast<double>(std::max<std::int64_t>(ms, 0)));
  TrySeek();
}

std::int64_t FluidSynthPlayer::Length() {
  std::lock_guard lock(mutex_);
  return open_ ? std::llround(timing_.LengthMs()) : 0;
}

PlayerMode FluidSynthPlayer::Mode() {
  std::lock_guard lock(mutex_);
  TrySeek();
  if (paused_) return PlayerMode::kPaused;
  if (player_ && fluid_player_get_status(player_) == FLUID_PLAYER_PLAYING)
    return PlayerMode::kPlaying;
  return PlayerMode::kStopped;
}

int FluidSynthPlayer::VoicesOn(int channel) {
  std::vector<fluid_voice_t*> voices(static_cast<std::size_t>(fluid_synth_get_polyphony(synth_)));
  fluid_synth_get_voicelist(synth_, voices.data(), static_cast<int>(voices.size()), -1);
  int count = 0;
  for (fluid_voice_t* v : voices) {
    if (v && fluid_voice_is_on(v) && fluid_voice_get_channel(v) == channel) ++count;
  }
  return count;
}

int FluidSynthPlayer::ProgramOf(int channel) {
  int font = 0, bank = 0, preset = 0;
  fluid_synth_get_program(synth_, channel, &font, &bank, &preset);
  return preset;
}

Result<std::vector<std::uint8_t>> FluidSynthRenderWav(std::span<const std::uint8_t> midi,
                                                      const std::filesystem::path& soundFont,
                                                      const std::function<void(double)>& progress) {
  QuietLogs();
  auto timing = ReadSmfTiming(midi);
  if (!timing) return std::unexpected(timing.error());
  // FluidSynth's renderer writes only to a file it opens by name; the image is read
  // back from there.
  auto file = RenderFile::Make();
  if (!file) return std::unexpected(file.error());

  constexpr int kFrames = 4096;
  fluid_settings_t* settings = NewSettings();
  // Rendering has the machine to itself: let the synth use every core.
  fluid_settings_setint(settings, "synth.cpu-cores",
                        static_cast<int>(std::max(1u, std::thread::hardware_concurrency())));
  fluid_settings_setstr(settings, "audio.file.name", file->path().c_str());
  fluid_settings_setstr(settings, "audio.file.type", "wav");
  fluid_settings_setstr(settings, "audio.file.format", "s16");
  fluid_settings_setint(settings, "audio.period-size", kFrames);
  fluid_synth_t* synth = new_fluid_synth(settings);
  fluid_player_t* player = nullptr;
  fluid_file_renderer_t* renderer = nullptr;
  auto cleanup = [&] {
    // The renderer closes its file, sizes written into the header, when it goes.
    if (renderer) delete_fluid_file_renderer(renderer);
    if (player) delete_fluid_player(player);
    if (synth) delete_fluid_synth(synth);
    delete_fluid_settings(settings);
  };
  if (!synth || fluid_synth_sfload(synth, soundFont.c_str(), 1) == FLUID_FAILED) {
    cleanup();
    return Fail(msg::SoundFontNotLoaded(soundFont), DiagnosticCode::kPlayback);
  }
  player = new_fluid_player(synth);
  if (!player || fluid_player_add_mem(player, midi.data(), midi.size()) != FLUID_OK) {
    cleanup();
    return Fail(msg::kMidiNotLoaded, DiagnosticCode::kPlayback);
  }
  renderer = new_fluid_file_renderer(synth);
  if (!renderer) {
    const int error = errno != 0 ? errno : EIO;
    cleanup();
    return FileFailure(msg::kFileWriteFailed, file->path(), error);
  }
  fluid_player_set_loop(player, 1);
  fluid_player_play(player);

  const double lengthMs = timing->LengthMs();
  // A file that never ends (it should not happen) is cut well after its last event.
  const auto limit = static_cast<std::size_t>((lengthMs / 1000.0 + 30.0) * kSampleRate);
  // The player lingers a while after the last event; the file's own length decides.
  const auto end = static_cast<std::size_t>(lengthMs / 1000.0 * kSampleRate);
  std::size_t frames = 0;
  // A full disk shows as a block that could not be written.
  bool written = true;
  while (written && fluid_player_get_status(player) == FLUID_PLAYER_PLAYING && frames < end &&
         frames < limit) {
    written = fluid_file_renderer_process_block(renderer) == FLUID_OK;
    frames += kFrames;
    if (progress && lengthMs > 0) {
      const double ms = frames / kSampleRate * 1000.0;
      progress(std::min(1.0, ms / lengthMs));
    }
  }
  // One second more for the last notes to fade.
  for (int i = 0; written && i < static_cast<int>(kSampleRate) / kFrames + 1; ++i) {
    written = fluid_file_renderer_process_block(renderer) == FLUID_OK;
  }
  cleanup();
  if (!written) return FileFailure(msg::kFileWriteFailed, file->path(), EIO);
  if (progress) progress(1.0);
  return ReadFileBytes(file->path());
}

namespace {

Result<std::unique_ptr<MidiPlayer>> CreateForModule(const PlaybackOptions& options) {
  auto player = FluidSynthPlayer::Create(options);
  if (!player) return std::unexpected(player.error());
  return std::unique_ptr<MidiPlayer>(std::move(*player));
}

constexpr PlaybackModule kModule{kPlaybackModuleVersion, &CreateForModule, &FluidSynthRenderWav};

}  // namespace
}  // namespace chwr

extern "C" [[gnu::visibility("default")]] const chwr::PlaybackModule* chwr_playback_module() {
  return &chwr::kModule;
}
