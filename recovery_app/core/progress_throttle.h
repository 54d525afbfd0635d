// Which progress positions of a scan are worth showing. The scan reports a
// percent after every block, millions of times on a large disk; the window
// is told only when the position grows, so it handles at most 101 positions
// per scan and the bar never runs backwards (the scan steps back a little
// after each saved file).
#pragma once

namespace salvora {

class ProgressThrottle {
  public:
    // Forgets the positions of an earlier scan.
    void start() { lastSent_ = -1; }
    // True when `percent` (0 to 100) should be shown: it is above every
    // position shown since start(). The position is then taken as shown.
    bool shouldSend(int percent);

  private:
    int lastSent_ = -1;
};

}  // namespace salvora
