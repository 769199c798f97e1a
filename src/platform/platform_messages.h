#pragma once
// User-visible texts of the platform layer, UTF-8, exactly as the user sees them: plain
// texts as constants, texts that carry a file name as small functions. They join the
// core's texts (messages.h) in chwr::msg.

#include <filesystem>
#include <string>
#include <string_view>

namespace chwr::msg {

// ---- SoundFont -----------------------------------------------------------------------------

/// No SoundFont is configured and none of the usual ones is installed.
inline constexpr const char* kNoSoundFont =
    "ｻｳﾝﾄﾞﾌｫﾝﾄが見つかりません。timgm6mb-soundfont (または fluid-soundfont-gm) を"
    "ｲﾝｽﾄｰﾙするか、設定ﾌｧｲﾙの [Midi] SoundFont に .sf2 ﾌｧｲﾙを指定して下さい。";
/// The configured SoundFont is not there.
inline std::string SoundFontNotFound(const std::filesystem::path& font) {
  return "ｻｳﾝﾄﾞﾌｫﾝﾄ(" + font.string() + ")が見つかりません。";
}
/// The configured file is no SoundFont.
inline std::string NotASoundFont(const std::filesystem::path& font) {
  return "ｻｳﾝﾄﾞﾌｫﾝﾄ(" + font.string() + ")はSoundFont(.sf2)ではありません。";
}
/// The synthesizer refused the SoundFont.
inline std::string SoundFontNotLoaded(const std::filesystem::path& font) {
  return "ｻｳﾝﾄﾞﾌｫﾝﾄ(" + font.string() + ")を読み込めません。";
}

// ---- synthesizer and sound output ----------------------------------------------------------

/// The synthesizer could not be made.
inline constexpr const char* kSynthUnavailable = "MIDI音源を準備できません。";
/// No audio output could be opened.
inline constexpr const char* kNoAudioOutput =
    "音声出力を開けません。ｻｳﾝﾄﾞ機器とその設定を確認して下さい。";
/// The synthesizer's player refused the MIDI file.
inline constexpr const char* kMidiNotLoaded = "MIDIﾌｧｲﾙを読み込めません。";

// ---- playback module -----------------------------------------------------------------------

/// The playback module is in none of the places searched; a line naming them follows.
inline std::string ModuleNotFound(std::string_view fileName) {
  return "再生ﾓｼﾞｭｰﾙ(" + std::string(fileName) + ")が見つかりません。";
}
/// Starts the line naming the places searched for the module.
inline constexpr const char* kPlacesSearched = "探した場所: ";
/// The playback module could not be loaded; a line with the reason follows.
inline std::string ModuleNotLoaded(const std::filesystem::path& file) {
  return "再生ﾓｼﾞｭｰﾙ(" + file.string() + ")を読み込めません。";
}
/// The reason when the module comes from another build.
inline constexpr const char* kModuleOfAnotherBuild =
    "別のﾋﾞﾙﾄﾞのﾓｼﾞｭｰﾙです。ﾌﾟﾛｸﾞﾗﾑと同じﾋﾞﾙﾄﾞのものを置いて下さい。";

// ---- memory-dial transfer ------------------------------------------------------------------

/// The transfer types into X11 windows, and there is no X display to type into.
inline constexpr const char* kTransferNeedsX11 =
    "N003,N004自動実行にはX11の画面が必要です。X11 (WaylandではXWayland) のｾｯｼｮﾝで"
    "実行して下さい。";
/// The data-link program did not start (or ended before it could be driven).
inline constexpr const char* kLinkStartFailed = "ﾃﾞｰﾀﾘﾝｸｿﾌﾄが起動できませんでした。";
/// Detail: a Windows program and no Wine to run it.
inline constexpr const char* kWineMissing =
    "Windows用のﾌﾟﾛｸﾞﾗﾑ(.exe)を動かすWineが見つかりません。wineをｲﾝｽﾄｰﾙして下さい。";
/// Detail: the program ended on its own with `code`.
inline std::string LinkEnded(int code) {
  return "ﾃﾞｰﾀﾘﾝｸｿﾌﾄが終了しました(終了ｺｰﾄﾞ " + std::to_string(code) + ")。";
}
/// A character that no key of the keyboard types, and no free key to give it.
inline std::string NoKeyForCharacter(std::string_view character) {
  return "文字(" + std::string(character) + ")を入力するｷｰを用意できません。";
}

}  // namespace chwr::msg
