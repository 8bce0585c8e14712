#include "sim_window.h"

#include <QCoreApplication>

#include "serial/serial.h"

namespace {
constexpr int kPort = 99;
}

void SimWindowTest::SetUp()
{
    start();
    platform.messages.clear(); // the start-up message of the missing settings file
    simulator();
}

void SimWindowTest::TearDown()
{
    serial::closeComPort();
    form.reset();
    sim.reset();
}

qvnsim::PtyBridge& SimWindowTest::simulator(qvnsim::Options options)
{
    sim.reset();
    sim = std::make_unique<qvnsim::PtyBridge>(kPort, work.portFolder(), options, 0.0);
    sim->bridge().setFrameLog([this](std::string_view body) {
        if (body.find("&Q") == std::string_view::npos || body == "@&Q0")
            frames << QString::fromLatin1(body.data(), int(body.size()));
    });
    platform.onSleep = [this](long long ms) {
        if (form) timerAtSleep.push_back(form->Timer1.isActive());
        if (sim) sim->pump(ms / 1000.0);
    };
    return *sim;
}

void SimWindowTest::connect()
{
    form->ComboBoxComPort->setEditText(QStringLiteral("COM99"));
    form->ButtonConnect->click();
}

void SimWindowTest::activate(int address, const QString& rate)
{
    form->ComboBoxI2Caddr->setCurrentIndex(address);
    form->ComboBoxReqFreq->setCurrentIndex(form->ComboBoxReqFreq->findText(rate));
    form->ButtonActivate->click();
}

void SimWindowTest::connectAndActivate(int address, const QString& rate)
{
    connect();
    activate(address, rate);
    // The test is the timer: tick() runs the poll on the virtual clock.
    form->Timer1.stop();
}

void SimWindowTest::tick()
{
    form->guarded([this] { form->Timer1Timer(); });
    // Zero-delay calls are posted events; timers do not run here.
    QCoreApplication::sendPostedEvents();
}

void SimWindowTest::ticks(int n)
{
    for (int i = 0; i < n; ++i) tick();
}

QStringList SimWindowTest::consoleLines() const { return form->Memo1->toPlainText().split('\n'); }

void SimWindowTest::clearRecords()
{
    frames.clear();
    timerAtSleep.clear();
    platform.sleeps.clear();
    platform.messages.clear();
}
