#include "recovery_app/win/harvex_app.h"

#include <shellapi.h>

#include "media/text_win.h"
#include "recovery_app/core/license_win.h"
#include "recovery_app/core/messages.h"
#include "recovery_app/win/agree_dlg.h"
#include "recovery_app/win/harvex_dlg.h"
#include "widgets/message_box.h"

namespace salvora {

namespace {

std::vector<std::string> commandLineWords() {
    int count = 0;
    LPWSTR* arguments = CommandLineToArgvW(GetCommandLineW(), &count);
    std::vector<std::string> words;
    for (int i = 1; arguments && i < count; ++i)
        words.push_back(narrow(arguments[i]));
    if (arguments)
        LocalFree(arguments);
    return words;
}

std::wstring modulePath() {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (length == 0)
            return {};
        if (length < path.size()) {
            path.resize(length);
            return path;
        }
        path.resize(path.size() * 2);
    }
}

// An access check of `token` for read access against a descriptor whose
// only entry lets the Administrators group read and write.
bool tokenPassesAdministratorCheck(HANDLE token, PSID administrators) {
    const DWORD aclSize =
        sizeof(ACL) + sizeof(ACCESS_ALLOWED_ACE) + GetLengthSid(administrators) - sizeof(DWORD);
    std::vector<BYTE> aclBuffer(aclSize);
    auto* acl = reinterpret_cast<PACL>(aclBuffer.data());
    SECURITY_DESCRIPTOR descriptor{};
    if (!InitializeAcl(acl, aclSize, ACL_REVISION2) ||
        !AddAccessAllowedAce(acl, ACL_REVISION2, 1 | 2, administrators) ||
        !InitializeSecurityDescriptor(&descriptor, SECURITY_DESCRIPTOR_REVISION) ||
        !SetSecurityDescriptorDacl(&descriptor, TRUE, acl, FALSE) ||
        !SetSecurityDescriptorOwner(&descriptor, administrators, FALSE) ||
        !SetSecurityDescriptorGroup(&descriptor, administrators, FALSE) ||
        !IsValidSecurityDescriptor(&descriptor)) {
        return false;
    }
    GENERIC_MAPPING mapping{1, 2, 0, 3};
    PRIVILEGE_SET privileges{};
    DWORD privilegesSize = sizeof privileges;
    DWORD granted = 0;
    BOOL status = FALSE;
    if (!AccessCheck(&descriptor, token, 1, &mapping, &privileges, &privilegesSize, &granted, &status))
        return false;
    return status != FALSE;
}

}  // namespace

CHarvexApp::CHarvexApp() : m_words(commandLineWords()), m_arguments(parseStartArguments(m_words)) {}

bool CHarvexApp::IsRunAsAdmin() {
    HANDLE token = nullptr;
    if (!OpenThreadToken(GetCurrentThread(), TOKEN_DUPLICATE | TOKEN_QUERY, TRUE, &token)) {
        if (GetLastError() != ERROR_NO_TOKEN ||
            !OpenProcessToken(GetCurrentProcess(), TOKEN_DUPLICATE | TOKEN_QUERY, &token)) {
            return false;
        }
    }
    HANDLE impersonation = nullptr;
    bool admin = false;
    if (DuplicateToken(token, SecurityImpersonation, &impersonation)) {
        SID_IDENTIFIER_AUTHORITY ntAuthority = SECURITY_NT_AUTHORITY;
        PSID administrators = nullptr;
        if (AllocateAndInitializeSid(&ntAuthority, 2, SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_ADMINS, 0,
                                     0, 0, 0, 0, 0, &administrators)) {
            admin = tokenPassesAdministratorCheck(impersonation, administrators);
            FreeSid(administrators);
        }
        CloseHandle(impersonation);
    }
    CloseHandle(token);
    return admin;
}

bool CHarvexApp::RelaunchElevated(const std::vector<std::string>& words) {
    if (parseStartArguments(words).elevatedCopy)
        return false;
    const std::wstring program = modulePath();
    const std::wstring parameters = widen(elevatedParameters(words));
    const auto result = reinterpret_cast<INT_PTR>(
        ShellExecuteW(nullptr, L"runas", program.c_str(), parameters.c_str(), nullptr, SW_SHOWNORMAL));
    return result > 32;
}

bool CHarvexApp::AgreementAccepted() {
    if (licenseAccepted())
        return true;
    // The agreement's text control.
    LoadLibraryW(L"Msftedit.dll");
    CAgreeDlg agreement;
    const INT_PTR answer = agreement.DoModal();
    if (answer == -1) {
        widgets::ShowError(nullptr, L"The end-user license agreement could not be shown.",
                           widen(messages::kProductName));
        return false;
    }
    if (answer != IDOK)
        return false;
    recordLicenseAccepted();
    return true;
}

int CHarvexApp::InitInstance() {
    if (!IsRunAsAdmin()) {
        if (RelaunchElevated(m_words))
            return 0;
        widgets::ShowMessage(nullptr, widen(messages::kAdministratorRequired), widen(messages::kProductName),
                             MB_OK);
        return 1;
    }
    if (!AgreementAccepted())
        return 0;
    if (!m_arguments.problems.empty()) {
        std::wstring text;
        for (const std::string& problem : m_arguments.problems)
            text += widen(problem) + L"\n";
        widgets::ShowWarning(nullptr, text, widen(messages::kProductName));
    }
    CHarvexDlg window(m_scanContext, m_arguments.images);
    window.DoModal();
    window.WaitForScanToEnd();
    return 0;
}

}  // namespace salvora
