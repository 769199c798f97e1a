#pragma once
// User-visible texts of the core library, UTF-8, exactly as the user sees them.

namespace chwr::msg {

inline constexpr const char* kInvalidFileFormat = "ﾌｧｲﾙﾌｫｰﾏｯﾄが無効です。";
inline constexpr const char* kFileWriteFailed = "ﾌｧｲﾙ書き込みに失敗しました。";
/// Our own text for a file that exists in name only (missing, unreadable, a folder).
inline constexpr const char* kFileReadFailed = "ﾌｧｲﾙ読み込みに失敗しました。";

}  // namespace chwr::msg
