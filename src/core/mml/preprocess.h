#pragma once
// The three rewrites a part's MML text goes through before it is tokenised:
// comments out, the FM tone definition taken out and encoded, repeats expanded; and the
// encoded tone definition read back into the text that encodes to it.
// They work on UTF-8 text; every character they look at is ASCII.

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace chwr {

/// Where each byte of a rewritten text came from: entry j is the offset, in the rewrite's
/// input, of the byte that became byte j of its output. The rewrites fill one only when
/// given one, for the source map of a compile that asks for it.
using ByteOrigins = std::vector<std::uint32_t>;

/// The encoded 10-byte FM tone definition of one part.
using ToneDefinitionBytes = std::array<std::uint8_t, 10>;

/// Removes every comment: from a "'" up to (not including) the next CR LF pair,
/// or to the end of the text when no CR LF follows. Lone LFs do not end a comment.
std::string StripComments(std::string_view text, ByteOrigins* origins = nullptr);

/// Values a tone definition holds: 11 for each of the two operators, then OC.
inline constexpr int kToneDefinitionValues = 23;

/// Outcome of taking the tone definition "@{n,n,...}" out of a part's text.
struct ToneExtraction {
  enum class Status { kNone, kDefined, kInvalid };
  Status status = Status::kNone;
  std::string text;             ///< the text without the definition (kNone: unchanged)
  ToneDefinitionBytes bytes{};  ///< the encoded slot (kDefined), zeros otherwise
  /// kDefined: the values written, blank ones at the end (a trailing comma) not counted;
  /// only the first kToneDefinitionValues are read.
  int valueCount = 0;
};

/// Finds the first "@{", reads its 23 numbers and encodes them for part `part`
/// (0..3). Invalid: no "}" after the "@{", or fewer than 23 numbers. Values past
/// the 23rd are not read; `valueCount` tells how many there were. `origins`, when given,
/// is filled for `text` of the result (kNone and kDefined).
ToneExtraction ExtractToneDefinition(std::string_view text, int part,
                                     ByteOrigins* origins = nullptr);

/// A definition slot unpacked into MML: the part whose box it goes to and its text.
struct UnpackedToneDefinition {
  int part = -1;     ///< 0..3, or -1 when the slot names no part (empty slot)
  std::string text;  ///< comment line, "@{...}" and two line breaks; "" when all values are 0
};

/// Unpacks one encoded 10-byte definition slot into the text that compiles back to the
/// same bytes: what ExtractToneDefinition packed, read the other way.
UnpackedToneDefinition UnpackToneDefinition(std::span<const std::uint8_t, 10> slot);

/// Reads a number the lenient way tone definitions are read: blanks, tabs and
/// line breaks skipped anywhere, stops at the first character that cannot continue
/// the number, no number reads as 0, rounded to nearest with ties to even.
/// The result saturates at +-2^40.
std::int64_t ReadLenientNumber(std::string_view field);

/// Outcome of repeat expansion.
struct RepeatExpansion {
  enum class Status { kOk, kUnmatched, kTooLong };
  Status status = Status::kOk;
  std::string text;
};

/// Largest text repeat expansion may produce; far beyond any song the token
/// limit lets through, small enough that "[[[C]99]99]99..." cannot eat the memory.
inline constexpr std::size_t kMaxExpandedTextBytes = 8u << 20;

/// Expands "[body]n" and "[head/tail]n" repeats, innermost and rightmost first,
/// exactly as repeated rewriting of the text would (the count after a "]" may come
/// from the expansion of a repeat that follows it). `origins`, when given, is filled for
/// the expanded text (kOk): every pass of a body points at the same bytes of the input.
RepeatExpansion ExpandRepeats(std::string_view text, ByteOrigins* origins = nullptr);

}  // namespace chwr
