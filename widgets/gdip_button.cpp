#include "widgets/gdip_button.h"

#include <commctrl.h>

#include "widgets/mem_dc.h"

namespace salvora::widgets {

namespace {

// Red, green and blue scaled by 1.05 plus 0.05: a slightly lighter picture.
const Gdiplus::ColorMatrix kLighter = {{
    {1.05f, 0.0f, 0.0f, 0.0f, 0.0f},
    {0.0f, 1.05f, 0.0f, 0.0f, 0.0f},
    {0.0f, 0.0f, 1.05f, 0.0f, 0.0f},
    {0.0f, 0.0f, 0.0f, 1.0f, 0.0f},
    {0.05f, 0.05f, 0.05f, 0.0f, 1.0f},
}};

// Each colour becomes 0.3 red + 0.59 green + 0.11 blue.
const Gdiplus::ColorMatrix kGrey = {{
    {0.3f, 0.3f, 0.3f, 0.0f, 0.0f},
    {0.59f, 0.59f, 0.59f, 0.0f, 0.0f},
    {0.11f, 0.11f, 0.11f, 0.0f, 0.0f},
    {0.0f, 0.0f, 0.0f, 1.0f, 0.0f},
    {0.0f, 0.0f, 0.0f, 0.0f, 1.0f},
}};

// Draws at the image's own pixel size, whatever resolution it declares.
void drawImage(Gdiplus::Graphics& graphics, Gdiplus::Bitmap* image, int x, int y) {
    graphics.DrawImage(image, x, y, static_cast<INT>(image->GetWidth()),
                       static_cast<INT>(image->GetHeight()));
}

void drawThroughMatrix(Gdiplus::Graphics& graphics, Gdiplus::Bitmap* image,
                       const Gdiplus::ColorMatrix& matrix) {
    Gdiplus::ImageAttributes attributes;
    attributes.SetColorMatrix(&matrix, Gdiplus::ColorMatrixFlagsDefault, Gdiplus::ColorAdjustTypeBitmap);
    const INT width = static_cast<INT>(image->GetWidth());
    const INT height = static_cast<INT>(image->GetHeight());
    graphics.DrawImage(image, Gdiplus::Rect(0, 0, width, height), 0, 0, width, height, Gdiplus::UnitPixel,
                       &attributes);
}

Gdiplus::Bitmap* bitmapOf(const std::unique_ptr<CGdiPlusBitmapResource>& image) {
    return image ? image->bitmap() : nullptr;
}

}  // namespace

CGdipButton::~CGdipButton() {
    UnsubclassWindow();
    DeleteToolTip();
}

bool CGdipButton::LoadImage(std::unique_ptr<CGdiPlusBitmapResource>& image, UINT id, const wchar_t* type) {
    image = std::make_unique<CGdiPlusBitmapResource>();
    if (image->Load(id, type))
        return true;
    image.reset();
    return false;
}

bool CGdipButton::LoadStdImage(UINT id, const wchar_t* type) {
    return LoadImage(m_pStdImage, id, type);
}
bool CGdipButton::LoadStdPImage(UINT id, const wchar_t* type) {
    return LoadImage(m_pStdPImage, id, type);
}
bool CGdipButton::LoadStdHImage(UINT id, const wchar_t* type) {
    return LoadImage(m_pStdHImage, id, type);
}

bool CGdipButton::LoadAltImage(UINT id, const wchar_t* type) {
    m_bHaveAltImage = LoadImage(m_pAltImage, id, type);
    return m_bHaveAltImage;
}

void CGdipButton::SetDisabled(bool disabled) {
    m_bIsDisabled = disabled;
    if (hwnd())
        Invalidate(false);
}

void CGdipButton::PreSubclassWindow() {
    const LONG_PTR style = GetWindowLongPtrW(hwnd(), GWL_STYLE);
    SetWindowLongPtrW(hwnd(), GWL_STYLE, (style & ~static_cast<LONG_PTR>(BS_TYPEMASK)) | BS_OWNERDRAW);
    SetWindowPos(hwnd(), nullptr, 0, 0, 0, 0,
                 SWP_FRAMECHANGED | SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

LRESULT CGdipButton::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    if (message >= WM_MOUSEFIRST && message <= WM_MOUSELAST)
        RelayToToolTip(message, wParam, lParam);
    switch (message) {
        case WM_ERASEBKGND:
            return TRUE;
        case BM_SETSTATE:
            // Every press, by mouse or keyboard, pushes the button through here.
            if (wParam && !(Default(BM_GETSTATE, 0, 0) & BST_PUSHED))
                OnPressBegins();
            break;
        case WM_LBUTTONDBLCLK:
            // A quick second click is a second press, not a double click.
            return Default(WM_LBUTTONDOWN, wParam, lParam);
        case WM_MOUSEMOVE:
            OnMouseMove();
            break;
        case WM_MOUSEHOVER:
            OnMouseHover();
            return 0;
        case WM_MOUSELEAVE:
            OnMouseLeave();
            return 0;
        default:
            break;
    }
    return Default(message, wParam, lParam);
}

bool CGdipButton::OnReflectedMessage(UINT message, WPARAM, LPARAM lParam, LRESULT& result) {
    if (message == WM_CTLCOLORBTN) {
        if (!m_bHaveBitmaps && bitmapOf(m_pStdImage))
            BuildStateImages();
        return false;  // no brush of our own
    }
    if (message == WM_DRAWITEM) {
        DrawItem(*reinterpret_cast<const DRAWITEMSTRUCT*>(lParam));
        result = TRUE;
        return true;
    }
    return false;
}

void CGdipButton::CaptureBackground(int width, int height) {
    const HWND parent = GetParent();
    RECT window;
    GetWindowRect(hwnd(), &window);
    MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&window), 2);
    const HDC parentDC = GetDC(parent);
    if (m_dcBk.Create(parentDC, width, height)) {
        BitBlt(m_dcBk.hdc(), 0, 0, width, height, parentDC, window.left, window.top, SRCCOPY);
    }
    ReleaseDC(parent, parentDC);
}

void CGdipButton::BuildStateImages() {
    RECT client;
    GetClientRect(hwnd(), &client);
    const int width = client.right - client.left;
    const int height = client.bottom - client.top;
    if (width <= 0 || height <= 0)
        return;
    if (!m_dcBk.exists()) {
        // The parent is copied as it looks on screen, so it must be showing
        // and painted. A button can be drawn earlier (when it takes the focus
        // as its dialog starts); the pictures are then built at a later paint.
        const HWND parent = GetParent();
        if (!IsWindowVisible(parent))
            return;
        UpdateWindow(parent);
        CaptureBackground(width, height);
    }
    if (!m_dcBk.exists())
        return;

    const HDC buttonDC = GetDC(hwnd());
    {
        CMemDC memory(buttonDC, client);
        // Background, then the image, then keep a copy as the state's picture.
        auto compose = [&](PictureDC& picture, auto&& draw) {
            if (picture.exists())
                return;
            BitBlt(memory, 0, 0, width, height, m_dcBk.hdc(), 0, 0, SRCCOPY);
            {
                Gdiplus::Graphics graphics(memory.hdc());
                draw(graphics);
            }
            if (picture.Create(buttonDC, width, height)) {
                BitBlt(picture.hdc(), 0, 0, width, height, memory, 0, 0, SRCCOPY);
            }
        };
        Gdiplus::Bitmap* standard = bitmapOf(m_pStdImage);
        Gdiplus::Bitmap* pressed = bitmapOf(m_pStdPImage) ? bitmapOf(m_pStdPImage) : standard;
        Gdiplus::Bitmap* hot = bitmapOf(m_pStdHImage);
        compose(m_dcStd, [&](Gdiplus::Graphics& g) { drawImage(g, standard, 0, 0); });
        compose(m_dcStdP, [&](Gdiplus::Graphics& g) { drawImage(g, pressed, 1, 1); });
        compose(m_dcStdH, [&](Gdiplus::Graphics& g) {
            if (hot) {
                drawImage(g, hot, 0, 0);
            } else {
                drawThroughMatrix(g, standard, kLighter);
            }
        });
        compose(m_dcGS, [&](Gdiplus::Graphics& g) { drawThroughMatrix(g, standard, kGrey); });
        if (m_bHaveAltImage) {
            Gdiplus::Bitmap* alternate = bitmapOf(m_pAltImage);
            compose(m_dcAlt, [&](Gdiplus::Graphics& g) { drawImage(g, alternate, 0, 0); });
            compose(m_dcAltP, [&](Gdiplus::Graphics& g) { drawImage(g, alternate, 1, 1); });
            compose(m_dcAltH, [&](Gdiplus::Graphics& g) { drawThroughMatrix(g, alternate, kLighter); });
        }
    }
    ReleaseDC(hwnd(), buttonDC);
    if (!m_pCurBtn)
        m_pCurBtn = &m_dcStd;
    m_bHaveBitmaps = true;
}

PictureDC& CGdipButton::PictureFor(ButtonFace face) {
    switch (face) {
        case ButtonFace::kStandardPressed:
            return m_dcStdP;
        case ButtonFace::kStandardHot:
            return m_dcStdH;
        case ButtonFace::kAlternate:
            return m_dcAlt;
        case ButtonFace::kAlternatePressed:
            return m_dcAltP;
        case ButtonFace::kAlternateHot:
            return m_dcAltH;
        case ButtonFace::kDisabled:
            return m_dcGS;
        case ButtonFace::kStandard:
            break;
    }
    return m_dcStd;
}

ButtonLook CGdipButton::Look(bool windowDisabled) const {
    ButtonLook look;
    look.disabled = m_bIsDisabled || windowDisabled;
    look.isToggle = m_bIsToggle;
    look.toggled = m_bIsToggled;
    look.haveAlternate = m_bHaveAltImage;
    look.hovering = m_bIsHovering;
    return look;
}

void CGdipButton::OnPressBegins() {
    ButtonLook look = Look(!IsWindowEnabled(hwnd()));
    notePress(look);
    m_bIsToggled = look.toggled;
}

void CGdipButton::DrawItem(const DRAWITEMSTRUCT& item) {
    const ButtonLook look = Look((item.itemState & ODS_DISABLED) != 0);
    const ButtonFace face = chooseFace(look, (item.itemState & ODS_SELECTED) != 0);
    if (!m_bHaveBitmaps)
        return;
    m_pCurBtn = &PictureFor(face);
    if (!m_pCurBtn->exists())
        return;
    const RECT& rect = item.rcItem;
    BitBlt(item.hDC, 0, 0, rect.right - rect.left, rect.bottom - rect.top, m_pCurBtn->hdc(), 0, 0, SRCCOPY);
}

void CGdipButton::OnMouseMove() {
    if (m_bIsTracking)
        return;
    TRACKMOUSEEVENT track{};
    track.cbSize = sizeof track;
    track.dwFlags = TME_LEAVE | TME_HOVER;
    track.hwndTrack = hwnd();
    track.dwHoverTime = 1;
    m_bIsTracking = TrackMouseEvent(&track) != 0;
}

void CGdipButton::OnMouseHover() {
    m_bIsHovering = true;
    Invalidate(true);
    ShowToolTip();
}

void CGdipButton::OnMouseLeave() {
    m_bIsTracking = false;
    m_bIsHovering = false;
    Invalidate(true);
}

void CGdipButton::ShowToolTip() {
    DeleteToolTip();
    if (m_strToolText.empty())
        return;
    m_pToolTip = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP,
                                 CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, hwnd(), nullptr,
                                 GetModuleHandleW(nullptr), nullptr);
    if (!m_pToolTip)
        return;
    SendMessageW(m_pToolTip, TTM_ACTIVATE, TRUE, 0);
    TTTOOLINFOW tool{};
    tool.cbSize = TTTOOLINFOW_V2_SIZE;  // understood by every version of the common controls
    tool.hwnd = hwnd();
    tool.uId = 1;
    GetClientRect(hwnd(), &tool.rect);
    tool.lpszText = const_cast<wchar_t*>(m_strToolText.c_str());
    if (SendMessageW(m_pToolTip, TTM_GETTOOLCOUNT, 0, 0) == 0) {
        SendMessageW(m_pToolTip, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
    }
    SendMessageW(m_pToolTip, TTM_UPDATETIPTEXTW, 0, reinterpret_cast<LPARAM>(&tool));
    SendMessageW(m_pToolTip, TTM_SETDELAYTIME, TTDT_AUTOMATIC, MAKELPARAM(2000, 0));
    SendMessageW(m_pToolTip, TTM_ACTIVATE, TRUE, 0);
    SendMessageW(m_pToolTip, TTM_UPDATE, 0, 0);
}

void CGdipButton::DeleteToolTip() {
    if (m_pToolTip && IsWindow(m_pToolTip))
        DestroyWindow(m_pToolTip);
    m_pToolTip = nullptr;
}

void CGdipButton::RelayToToolTip(UINT message, WPARAM wParam, LPARAM lParam) {
    if (!m_pToolTip)
        return;
    MSG relayed{};
    relayed.hwnd = hwnd();
    relayed.message = message;
    relayed.wParam = wParam;
    relayed.lParam = lParam;
    relayed.time = static_cast<DWORD>(GetMessageTime());
    GetCursorPos(&relayed.pt);
    SendMessageW(m_pToolTip, TTM_RELAYEVENT, 0, reinterpret_cast<LPARAM>(&relayed));
}

}  // namespace salvora::widgets
