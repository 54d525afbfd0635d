// Helpers of the gallery tests: message pumping, reading the pixels of a
// painted window, and saving a window as a PNG file.
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace salvora::widgets::test {

// Dispatches the thread's messages for `milliseconds`.
void pump(int milliseconds);
// Dispatches messages until `done` holds or `milliseconds` pass; returns `done()`.
bool pumpUntil(const std::function<bool()>& done, int milliseconds);

// The client area of a window as it is on screen, one COLORREF per pixel.
class Picture {
  public:
    static Picture ofClient(HWND window);
    static Picture ofWindow(HWND window);  // with frame and caption

    int width() const { return width_; }
    int height() const { return height_; }
    COLORREF at(int x, int y) const { return pixels_[static_cast<size_t>(y) * width_ + x]; }
    // Writes the picture as a PNG file; false on failure.
    bool savePng(const std::wstring& path) const;

  private:
    static Picture grab(HDC source, int width, int height);
    int width_ = 0;
    int height_ = 0;
    std::vector<COLORREF> pixels_;
};

}  // namespace salvora::widgets::test
