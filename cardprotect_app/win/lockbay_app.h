// The Cardwarden program: common controls and GDI+, the administrator check
// with its elevated restart, the choice between the real reader and the
// simulated one (--simulate STATE), and the main window, run modally.
#pragma once

#include <string>
#include <vector>

#include "cardprotect_app/core/launch_options.h"
#include "cardsec/transport.h"
#include "widgets/app_base.h"

namespace salvora::lockwright {

class CLockbayApp : public widgets::AppBase {
  public:
    CLockbayApp();
    // Returns the process exit code: 0 after the window closed or an elevated
    // copy was started, 1 without administrator rights (or when the window
    // cannot be made), 2 for a command line
    // that names no state file, 7 for a state file that cannot be used.
    int Run() override;

  private:
    int RunElevated();
    int RunSimulated();
    int RunWindow(cardsec::ReaderTransport& transport);

    std::vector<std::string> m_arguments;
    cardprotect::LaunchOptions m_options;
};

}  // namespace salvora::lockwright
