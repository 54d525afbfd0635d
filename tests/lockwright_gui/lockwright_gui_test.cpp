// Cardwarden's window, started as lockwright.exe --simulate STATE and driven
// from this process: what the user sees on the one-second poll, the password
// panel, the operations on their worker threads with their messages, and the
// refusal to close while an operation runs.
#include <gtest/gtest.h>

#include "screenshot.h"
#include "simulated_cards.h"
#include "window_driver.h"

namespace salvora::lockwright::test {
namespace {

using cardsec::SimSlot;
using cardsec::SimulatedReader;

// Control ids of the main window and of the password panel.
enum Control {
    kDisablePassword = 1003,
    kErase = 1004,
    kLock = 1006,
    kInfoLine = 1011,
    kExit = 1015,
    kCfButton = 1026,
    kSdButton = 1027,
    kSdLabel = 1038,
    kStatusDisplay = 1047,
    kStatusCaption = 1048,
    kPanelOk = IDOK,
    kPassword = 1014,
    kMatchMark = 1015,
    kPasswordAgain = 1018,
};

constexpr UINT kAboutItem = 0x0010;
const COLORREF kLockedRed = RGB(255, 0, 0);
const COLORREF kUnlockedGreen = RGB(86, 240, 39);

// A window started on `cards`, with the test's checks of what it shows.
struct Window : Lockwright {
    explicit Window(SimulatedCards& cards) : Lockwright(cards.path()), cards_(cards) {}
    // Whatever the test did, the simulated reader refused no block the window sent.
    ~Window() {
        const SimulatedReader reader = cards_.now();
        EXPECT_EQ(reader.refused, 0) << reader.lastRefused;
    }

    std::wstring info() const { return textOf(control(kInfoLine)); }
    std::wstring status() const { return textOf(control(kStatusDisplay)); }
    bool showsInfo(const std::wstring& text, int timeoutMs = kWaitMs) const {
        return waitFor([&] { return info() == text; }, timeoutMs);
    }
    bool showsStatus(const std::wstring& text) const {
        return waitFor([&] { return status() == text && visible(control(kStatusDisplay)); });
    }
    bool panelShown() const {
        return waitFor([&] { return visible(panel()); });
    }
    bool panelGone() const {
        return waitFor([&] { return panel() == nullptr; });
    }
    // Waits for a box, checks its text and presses `button`.
    void expectBox(const std::wstring& caption, const std::wstring& text, int button = IDOK,
                   int timeoutMs = kWaitMs) const {
        const MessageBoxWindow box = waitForBox(pid(), caption, timeoutMs);
        ASSERT_NE(box.window, nullptr)
            << "no message box \"" << std::string(caption.begin(), caption.end()) << "\"";
        EXPECT_EQ(box.text, text);
        EXPECT_TRUE(answer(box, button));
    }
    // Enters `password` into the open entry-mode panel and presses OK.
    void enterPassword(const std::wstring& password) const {
        ASSERT_TRUE(panelShown());
        setText(panelControl(kPassword), password);
        clickPanel(kPanelOk);
    }
    void exitAndExpectEnd() {
        click(kExit);
        EXPECT_EQ(waitForExit(), 0);
    }

  private:
    SimulatedCards& cards_;
};

void insertSd(SimulatedCards& cards, const std::string& password, bool locked = true) {
    ASSERT_TRUE(cards.change([&](SimulatedReader& reader) {
        reader.insertSd(sdCard(password));
        reader.sd->locked = locked && !password.empty();
    }));
}

void insertCf(SimulatedCards& cards, const std::string& password, int eraseUnits = 1, int eraseMs = 3000) {
    ASSERT_TRUE(cards.change([&](SimulatedReader& reader) {
        cardsec::SimCfCard card = cfCard(password);
        card.eraseUnits = static_cast<uint8_t>(eraseUnits);
        card.eraseMs = eraseMs;
        reader.insertCf(card);
    }));
}

TEST(SdCard, LockedCardIsSelectedShownLockedAndUnlockedWithItsPassword) {
    SimulatedCards cards;
    insertSd(cards, "secret");
    Window window(cards);
    ASSERT_NE(window.window(), nullptr);

    ASSERT_TRUE(window.showsStatus(L"LOCKED"));
    EXPECT_TRUE(selected(window.control(kSdButton)));
    EXPECT_FALSE(selected(window.control(kCfButton)));
    EXPECT_FALSE(enabled(window.control(kCfButton)));
    EXPECT_EQ(window.info(), L"Security: Enabled\n");
    EXPECT_EQ(textOf(window.control(kLock)), L"Unlock");
    EXPECT_TRUE(visible(window.control(kStatusCaption)));
    EXPECT_EQ(textOf(window.control(kSdLabel)), L"Disk (D:)");
    for (int id : {kLock, kDisablePassword, kErase})
        EXPECT_TRUE(enabled(window.control(id)));
    const WindowShot locked = WindowShot::settled(window.window());
    EXPECT_GT(locked.count(window.control(kStatusDisplay), kLockedRed), 20) << "LOCKED is drawn in red";
    EXPECT_TRUE(locked.save(L"sd-locked.png"));

    window.click(kLock);
    ASSERT_TRUE(window.panelShown());
    EXPECT_EQ(window.info(),
              L"Unlock your SD card for temporary access.\nThe card will be re-locked upon removal.");
    EXPECT_FALSE(visible(window.panelControl(kPasswordAgain)));
    EXPECT_FALSE(visible(window.control(kStatusDisplay)));
    EXPECT_TRUE(selected(window.control(kLock)));
    setText(window.panelControl(kPassword), L"wrong");
    pressEnter(window.panelControl(kPassword));  // Enter is the panel's OK
    window.expectBox(L"Failed!", L"Unable to unlock SD card!");
    EXPECT_TRUE(window.panelGone());
    EXPECT_TRUE(window.showsStatus(L"LOCKED"));
    EXPECT_TRUE(cards.now().sd->locked);

    window.click(kLock);
    window.enterPassword(L"secret");
    const MessageBoxWindow unlocked = waitForBox(window.pid(), L"Success!");
    EXPECT_EQ(unlocked.text,
              L"SD card successfully unlocked.\nThe SD card will remain UNLOCKED until it is removed and "
              L"re-inserted.");
    EXPECT_EQ(window.info(), L"Unlocking SD card. Please wait...");  // the worker waits for the answer
    EXPECT_FALSE(enabled(window.control(kSdButton)));
    EXPECT_TRUE(answer(unlocked, IDOK));
    EXPECT_TRUE(window.showsStatus(L"UNLOCKED"));
    EXPECT_TRUE(
        waitFor([&] { return !enabled(window.control(kLock)) && enabled(window.control(kSdButton)); }));
    EXPECT_TRUE(enabled(window.control(kDisablePassword)));
    EXPECT_FALSE(enabled(window.control(kErase)));
    EXPECT_GT(WindowShot::settled(window.window()).count(window.control(kStatusDisplay), kUnlockedGreen), 20);
    EXPECT_FALSE(cards.now().sd->locked);
    window.exitAndExpectEnd();
}

TEST(SdCard, CardUnlockedBeforeTheStartMustBeReinserted) {
    SimulatedCards cards;
    insertSd(cards, "pw", false);
    Window window(cards);
    ASSERT_TRUE(window.showsInfo(L"Please re-insert your SD card to use the Cardwarden"));
    EXPECT_TRUE(selected(window.control(kSdButton)));
    EXPECT_EQ(window.status(), L"");
    for (int id : {kLock, kDisablePassword, kErase})
        EXPECT_FALSE(enabled(window.control(id)));

    ASSERT_TRUE(cards.change([](SimulatedReader& reader) { reader.remove(SimSlot::kSd); }));
    EXPECT_TRUE(window.showsInfo(L"SD card is not inserted"));
    EXPECT_FALSE(enabled(window.control(kSdButton)));
    EXPECT_EQ(textOf(window.control(kSdLabel)), L"");
    ASSERT_TRUE(cards.change([](SimulatedReader& reader) { reader.insertSd(sdCard("pw")); }));
    EXPECT_TRUE(window.showsStatus(L"LOCKED"));
    EXPECT_EQ(window.info(), L"Security: Enabled\n");
    EXPECT_EQ(textOf(window.control(kLock)), L"Unlock");

    // The SD erase asks first, on its worker; No leaves the card as it was.
    window.click(kErase);
    window.expectBox(
        L"Confirmation",
        L"This function will peramanently erase all data stored on the memory card.\nData recovery "
        L"will be impossible. Use at your own risk.\nDo you really want to erase all data on this "
        L"card?",
        IDNO);
    EXPECT_TRUE(
        waitFor([&] { return enabled(window.control(kSdButton)) && enabled(window.control(kErase)); }));
    EXPECT_TRUE(window.showsStatus(L"LOCKED"));
    EXPECT_EQ(cards.now().sd->contents, "data");

    // Taking the card out while its password panel is open closes the panel.
    window.click(kDisablePassword);
    ASSERT_TRUE(window.panelShown());
    EXPECT_EQ(window.info(), L"Password security on this SD card will be removed.");
    ASSERT_TRUE(cards.change([](SimulatedReader& reader) { reader.remove(SimSlot::kSd); }));
    EXPECT_TRUE(window.showsInfo(L"SD card is not inserted"));
    EXPECT_TRUE(window.panelGone());
    for (int id : {kLock, kDisablePassword, kErase})
        EXPECT_FALSE(enabled(window.control(id)));
    window.exitAndExpectEnd();
}

TEST(CfCard, PasswordIsSetAfterTheRulesOfTheSetModePanel) {
    SimulatedCards cards;
    insertCf(cards, "");
    Window window(cards);
    ASSERT_TRUE(window.showsInfo(L"Security: Disabled\n"));
    EXPECT_TRUE(selected(window.control(kCfButton)));
    EXPECT_EQ(textOf(window.control(kLock)), L"Lock");
    EXPECT_TRUE(enabled(window.control(kLock)));
    EXPECT_FALSE(enabled(window.control(kDisablePassword)));
    EXPECT_FALSE(enabled(window.control(kErase)));
    EXPECT_TRUE(WindowShot::settled(window.window()).save(L"cf-selected.png"));

    window.click(kLock);
    ASSERT_TRUE(window.panelShown());
    EXPECT_EQ(window.info(),
              L"The CF will be locked upon next insertion.\nUpon reinsertion, the correct password will be "
              L"required for access.");
    const HWND password = window.panelControl(kPassword);
    const HWND again = window.panelControl(kPasswordAgain);
    const HWND mark = window.panelControl(kMatchMark);
    EXPECT_TRUE(visible(again));
    EXPECT_FALSE(visible(mark));

    type(password, L"ab ");
    window.expectBox(L"Error!", L"Space key is not allowed!");
    EXPECT_EQ(textOf(password), L"ab");
    type(password, L"c");
    type(again, L"abd");
    EXPECT_TRUE(waitFor([&] { return textOf(again) == L"abd"; }));
    EXPECT_FALSE(visible(mark));
    window.clickPanel(kPanelOk);
    window.expectBox(L"Warning", L"Password fields do not match. Please retype the password.");
    type(again, L"\bc");
    EXPECT_TRUE(waitFor([&] { return visible(mark); }));
    EXPECT_TRUE(WindowShot::settled(window.window()).save(L"password-panel-set-mode.png"));

    window.clickPanel(kPanelOk);
    window.expectBox(
        L"Confirmation",
        L"The password you set is\nabc\nPlease do not lose it.\nReminder: The CF card will remain "
        L"UNLOCKED until it is removed and re-inserted.\n\n*Not all cards support built-in security "
        L"functions.\n  Please check the memory card manufacturer for compatibility details.\n\nDo "
        L"you really want to lock this card?",
        IDYES);
    window.expectBox(L"Success!", L"Password set. Please reinsert the CF card to lock it.");
    EXPECT_TRUE(window.panelGone());
    EXPECT_TRUE(window.showsStatus(L"UNLOCKED"));
    EXPECT_EQ(textOf(window.control(kLock)), L"Unlock");
    const SimulatedReader reader = cards.now();
    EXPECT_TRUE(reader.cf->enabled);
    EXPECT_EQ(reader.cf->password.substr(0, reader.cf->password.find('\0')), "abc");
    window.exitAndExpectEnd();
}

TEST(CfCard, EraseShowsItsTimeAndTheWindowCannotBeClosedWhileItRuns) {
    SimulatedCards cards;
    insertCf(cards, "pw", 5, 5000);
    Window window(cards);
    ASSERT_TRUE(window.showsStatus(L"LOCKED"));

    window.click(kErase);
    ASSERT_TRUE(window.panelShown());
    EXPECT_EQ(window.info(),
              L"All data on this CF card will be erased and security protection removed.\nErase Time:~ 10 "
              L"Minutes");
    window.enterPassword(L"pw");
    window.expectBox(
        L"Confirmation",
        L"This function will peramanently erase all data stored on the memory card.\nData recovery "
        L"will be impossible. Use at your own risk.\nDo you really want to erase all data on this "
        L"card?",
        IDYES);
    ASSERT_TRUE(window.showsInfo(L"Erasing CF card,this may take a while. Please wait..."));
    // The accepted panel stays, inert: its field takes no more keys.
    const HWND field = window.panelControl(kPassword);
    const std::wstring before = textOf(field);
    EXPECT_EQ(before, L"pw");  // Wine reads a masked field of another process; Windows would not
    type(field, L"xyz");
    pressEnter(field);
    Sleep(300);
    EXPECT_EQ(textOf(field), before);
    EXPECT_FALSE(visible(window.panelControl(kPanelOk)));

    const std::wstring inProgress =
        L"Security operation in progress! Please wait for the process to complete before closing the "
        L"application.";
    window.closeBox();
    window.expectBox(L"Warning", inProgress);
    window.click(kExit);
    window.expectBox(L"Warning", inProgress);
    EXPECT_TRUE(window.running());
    EXPECT_TRUE(IsWindow(window.window()));
    EXPECT_TRUE(noBox(window.pid(), L"Success!"));

    window.expectBox(L"Success!",
                     L"CF card successfully erased. Please remember to format your card before use.", IDOK,
                     20000);
    EXPECT_TRUE(window.showsInfo(L"Security: Disabled\n"));
    EXPECT_EQ(window.status(), L"");
    EXPECT_EQ(cards.now().cf->contents, "erased");
    window.closeBox();
    EXPECT_EQ(window.waitForExit(), 0);
}

// Regression: the panel converted a password with the system's code page
// and sent whatever came out (a character the code page lacks became '?'),
// and cut a pasted password at 31 characters: a card locked that way might
// never accept its password again.
TEST(CfCard, PasswordsThatCouldNotBeTypedAgainAreRefusedBeforeAnythingIsSent) {
    SimulatedCards cards;
    insertCf(cards, "");
    Window window(cards);
    ASSERT_TRUE(window.showsInfo(L"Security: Disabled\n"));
    window.click(kLock);
    ASSERT_TRUE(window.panelShown());
    const HWND password = window.panelControl(kPassword);
    const HWND again = window.panelControl(kPasswordAgain);
    for (const wchar_t* text : {L"p\u00e4ssword", L"tab\there", L"\u20ac uro"}) {
        setText(password, text);
        setText(again, text);
        window.clickPanel(kPanelOk);
        window.expectBox(L"Warning",
                         L"The password may only contain the letters A-Z and a-z, digits and the punctuation "
                         L"marks of an English keyboard (no accented letters, tabs or other control "
                         L"characters), so that it can be typed again on any computer.");
        EXPECT_TRUE(noBox(window.pid(), L"Confirmation"));
        EXPECT_TRUE(window.panelShown());
    }
    const std::wstring longer(40, L'k');
    setText(password, L"");
    ASSERT_TRUE(paste(password, longer));
    EXPECT_TRUE(waitFor([&] { return textOf(password) == longer; })) << "the field cut the pasted text";
    setText(again, longer);
    window.clickPanel(kPanelOk);
    window.expectBox(L"Warning", L"The password is too long. Please use at most 31 characters.");
    EXPECT_TRUE(noBox(window.pid(), L"Confirmation"));
    const SimulatedReader reader = cards.now();
    EXPECT_FALSE(reader.cf->enabled);
    EXPECT_EQ(reader.cf->securityCommands, 0);
    EXPECT_EQ(reader.refused, 0);
    window.exitAndExpectEnd();
}

int top(HWND window) {
    RECT rect{};
    GetWindowRect(window, &rect);
    return rect.top;
}

TEST(CfCard, ExpiredAttemptCounterMovesTheStatusDownAndDisablesEverything) {
    SimulatedCards cards;
    insertCf(cards, "pw");
    Window window(cards);
    ASSERT_TRUE(window.showsStatus(L"LOCKED"));
    const HWND info = window.control(kInfoLine);
    const int statusBelowInfo = top(window.control(kStatusDisplay)) - top(info);
    const int captionBelowInfo = top(window.control(kStatusCaption)) - top(info);

    ASSERT_TRUE(cards.change([](SimulatedReader& reader) { reader.remove(SimSlot::kCf); }));
    ASSERT_TRUE(window.showsInfo(L"CF card is not inserted"));
    ASSERT_TRUE(cards.change([](SimulatedReader& reader) {
        reader.insertCf(cfCard("pw"));
        reader.cf->attemptsLeft = 0;
    }));
    ASSERT_TRUE(
        window.showsInfo(L"Security: Enabled\nMaximum number of failed login attemts exceeded.\nPlease "
                         L"reinsert card to try again.\n"));
    EXPECT_EQ(top(window.control(kStatusDisplay)) - top(info), statusBelowInfo + 12);
    EXPECT_EQ(top(window.control(kStatusCaption)) - top(info), captionBelowInfo + 12);
    for (int id : {kLock, kDisablePassword, kErase})
        EXPECT_FALSE(enabled(window.control(id)));
    window.exitAndExpectEnd();
}

TEST(Window, UnusableStateFileIsReported) {
    SimulatedCards cards;
    ASSERT_TRUE(cards.change([](SimulatedReader&) {}));
    const HANDLE file =
        CreateFileW(cards.path().c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    const char garbage[] = "generation many\n";
    DWORD written = 0;
    WriteFile(file, garbage, sizeof garbage - 1, &written, nullptr);
    CloseHandle(file);
    Lockwright program(cards.path(), false);
    const MessageBoxWindow box = waitForBox(program.pid(), L"Error!");
    ASSERT_NE(box.window, nullptr);
    EXPECT_EQ(box.text.rfind(L"The simulated reader cannot be used: ", 0), 0u);
    EXPECT_TRUE(noBox(program.pid(), L"Cardwarden"));  // no window on a reader that cannot be read
    EXPECT_TRUE(answer(box, IDOK));
    EXPECT_EQ(program.waitForExit(), 7);
}

TEST(Window, AboutBoxAndEmptyReader) {
    SimulatedCards cards;
    Window window(cards);
    ASSERT_TRUE(window.showsInfo(L"Please insert your card !"));
    EXPECT_FALSE(enabled(window.control(kSdButton)));
    EXPECT_FALSE(enabled(window.control(kCfButton)));
    PostMessageW(window.window(), WM_SYSCOMMAND, kAboutItem, 0);
    const MessageBoxWindow about = waitForBox(window.pid(), L"About Cardwarden");
    ASSERT_NE(about.window, nullptr);
    bool versionShown = false;
    EnumChildWindows(
        about.window,
        [](HWND child, LPARAM found) -> BOOL {
            if (textOf(child) == L"Cardwarden, Version 1.0")
                *reinterpret_cast<bool*>(found) = true;
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&versionShown));
    EXPECT_TRUE(versionShown);
    EXPECT_TRUE(answer(about, IDOK));
    // Escape closes the window as its close box does.
    PostMessageW(window.window(), WM_COMMAND, MAKEWPARAM(IDCANCEL, 0), 0);
    EXPECT_EQ(window.waitForExit(), 0);
}

}  // namespace
}  // namespace salvora::lockwright::test
