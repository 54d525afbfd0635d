#include "recovery_app/win/window_text.h"

#include <windows.h>

#include <vector>

#include "media/text_win.h"
#include "recovery_app/core/messages.h"
#include "recovery_app/win/resource.h"

namespace salvora {

std::string productName() {
    const wchar_t* text = nullptr;
    const int length =
        LoadStringW(GetModuleHandleW(nullptr), IDS_PRODUCT_NAME, reinterpret_cast<LPWSTR>(&text), 0);
    if (length <= 0 || !text)
        return messages::kProductName;
    return narrow(std::wstring(text, static_cast<size_t>(length)));
}

FileVersion programVersion() {
    wchar_t path[MAX_PATH];
    if (GetModuleFileNameW(nullptr, path, MAX_PATH) == 0)
        return {};
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeW(path, &ignored);
    if (size == 0)
        return {};
    std::vector<BYTE> data(size);
    if (!GetFileVersionInfoW(path, 0, size, data.data()))
        return {};
    VS_FIXEDFILEINFO* info = nullptr;
    UINT length = 0;
    if (!VerQueryValueW(data.data(), L"\\", reinterpret_cast<void**>(&info), &length) ||
        length < sizeof *info) {
        return {};
    }
    return {info->dwFileVersionMS, info->dwFileVersionLS};
}

std::wstring latin1ToWide(const std::string& text) {
    std::wstring wide;
    wide.reserve(text.size());
    for (const char c : text)
        wide += static_cast<wchar_t>(static_cast<unsigned char>(c));
    return wide;
}

}  // namespace salvora
