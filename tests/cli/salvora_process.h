// Runs salvora as a child process the test can steer while it runs: send it
// signals, hold its standard error in a pipe (full from the start, so that its
// first progress line waits until the test lets it go), close that pipe, start
// it with descriptor 2 closed or under a file-size limit.
#pragma once

#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <string>
#include <vector>

namespace salvora::test {

struct ProcessOptions {
    std::filesystem::path standardOutput;  // file for standard output; /dev/null when empty
    bool standardErrorPipe = false;        // standard error into a pipe read by the test (else /dev/null)
    bool pipeStartsFull = false;           // the pipe is filled before the program starts
    bool standardErrorClosed = false;      // the program starts with descriptor 2 closed
    bool standardOutputClosed = false;     // the program starts with descriptor 1 closed
    rlim_t fileSizeLimit = 0;              // RLIMIT_FSIZE in bytes when not 0
};

class SalvoraProcess {
  public:
    SalvoraProcess(const std::vector<std::string>& arguments, const ProcessOptions& options) {
        int pipeEnds[2] = {-1, -1};
        if (options.standardErrorPipe && ::pipe2(pipeEnds, O_CLOEXEC) != 0)
            return;
        if (options.pipeStartsFull)
            fill(pipeEnds[1]);
        pid_ = ::fork();
        if (pid_ == 0)
            runChild(arguments, options, pipeEnds[1]);
        if (pipeEnds[1] >= 0)
            ::close(pipeEnds[1]);
        errorRead_ = pipeEnds[0];
    }

    ~SalvoraProcess() {
        if (pid_ > 0 && status_ == kRunning) {
            ::kill(pid_, SIGKILL);
            wait();
        }
        closeStandardError();
    }

    bool started() const { return pid_ > 0; }
    void signal(int number) const { ::kill(pid_, number); }

    // Reads one line (without its end) of standard error; empty at its end.
    std::string readErrorLine() {
        std::string line;
        char c = 0;
        while (::read(errorRead_, &c, 1) == 1 && c != '\n')
            line += c;
        return line;
    }

    // Reads standard error to its end (the filling of a full pipe included).
    std::string readErrorToEnd() {
        std::string text;
        char buffer[4096];
        for (ssize_t n; (n = ::read(errorRead_, buffer, sizeof buffer)) != 0;) {
            if (n < 0 && errno == EINTR)
                continue;
            if (n < 0)
                break;
            text.append(buffer, static_cast<size_t>(n));
        }
        return text;
    }

    // Closes the test's end of the standard-error pipe: the program's next
    // write there fails (or raises SIGPIPE).
    void closeStandardError() {
        if (errorRead_ >= 0)
            ::close(errorRead_);
        errorRead_ = -1;
    }

    // Waits for the end; the exit status, or 128 + the signal that ended it.
    int wait() {
        if (status_ != kRunning || pid_ <= 0)
            return status_;
        int raw = 0;
        while (::waitpid(pid_, &raw, 0) < 0 && errno == EINTR) {
        }
        status_ = WIFEXITED(raw) ? WEXITSTATUS(raw) : 128 + WTERMSIG(raw);
        return status_;
    }

  private:
    static constexpr int kRunning = -1;

    static void moveTo(int fd, int target) {
        if (fd >= 0 && fd != target) {
            ::dup2(fd, target);
            ::close(fd);
        }
    }

    // Fills the pipe until a write would block, then leaves it blocking.
    static void fill(int fd) {
        const int flags = ::fcntl(fd, F_GETFL);
        ::fcntl(fd, F_SETFL, flags | O_NONBLOCK);
        const std::string filler(4096, '.');
        while (::write(fd, filler.data(), filler.size()) > 0) {
        }
        ::fcntl(fd, F_SETFL, flags);
    }

    [[noreturn]] static void runChild(const std::vector<std::string>& arguments,
                                      const ProcessOptions& options, int errorWrite) {
        const std::string out =
            options.standardOutput.empty() ? "/dev/null" : options.standardOutput.string();
        moveTo(::open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644), STDOUT_FILENO);
        moveTo(::open("/dev/null", O_RDONLY), STDIN_FILENO);
        if (errorWrite >= 0)
            ::dup2(errorWrite, STDERR_FILENO);  // dup2 clears close-on-exec on the copy
        else
            moveTo(::open("/dev/null", O_WRONLY), STDERR_FILENO);
        if (options.standardErrorClosed)
            ::close(STDERR_FILENO);
        if (options.standardOutputClosed)
            ::close(STDOUT_FILENO);
        // As a terminal session would start it, whatever the test runner ignores.
        for (const int number : {SIGPIPE, SIGXFSZ, SIGHUP, SIGINT, SIGTERM})
            ::signal(number, SIG_DFL);
        if (options.fileSizeLimit != 0) {
            const rlimit limit{options.fileSizeLimit, options.fileSizeLimit};
            ::setrlimit(RLIMIT_FSIZE, &limit);
        }
        std::vector<char*> argv{const_cast<char*>(SALVORA_EXE)};
        for (const std::string& argument : arguments)
            argv.push_back(const_cast<char*>(argument.c_str()));
        argv.push_back(nullptr);
        ::execv(SALVORA_EXE, argv.data());
        ::_exit(127);
    }

    pid_t pid_ = -1;
    int errorRead_ = -1;
    int status_ = kRunning;
};

}  // namespace salvora::test
