// Runs the built lockwright program against a simulated reader kept in a
// state file of the test's own folder: in the foreground with its answers on
// standard input, or in the background, watched through its output files.
#pragma once

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <thread>

#include "support/test_files.h"

namespace salvora::lockwright::test {

struct Outcome {
    int status = -1;
    std::string output;       // standard output and error together
    std::string standardOut;  // standard output alone

    bool says(const std::string& text) const { return output.find(text) != std::string::npos; }
};

inline std::string readText(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

inline std::string quote(const std::string& word) {
    std::string quoted = "'";
    for (char c : word)
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

inline bool endsWith(const std::string& text, const std::string& tail) {
    return text.size() >= tail.size() && text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

// Checks `condition` every 20 ms until it holds or `limit` passes.
inline bool waitUntil(const std::function<bool()>& condition,
                      std::chrono::milliseconds limit = std::chrono::seconds(20)) {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > end)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return true;
}

// A lockwright started in the background; its exit code lands in a file.
struct Background {
    std::filesystem::path out, rc;

    std::string output() const { return readText(out); }
    bool ended() const { return std::filesystem::exists(rc) && !readText(rc).empty(); }
    // Waits for the end; the exit code, or -1 when it did not end in time.
    int wait(std::chrono::milliseconds limit = std::chrono::seconds(30)) const {
        if (!waitUntil([&] { return ended(); }, limit))
            return -1;
        return std::atoi(readText(rc).c_str());
    }
};

class Lockwright : public ::testing::Test {
  protected:
    salvora::test::TempDir dir;
    std::string state = (dir.path() / "reader.state").string();
    int serial = 0;

    // After every test: the simulated reader refused no block the program
    // sent (every block is in its command table).
    void TearDown() override {
        if (!std::filesystem::exists(state))
            return;
        const Outcome shown = run("sim show");
        if (shown.status == 0)
            EXPECT_TRUE(shown.says("refused=0")) << shown.output;
    }

    std::filesystem::path file(const std::string& name) {
        return dir.path() / (name + std::to_string(++serial));
    }

    // Runs lockwright with `arguments` and `input` on its standard input, the
    // simulated reader given with --simulate after the arguments.
    Outcome run(const std::string& arguments, const std::string& input = "") {
        return runRaw(arguments + " --simulate " + quote(state), input);
    }

    // Runs lockwright with exactly `arguments`.
    Outcome runRaw(const std::string& arguments, const std::string& input = "") {
        const auto in = file("stdin");
        const auto out = file("stdout");
        const auto err = file("stderr");
        std::ofstream(in, std::ios::binary) << input;
        const std::string command = quote(LOCKWRIGHT_EXE) + " " + arguments + " < " + quote(in.string()) +
                                    " > " + quote(out.string()) + " 2> " + quote(err.string());
        const int raw = std::system(command.c_str());
        Outcome outcome{WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, "", readText(out)};
        outcome.output = outcome.standardOut + readText(err);
        return outcome;
    }

    // Starts lockwright in the background; standard input comes from
    // `inputFile` (a file, or a FIFO the test writes into).
    Background start(const std::string& arguments, const std::filesystem::path& inputFile) {
        Background started{file("bg-out"), file("bg-rc")};
        const std::string command = "(" + quote(LOCKWRIGHT_EXE) + " " + arguments + " --simulate " +
                                    quote(state) + " < " + quote(inputFile.string()) + " > " +
                                    quote(started.out.string()) + " 2>&1; echo $? > " +
                                    quote(started.rc.string()) + ") &";
        EXPECT_EQ(std::system(command.c_str()), 0);
        return started;
    }
    Background start(const std::string& arguments, const std::string& input) {
        const auto in = file("bg-in");
        std::ofstream(in, std::ios::binary) << input;
        return start(arguments, in);
    }

    std::string show() { return run("sim show").output; }
};

}  // namespace salvora::lockwright::test
