#include "widgets/core/status_text.h"

#include <gtest/gtest.h>

namespace salvora::widgets {
namespace {

TEST(StatusText, ShortTextsAreShownUnchanged) {
    EXPECT_EQ(shortenedStatusText(u""), u"");
    EXPECT_EQ(shortenedStatusText(u"C:\\Saved Files\\"), u"C:\\Saved Files\\");
    const std::u16string exactly35(35, u'x');
    EXPECT_EQ(shortenedStatusText(exactly35), exactly35);
}

TEST(StatusText, LongerTextsKeepTheirFirst35CharactersAndGetDots) {
    const std::u16string path36 = u"C:\\Users\\Photographer\\Pictures\\2024\\";
    ASSERT_EQ(path36.size(), 36u);
    EXPECT_EQ(shortenedStatusText(path36), u"C:\\Users\\Photographer\\Pictures\\2024...");
    const std::u16string longPath(300, u'a');
    EXPECT_EQ(shortenedStatusText(longPath), std::u16string(35, u'a') + u"...");
}

// Regression: a character outside the basic plane (two UTF-16 units) that
// straddled the cut was split, leaving half a character before the dots.
TEST(StatusText, CharacterOfTwoUnitsIsNotCutInHalf) {
    std::u16string text(34, u'd');
    text += u"\U0001F4F7";  // a camera, units 35 and 36
    text += u"more";
    EXPECT_EQ(shortenedStatusText(text), std::u16string(34, u'd') + u"...");
    std::u16string fits(33, u'd');
    fits += u"\U0001F4F7";  // units 34 and 35: kept whole
    fits += u"more";
    EXPECT_EQ(shortenedStatusText(fits), std::u16string(33, u'd') + u"\U0001F4F7...");
}

}  // namespace
}  // namespace salvora::widgets
