// The agreement's texts, checked with the C library's own Big5 conversion.
#include <gtest/gtest.h>
#include <iconv.h>

#include <algorithm>

#include "recovery_app/core/agreement_text.h"

namespace salvora {
namespace {

// `bytes` converted from `codePage` to UTF-8 by the C library; false when a
// byte sequence is not valid in that code page.
bool convert(const std::string& bytes, const char* codePage, std::string& utf8) {
    const iconv_t converter = iconv_open("UTF-8", codePage);
    if (converter == reinterpret_cast<iconv_t>(-1))
        return false;
    std::string in = bytes;
    std::string out(in.size() * 4 + 16, '\0');
    char* inAt = in.data();
    char* outAt = out.data();
    size_t inLeft = in.size();
    size_t outLeft = out.size();
    const size_t converted = iconv(converter, &inAt, &inLeft, &outAt, &outLeft);
    iconv_close(converter);
    if (converted == static_cast<size_t>(-1) || inLeft != 0)
        return false;
    utf8.assign(out.data(), out.size() - outLeft);
    return true;
}

TEST(AgreementText, TheEnglishTextIsPlainAscii) {
    const std::string& text = agreementEnglish();
    EXPECT_TRUE(std::all_of(text.begin(), text.end(), [](char c) { return c > 0 && c < 0x7F; }));
    EXPECT_EQ(text.rfind("SALVORA END-USER LICENSE AGREEMENT", 0), 0u);
    EXPECT_NE(text.find("\"I Disagree\""), std::string::npos);
}

TEST(AgreementText, TheChineseTextIsValidBig5OfTheTraditionalTranslation) {
    std::string utf8;
    ASSERT_TRUE(convert(agreementChineseBig5(), "BIG5", utf8)) << "not valid Big5";
    EXPECT_EQ(utf8.rfind("Salvora 終端使用者授權合約\n", 0), 0u) << utf8.substr(0, 60);
    EXPECT_NE(utf8.find("按下「I Agree」即表示您接受本合約的條款。"), std::string::npos);
    EXPECT_NE(utf8.find("請務必將救回的檔案儲存到另一個磁碟"), std::string::npos);
    const std::string ending = "請參閱「關於」視窗中的聯絡資訊。";
    EXPECT_EQ(utf8.substr(utf8.size() - ending.size()), ending);
    // Read in the wrong code page the same bytes are not the same text.
    std::string wrong;
    EXPECT_FALSE(convert(agreementChineseBig5(), "GB2312", wrong) && wrong == utf8);
}

}  // namespace
}  // namespace salvora
