#pragma once
// Just enough JSON writing for one-object-per-line output.

#include <string>
#include <string_view>

namespace chwr::cli {

/// Appends `text` (UTF-8) as a JSON string literal, quotes included.
void AppendJsonString(std::string& out, std::string_view text);

/// Lower-case hexadecimal of `bytes`, two digits each.
std::string HexLower(const unsigned char* bytes, std::size_t size);

}  // namespace chwr::cli
