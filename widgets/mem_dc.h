// A drawing context that collects drawing off screen and copies it to its
// target in one block when it goes out of scope, so a control repaints
// without flicker.
#pragma once

#include <windows.h>

namespace salvora::widgets {

class CMemDC {
  public:
    // Off screen for the target's current clip box.
    explicit CMemDC(HDC target);
    // Off screen for `rect`, or the target's clip box when `rect` is all
    // zero; with `copyFirst` the target's current picture of the rectangle is
    // copied in first. Drawing uses the target's coordinates.
    CMemDC(HDC target, const RECT& rect, bool copyFirst = false);
    // Copies the collected rectangle to the same place of the target and
    // frees the off-screen bitmap. For a printer target, whose drawing went
    // straight to it, only lets go of the borrowed context.
    virtual ~CMemDC();
    CMemDC(const CMemDC&) = delete;
    CMemDC& operator=(const CMemDC&) = delete;

    // The context to draw on: off screen, or the printer target itself.
    HDC hdc() const { return m_hDC; }
    operator HDC() const { return m_hDC; }
    const RECT& rect() const { return m_rect; }
    bool isOffScreen() const { return m_bMemDC; }

  private:
    void SetUp(const RECT* rect, bool copyFirst);

    HBITMAP m_bitmap = nullptr;     // the off-screen bitmap
    HGDIOBJ m_oldBitmap = nullptr;  // selected before it
    HDC m_pDC;                      // the target (not owned)
    RECT m_rect{};                  // drawn rectangle, target coordinates
    bool m_bMemDC = false;          // drawing goes off screen
    HDC m_hDC = nullptr;            // the context handed out
};

}  // namespace salvora::widgets
