#include "widgets/gradient_progress_ctrl.h"

#include <commctrl.h>

#include "widgets/core/gradient_bands.h"
#include "widgets/mem_dc.h"

namespace salvora::widgets {

namespace {

constexpr wchar_t kWaitText[] = L"Please wait......";

Rgb rgbOf(COLORREF colour) {
    return {GetRValue(colour), GetGValue(colour), GetBValue(colour)};
}

void fill(HDC dc, const RECT& rect, COLORREF colour) {
    const HBRUSH brush = CreateSolidBrush(colour);
    FillRect(dc, &rect, brush);
    DeleteObject(brush);
}

}  // namespace

CGradientProgressCtrl::CGradientProgressCtrl() : m_clrBkGround(GetSysColor(COLOR_BTNFACE)) {}

int CGradientProgressCtrl::SetPos(int position) {
    m_nCurrentPosition = position;
    return static_cast<int>(SendMessageW(hwnd(), PBM_SETPOS, static_cast<WPARAM>(position), 0));
}

bool CGradientProgressCtrl::IsVertical() const {
    return (GetWindowLongPtrW(hwnd(), GWL_STYLE) & PBS_VERTICAL) != 0;
}

LRESULT CGradientProgressCtrl::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_PAINT:
            OnPaint();
            return 0;
        case WM_ERASEBKGND:
            return TRUE;
        case PBM_SETPOS:
            // From another thread: record the position here, on the bar's thread.
            if (lParam != 0)
                m_nCurrentPosition = static_cast<int>(wParam);
            return Default(PBM_SETPOS, wParam, 0);
        default:
            return Default(message, wParam, lParam);
    }
}

void CGradientProgressCtrl::OnPaint() {
    PAINTSTRUCT paint;
    const HDC dc = BeginPaint(hwnd(), &paint);
    RECT client;
    GetClientRect(hwnd(), &client);
    if (showsGradient(m_nLower, m_nUpper, m_nCurrentPosition)) {
        const int extent = IsVertical() ? client.bottom - client.top : client.right - client.left;
        DrawGradient(dc, client, filledLength(m_nCurrentPosition, m_nUpper, extent));
    } else {
        fill(dc, client, GetSysColor(COLOR_BTNFACE));
    }
    EndPaint(hwnd(), &paint);
}

void CGradientProgressCtrl::DrawGradient(HDC target, const RECT& client, int filled) {
    CMemDC memory(target, client);
    const bool vertical = IsVertical();
    const int extent = vertical ? client.bottom - client.top : client.right - client.left;
    const GradientPlan plan = planGradient(rgbOf(m_clrStart), rgbOf(m_clrEnd), extent, filled);
    for (const GradientBand& band : plan.bands) {
        // Across the full thickness plus one pixel.
        const RECT rect =
            vertical ? RECT{client.left, client.top + band.from, client.right + 1, client.top + band.to}
                     : RECT{client.left + band.from, client.top, client.left + band.to, client.bottom + 1};
        fill(memory, rect, RGB(band.colour.red, band.colour.green, band.colour.blue));
    }
    if (plan.backgroundFrom >= 0) {
        const RECT rest =
            vertical ? RECT{client.left, client.top + plan.backgroundFrom, client.right + 1, client.bottom}
                     : RECT{client.left + plan.backgroundFrom, client.top, client.right, client.bottom + 1};
        fill(memory, rest, m_clrBkGround);
    }
    if (m_bShowText)
        DrawWaitText(memory, client);
}

void CGradientProgressCtrl::DrawWaitText(HDC dc, const RECT& client) {
    const HFONT font = reinterpret_cast<HFONT>(SendMessageW(GetParent(), WM_GETFONT, 0, 0));
    const HGDIOBJ oldFont = font ? SelectObject(dc, font) : nullptr;
    ::SetTextColor(dc, m_clrText);
    ::SetBkMode(dc, TRANSPARENT);
    RECT rect = client;
    ::DrawTextW(dc, kWaitText, -1, &rect, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
    if (oldFont)
        SelectObject(dc, oldFont);
}

}  // namespace salvora::widgets
