// A field of the password panel. Both fields know the panel's mode and the
// windows of the password field, the confirmation field and the match mark:
// in set mode a typed space is refused with a message, and after every key
// release and paste the match mark shows whether both fields agree. Once the
// panel has accepted a password the field is blocked: keys and edits are
// swallowed.
#pragma once

#include <string>

#include "tool_tip.h"
#include "widgets/control_window.h"

namespace salvora::lockwright {

class CEditCus : public widgets::ControlWindow {
  public:
    struct Peers {
        bool setMode = false;
        HWND password = nullptr;
        HWND confirmation = nullptr;
        HWND matchMark = nullptr;
    };

    // Gives the field the panel's mode and windows. The password field of a
    // set-mode panel also gets the tooltip that explains the space rule.
    void SetPeers(const Peers& peers, bool withSpaceTip);
    // Blocks every key and edit from now on.
    void BlockKeys() { m_bKeyBlock = true; }
    bool KeysBlocked() const { return m_bKeyBlock; }
    // Set mode: shows the match mark while both fields hold the same
    // non-empty text, hides it otherwise.
    void UpdateMatchMark() const;
    // The field's text in UTF-8, unchanged: a character beyond ASCII
    // arrives as bytes the panel refuses, never as a code-page substitute.
    std::string Text() const;

  protected:
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

  private:
    bool Swallows(UINT message) const;

    Peers m_peers;
    bool m_bKeyBlock = false;
    ToolTip m_spaceTip;
};

}  // namespace salvora::lockwright
