// lockwright.exe: the card protection program's entry point.
#include <windows.h>

#include "cardprotect_app/win/lockbay_dlg.h"
#include "widgets/app_base.h"

namespace {

class LockwrightApp : public salvora::widgets::AppBase {
public:
    int Run() override {
        salvora::CLockbayDlg dialog;
        return dialog.DoModal() == -1 ? 1 : 0;
    }
};

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    LockwrightApp app;
    return app.Run();
}
