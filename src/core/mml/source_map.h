#pragma once
// The compiler's source map: from each event back through the tokeniser and the three
// rewrites to the characters the user typed. Built only when a compile asks for it.

#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

#include "mml/compiler.h"
#include "mml/preprocess.h"
#include "mml/tokeniser.h"

namespace chwr::part_compile {

/// Where each byte of the text in hand came from in the part's text, through every rewrite
/// so far. Its buffers are kept from one compile to the next.
class OriginMap {
 public:
  void Reset() { rewritten_ = false; }
  /// The text was rewritten; `step` holds the rewrite's origins, and is left as scratch.
  void Through(ByteOrigins& step) {
    if (rewritten_) {
      for (std::uint32_t& at : step) at = map_[at];
    }
    map_.swap(step);
    rewritten_ = true;
  }
  std::uint32_t operator()(std::uint32_t at) const { return rewritten_ ? map_[at] : at; }

 private:
  bool rewritten_ = false;
  ByteOrigins map_;
};

/// Fills `out` with one span of `text` (the part's text) for each event, given the token
/// that made it (`eventTokens`, an index into `tokens`, split with origins traced) and
/// the origins of the text the tokens were split from.
void MapSources(std::string_view text, const OriginMap& origins, const Tokeniser& tokens,
                std::span<const std::uint32_t> eventTokens, std::vector<SourceSpan>& out);

}  // namespace chwr::part_compile
