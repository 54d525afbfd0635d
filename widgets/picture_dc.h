// A memory drawing context with a bitmap of its own: one prepared picture
// that is shown by copying it.
#pragma once

#include <windows.h>

namespace salvora::widgets {

class PictureDC {
  public:
    PictureDC() = default;
    // Frees the context and its bitmap.
    ~PictureDC() { Destroy(); }
    PictureDC(const PictureDC&) = delete;
    PictureDC& operator=(const PictureDC&) = delete;

    // Makes a context compatible with `like` holding a `width` x `height`
    // bitmap. False (nothing made) on failure.
    bool Create(HDC like, int width, int height);
    void Destroy();

    bool exists() const { return dc_ != nullptr; }
    HDC hdc() const { return dc_; }

  private:
    HDC dc_ = nullptr;
    HBITMAP bitmap_ = nullptr;
    HGDIOBJ oldBitmap_ = nullptr;
};

}  // namespace salvora::widgets
