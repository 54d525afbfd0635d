// The folder chooser's status line: the selection, shortened to fit.
#pragma once

#include <cstddef>
#include <string>

namespace salvora::widgets {

// Longest status text shown unshortened, in UTF-16 units.
constexpr size_t kStatusTextLimit = 35;

// `text` unchanged when it has at most 35 UTF-16 units; otherwise its first
// 35 units followed by "...". A character made of two units is never cut in
// half: when the 35th unit starts such a pair, the text is cut before it.
std::u16string shortenedStatusText(const std::u16string& text);

}  // namespace salvora::widgets
