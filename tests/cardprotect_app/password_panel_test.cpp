#include "cardprotect_app/core/password_panel.h"

#include <gtest/gtest.h>

#include "scripted_ui.h"

namespace salvora::cardprotect {
namespace {

using test::ScriptedUi;

PanelSettings settingsFor(CardType card, bool setMode, bool remove = false, bool erase = false,
                          uint8_t eraseByte = 0) {
    PanelSettings settings;
    settings.cardType = card;
    settings.setMode = setMode;
    settings.remove = remove;
    settings.erase = erase;
    settings.eraseTimeByte = eraseByte;
    return settings;
}

TEST(PanelExplanation, EveryModeAndCardHasItsText) {
    EXPECT_EQ(
        explanationText(settingsFor(CardType::kSd, true)),
        "SD card will be locked immediately.\nOnly the correct password will unlock the card for access.");
    EXPECT_EQ(
        explanationText(settingsFor(CardType::kCf, true)),
        "The CF will be locked upon next insertion.\nUpon reinsertion, the correct password will be required "
        "for access.");
    EXPECT_EQ(explanationText(settingsFor(CardType::kSd, false, true)),
              "Password security on this SD card will be removed.");
    EXPECT_EQ(explanationText(settingsFor(CardType::kSd, false)),
              "Unlock your SD card for temporary access.\nThe card will be re-locked upon removal.");
    EXPECT_EQ(explanationText(settingsFor(CardType::kCf, false, true)),
              "Password will be erased and security protection will be removed.");
    EXPECT_EQ(
        explanationText(settingsFor(CardType::kCf, false, false, true, 30)),
        "All data on this CF card will be erased and security protection removed.\nErase Time:~ 60 Minutes");
    EXPECT_EQ(explanationText(settingsFor(CardType::kCf, false, false, true, 0)),
              "All data on this CF card will be erased and security protection removed.\n");
    EXPECT_EQ(explanationText(settingsFor(CardType::kCf, false)),
              "Unlock your CF card for temporary access.\nThe card will be re-locked upon removal.");
}

TEST(PanelFields, MatchIndicatorAndSpaceRule) {
    EXPECT_TRUE(fieldsMatch("abc", "abc"));
    EXPECT_FALSE(fieldsMatch("abc", "abd"));
    EXPECT_FALSE(fieldsMatch("", ""));
    EXPECT_TRUE(refusesCharacter(true, ' '));
    EXPECT_FALSE(refusesCharacter(false, ' '));
    EXPECT_FALSE(refusesCharacter(true, 'a'));
}

TEST(PanelOk, SetModeAsksForConfirmationWithThePassword) {
    ScriptedUi ui;
    ui.answers = {true};
    const PanelResult result = acceptPassword(settingsFor(CardType::kSd, true), {"abc", "abc"}, ui);
    EXPECT_EQ(result.verdict, PanelVerdict::kAccepted);
    EXPECT_EQ(result.password.text(), "abc");
    ASSERT_EQ(ui.questions.size(), 1u);
    EXPECT_EQ(ui.questions[0], lockConfirmationText(CardType::kSd, "abc"));
    EXPECT_NE(ui.questions[0].find("The password you set is\nabc\nPlease do not lose it."),
              std::string::npos);
    EXPECT_NE(ui.questions[0].find("lock this card right now?"), std::string::npos);
    EXPECT_NE(lockConfirmationText(CardType::kCf, "abc").find("Reminder: The CF card will remain UNLOCKED"),
              std::string::npos);
}

TEST(PanelOk, RefusalsLeaveNothingAccepted) {
    const struct {
        PanelSettings settings;
        PasswordEntry entry;
        PanelVerdict verdict;
        const char* message;
        const char* caption;
    } cases[] = {
        {settingsFor(CardType::kSd, false),
         {"", ""},
         PanelVerdict::kEmpty,
         "Password field is empty. Please enter a password.",
         "Warning"},
        {settingsFor(CardType::kCf, true),
         {"abc", "abd"},
         PanelVerdict::kMismatch,
         "Password fields do not match. Please retype the password.",
         "Warning"},
        {settingsFor(CardType::kCf, true),
         {"a b", "a b"},
         PanelVerdict::kHasSpace,
         "Space key is not allowed!",
         "Error!"},
        {settingsFor(CardType::kSd, false),
         {std::string(32, 'x'), ""},
         PanelVerdict::kTooLong,
         "The password is too long. Please use at most 31 characters.",
         "Warning"},
    };
    for (const auto& c : cases) {
        ScriptedUi ui;
        ui.answers = {true};
        const PanelResult result = acceptPassword(c.settings, c.entry, ui);
        EXPECT_EQ(result.verdict, c.verdict) << c.message;
        ASSERT_EQ(ui.messages.size(), 1u);
        EXPECT_EQ(ui.messages[0].text, c.message);
        EXPECT_EQ(ui.messages[0].caption, c.caption);
        EXPECT_EQ(ui.messages[0].icon, cardsec::MessageIcon::kStop);
        EXPECT_TRUE(ui.questions.empty());
    }
}

TEST(PanelOk, EntryModeAcceptsSpacesOnceWithoutConfirmation) {
    ScriptedUi ui;
    const PanelResult result = acceptPassword(settingsFor(CardType::kSd, false), {"a b", ""}, ui);
    EXPECT_EQ(result.verdict, PanelVerdict::kAccepted);
    EXPECT_EQ(result.password.text(), "a b");
    EXPECT_TRUE(ui.questions.empty());
}

TEST(PanelOk, DeclinedConfirmation) {
    ScriptedUi ui;
    ui.answers = {false};
    EXPECT_EQ(acceptPassword(settingsFor(CardType::kCf, true), {"abc", "abc"}, ui).verdict,
              PanelVerdict::kDeclined);
}

// Regression: the window converted with the code page (substituting what it
// lacked) and the command line sent the terminal's raw bytes, so a password
// set in one could never be typed again in the other and the card stayed
// locked. UTF-8 "pässword" is what the terminal and the window (which hands
// its text over in UTF-8) deliver.
TEST(PanelOk, RefusesAnythingButPrintableAsciiWithOneMessage) {
    const std::string refused[] = {"p\xC3\xA4ssword", "tab\there", std::string("nul\0byte", 8),
                                   "bell\a",          "del\x7F",   "\xA4"};
    for (bool setMode : {true, false}) {
        for (const std::string& password : refused) {
            ScriptedUi ui;
            ui.answers = {true};
            const PanelResult result =
                acceptPassword(settingsFor(CardType::kCf, setMode), {password, password}, ui);
            EXPECT_EQ(result.verdict, PanelVerdict::kNotAscii);
            ASSERT_EQ(ui.messages.size(), 1u);
            EXPECT_EQ(
                ui.messages[0].text,
                "The password may only contain the letters A-Z and a-z, digits and the punctuation marks "
                "of an English keyboard (no accented letters, tabs or other control characters), so that "
                "it can be typed again on any computer.");
            EXPECT_EQ(ui.messages[0].caption, "Warning");
            EXPECT_TRUE(ui.questions.empty());
        }
    }
    for (const std::string punctuation : {"!\"#$%&'()*+,-./09:;<", "=>?@AZ[\\]^_`az{|}~"}) {
        ScriptedUi ui;
        EXPECT_EQ(acceptPassword(settingsFor(CardType::kSd, false), {punctuation, ""}, ui).verdict,
                  PanelVerdict::kAccepted);
    }
    EXPECT_TRUE(printableAscii(" ~"));
    EXPECT_FALSE(printableAscii("\x1F"));
}

// The hand-over buffer holds 32 bytes with the terminating zero: a 31-character
// password goes through whole, a longer one is refused rather than cut.
TEST(PasswordBuffer, ThirtyOneCharactersPassWhole) {
    ScriptedUi ui;
    const std::string longest(31, 'k');
    const PanelResult result = acceptPassword(settingsFor(CardType::kSd, false), {longest, ""}, ui);
    EXPECT_EQ(result.verdict, PanelVerdict::kAccepted);
    EXPECT_EQ(result.password.text(), longest);
    EXPECT_EQ(result.password.bytes()[31], '\0');
}

}  // namespace
}  // namespace salvora::cardprotect
