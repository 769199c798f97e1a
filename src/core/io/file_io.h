#pragma once
// Whole-file reads and atomic whole-file writes.

#include <cstdint>
#include <filesystem>
#include <span>
#include <vector>

#include "diagnostic.h"

namespace chwr {

/// Reads a whole file; fails with "ﾌｧｲﾙ読み込みに失敗しました。" when it cannot.
Result<std::vector<std::uint8_t>> ReadFileBytes(const std::filesystem::path& path);

/// Writes `bytes` to a temporary file beside `path`, then renames it over `path`,
/// so a failed write leaves any previous file untouched. Fails with
/// "ﾌｧｲﾙ書き込みに失敗しました。".
Result<void> WriteFileAtomic(const std::filesystem::path& path, std::span<const std::uint8_t> bytes);

/// The failure `message` with the detail every file failure carries: `path`, a line break,
/// and the system's reason for `error` (an errno value) in the program's words.
std::unexpected<Diagnostic> FileFailure(const char* message, const std::filesystem::path& path,
                                        int error);

}  // namespace chwr
