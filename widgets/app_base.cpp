#include "widgets/app_base.h"

#include <objbase.h>
#include <commctrl.h>
#include <gdiplus.h>

namespace salvora::widgets {

AppBase::AppBase() {
    INITCOMMONCONTROLSEX controls{sizeof(INITCOMMONCONTROLSEX), ICC_STANDARD_CLASSES | ICC_WIN95_CLASSES |
                                                                    ICC_PROGRESS_CLASS |
                                                                    ICC_LISTVIEW_CLASSES | ICC_LINK_CLASS};
    InitCommonControlsEx(&controls);
    comStarted_ = SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE));
    Gdiplus::GdiplusStartupInput input;
    if (Gdiplus::GdiplusStartup(&gdiplusToken_, &input, nullptr) != Gdiplus::Ok)
        gdiplusToken_ = 0;
}

AppBase::~AppBase() {
    if (gdiplusToken_)
        Gdiplus::GdiplusShutdown(gdiplusToken_);
    if (comStarted_)
        CoUninitialize();
}

int AppBase::RunMessageLoop(HWND dialog) {
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        if (dialog && IsWindow(dialog) && IsDialogMessageW(dialog, &message))
            continue;
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    return static_cast<int>(message.wParam);
}

}  // namespace salvora::widgets
