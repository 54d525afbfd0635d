// An exclusive lock between processes that share a state file.
#pragma once

#include <string>

namespace salvora::cardsec {

class StateFileLock {
  public:
    // Waits for the lock on "<path>.lock" (created when missing).
    explicit StateFileLock(const std::string& path);
    ~StateFileLock();
    StateFileLock(const StateFileLock&) = delete;
    StateFileLock& operator=(const StateFileLock&) = delete;

    bool held() const { return held_; }

  private:
    long long handle_ = -1;
    bool held_ = false;
};

}  // namespace salvora::cardsec
