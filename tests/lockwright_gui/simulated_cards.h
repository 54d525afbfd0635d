// The simulated reader of a test: a state file in a folder of its own, changed
// through the same cardsec code that lockwright.exe --simulate reads it with,
// so the test can insert and remove cards while the window runs.
#pragma once

#include <functional>
#include <string>

#include "cardsec/simulated_reader.h"

namespace salvora::lockwright::test {

class SimulatedCards {
  public:
    // A fresh state file: a plugged reader with both slots empty.
    SimulatedCards();
    // Removes the state file and its folder.
    ~SimulatedCards();
    SimulatedCards(const SimulatedCards&) = delete;
    SimulatedCards& operator=(const SimulatedCards&) = delete;

    // Changes the reader under the file's lock. False when the file could not
    // be read or written.
    bool change(const std::function<void(cardsec::SimulatedReader&)>& action);
    // The reader as the file holds it now.
    cardsec::SimulatedReader now();

    // The state file, for lockwright.exe --simulate.
    const std::wstring& path() const { return widePath_; }

  private:
    std::wstring folder_;
    std::wstring widePath_;
    std::string path_;
};

// Cards as a user brings them.
cardsec::SimSdCard sdCard(const std::string& password = "");
cardsec::SimCfCard cfCard(const std::string& password = "");

}  // namespace salvora::lockwright::test
