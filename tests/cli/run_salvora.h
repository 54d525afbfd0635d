// Runs the built salvora program and collects what it printed.
#pragma once

#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "support/disk_images.h"
#include "support/test_files.h"

namespace salvora::test {

struct Run {
    int status = -1;  // exit status
    std::string out;  // standard output
    std::string err;  // standard error
};

// Runs salvora with `arguments` (each quoted for the shell); `prefix` goes
// before the program, for example "setpriv --reuid=65534 ...".
inline Run runSalvora(const std::vector<std::string>& arguments, const std::string& prefix = "") {
    TempDir outputs;
    std::string command = prefix + " " + shellQuoted(SALVORA_EXE);
    for (const std::string& argument : arguments)
        command += " " + shellQuoted(argument);
    const auto out = outputs.path() / "out", err = outputs.path() / "err";
    command += " >" + out.string() + " 2>" + err.string() + " </dev/null";
    const int status = std::system(command.c_str());
    Run run;
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    const auto text = [](const std::filesystem::path& path) {
        const auto bytes = readFile(path);
        return std::string(bytes.begin(), bytes.end());
    };
    run.out = text(out);
    run.err = text(err);
    return run;
}

// The prefix that runs salvora as the unprivileged user "nobody".
inline std::string asNobody() {
    return "setpriv --reuid=65534 --regid=65534 --clear-groups";
}

}  // namespace salvora::test
