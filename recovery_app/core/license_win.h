// The record that this user accepted the end-user agreement: the value
// "License" under HKEY_CURRENT_USER "Software\Korvell\Salvora" (Windows only).
#pragma once

namespace salvora {

inline constexpr const wchar_t* kLicenseKey = L"Software\\Korvell\\Salvora";
inline constexpr const wchar_t* kLicenseValue = L"License";

// True when the value exists under `key` of the current user, whatever it
// holds; false when the key cannot be opened or the value cannot be read.
bool licenseAccepted(const wchar_t* key = kLicenseKey);

// Creates (or opens) `key` and writes the value 1 (REG_DWORD). False when
// either fails; the agreement is then shown again at the next start.
bool recordLicenseAccepted(const wchar_t* key = kLicenseKey);

}  // namespace salvora
