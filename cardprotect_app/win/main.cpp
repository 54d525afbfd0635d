// lockwright.exe: Cardwarden, card protection for the Korvell QX7R card reader.
#include <windows.h>

#include "lockbay_app.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    salvora::lockwright::CLockbayApp app;
    return app.Run();
}
