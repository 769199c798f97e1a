#pragma once
// The Windows private-profile text format ("[Section]" lines, then "key=value" lines), read by
// the rules GetPrivateProfileString applies, so a file written on either system reads the same.
//
// The file is held as its lines: Set rewrites or adds only the line of the key it is given,
// and everything else (comments, blank lines, unknown sections and keys) comes back out
// unchanged apart from line ends, which are always written as CR LF.

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "diagnostic.h"

namespace chwr {

/// A private-profile file held line by line, so that writing disturbs nothing but the keys set.
class IniFile {
 public:
  /// Longest value Get returns, in characters: the 255-character buffer the settings were
  /// always read with, less its terminating zero.
  static constexpr std::size_t kMaxValueLength = 254;

  /// Reads UTF-8 text (LF, CR LF, a leading byte-order mark, all accepted); never fails.
  static IniFile Parse(std::string_view utf8Text);

  /// The value of `key` in the first section called `section` (both compared ignoring ASCII
  /// case), trimmed, unquoted and cut to kMaxValueLength; nullopt when the key is absent.
  std::optional<std::string> Get(std::string_view section, std::string_view key) const;

  /// Stores `value` so that Get returns it again (line breaks become blanks): rewrites the key's
  /// line in place, else adds the key after its section's last line, else adds the section at the
  /// end. Names must not hold "=" nor start with ";" or "[", or the key cannot be read back.
  void Set(std::string_view section, std::string_view key, std::string_view value);

  /// The whole file as UTF-8 text with CR LF after every line.
  std::string Serialize() const;

 private:
  enum class LineKind { Other, Section, Key };
  struct Line {
    std::string text;  // as read, without its line end
    LineKind kind = LineKind::Other;
    std::string name;   // section name or key name, trimmed
    std::string value;  // key value, trimmed, quotes still on
  };

  static Line ParseLine(std::string text);
  // Index of the first section line called `section`, or lines_.size().
  std::size_t FindSection(std::string_view section) const;
  // One past the last line of the section whose header is at `header`.
  std::size_t SectionEnd(std::size_t header) const;

  std::vector<Line> lines_;
};

/// Reads a private-profile file: code page 932, or UTF-8 when it begins with a byte-order mark.
/// A file that does not exist gives an empty IniFile; one that cannot be read is an error.
Result<IniFile> LoadIniFile(const std::filesystem::path& path);

/// Writes `ini` atomically as code page 932, or as UTF-8 with a byte-order mark when some
/// character would not come back unchanged from code page 932; creates a missing parent folder.
Result<void> SaveIniFile(const std::filesystem::path& path, const IniFile& ini);

}  // namespace chwr
