// A progress bar that paints a colour gradient across its whole length and
// uncovers it as the position grows, with an optional centred text.
//
// The window thread moves it with SetPos. Other threads (the scan) send it
// PBM_SETPOS with a non-zero lParam, which the bar records as its position
// on its own thread.
#pragma once

#include <windows.h>

#include "widgets/control_window.h"

namespace salvora::widgets {

class CGradientProgressCtrl : public ControlWindow {
  public:
    CGradientProgressCtrl();

    // Stores the position and sends the bar PBM_SETPOS with lParam 0.
    // Returns the previous position of the standard control.
    int SetPos(int position);
    int GetPos() const { return m_nCurrentPosition; }

    void SetStartColor(COLORREF colour) { m_clrStart = colour; }
    void SetEndColor(COLORREF colour) { m_clrEnd = colour; }
    void SetBkColor(COLORREF colour) { m_clrBkGround = colour; }
    void SetTextColor(COLORREF colour) { m_clrText = colour; }
    void SetShowText(bool show) { m_bShowText = show; }

    COLORREF GetStartColor() const { return m_clrStart; }
    COLORREF GetEndColor() const { return m_clrEnd; }
    COLORREF GetBkColor() const { return m_clrBkGround; }
    int GetLower() const { return m_nLower; }
    int GetUpper() const { return m_nUpper; }

  protected:
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

  private:
    void OnPaint();
    // Paints the gradient (and the text) over `client` with `filled` pixels uncovered.
    void DrawGradient(HDC target, const RECT& client, int filled);
    void DrawWaitText(HDC dc, const RECT& client);
    bool IsVertical() const;

    int m_nLower = 0;
    int m_nUpper = 100;
    int m_nStep = 10;
    int m_nCurrentPosition = 0;
    COLORREF m_clrStart = RGB(255, 0, 0);
    COLORREF m_clrEnd = RGB(0, 0, 255);
    COLORREF m_clrBkGround;
    COLORREF m_clrText = RGB(255, 255, 255);
    bool m_bShowText = false;
};

}  // namespace salvora::widgets
