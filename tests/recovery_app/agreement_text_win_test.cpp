// The agreement converted the way the window converts it: from code page
// 950, whatever the system's own code page is (under the test stage's Wine
// that is Western European, 1252).
#include "recovery_app/core/agreement_text_win.h"

#include <windows.h>
#include <gtest/gtest.h>

namespace salvora {
namespace {

TEST(AgreementWideText, TheChineseTextReadsCorrectlyOnASystemWithAnotherCodePage) {
    const std::wstring text = agreementWideText();
    ASSERT_FALSE(text.empty());
    EXPECT_EQ(text.rfind(L"SALVORA END-USER LICENSE AGREEMENT\r\n\r\n", 0), 0u);
    EXPECT_NE(text.find(L"\r\n\r\n\r\nSalvora \u7D42\u7AEF\u4F7F\u7528\u8005\u6388\u6B0A\u5408\u7D04\r\n"),
              std::wstring::npos)
        << "the Chinese title after two empty lines";
    // 許 and 功 are Big5 characters whose second byte is a backslash.
    EXPECT_NE(text.find(L"\u6CD5\u5F8B\u5141\u8A31"), std::wstring::npos);  // 法律允許
    EXPECT_EQ(text.find(L'\uFFFD'), std::wstring::npos);
    EXPECT_EQ(text.find(L"\n\n"), std::wstring::npos) << "every line end is CR LF";
}

}  // namespace
}  // namespace salvora
