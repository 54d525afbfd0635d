#include "widgets/folder_dialog.h"

#include "widgets/core/status_text.h"

namespace salvora::widgets {

namespace {

std::wstring shortened(const std::wstring& text) {
    const std::u16string shortText = shortenedStatusText(std::u16string(text.begin(), text.end()));
    return std::wstring(shortText.begin(), shortText.end());
}

}  // namespace

CFolderDialog::CFolderDialog(const wchar_t* initialFolder, UINT flags, HWND parent)
    : m_strInitialFolder(initialFolder ? initialFolder : L"") {
    m_bi.hwndOwner = parent;
    m_bi.pidlRoot = nullptr;
    m_bi.pszDisplayName = m_szDisplayName;
    m_bi.lpszTitle = L"Current Selection";
    m_bi.ulFlags = flags | BIF_STATUSTEXT;
    m_bi.lpfn = BrowseCallbackProc;
    m_bi.lParam = reinterpret_cast<LPARAM>(this);
}

INT_PTR CFolderDialog::DoModal() {
    m_strSelectedFolder = m_strInitialFolder;
    PIDLIST_ABSOLUTE item = SHBrowseForFolderW(&m_bi);
    INT_PTR result = IDCANCEL;
    if (item && SHGetPathFromIDListW(item, m_szPath)) {
        m_strSelectedFolder = m_szPath;
        result = IDOK;
    }
    if (item)
        CoTaskMemFree(item);
    if (result != IDOK)
        m_strSelectedFolder = m_strInitialFolder;
    return result;
}

void CFolderDialog::OnInitialized() {
    SendMessageW(m_hWnd, BFFM_SETSELECTIONW, TRUE, reinterpret_cast<LPARAM>(m_strInitialFolder.c_str()));
    SetStatusText(m_strInitialFolder);
}

void CFolderDialog::OnSelChanged(PCIDLIST_ABSOLUTE item) {
    if (!SHGetPathFromIDListW(item, m_szPath))
        m_szPath[0] = L'\0';
    m_strSelectedFolder = m_szPath;
    SetStatusText(m_strSelectedFolder);
}

INT CFolderDialog::OnBrowseNotify(HWND window, UINT message, LPARAM parameter) {
    m_hWnd = window;
    if (message == BFFM_INITIALIZED)
        OnInitialized();
    if (message == BFFM_SELCHANGED)
        OnSelChanged(reinterpret_cast<PCIDLIST_ABSOLUTE>(parameter));
    return 0;
}

void CFolderDialog::SetStatusText(const std::wstring& text) const {
    const std::wstring status = shortened(text);
    SendMessageW(m_hWnd, BFFM_SETSTATUSTEXTW, 0, reinterpret_cast<LPARAM>(status.c_str()));
}

int CALLBACK CFolderDialog::BrowseCallbackProc(HWND window, UINT message, LPARAM parameter, LPARAM data) {
    reinterpret_cast<CFolderDialog*>(data)->OnBrowseNotify(window, message, parameter);
    return 0;
}

}  // namespace salvora::widgets
