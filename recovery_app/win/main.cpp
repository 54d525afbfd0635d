// salvora.exe: the recovery program's entry point.
#include <windows.h>

#include "recovery_app/win/harvex_dlg.h"
#include "widgets/app_base.h"

namespace {

class SalvoraApp : public salvora::widgets::AppBase {
public:
    int Run() override {
        salvora::CHarvexDlg dialog;
        return dialog.DoModal() == -1 ? 1 : 0;
    }
};

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    SalvoraApp app;
    return app.Run();
}
