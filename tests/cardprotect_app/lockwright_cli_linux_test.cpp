// The lockwright program end to end against the simulated reader: every
// command runs the built executable with its answers on standard input.
#include <unistd.h>

#include "lockwright_runner.h"

namespace salvora::lockwright::test {
namespace {

TEST_F(Lockwright, SdLockReinsertAndStatus) {
    ASSERT_EQ(run("sim insert sd").status, 0);
    const Outcome lock = run("lock --slot sd", "secret\nsecret\ny\n");
    EXPECT_EQ(lock.status, 0) << lock.output;
    EXPECT_TRUE(lock.says("Locking SD card. Please wait..."));
    EXPECT_TRUE(lock.says("Success! SD card is now locked."));
    ASSERT_EQ(run("sim power-cycle sd").status, 0);
    const Outcome status = run("status --slot sd");
    EXPECT_EQ(status.status, 0);
    EXPECT_TRUE(status.says("Status: LOCKED")) << status.output;
    EXPECT_TRUE(status.says("Actions: unlock, remove-password, erase"));
}

TEST_F(Lockwright, SdUnlockWrongThenRightStaysUnlockedUntilRemoval) {
    run("sim insert sd --password secret");
    const Outcome wrong = run("unlock --slot sd", "guess\n");
    EXPECT_EQ(wrong.status, 1);
    EXPECT_TRUE(wrong.says("Failed! Unable to unlock SD card!")) << wrong.output;
    EXPECT_TRUE(show().find("locked=yes") != std::string::npos);

    const Outcome right = run("unlock --slot sd", "secret\n");
    EXPECT_EQ(right.status, 0) << right.output;
    EXPECT_TRUE(right.says("SD card successfully unlocked."));
    EXPECT_TRUE(show().find("locked=no") != std::string::npos);
    run("sim power-cycle sd");
    EXPECT_TRUE(show().find("locked=yes") != std::string::npos);
}

TEST_F(Lockwright, SdRemovePasswordAndForcedErase) {
    run("sim insert sd --password secret");
    const Outcome remove = run("remove-password --slot sd", "secret\n");
    EXPECT_EQ(remove.status, 0) << remove.output;
    EXPECT_TRUE(remove.says("Removing Password on SD card. Please wait..."));
    EXPECT_TRUE(remove.says("SD card password protection successfully removed."));
    EXPECT_TRUE(show().find("sd card password=none locked=no contents=data") != std::string::npos);

    run("sim insert sd --password forgotten");
    const Outcome erase = run("erase --slot sd", "y\n");
    EXPECT_EQ(erase.status, 0) << erase.output;
    EXPECT_TRUE(erase.says("Erasing SD card,this may take a while. Please wait..."));
    EXPECT_TRUE(erase.says("SD card successfully erased. Please remember to format your card before use."));
    EXPECT_TRUE(show().find("sd card password=none locked=no contents=erased") != std::string::npos);
}

// Regression: answering n (or nothing) left standard output empty.
TEST_F(Lockwright, SdEraseAnsweredNoLeavesTheCardAndSaysSo) {
    run("sim insert sd --password secret");
    for (const char* answer : {"n\n", ""}) {
        const Outcome erase = run("erase --slot sd", answer);
        EXPECT_EQ(erase.status, 5);
        EXPECT_TRUE(erase.says("Do you really want to erase all data on this card?"));
        EXPECT_TRUE(endsWith(erase.standardOut, "Cancelled. Nothing was sent to the card.\n"))
            << erase.standardOut;
        EXPECT_TRUE(show().find("locked=yes contents=data lock-unlock-commands=0") != std::string::npos);
    }
    const Outcome declined = run("lock --slot cf", "");
    EXPECT_EQ(declined.status, 3);  // no CF card: nothing to cancel
    run("sim insert sd");
    const Outcome noPassword = run("lock --slot sd", "");
    EXPECT_EQ(noPassword.status, 5);
    EXPECT_TRUE(endsWith(noPassword.standardOut,
                         "Cancelled: no acceptable password was given. Nothing was sent to the card.\n"))
        << noPassword.standardOut;
}

TEST_F(Lockwright, CfSetPasswordPowerCycleUnlockDisable) {
    run("sim insert cf");
    const Outcome lock = run("lock --slot cf", "pw\npw\ny\n");
    EXPECT_EQ(lock.status, 0) << lock.output;
    EXPECT_TRUE(lock.says("Success! Password set. Please reinsert the CF card to lock it."));
    run("sim power-cycle cf");
    EXPECT_TRUE(run("status --slot cf").says("Status: LOCKED"));
    const Outcome unlock = run("unlock --slot cf", "pw\n");
    EXPECT_EQ(unlock.status, 0) << unlock.output;
    EXPECT_TRUE(unlock.says("Unlocking CF card. Please wait..."));
    EXPECT_TRUE(unlock.says("CF card successfully unlocked."));
    const Outcome remove = run("remove-password --slot cf", "pw\n");
    EXPECT_EQ(remove.status, 0) << remove.output;
    EXPECT_TRUE(remove.says("Removing Password on CF card. Please wait..."));
    EXPECT_TRUE(remove.says("CF card password protection successfully removed."));
    EXPECT_TRUE(run("status --slot cf").says("Security: Disabled"));
}

TEST_F(Lockwright, CfEraseShowsTheEraseTime) {
    run("sim insert cf --password pw --erase-units 3 --erase-seconds 1");
    const Outcome erase = run("erase --slot cf", "pw\ny\n");
    EXPECT_EQ(erase.status, 0) << erase.output;
    EXPECT_TRUE(erase.says(
        "All data on this CF card will be erased and security protection removed.\nErase Time:~ 6 Minutes"));
    EXPECT_TRUE(erase.says("Preparing erasing CF card. Please wait..."));
    EXPECT_TRUE(erase.says("Erasing CF card,this may take a while. Please wait..."));
    EXPECT_TRUE(erase.says("CF card successfully erased. Please remember to format your card before use."));
    EXPECT_TRUE(show().find("security=disabled") != std::string::npos);
}

TEST_F(Lockwright, CfFiveWrongPasswordsThenTheAttemptCounterText) {
    run("sim insert cf --password pw");
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(run("unlock --slot cf", "bad\n").status, 1);
    const Outcome status = run("status --slot cf");
    EXPECT_TRUE(
        status.says("Maximum number of failed login attemts exceeded.\n  Please reinsert card to try again."))
        << status.output;
    EXPECT_EQ(run("unlock --slot cf", "pw\n").status, 4);
    run("sim power-cycle cf");
    EXPECT_EQ(run("unlock --slot cf", "pw\n").status, 0);
}

TEST_F(Lockwright, FrozenCfCardIsRefused) {
    run("sim insert cf --frozen");
    const Outcome status = run("status --slot cf");
    EXPECT_TRUE(status.says("This card is Frozen")) << status.output;
    EXPECT_TRUE(status.says("Actions: none"));
    const Outcome lock = run("lock --slot cf", "pw\npw\ny\n");
    EXPECT_EQ(lock.status, 4);
    EXPECT_TRUE(show().find("security=disabled") != std::string::npos);
}

TEST_F(Lockwright, CardRemovedDuringEraseEndsWithFailure) {
    run("sim insert cf --password pw --erase-seconds 60");
    const auto in = dir.path() / "erase-in.txt";
    const auto out = dir.path() / "erase-out.txt";
    const auto rc = dir.path() / "erase-rc.txt";
    std::ofstream(in) << "pw\ny\n";
    const std::string background = "(" + quote(LOCKWRIGHT_EXE) + " erase --slot cf --simulate " +
                                   quote(state) + " < " + quote(in.string()) + " > " + quote(out.string()) +
                                   " 2>&1; echo $? > " + quote(rc.string()) + ") &";
    ASSERT_EQ(std::system(background.c_str()), 0);
    const auto start = std::chrono::steady_clock::now();
    while (readText(out).find("Erasing CF card") == std::string::npos &&
           std::chrono::steady_clock::now() - start < std::chrono::seconds(20)) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(500));  // the card is busy erasing now
    run("sim remove cf");
    while (!std::filesystem::exists(rc) &&
           std::chrono::steady_clock::now() - start < std::chrono::seconds(30)) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_EQ(readText(rc), "1\n");
    EXPECT_TRUE(readText(out).find("Failed! Unable to erase CF card!") != std::string::npos) << readText(out);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(30));
}

TEST_F(Lockwright, NoReaderAndEmptySlots) {
    run("sim unplug");
    const Outcome none = run("status");
    EXPECT_EQ(none.status, 3);
    EXPECT_TRUE(none.says("Please connect the Korvell QX7R USB 3.0 card reader !"));
    run("sim plug");
    const Outcome empty = run("unlock --slot sd", "pw\n");
    EXPECT_EQ(empty.status, 3);
    EXPECT_TRUE(empty.says("SD card is not inserted"));
    const Outcome status = run("status");
    EXPECT_EQ(status.status, 0);
    EXPECT_TRUE(status.says("SD card: not inserted"));
}

TEST_F(Lockwright, SimulateOptionMayComeFirst) {
    run("sim insert sd --password pw");
    const std::string command = quote(LOCKWRIGHT_EXE) + " --simulate " + quote(state) +
                                " status --slot sd > " + quote((dir.path() / "first.txt").string());
    EXPECT_EQ(std::system(command.c_str()), 0);
    EXPECT_NE(readText(dir.path() / "first.txt").find("Status: LOCKED"), std::string::npos);
}

TEST_F(Lockwright, SetModeRefusesSpacesAndMismatches) {
    run("sim insert sd");
    const Outcome spaces = run("lock --slot sd", "a b\na b\n");
    EXPECT_EQ(spaces.status, 5);
    EXPECT_TRUE(spaces.says("Error! Space key is not allowed!"));
    const Outcome mismatch = run("lock --slot sd", "abc\nabd\n");
    EXPECT_EQ(mismatch.status, 5);
    EXPECT_TRUE(mismatch.says("Warning Password fields do not match. Please retype the password."));
    const Outcome retyped = run("lock --slot sd", "abc\nabd\nabc\nabc\ny\n");
    EXPECT_EQ(retyped.status, 0) << retyped.output;
    EXPECT_TRUE(show().find("password=\"abc\"") != std::string::npos);
}

TEST_F(Lockwright, CommandLineMistakes) {
    EXPECT_EQ(run("lock").status, 2);
    EXPECT_EQ(run("frobnicate --slot sd").status, 2);
    EXPECT_EQ(run("unlock --slot sd --password x").status, 2);
    EXPECT_EQ(run("status --slot xd").status, 2);
    EXPECT_EQ(run("sim insert").status, 2);
    EXPECT_EQ(run("sim insert sd --frozen").status, 2);
    const Outcome help = run("--help");
    EXPECT_EQ(help.status, 0);
    EXPECT_TRUE(help.says("Exit status:"));
}

TEST_F(Lockwright, UnreadableStateFile) {
    std::ofstream(state) << "cf card\ncf.attempts-left lots\n";
    const Outcome status = run("status");
    EXPECT_EQ(status.status, 7);
    EXPECT_TRUE(status.says(state));
}

TEST_F(Lockwright, RealReaderWithoutRightsGetsOneClearMessage) {
    const std::string exe = quote(LOCKWRIGHT_EXE);
    const auto out = dir.path() / "rights.txt";
    const std::string drop = geteuid() == 0 ? "setpriv --reuid=65534 --regid=65534 --clear-groups " : "";
    const int raw = std::system((drop + exe + " status > " + quote(out.string()) + " 2>&1").c_str());
    ASSERT_TRUE(WIFEXITED(raw));
    EXPECT_EQ(WEXITSTATUS(raw), 6);
    EXPECT_EQ(readText(out).find("Cardwarden requires Administrator Privileges."), 0u) << readText(out);
}

}  // namespace
}  // namespace salvora::lockwright::test
