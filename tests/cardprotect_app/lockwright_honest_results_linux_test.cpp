// What the lockwright program may never claim, tried through the built
// program against the simulated reader: refused commands, a card that stays
// busy, passwords that could not be typed again, other programs using the
// reader at the same time, cards taken out or replaced during an operation,
// and command lines that could aim at the wrong reader or slot.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <vector>

#include "lockwright_runner.h"

namespace salvora::lockwright::test {
namespace {

using std::chrono::steady_clock;

TEST_F(Lockwright, RefusedCfCommandsFailAndLeaveTheCardAsItWas) {
    run("sim insert cf");
    const std::string before = run("status --slot cf").output;
    run("sim fault cf refuse");
    const Outcome lock = run("lock --slot cf", "pw\npw\ny\n");
    EXPECT_EQ(lock.status, 1) << lock.output;
    EXPECT_TRUE(lock.says("Failed! Unable to set password!"));
    EXPECT_FALSE(lock.says("Success!"));
    EXPECT_EQ(run("status --slot cf").output, before);

    run("sim insert cf --password pw");
    const std::string locked = run("status --slot cf").output;
    ASSERT_NE(locked.find("Status: LOCKED"), std::string::npos) << locked;
    run("sim fault cf refuse");
    const Outcome remove = run("remove-password --slot cf", "pw\n");
    EXPECT_EQ(remove.status, 1) << remove.output;
    EXPECT_TRUE(remove.says("Failed! Unable to remove CF password!"));
    EXPECT_EQ(run("status --slot cf").output, locked);
    run("sim fault cf refuse");
    const Outcome erase = run("erase --slot cf", "pw\ny\n");
    EXPECT_EQ(erase.status, 1) << erase.output;
    EXPECT_TRUE(erase.says("Failed! Preparing erasing CF card failed!"));
    EXPECT_EQ(run("status --slot cf").output, locked);
    EXPECT_NE(show().find("contents=data"), std::string::npos);
}

TEST_F(Lockwright, RefusedSdCommandsFailAndThePasswordStays) {
    run("sim insert sd --password pw");
    run("sim fault sd refuse");
    const Outcome remove = run("remove-password --slot sd", "pw\n");
    EXPECT_EQ(remove.status, 1) << remove.output;
    EXPECT_TRUE(remove.says("Failed! Unable to remove SD password!!"));
    run("sim fault sd refuse");
    const Outcome erase = run("erase --slot sd", "y\n");
    EXPECT_EQ(erase.status, 1) << erase.output;
    EXPECT_TRUE(erase.says("Failed! Uuable to erase SD card!"));
    run("sim power-cycle sd");
    EXPECT_TRUE(run("status --slot sd").says("Status: LOCKED"));
    EXPECT_NE(show().find("sd card password=\"pw\" locked=yes contents=data lock-unlock-commands=0"),
              std::string::npos)
        << show();
}

TEST_F(Lockwright, FaultsAreClearedOnRequest) {
    run("sim insert sd --password pw");
    run("sim fault sd refuse");
    EXPECT_NE(show().find("refuse-next=yes"), std::string::npos);
    EXPECT_EQ(run("sim fault sd clear").status, 0);
    EXPECT_EQ(run("unlock --slot sd", "pw\n").status, 0);
    EXPECT_EQ(run("sim fault sd stuck-busy").status, 2);  // an SD card cannot be stuck busy
}

TEST_F(Lockwright, CfCardThatStaysBusyEndsEveryCommandWithinTenSeconds) {
    run("sim insert cf --password pw");
    run("sim fault cf stuck-busy");
    for (const char* command : {"status --slot cf", "unlock --slot cf"}) {
        const auto begin = steady_clock::now();
        const Outcome outcome = run(command, "pw\n");
        EXPECT_LT(steady_clock::now() - begin, std::chrono::seconds(10)) << command;
        EXPECT_EQ(outcome.status, 8) << command << "\n" << outcome.output;
        EXPECT_TRUE(outcome.says("CF card: The card did not answer.")) << command << "\n" << outcome.output;
    }
    run("sim fault cf clear");
    EXPECT_EQ(run("unlock --slot cf", "pw\n").status, 0);
}

TEST_F(Lockwright, PasswordsThatCouldNotBeTypedAgainAreRefusedBeforeAnythingIsSent) {
    run("sim insert sd");
    run("sim insert cf");
    const std::string refused[] = {"p\xC3\xA4ssword", "tab\there", std::string("nul\0byte", 8)};
    for (const char* slot : {"sd", "cf"}) {
        for (const std::string& password : refused) {
            const Outcome lock =
                run(std::string("lock --slot ") + slot, password + "\n" + password + "\ny\n");
            EXPECT_EQ(lock.status, 5) << slot;
            const std::string message = "The password may only contain the letters A-Z and a-z";
            const size_t first = lock.output.find(message);
            EXPECT_NE(first, std::string::npos) << lock.output;
            EXPECT_EQ(lock.output.find(message, first + 1), std::string::npos) << "one message";
            EXPECT_FALSE(lock.says("Do you really want to lock"));
        }
    }
    const std::string shown = show();
    EXPECT_NE(shown.find("lock-unlock-commands=0"), std::string::npos) << shown;
    EXPECT_NE(shown.find("security-commands=0"), std::string::npos) << shown;
}

// Regression: with a second lockwright reading the status in a loop, a CF
// erase or unlock with a wrong password printed "Success!" and exited 0: the
// other process's reads cleared the card's error before this one read it.
TEST_F(Lockwright, WrongPasswordFailsEveryTimeWhileAnotherProcessPollsTheStatus) {
    run("sim insert cf --password pw --erase-seconds 1");
    const auto stop = dir.path() / "stop";
    const std::string poller = "(while [ ! -e " + quote(stop.string()) + " ]; do " + quote(LOCKWRIGHT_EXE) +
                               " status --simulate " + quote(state) + " > /dev/null 2>&1; done) &";
    ASSERT_EQ(std::system(poller.c_str()), 0);
    for (int i = 0; i < 20; ++i) {
        run("sim power-cycle cf");  // a full attempt counter for every try
        const Outcome erase = run("erase --slot cf", "bad\ny\n");
        EXPECT_EQ(erase.status, 1) << erase.output;
        EXPECT_TRUE(erase.says("Failed! Unable to erase CF card!")) << erase.output;
        const Outcome unlock = run("unlock --slot cf", "bad\n");
        EXPECT_EQ(unlock.status, 1) << unlock.output;
        EXPECT_TRUE(unlock.says("Failed! Unable to unlock CF card!")) << unlock.output;
    }
    std::ofstream(stop) << "";
    EXPECT_NE(show().find("locked=yes"), std::string::npos);
    EXPECT_NE(show().find("contents=data"), std::string::npos);
    std::this_thread::sleep_for(std::chrono::milliseconds(300));  // the poller's last run ends
}

// Regression: of twenty lock runs at once, up to twelve printed Success and
// the card held one of their passwords. Every run's answers come through a
// pipe that is written only once the runs had time to read the card: runs
// that were not held off would all send their lock together.
TEST_F(Lockwright, OfTwentyConcurrentSdLocksExactlyOneSucceedsAndItsPasswordHolds) {
    run("sim insert sd");
    std::vector<Background> runs;
    std::vector<int> writers;
    for (int i = 0; i < 20; ++i) {
        const auto fifo = file("answers");
        ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
        writers.push_back(::open(fifo.c_str(), O_RDWR));  // keeps the pipe open without blocking
        ASSERT_GE(writers.back(), 0);
        runs.push_back(start("lock --slot sd", fifo));
    }
    ASSERT_TRUE(waitUntil([&] {
        for (const Background& r : runs) {
            if (r.output().find("New password:") != std::string::npos)
                return true;
        }
        return false;
    }));
    std::this_thread::sleep_for(
        std::chrono::milliseconds(500));  // the others reach their question, if they may
    for (int i = 0; i < 20; ++i) {
        const std::string password = "pw" + std::to_string(10 + i);
        const std::string answers = password + "\n" + password + "\ny\n";
        EXPECT_EQ(::write(writers[i], answers.data(), answers.size()), static_cast<ssize_t>(answers.size()));
    }
    int succeeded = 0;
    std::string winner;
    for (int i = 0; i < 20; ++i) {
        const int status = runs[i].wait(std::chrono::seconds(60));
        ::close(writers[i]);
        EXPECT_NE(status, -1) << "run " << i << " did not end";
        if (status == 0) {
            ++succeeded;
            winner = "pw" + std::to_string(10 + i);
            EXPECT_NE(runs[i].output().find("Success! SD card is now locked."), std::string::npos);
        } else {
            EXPECT_EQ(runs[i].output().find("Success!"), std::string::npos) << runs[i].output();
        }
    }
    EXPECT_EQ(succeeded, 1);
    EXPECT_NE(show().find("password=\"" + winner + "\" locked=yes"), std::string::npos) << show();
}

// Regression: a CF erase during which the card was taken out and put back,
// or replaced, printed "CF card successfully erased" for a card still locked
// with its data.
TEST_F(Lockwright, CfEraseDuringWhichTheCardIsPutBackOrReplacedFails) {
    for (const char* change : {"sim power-cycle cf", "sim insert cf"}) {
        SCOPED_TRACE(change);
        run("sim insert cf --password pw --erase-seconds 20");
        const Background erase = start("erase --slot cf", std::string("pw\ny\n"));
        ASSERT_TRUE(waitUntil([&] { return erase.output().find("Erasing CF card") != std::string::npos; }));
        std::this_thread::sleep_for(std::chrono::milliseconds(300));  // the card is busy erasing now
        EXPECT_EQ(run(change).status, 0);
        EXPECT_EQ(erase.wait(), 1) << erase.output();
        EXPECT_NE(erase.output().find("Failed! Unable to erase CF card!"), std::string::npos)
            << erase.output();
        EXPECT_EQ(erase.output().find("Success!"), std::string::npos);
    }
}

// Regression: "SD card is now locked." for a different card, which then
// held the password typed for the first one.
TEST_F(Lockwright, SdCardSwappedWhileTheLockQuestionIsOpenGetsNothing) {
    run("sim insert sd");
    const auto fifo = dir.path() / "answers";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const int writer = ::open(fifo.c_str(), O_RDWR);  // keeps the pipe open without blocking
    ASSERT_GE(writer, 0);
    const Background lock = start("lock --slot sd", fifo);
    const std::string passwords = "secret\nsecret\n";
    ASSERT_EQ(::write(writer, passwords.data(), passwords.size()), static_cast<ssize_t>(passwords.size()));
    ASSERT_TRUE(
        waitUntil([&] { return lock.output().find("Do you really want to lock") != std::string::npos; }));
    EXPECT_EQ(run("sim remove sd").status, 0);
    EXPECT_EQ(run("sim insert sd").status, 0);
    ASSERT_EQ(::write(writer, "y\n", 2), 2);
    ::close(writer);
    EXPECT_EQ(lock.wait(), 1) << lock.output();
    EXPECT_NE(lock.output().find("The SD card was taken out or replaced after it was read. Nothing was sent"),
              std::string::npos)
        << lock.output();
    EXPECT_NE(show().find("sd card password=none locked=no contents=data lock-unlock-commands=0"),
              std::string::npos)
        << show();
}

TEST_F(Lockwright, CommandLinesThatCouldAimAtTheWrongTargetAreRefused) {
    run("sim insert sd --password pw");
    run("sim insert cf --password pw");
    const std::string before = show();
    // The real reader must never stand in for an empty state file name.
    for (const char* arguments :
         {"status --simulate ''", "erase --slot cf --simulate=", "--simulate= status"}) {
        const Outcome outcome = runRaw(arguments, "pw\ny\n");
        EXPECT_EQ(outcome.status, 2) << arguments << "\n" << outcome.output;
        EXPECT_TRUE(outcome.says("--simulate needs the name of the state file.")) << outcome.output;
    }
    for (const char* arguments :
         {"erase --slot sd --slot cf", "erase --slot ''", "unlock --slot=", "status --slot cf --slot sd"}) {
        const Outcome outcome = run(arguments, "pw\ny\n");
        EXPECT_EQ(outcome.status, 2) << arguments << "\n" << outcome.output;
    }
    EXPECT_EQ(run("status --slot cf --slot cf").status, 0);  // the same slot twice is no conflict
    const Outcome twoStates =
        runRaw("status --simulate " + quote(state) + " --simulate " + quote(state + "x"));
    EXPECT_EQ(twoStates.status, 2);
    EXPECT_TRUE(twoStates.says("--simulate is given twice with different values"));
    std::string after = show();
    // Nothing reached the reader but the one status run above.
    EXPECT_EQ(after.substr(after.find("sd card")), before.substr(before.find("sd card")));
}

// Regression: after "lockwright unlock" a later "lockwright status" said
// "Security: Disabled" and offered only "lock".
TEST_F(Lockwright, StatusAfterAnUnlockSaysWhatIsKnown) {
    run("sim insert sd --password pw");
    ASSERT_EQ(run("unlock --slot sd", "pw\n").status, 0);
    const Outcome status = run("status --slot sd");
    EXPECT_EQ(status.status, 0);
    EXPECT_TRUE(
        status.says("Not locked now. If this card has a password, it applies again when the card is "
                    "re-inserted."))
        << status.output;
    EXPECT_FALSE(status.says("Security: Disabled"));
    EXPECT_TRUE(status.says("Actions: lock, remove-password"));
    EXPECT_EQ(run("remove-password --slot sd", "pw\n").status, 0);
    run("sim power-cycle sd");
    EXPECT_NE(show().find("sd card password=none locked=no"), std::string::npos);
}

// A status read in the middle of an erase would find the card busy and say
// it did not answer; it waits for the erase instead.
TEST_F(Lockwright, AnotherCommandWaitsWhileTheReaderIsHeld) {
    run("sim insert cf --password pw --erase-seconds 5");
    const Background erase = start("erase --slot cf", std::string("pw\ny\n"));
    ASSERT_TRUE(waitUntil([&] { return erase.output().find("Erasing CF card") != std::string::npos; }));
    const Outcome status = run("status --slot cf");  // waits for the erase to end
    EXPECT_EQ(erase.wait(), 0) << erase.output();
    EXPECT_EQ(status.status, 0) << status.output;
    EXPECT_TRUE(status.says("Security: Disabled")) << status.output;
}

}  // namespace
}  // namespace salvora::lockwright::test
