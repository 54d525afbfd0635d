// Pictures of another process's window as it is on screen: its pixels for
// checks, and a PNG file for people to look at.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace salvora::lockwright::test {

class WindowShot {
  public:
    // The whole window, frame and caption included, copied from the screen.
    static WindowShot of(HWND window);
    // The window once it has finished painting: shots are taken until two in
    // a row agree (at most `timeoutMs`).
    static WindowShot settled(HWND window, int timeoutMs = 3000);

    int width() const { return width_; }
    int height() const { return height_; }
    COLORREF at(int x, int y) const { return pixels_[static_cast<size_t>(y) * width_ + x]; }
    // Pixels of exactly `colour` inside `control`'s rectangle (a child of the shot window).
    int count(HWND control, COLORREF colour) const;
    // Writes LOCKWRIGHT_SHOT_DIR\<name>; false on failure.
    bool save(const std::wstring& name) const;

    bool operator==(const WindowShot& other) const {
        return width_ == other.width_ && height_ == other.height_ && pixels_ == other.pixels_;
    }

  private:
    HWND window_ = nullptr;
    int width_ = 0;
    int height_ = 0;
    std::vector<COLORREF> pixels_;
};

}  // namespace salvora::lockwright::test
