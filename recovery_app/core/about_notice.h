// The about box apart from its window: which variant a system gets, the
// version line, and the notice that scrolls three lines at a time.
#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace salvora {

// The 14 lines of the notice: the rights line, the heading of the GPL
// disclosure and its 12 lines.
constexpr size_t kNoticeLineCount = 14;
const std::array<const char*, kNoticeLineCount>& noticeLines();

// Lines shown at once, and the last first-visible line (11: lines 11 to 13).
constexpr int kVisibleNoticeLines = 3;
constexpr int kLastNoticePosition = static_cast<int>(kNoticeLineCount) - kVisibleNoticeLines;

// The address of the maker's contact page, shown in the about box.
inline constexpr const char* kContactAddress = "https://www.korvell.com/contact";

// Requests of a vertical scroll bar, numbered as the window system numbers them.
enum class ScrollRequest : int {
    kLineUp = 0,
    kLineDown = 1,
    kPageUp = 2,
    kPageDown = 3,
    kThumbPosition = 4,
    kThumbTrack = 5,
    kTop = 6,
    kBottom = 7,
    kEndScroll = 8,
};

// The first visible notice line after `request`, from `position` (the scroll
// bar's): one line up or down within 0 to 11; pages change nothing (the bar
// has no page size); the thumb gives `thumb`; top 0; bottom 11. Unknown
// requests change nothing. The result always lies within 0 to 11.
int scrollNotice(int position, int request, int thumb);

// Which about box a system shows.
enum class AboutVariant { kNone, kWindows2000, kStandard };

// Windows 2000 (NT platform 2, version 5.0) gets the variant without a link
// control; NT 5.1 and later the standard one; anything else none.
AboutVariant aboutVariantFor(uint32_t platformId, uint32_t major, uint32_t minor);

// The four parts of a file version as the version resource holds them.
struct FileVersion {
    uint32_t mostSignificant = 0;   // major (high word) and minor (low word)
    uint32_t leastSignificant = 0;  // build (high word) and revision (low word)
};

// "Salvora - version 1.4": the main window's caption.
std::string windowCaption(const std::string& product, const FileVersion& version);

// "Salvora Version : 1.4.0.0": the about box's version line.
std::string aboutVersionText(const std::string& product, const FileVersion& version);

}  // namespace salvora
