// salvora.exe: the recovery program's entry point.
#include <windows.h>

#include "recovery_app/win/harvex_app.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    salvora::CHarvexApp app;
    return app.Run();
}
