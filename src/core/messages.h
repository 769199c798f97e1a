#pragma once
// User-visible texts of the core library, UTF-8, exactly as the user sees them.

#include <string>
#include <string_view>

namespace chwr::msg {

inline constexpr const char* kInvalidFileFormat = "ﾌｧｲﾙﾌｫｰﾏｯﾄが無効です。";
inline constexpr const char* kFileWriteFailed = "ﾌｧｲﾙ書き込みに失敗しました。";
/// Our own text for a file that exists in name only (missing, unreadable, a folder).
inline constexpr const char* kFileReadFailed = "ﾌｧｲﾙ読み込みに失敗しました。";

/// A build warning: the tempo typed is outside 1..255 and the MLD file gets its low 8 bits.
inline std::string TempoOutOfRange(std::string_view typed, int written) {
  return "ﾃﾝﾎﾟ " + std::string(typed) + " は MLD では " + std::to_string(written) +
         " になります。1～255で指定して下さい。";
}

}  // namespace chwr::msg
