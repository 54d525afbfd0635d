#include "screenshot.h"

// clang-format off
#include <objbase.h>  // the COM types gdiplus.h needs, first
#include <gdiplus.h>
// clang-format on

#include <cstdint>

namespace salvora::lockwright::test {

namespace {

// GDI+ for the PNG encoder, started once for the test program.
class GdiplusSession {
  public:
    GdiplusSession() {
        Gdiplus::GdiplusStartupInput input;
        Gdiplus::GdiplusStartup(&token_, &input, nullptr);
    }
    ~GdiplusSession() { Gdiplus::GdiplusShutdown(token_); }

  private:
    ULONG_PTR token_ = 0;
};

bool pngEncoder(CLSID& encoder) {
    static GdiplusSession session;
    UINT count = 0, size = 0;
    if (Gdiplus::GetImageEncodersSize(&count, &size) != Gdiplus::Ok || size == 0)
        return false;
    std::vector<uint8_t> storage(size);
    auto* codecs = reinterpret_cast<Gdiplus::ImageCodecInfo*>(storage.data());
    if (Gdiplus::GetImageEncoders(count, size, codecs) != Gdiplus::Ok)
        return false;
    for (UINT i = 0; i < count; ++i) {
        if (std::wstring(codecs[i].MimeType) == L"image/png") {
            encoder = codecs[i].Clsid;
            return true;
        }
    }
    return false;
}

std::wstring shotFolder() {
    std::wstring folder = L"" LOCKWRIGHT_SHOT_DIR;
    for (wchar_t& c : folder) {
        if (c == L'/')
            c = L'\\';
    }
    CreateDirectoryW(folder.c_str(), nullptr);
    return folder;
}

}  // namespace

WindowShot WindowShot::of(HWND window) {
    WindowShot shot;
    shot.window_ = window;
    RECT frame{};
    GetWindowRect(window, &frame);
    shot.width_ = frame.right - frame.left;
    shot.height_ = frame.bottom - frame.top;
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = shot.width_;
    info.bmiHeader.biHeight = -shot.height_;  // top row first
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    const HDC screen = GetDC(nullptr);
    void* bits = nullptr;
    const HDC memory = CreateCompatibleDC(screen);
    const HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    const HGDIOBJ old = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, shot.width_, shot.height_, screen, frame.left, frame.top, SRCCOPY);
    GdiFlush();
    const auto* bgra = static_cast<const uint8_t*>(bits);
    shot.pixels_.resize(static_cast<size_t>(shot.width_) * shot.height_);
    for (size_t i = 0; i < shot.pixels_.size(); ++i)
        shot.pixels_[i] = RGB(bgra[4 * i + 2], bgra[4 * i + 1], bgra[4 * i]);
    SelectObject(memory, old);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    return shot;
}

WindowShot WindowShot::settled(HWND window, int timeoutMs) {
    constexpr int kStepMs = 150;
    WindowShot last = of(window);
    for (int waited = 0; waited < timeoutMs; waited += kStepMs) {
        Sleep(kStepMs);
        WindowShot next = of(window);
        if (next == last)
            return next;
        last = std::move(next);
    }
    return last;
}

int WindowShot::count(HWND control, COLORREF colour) const {
    RECT frame{}, area{};
    GetWindowRect(window_, &frame);
    GetWindowRect(control, &area);
    int found = 0;
    for (int y = area.top - frame.top; y < area.bottom - frame.top; ++y) {
        for (int x = area.left - frame.left; x < area.right - frame.left; ++x) {
            if (x >= 0 && y >= 0 && x < width_ && y < height_ && at(x, y) == colour)
                ++found;
        }
    }
    return found;
}

bool WindowShot::save(const std::wstring& name) const {
    CLSID encoder;
    if (width_ <= 0 || height_ <= 0 || !pngEncoder(encoder))
        return false;
    Gdiplus::Bitmap bitmap(width_, height_, PixelFormat24bppRGB);
    for (int y = 0; y < height_; ++y) {
        for (int x = 0; x < width_; ++x) {
            const COLORREF c = at(x, y);
            bitmap.SetPixel(x, y, Gdiplus::Color(GetRValue(c), GetGValue(c), GetBValue(c)));
        }
    }
    const std::wstring path = shotFolder() + L"\\" + name;
    return bitmap.Save(path.c_str(), &encoder, nullptr) == Gdiplus::Ok;
}

}  // namespace salvora::lockwright::test
