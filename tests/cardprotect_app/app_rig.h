// The window logic on a simulated reader in memory, with fake time.
#pragma once

#include <gtest/gtest.h>

#include "cardprotect_app/core/card_session.h"
#include "cardprotect_app/core/cardwarden_model.h"
#include "scripted_ui.h"
#include "support/card_fakes.h"

namespace salvora::test {

struct AppRig {
    SimRig sim;
    RecordingTransport recorder{sim.transport};
    ScriptedUi ui;
    cardprotect::CardwardenModel model;

    explicit AppRig(cardprotect::ModelOptions options = {}) : model(recorder, sim.time, ui, options) {}
    // Whatever a test did, the simulated reader refused no block: every block
    // the program sent is in the reader's command table.
    ~AppRig() { EXPECT_EQ(sim.reader.refused, 0) << sim.reader.lastRefused; }

    void insertSd(const std::string& password = "") {
        cardsec::SimSdCard card;
        card.password = password;
        sim.reader.insertSd(card);
    }
    void insertCf(const std::string& password = "", bool frozen = false) {
        cardsec::SimCfCard card;
        if (!password.empty())
            card.setUserPassword(password);
        card.frozenAtPowerUp = frozen;
        card.eraseMs = 4000;
        sim.reader.insertCf(card);
    }
    // The window as it stands after start-up and one poll.
    void start() {
        model.initialise();
        model.poll();
    }
    const cardprotect::ViewState& view() const { return model.view(); }
};

inline cardprotect::ModelOptions commandLineOptions() {
    cardprotect::ModelOptions options;
    options.examineCardsPresentAtStart = true;
    return options;
}

}  // namespace salvora::test
