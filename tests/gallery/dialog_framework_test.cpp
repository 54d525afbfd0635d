// The dialog framework: modal runs, the binding table, default OK/Cancel
// handling and the failure of a missing template.
#include <windows.h>
#include <gtest/gtest.h>

#include <functional>

#include "gallery/gallery_resource.h"
#include "widgets/dialog_base.h"

namespace salvora::widgets::test {
namespace {

// The gallery template run modally; `script` runs once the dialog exists.
class ScriptedDialog : public DialogBase {
  public:
    explicit ScriptedDialog(UINT templateId = IDD_GALLERY) : DialogBase(templateId) {}

    std::function<void(ScriptedDialog&)> script;
    using DialogBase::OnCommand;
    using DialogBase::OnMessage;
    bool initialised = false;

  protected:
    BOOL OnInitDialog() override {
        initialised = true;
        if (script)
            script(*this);
        return TRUE;
    }
};

TEST(DialogFramework, ModalDialogEndsWithTheValueItsHandlerGives) {
    ScriptedDialog dialog;
    dialog.OnCommand(IDC_PLAIN_BUTTON, BN_CLICKED, [&] { dialog.EndDialog(42); });
    dialog.script = [](ScriptedDialog& d) { PostMessageW(d.GetDlgItem(IDC_PLAIN_BUTTON), BM_CLICK, 0, 0); };
    EXPECT_EQ(dialog.DoModal(), 42);
    EXPECT_TRUE(dialog.initialised);
    EXPECT_EQ(dialog.hwnd(), nullptr);
}

TEST(DialogFramework, MessagesReachTheirBoundHandlerWithTheirParameters) {
    ScriptedDialog dialog;
    WPARAM seenTimer = 0;
    dialog.OnMessage(WM_TIMER, [&](WPARAM id, LPARAM) {
        seenTimer = id;
        KillTimer(dialog.hwnd(), id);
        dialog.EndDialog(7);
        return TRUE;
    });
    dialog.script = [](ScriptedDialog& d) { SetTimer(d.hwnd(), 77, 10, nullptr); };
    EXPECT_EQ(dialog.DoModal(), 7);
    EXPECT_EQ(seenTimer, 77u);
}

TEST(DialogFramework, EscapeOrCloseEndsWithCancelWhenNothingElseIsBound) {
    ScriptedDialog dialog;
    dialog.script = [](ScriptedDialog& d) { PostMessageW(d.hwnd(), WM_COMMAND, IDCANCEL, 0); };
    EXPECT_EQ(dialog.DoModal(), IDCANCEL);
    ScriptedDialog enter;
    enter.script = [](ScriptedDialog& d) { PostMessageW(d.hwnd(), WM_COMMAND, IDOK, 0); };
    EXPECT_EQ(enter.DoModal(), IDOK);
}

TEST(DialogFramework, ControlTextsAreReadAndWrittenById) {
    ScriptedDialog dialog;
    std::wstring read;
    bool enabledAfter = true;
    dialog.script = [&](ScriptedDialog& d) {
        d.SetDlgItemText(IDC_FOLDER_STATUS, L"F:\\DCIM\\100KORVL");
        read = d.GetDlgItemText(IDC_FOLDER_STATUS);
        d.EnableDlgItem(IDC_PLAIN_BUTTON, false);
        enabledAfter = IsWindowEnabled(d.GetDlgItem(IDC_PLAIN_BUTTON));
        PostMessageW(d.hwnd(), WM_COMMAND, IDOK, 0);
    };
    EXPECT_EQ(dialog.DoModal(), IDOK);
    EXPECT_EQ(read, L"F:\\DCIM\\100KORVL");
    EXPECT_FALSE(enabledAfter);
}

TEST(DialogFramework, ModelessDialogIsMadeOnceAndDestroyedWithItsObject) {
    HWND window = nullptr;
    {
        ScriptedDialog dialog;
        ASSERT_TRUE(dialog.Create());
        EXPECT_FALSE(dialog.Create());
        window = dialog.hwnd();
        EXPECT_TRUE(IsWindow(window));
    }
    EXPECT_FALSE(IsWindow(window));
}

TEST(DialogFramework, MissingTemplateFailsWithoutADialog) {
    ScriptedDialog dialog(4242);
    EXPECT_EQ(dialog.DoModal(), -1);
    EXPECT_FALSE(dialog.initialised);
    EXPECT_FALSE(dialog.Create());
}

}  // namespace
}  // namespace salvora::widgets::test
