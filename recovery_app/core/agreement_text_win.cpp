#include "recovery_app/core/agreement_text_win.h"

#include <windows.h>

#include "recovery_app/core/agreement_text.h"

namespace salvora {

namespace {

std::wstring withCrLf(const std::wstring& text) {
    std::wstring result;
    result.reserve(text.size() + text.size() / 16);
    for (const wchar_t c : text) {
        if (c == L'\n')
            result += L'\r';
        result += c;
    }
    return result;
}

}  // namespace

std::wstring agreementWideText() {
    const std::string text = agreementText();
    const int length = MultiByteToWideChar(kAgreementChineseCodePage, MB_ERR_INVALID_CHARS, text.data(),
                                           static_cast<int>(text.size()), nullptr, 0);
    if (length <= 0)
        return {};
    std::wstring wide(static_cast<size_t>(length), L'\0');
    MultiByteToWideChar(kAgreementChineseCodePage, MB_ERR_INVALID_CHARS, text.data(),
                        static_cast<int>(text.size()), wide.data(), length);
    return withCrLf(wide);
}

}  // namespace salvora
