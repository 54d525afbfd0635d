// The about box's notice, its scrolling, its variants and the version texts.
#include "recovery_app/core/about_notice.h"

#include <gtest/gtest.h>

#include <cstring>

namespace salvora {
namespace {

int scroll(int position, ScrollRequest request, int thumb = 0) {
    return scrollNotice(position, static_cast<int>(request), thumb);
}

TEST(AboutNotice, HasARightsLineAHeadingAndTwelveLinesThatFitTheBox) {
    ASSERT_EQ(noticeLines().size(), 14u);
    EXPECT_NE(std::strstr(noticeLines()[0], "Korvell"), nullptr);
    EXPECT_NE(std::strstr(noticeLines()[1], "GNU General Public License"), nullptr);
    for (const char* line : noticeLines()) {
        // A notice line is one row 287 dialog units wide, four units to an
        // average character: longer lines would be cut off.
        EXPECT_LE(std::strlen(line), 72u) << line;
        EXPECT_GT(std::strlen(line), 0u);
    }
}

TEST(AboutNotice, LinesMoveOneAtATimeBetweenTheFirstAndTheLastThree) {
    EXPECT_EQ(kLastNoticePosition, 11);
    EXPECT_EQ(scroll(0, ScrollRequest::kLineDown), 1);
    EXPECT_EQ(scroll(5, ScrollRequest::kLineUp), 4);
    EXPECT_EQ(scroll(0, ScrollRequest::kLineUp), 0);
    EXPECT_EQ(scroll(11, ScrollRequest::kLineDown), 11) << "lines 11 to 13 are the last ones";
    EXPECT_EQ(scroll(4, ScrollRequest::kBottom), 11);
    EXPECT_EQ(scroll(9, ScrollRequest::kTop), 0);
}

TEST(AboutNotice, PagesAndTheEndOfScrollingChangeNothing) {
    EXPECT_EQ(scroll(4, ScrollRequest::kPageDown), 4);
    EXPECT_EQ(scroll(4, ScrollRequest::kPageUp), 4);
    EXPECT_EQ(scroll(4, ScrollRequest::kEndScroll), 4);
    EXPECT_EQ(scrollNotice(4, 42, 9), 4) << "an unknown request";
}

TEST(AboutNotice, TheThumbGivesThePositionWithinTheRange) {
    EXPECT_EQ(scroll(0, ScrollRequest::kThumbTrack, 7), 7);
    EXPECT_EQ(scroll(0, ScrollRequest::kThumbPosition, 11), 11);
    EXPECT_EQ(scroll(3, ScrollRequest::kThumbPosition, 40), 11);
    EXPECT_EQ(scroll(3, ScrollRequest::kThumbPosition, -2), 0);
}

TEST(AboutVariant, WindowsTwoThousandGetsThePlainTextBox) {
    EXPECT_EQ(aboutVariantFor(2, 5, 0), AboutVariant::kWindows2000);
    EXPECT_EQ(aboutVariantFor(2, 5, 1), AboutVariant::kStandard);
    EXPECT_EQ(aboutVariantFor(2, 10, 0), AboutVariant::kStandard);
    EXPECT_EQ(aboutVariantFor(2, 4, 0), AboutVariant::kNone);
    EXPECT_EQ(aboutVariantFor(1, 4, 90), AboutVariant::kNone) << "the Windows 98 platform";
}

TEST(VersionTexts, CaptionAndAboutLineComeFromTheFileVersion) {
    const FileVersion version{(1u << 16) | 4u, 0};
    EXPECT_EQ(windowCaption("Salvora", version), "Salvora - version 1.4");
    EXPECT_EQ(aboutVersionText("Salvora", version), "Salvora Version : 1.4.0.0");
    const FileVersion later{(2u << 16) | 13u, (7u << 16) | 65535u};
    EXPECT_EQ(windowCaption("Salvora", later), "Salvora - version 2.13");
    EXPECT_EQ(aboutVersionText("Salvora", later), "Salvora Version : 2.13.7.65535");
}

}  // namespace
}  // namespace salvora
