#pragma once
// A started window and the simulated bridge on a pseudo-terminal as COM99,
// pumped by every sleep of the window on the fake platform's virtual clock.
// Records the frames the bridge received (all but the poll's status
// requests) and whether Timer1 ran during each sleep.

#include <memory>
#include <vector>

#include <QStringList>

#include "sim/pty_bridge.h"
#include "window_fixture.h"

class SimWindowTest : public WindowTest {
protected:
    void SetUp() override;
    void TearDown() override;

    // (Re)starts the simulator; its link goes with the old one.
    qvnsim::PtyBridge& simulator(qvnsim::Options options = {});
    void connect();
    // Address item and poll rate item; the rate "8" gives delay100 60 and delay150 100.
    void activate(int address = 1, const QString& rate = QStringLiteral("8"));
    // CONNECT on COM99 and ACTIVATE controller `address` at `rate` requests a
    // second; the poll timer is stopped again, ticks come from tick().
    void connectAndActivate(int address = 1, const QString& rate = QStringLiteral("8"));
    // One poll tick, as the timer would run it; a box the tick asked for is
    // shown once it has returned.
    void tick();
    void ticks(int n);
    QStringList consoleLines() const;
    // Forgets what was recorded so far.
    void clearRecords();

    std::unique_ptr<qvnsim::PtyBridge> sim;
    QStringList frames;
    std::vector<bool> timerAtSleep;
};
