#include "recovery_app/core/license_win.h"

#include <windows.h>

namespace salvora {

bool licenseAccepted(const wchar_t* key) {
    HKEY opened = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, key, 0, KEY_READ, &opened) != ERROR_SUCCESS)
        return false;
    const bool present =
        RegQueryValueExW(opened, kLicenseValue, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
    RegCloseKey(opened);
    return present;
}

bool recordLicenseAccepted(const wchar_t* key) {
    HKEY opened = nullptr;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, key, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_WRITE, nullptr,
                        &opened, nullptr) != ERROR_SUCCESS) {
        return false;
    }
    const DWORD one = 1;
    const bool written = RegSetValueExW(opened, kLicenseValue, 0, REG_DWORD,
                                        reinterpret_cast<const BYTE*>(&one), sizeof one) == ERROR_SUCCESS;
    RegCloseKey(opened);
    return written;
}

}  // namespace salvora
