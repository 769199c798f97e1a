#include "playback/playback.h"

#include <dlfcn.h>

#include <algorithm>
#include <fstream>
#include <string>
#include <string_view>

#include "midi/smf_timing.h"
#include "platform_messages.h"
#include "playback/playback_module.h"

namespace chwr {
namespace {

std::string Joined(const std::vector<std::filesystem::path>& paths) {
  std::string text;
  for (const auto& p : paths) text += (text.empty() ? "" : ", ") + p.string();
  return text;
}

std::unexpected<Diagnostic> CannotLoad(const std::filesystem::path& file, const std::string& why) {
  return Fail(msg::ModuleNotLoaded(file) + "\n" + why, DiagnosticCode::kPlayback);
}

bool IsInside(const std::filesystem::path& path, const std::filesystem::path& folder) {
  auto [f, p] = std::mismatch(folder.begin(), folder.end(), path.begin(), path.end());
  return f == folder.end();
}

// Loaded once and kept: the players handed out run the module's code.
Result<const PlaybackModule*> Module() {
  static const Result<const PlaybackModule*> module = LoadPlaybackModule(PlaybackModuleFolders());
  return module;
}

}  // namespace

Result<std::filesystem::path> FindSoundFont(const std::filesystem::path& configured) {
  std::error_code ec;
  if (!configured.empty()) {
    if (!std::filesystem::is_regular_file(configured, ec)) {
      return Fail(msg::SoundFontNotFound(configured), DiagnosticCode::kPlayback);
    }
    // A file of another kind would make the synthesizer's loader complain on standard
    // error and fail without a reason: say it here instead.
    char head[12] = {};
    std::ifstream(configured, std::ios::binary).read(head, sizeof head);
    if (std::string_view(head, 4) != "RIFF" || std::string_view(head + 8, 4) != "sfbk") {
      return Fail(msg::NotASoundFont(configured), DiagnosticCode::kPlayback);
    }
    return configured;
  }
  for (const char* candidate :
       {"/usr/share/sounds/sf2/FluidR3_GM.sf2", "/usr/share/sounds/sf2/TimGM6mb.sf2",
        "/usr/share/sounds/sf2/default-GM.sf2", "/usr/share/soundfonts/default.sf2",
        "/usr/share/soundfonts/FluidR3_GM.sf2"}) {
    if (std::filesystem::is_regular_file(candidate, ec)) return std::filesystem::path(candidate);
  }
  return Fail(msg::kNoSoundFont, DiagnosticCode::kPlayback);
}

std::vector<std::filesystem::path> PlaybackModuleFolders() {
  std::vector<std::filesystem::path> folders;
  std::error_code ec;
  const std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", ec);
  if (!ec) {
    folders.push_back(exe.parent_path());
    folders.push_back((exe.parent_path() / ".." / "lib" / "chimewright").lexically_normal());
  }
  // A program run from the build tree takes the module built with it, never an
  // installed one from another build.
  std::error_code canonical;
  const std::filesystem::path buildDir =
      std::filesystem::weakly_canonical(CHWR_BUILD_DIR, canonical);
  if (!ec && !canonical && IsInside(exe.lexically_normal(), buildDir)) {
    folders.push_back(CHWR_BUILD_MODULE_DIR);
  } else {
    folders.push_back(CHWR_INSTALL_MODULE_DIR);
  }
  return folders;
}

Result<const PlaybackModule*> LoadPlaybackModule(
    const std::vector<std::filesystem::path>& folders) {
  for (const auto& folder : folders) {
    const std::filesystem::path file = folder / kPlaybackModuleFile;
    std::error_code ec;
    if (!std::filesystem::exists(file, ec)) continue;
    // Every symbol now: a module whose FluidSynth is missing or too old fails here,
    // with the reason, rather than in the middle of playing.
    void* handle = ::dlopen(file.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle) return CannotLoad(file, ::dlerror());
    using Entry = const PlaybackModule* (*)();
    auto entry = reinterpret_cast<Entry>(::dlsym(handle, "chwr_playback_module"));
    if (!entry) {
      const std::string why = ::dlerror();
      ::dlclose(handle);
      return CannotLoad(file, why);
    }
    const PlaybackModule* module = entry();
    if (!module || module->version != kPlaybackModuleVersion) {
      ::dlclose(handle);
      return CannotLoad(file, msg::kModuleOfAnotherBuild);
    }
    return module;
  }
  return Fail(msg::ModuleNotFound(kPlaybackModuleFile) + "\n" + msg::kPlacesSearched +
              Joined(folders), DiagnosticCode::kPlayback);
}

Result<std::unique_ptr<MidiPlayer>> CreatePlayer(const PlaybackOptions& options) {
  auto font = FindSoundFont(options.soundFont);
  if (!font) return std::unexpected(font.error());
  auto module = Module();
  if (!module) return std::unexpected(module.error());
  PlaybackOptions found = options;
  found.soundFont = *font;
  return (*module)->createPlayer(found);
}

Result<std::vector<std::uint8_t>> RenderWav(std::span<const std::uint8_t> midi,
                                            const std::filesystem::path& soundFont,
                                            const std::function<void(double)>& progress) {
  // A bad file or a missing SoundFont is told without loading the synthesizer.
  if (auto timing = ReadSmfTiming(midi); !timing) return std::unexpected(timing.error());
  auto font = FindSoundFont(soundFont);
  if (!font) return std::unexpected(font.error());
  auto module = Module();
  if (!module) return std::unexpected(module.error());
  return (*module)->renderWav(midi, *font, progress);
}

}  // namespace chwr
