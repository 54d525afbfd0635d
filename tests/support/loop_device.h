// A loop device over an image file, for tests of code that reads real Linux
// block devices (needs root and the loop driver; path() is empty otherwise).
#pragma once

#include <unistd.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace salvora::test {

// Attaches an image file to a free loop device (read-only unless asked
// otherwise); detaches at the end.
class LoopDevice {
  public:
    explicit LoopDevice(const std::string& image, bool readOnly = true) {
        if (geteuid() != 0)
            return;
        const std::string command =
            std::string("losetup --find --show ") + (readOnly ? "--read-only " : "") + image + " 2>/dev/null";
        std::FILE* pipe = popen(command.c_str(), "r");
        if (!pipe)
            return;
        std::array<char, 128> line{};
        if (std::fgets(line.data(), line.size(), pipe))
            path_ = line.data();
        pclose(pipe);
        while (!path_.empty() && (path_.back() == '\n' || path_.back() == ' '))
            path_.pop_back();
    }
    LoopDevice(const LoopDevice&) = delete;
    LoopDevice& operator=(const LoopDevice&) = delete;
    ~LoopDevice() {
        if (!path_.empty())
            std::system(("losetup -d " + path_ + " 2>/dev/null").c_str());
    }
    const std::string& path() const { return path_; }

  private:
    std::string path_;
};

}  // namespace salvora::test
