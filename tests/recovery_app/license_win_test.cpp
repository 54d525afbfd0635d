// The agreement's record in the registry of the current user. The tests use
// a key of their own, so the program's real record is left alone.
#include "recovery_app/core/license_win.h"

#include <windows.h>
#include <gtest/gtest.h>

namespace salvora {
namespace {

constexpr const wchar_t* kTestKey = L"Software\\Korvell\\SalvoraLicenseTest";

class LicenseRecord : public ::testing::Test {
  protected:
    void SetUp() override { RegDeleteTreeW(HKEY_CURRENT_USER, kTestKey); }
    void TearDown() override { RegDeleteTreeW(HKEY_CURRENT_USER, kTestKey); }

    static void setValue(DWORD type, const void* data, DWORD size) {
        HKEY key = nullptr;
        ASSERT_EQ(
            RegCreateKeyExW(HKEY_CURRENT_USER, kTestKey, 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr),
            ERROR_SUCCESS);
        ASSERT_EQ(RegSetValueExW(key, kLicenseValue, 0, type, static_cast<const BYTE*>(data), size),
                  ERROR_SUCCESS);
        RegCloseKey(key);
    }
};

TEST_F(LicenseRecord, WithoutTheKeyOrTheValueTheAgreementIsDue) {
    EXPECT_FALSE(licenseAccepted(kTestKey));
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, kTestKey, 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    RegCloseKey(key);
    EXPECT_FALSE(licenseAccepted(kTestKey)) << "the key alone is not an acceptance";
}

TEST_F(LicenseRecord, AcceptingWritesOneAsADoubleWord) {
    ASSERT_TRUE(recordLicenseAccepted(kTestKey));
    EXPECT_TRUE(licenseAccepted(kTestKey));
    DWORD value = 0, type = 0, size = sizeof value;
    ASSERT_EQ(RegGetValueW(HKEY_CURRENT_USER, kTestKey, kLicenseValue, RRF_RT_ANY, &type, &value, &size),
              ERROR_SUCCESS);
    EXPECT_EQ(type, static_cast<DWORD>(REG_DWORD));
    EXPECT_EQ(value, 1u);
}

TEST_F(LicenseRecord, AnyValueCountsEvenZero) {
    const DWORD zero = 0;
    setValue(REG_DWORD, &zero, sizeof zero);
    EXPECT_TRUE(licenseAccepted(kTestKey));
}

}  // namespace
}  // namespace salvora
