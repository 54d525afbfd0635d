// An exclusive lock between processes that share a state file.
#pragma once

#include <cstdint>
#include <string>

namespace salvora::cardsec {

class StateFileLock {
  public:
    // Waits for the lock on "<path>.lock" (created when missing) as long as
    // another process holds it.
    explicit StateFileLock(const std::string& path);
    // Locks the file `lockFile` itself (created when missing), waiting at
    // most `waitMs` while another process holds it.
    StateFileLock(const std::string& lockFile, uint32_t waitMs);
    ~StateFileLock();
    StateFileLock(const StateFileLock&) = delete;
    StateFileLock& operator=(const StateFileLock&) = delete;

    bool held() const { return held_; }

  private:
    void lock(const std::string& lockFile, bool wait, uint32_t waitMs);

    long long handle_ = -1;
    bool held_ = false;
};

}  // namespace salvora::cardsec
