#include "edit_cus.h"

#include "ansi_text.h"
#include "cardprotect_app/core/app_texts.h"
#include "cardprotect_app/core/password_panel.h"
#include "cardsec/messages.h"
#include "result_box.h"

namespace salvora::lockwright {

namespace {

constexpr int kTipDelayMs = 1000;
constexpr int kTipWidth = 500;

std::string fieldText(HWND field) {
    if (!field)
        return {};
    const int length = GetWindowTextLengthW(field);
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    GetWindowTextW(field, text.data(), length + 1);
    text.resize(static_cast<size_t>(length));
    return toUtf8(text);
}

}  // namespace

void CEditCus::SetPeers(const Peers& peers, bool withSpaceTip) {
    m_peers = peers;
    if (withSpaceTip)
        m_spaceTip.Create(hwnd(), kTipDelayMs, kTipWidth, toWide(cardprotect::text::kSpaceNotAllowed));
}

std::string CEditCus::Text() const {
    return fieldText(hwnd());
}

void CEditCus::UpdateMatchMark() const {
    if (!m_peers.setMode || !m_peers.matchMark)
        return;
    const bool match = cardprotect::fieldsMatch(fieldText(m_peers.password), fieldText(m_peers.confirmation));
    ShowWindow(m_peers.matchMark, match ? SW_SHOWNA : SW_HIDE);
}

bool CEditCus::Swallows(UINT message) const {
    switch (message) {
        case WM_KEYDOWN:
        case WM_CHAR:
        case WM_PASTE:
        case WM_CUT:
        case WM_CLEAR:
        case WM_UNDO:
        case EM_UNDO:
        case EM_REPLACESEL:
            return m_bKeyBlock;
        default:
            return false;
    }
}

LRESULT CEditCus::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    if (Swallows(message))
        return 0;
    // Only a real space counts: a wide character is never cut down to one byte here.
    const bool ascii = wParam < 0x80;
    if (message == WM_CHAR && ascii &&
        cardprotect::refusesCharacter(m_peers.setMode, static_cast<char>(wParam))) {
        showResultBox(GetAncestor(hwnd(), GA_ROOT), {cardprotect::text::kSpaceNotAllowed,
                                                     cardsec::text::kError, cardsec::MessageIcon::kStop});
        return 0;
    }
    const LRESULT result = Default(message, wParam, lParam);
    if (message == WM_KEYUP || message == WM_PASTE)
        UpdateMatchMark();
    return result;
}

}  // namespace salvora::lockwright
