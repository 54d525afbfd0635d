// A small file system of its own for a test (Linux, root only): a tmpfs of a
// few hundred KiB mounted on a temporary folder, so that writes run out of
// space at a known point. Unmounted at the end of the test.
#pragma once

#include <sys/mount.h>

#include <string>

#include "support/test_files.h"

namespace salvora::test {

class SmallTmpfs {
  public:
    explicit SmallTmpfs(size_t bytes) {
        const std::string options = "size=" + std::to_string(bytes);
        mounted_ = ::mount("tmpfs", dir_.path().c_str(), "tmpfs", 0, options.c_str()) == 0;
    }
    ~SmallTmpfs() {
        if (mounted_)
            ::umount2(dir_.path().c_str(), MNT_DETACH);
    }
    SmallTmpfs(const SmallTmpfs&) = delete;
    SmallTmpfs& operator=(const SmallTmpfs&) = delete;

    // False when it could not be mounted (not root, no mount rights).
    bool mounted() const { return mounted_; }
    const TempDir& dir() const { return dir_; }

  private:
    TempDir dir_;
    bool mounted_ = false;
};

}  // namespace salvora::test
