// The application object of salvora.exe: starts what the dialogs need, makes
// sure the program runs with administrator rights, shows the end-user
// agreement once per user and runs the main window.
#pragma once

#include <string>
#include <vector>

#include "recovery_app/core/scan_context.h"
#include "recovery_app/core/start_arguments.h"
#include "widgets/app_base.h"

namespace salvora {

class CHarvexApp : public widgets::AppBase {
  public:
    // Starts common controls, COM and GDI+ (AppBase) and reads the command line.
    CHarvexApp();

    // The program's work, in this order: the administrator test (a copy
    // without the rights starts an elevated copy of itself and ends), the
    // agreement when this user has not accepted it, then the main window.
    // Returns the process exit code: 0, or 1 when the program could not run.
    int Run() override { return InitInstance(); }

    // True when the process token is a member of the local Administrators
    // group with that membership enabled (an access check of the token
    // against a descriptor that admits only that group). Any failure: false.
    static bool IsRunAsAdmin();

    // Starts the program's own file with the shell verb "runas" and the
    // parameters "runas" followed by `words`. False without trying when
    // `words` start with "runas" (this copy was started elevated already),
    // and when the shell reports a failure.
    static bool RelaunchElevated(const std::vector<std::string>& words);

  private:
    int InitInstance();
    // True when the agreement was accepted now or before.
    bool AgreementAccepted();

    std::vector<std::string> m_words;  // the command line after the program's name (UTF-8)
    StartArguments m_arguments;
    ScanContext m_scanContext;
};

}  // namespace salvora
