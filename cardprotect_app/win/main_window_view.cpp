#include "main_window_view.h"

#include "ansi_text.h"
#include "cardprotect_app/core/app_texts.h"
#include "cardsec/messages.h"
#include "resource.h"

namespace salvora::lockwright {

using cardprotect::CardType;
using cardprotect::ViewState;

namespace {

const COLORREF kBackground = RGB(42, 49, 60);
const COLORREF kPanelColour = RGB(63, 69, 79);
const COLORREF kInfoText = RGB(218, 200, 200);
const COLORREF kLockedText = RGB(255, 0, 0);
const COLORREF kUnlockedText = RGB(86, 240, 39);
const COLORREF kLabelText = RGB(242, 236, 236);

constexpr int kTipDelayMs = 1000;
constexpr int kTipWidth = 500;

HFONT arial(int height, int weight) {
    return CreateFontW(height, 0, 0, 0, weight, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                       CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_SWISS, L"Arial");
}

// A child's rectangle in its parent's client coordinates.
RECT childRect(HWND child) {
    RECT rect{};
    GetWindowRect(child, &rect);
    MapWindowPoints(nullptr, GetParent(child), reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

RECT shifted(RECT rect, POINT by) {
    OffsetRect(&rect, by.x, by.y);
    return rect;
}

}  // namespace

MainWindowView::MainWindowView()
    : m_pictures{{IDC_TOP_BANNER, nullptr}, {IDC_ACTION_BACKGROUND, nullptr}, {IDC_BOTTOM_BANNER, nullptr}} {
    m_hBackground = CreateSolidBrush(kBackground);
    m_hPanelColour = CreateSolidBrush(kPanelColour);
    m_hInfoFont = arial(15, FW_NORMAL);
    m_hStatusFont = arial(20, FW_BOLD);
    m_hLabelFont = arial(16, FW_NORMAL);
}

MainWindowView::~MainWindowView() {
    DeleteObject(m_hBackground);
    DeleteObject(m_hPanelColour);
    DeleteObject(m_hInfoFont);
    DeleteObject(m_hStatusFont);
    DeleteObject(m_hLabelFont);
}

void MainWindowView::Attach(HWND dialog) {
    m_hDlg = dialog;
    const UINT pictureIds[] = {IDB_TOP_BANNER, IDB_ACTION_BACKGROUND, IDB_BOTTOM_BANNER};
    for (size_t i = 0; i < 3; ++i) {
        auto image = std::make_unique<widgets::CGdiPlusBitmapResource>();
        if (image->Load(pictureIds[i], L"PNG"))
            m_pictures[i].image = std::move(image);
    }
    AttachButtons();
    m_tipLock.Create(GetDlgItem(dialog, IDC_LOCK), kTipDelayMs, kTipWidth);
    m_tipRemove.Create(GetDlgItem(dialog, IDC_DISABLE_PASSWORD), kTipDelayMs, kTipWidth);
    m_tipErase.Create(GetDlgItem(dialog, IDC_ERASE), kTipDelayMs, kTipWidth);
    for (int id : {IDC_INFO_LINE, IDC_STATUS_CAPTION}) {
        SendDlgItemMessageW(dialog, id, WM_SETFONT, reinterpret_cast<WPARAM>(m_hInfoFont), FALSE);
    }
    SendDlgItemMessageW(dialog, IDC_STATUS_DISPLAY, WM_SETFONT, reinterpret_cast<WPARAM>(m_hStatusFont),
                        FALSE);
    m_rcStatus = ControlRect(IDC_STATUS_DISPLAY);
    m_rcStatusCaption = ControlRect(IDC_STATUS_CAPTION);
}

void MainWindowView::AttachButtons() {
    struct Binding {
        CCardButton& button;
        int id;
        UINT images;
    };
    const Binding bindings[] = {
        {m_cSd, IDC_SD_BUTTON, IDB_SD},
        {m_cCf, IDC_CF_BUTTON, IDB_CF},
        {m_cExit, IDC_EXIT, IDB_EXIT},
        {m_cLock, IDC_LOCK, IDB_LOCK},
        {m_cRemove, IDC_DISABLE_PASSWORD, IDB_DISABLE_PASSWORD},
        {m_cErase, IDC_ERASE, IDB_ERASE},
    };
    for (const Binding& binding : bindings) {
        binding.button.SubclassDlgItem(binding.id, m_hDlg);
        binding.button.LoadImageSet(1, binding.images);
    }
    m_cLock.LoadImageSet(2, IDB_UNLOCK);
    m_cDecoration.SubclassDlgItem(IDC_DECORATION, m_hDlg);
    m_cDecoration.LoadSinglePicture(IDB_DECORATION);
}

RECT MainWindowView::ControlRect(int id) const {
    return childRect(GetDlgItem(m_hDlg, id));
}

HWND MainWindowView::PanelFrame() const {
    return GetDlgItem(m_hDlg, IDC_PANEL_FRAME);
}

void MainWindowView::ShowText(int id, const std::string& text, const std::string& shown) {
    if (m_bShownOnce && text == shown)
        return;
    SetDlgItemTextW(m_hDlg, id, toWide(text).c_str());
}

void MainWindowView::ShowInfoLine(const std::string& text) {
    ShowText(IDC_INFO_LINE, text, m_shown.infoLine);
    m_shown.infoLine = text;
}

void MainWindowView::ShowActionButton(CCardButton& button, const cardprotect::ButtonView& view) {
    button.Enable(view.enabled);
    button.SetSelected(view.pressed);
}

void MainWindowView::Place(int id, const RECT& saved, int offset) const {
    SetWindowPos(GetDlgItem(m_hDlg, id), nullptr, saved.left, saved.top + offset, 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void MainWindowView::ShowStatus(const ViewState& view, CardType cardType) {
    const HWND status = GetDlgItem(m_hDlg, IDC_STATUS_DISPLAY);
    const HWND caption = GetDlgItem(m_hDlg, IDC_STATUS_CAPTION);
    const bool moved =
        !m_bShownOnce || view.statusOffset != m_shown.statusOffset || cardType != m_shownCardType;
    if (moved) {
        Place(IDC_STATUS_DISPLAY, m_rcStatus, view.statusOffset);
        Place(IDC_STATUS_CAPTION, m_rcStatusCaption, cardType == CardType::kCf ? view.statusOffset : 0);
        RedrawWindow(m_hDlg, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
    }
    // The colour is chosen from the shown state while the control paints, and a
    // static paints its new text at once: the state must change before the text.
    const std::string before = m_shown.statusDisplay;
    m_shown.statusDisplay = view.statusDisplay;
    if (!m_bShownOnce || view.statusDisplay != before) {
        SetDlgItemTextW(m_hDlg, IDC_STATUS_DISPLAY, toWide(view.statusDisplay).c_str());
        InvalidateRect(status, nullptr, TRUE);
    }
    ShowWindow(status, view.statusDisplayVisible ? SW_SHOWNA : SW_HIDE);
    ShowWindow(caption, view.statusCaptionVisible ? SW_SHOWNA : SW_HIDE);
}

void MainWindowView::Show(const ViewState& view, CardType cardType) {
    ShowText(IDC_INFO_LINE, view.infoLine, m_shown.infoLine);
    ShowStatus(view, cardType);
    ShowActionButton(m_cLock, view.lock);
    ShowActionButton(m_cRemove, view.remove);
    ShowActionButton(m_cErase, view.erase);
    const bool unlock = view.lockCaption == cardprotect::text::kCaptionUnlock;
    m_cLock.SetImageSet(unlock ? 2 : 1);
    ShowText(IDC_LOCK, view.lockCaption, m_shown.lockCaption);
    ShowActionButton(m_cSd, view.sdSelector);
    ShowActionButton(m_cCf, view.cfSelector);
    ShowText(IDC_SD_LABEL, view.sdLabel, m_shown.sdLabel);
    ShowText(IDC_CF_LABEL, view.cfLabel, m_shown.cfLabel);
    m_tipLock.SetText(toWide(view.lockTooltip));
    m_tipRemove.SetText(toWide(view.removeTooltip));
    m_tipErase.SetText(toWide(view.eraseTooltip));
    ShowWindow(PanelFrame(), view.panelFrameVisible ? SW_SHOWNA : SW_HIDE);
    m_shown = view;
    m_shownCardType = cardType;
    m_bShownOnce = true;
}

void MainWindowView::PaintBackground(HDC dc) const {
    // Drawn with the viewport at its origin and the shift applied by hand, so
    // GDI and GDI+ place everything alike.
    POINT shift{};
    SetViewportOrgEx(dc, 0, 0, &shift);
    RECT client{};
    GetClientRect(m_hDlg, &client);
    const RECT area = shifted(client, shift);
    FillRect(dc, &area, m_hBackground);
    {
        Gdiplus::Graphics graphics(dc);
        graphics.SetInterpolationMode(Gdiplus::InterpolationModeHighQualityBicubic);
        graphics.SetPixelOffsetMode(Gdiplus::PixelOffsetModeHalf);
        for (const Picture& picture : m_pictures) {
            if (!picture.image)
                continue;
            const RECT at = shifted(ControlRect(picture.id), shift);
            graphics.DrawImage(picture.image->bitmap(),
                               Gdiplus::Rect(at.left, at.top, at.right - at.left, at.bottom - at.top));
        }
    }
    SetViewportOrgEx(dc, shift.x, shift.y, nullptr);
}

HBRUSH MainWindowView::ControlColour(UINT message, HDC dc, HWND control) const {
    if (message != WM_CTLCOLORSTATIC)
        return m_hBackground;
    const int id = GetDlgCtrlID(control);
    SetBkColor(dc, kBackground);
    if (id == IDC_INFO_LINE || id == IDC_STATUS_CAPTION) {
        SetTextColor(dc, kInfoText);
    } else if (id == IDC_STATUS_DISPLAY) {
        SetBkMode(dc, TRANSPARENT);
        const bool locked = m_shown.statusDisplay == cardsec::text::kStatusLocked;
        SetTextColor(dc, locked ? kLockedText : kUnlockedText);
    }
    return m_hBackground;
}

void MainWindowView::DrawLabel(const DRAWITEMSTRUCT& item, CCardButton& under) {
    const RECT label = childRect(item.hwndItem);
    const RECT button = childRect(under.hwnd());
    under.PaintFace(item.hDC, button.left - label.left, button.top - label.top);
    const int length = GetWindowTextLengthW(item.hwndItem);
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    GetWindowTextW(item.hwndItem, text.data(), length + 1);
    text.resize(static_cast<size_t>(length));
    const HGDIOBJ oldFont = SelectObject(item.hDC, m_hLabelFont);
    SetBkMode(item.hDC, TRANSPARENT);
    SetTextColor(item.hDC, kLabelText);
    RECT area = item.rcItem;
    DrawTextW(item.hDC, text.c_str(), length, &area, DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
    SelectObject(item.hDC, oldFont);
}

bool MainWindowView::DrawItem(const DRAWITEMSTRUCT& item) {
    switch (item.CtlID) {
        case IDC_SD_LABEL:
            DrawLabel(item, m_cSd);
            return true;
        case IDC_CF_LABEL:
            DrawLabel(item, m_cCf);
            return true;
        case IDC_PANEL_FRAME:
            FillRect(item.hDC, &item.rcItem, m_hPanelColour);
            return true;
        case IDC_TOP_BANNER:
        case IDC_ACTION_BACKGROUND:
        case IDC_BOTTOM_BANNER: {
            const RECT at = ControlRect(static_cast<int>(item.CtlID));
            POINT old{};
            OffsetViewportOrgEx(item.hDC, -at.left, -at.top, &old);
            PaintBackground(item.hDC);
            SetViewportOrgEx(item.hDC, old.x, old.y, nullptr);
            return true;
        }
        default:
            return false;
    }
}

void MainWindowView::RepaintLabels() const {
    for (int id : {IDC_SD_LABEL, IDC_CF_LABEL}) {
        const HWND label = GetDlgItem(m_hDlg, id);
        InvalidateRect(label, nullptr, FALSE);
        UpdateWindow(label);
    }
}

}  // namespace salvora::lockwright
