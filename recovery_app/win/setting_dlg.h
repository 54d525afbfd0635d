// The settings dialog: the destination folder and the kinds of files to look
// for. It works on a copy of the main window's settings; the window takes
// the result back after Save.
#pragma once

#include <windows.h>

#include <array>

#include "recovery_app/core/settings_form.h"
#include "widgets/dialog_base.h"

namespace salvora {

class CSettingDlg : public widgets::DialogBase {
  public:
    // A dialog over `settings`, owned by `parent`; read-only when
    // settings.editable is false (a scan runs).
    CSettingDlg(HWND parent, Settings settings);

    // The settings Save kept; meaningful after DoModal returned IDOK.
    const Settings& result() const { return m_settings; }

  protected:
    BOOL OnInitDialog() override;
    // Save.
    void OnOK() override;

  private:
    void SetCaptions();
    void SetUpCheckboxes();
    void SetUpTooltips();
    void OnChoose();
    void OnDeselectAll();

    Settings m_settings;
    std::array<HWND, kFamilyCheckboxes> m_tipFamily{};
};

}  // namespace salvora
