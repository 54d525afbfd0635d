// Counts the modal loops (message boxes, the About box) running on the window
// thread. Objects that a handler deep inside such a loop may still be using
// (a closed password panel whose field shows a message) are freed only when
// no modal loop runs.
#pragma once

namespace salvora::lockwright {

class ModalScope {
  public:
    ModalScope() { ++depth_; }
    ~ModalScope() { --depth_; }
    ModalScope(const ModalScope&) = delete;
    ModalScope& operator=(const ModalScope&) = delete;

    // True while no modal loop of the window thread is running.
    static bool outermost() { return depth_ == 0; }

  private:
    static thread_local int depth_;
};

}  // namespace salvora::lockwright
