// The fault matrix: the window's real poll against the qvnsim program with
// one line fault at a time. For each: what the user sees, that the window
// stays responsive (the event loop never stalls for a second, CONNECT,
// RELEASE, DISCONNECT and closing each return within a second), that the
// settings survive, and that the tool can connect again.

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <QTimer>

#include "app/TForm1.h"
#include "event_loop.h"
#include "qvnsim_process.h"
#include "settings/record.h"
#include "stub_platform.h"
#include "window_fixture.h"

namespace {

constexpr long long kServedMs = 1000; // a click or a close is served within this
const QString kCommunicationError = QStringLiteral(
    "*** COMMUNICATION ERROR. ***\r\nPotential causes:\r\n   Bad Comm Port Settings\r\n"
    "   or USB Port not connected.\r\n   or USB-BT switch at bad position\r\nFix the problem and click CONNECT.");
const QString kDisactivated = QStringLiteral("Motor disactivated. Click Release, then click Activate");

// What the poll showed after each tick.
struct Tick {
    QString rx, comErr, status;
};

class FaultMatrix;

struct Row {
    const char* name;
    std::vector<std::string> options;
    // Polls until the fault has shown (false: it never did), then checks what
    // the user sees.
    std::function<bool(FaultMatrix&)> seen;
    std::function<void(FaultMatrix&)> check;
    enum class Device { Stays, Vanishes, ComesBack } device = Device::Stays;
};

void PrintTo(const Row& row, std::ostream* os) { *os << row.name; }

class FaultMatrix : public ::testing::TestWithParam<Row> {
public:
    int count(const std::function<bool(const Tick&)>& pred, std::size_t from = 1) const
    {
        int n = 0;
        for (std::size_t i = from; i < ticks.size(); ++i) n += pred(ticks[i]) ? 1 : 0;
        return n;
    }
    bool polled(std::size_t n) const { return ticks.size() >= n; }
    static bool isReply(const Tick& t) { return t.rx.startsWith(QLatin1String("A0")); }
    static bool waiting(const Tick& t) { return t.rx == QLatin1String("Waiting 1"); }
    bool linkGone() const
    {
        return !std::filesystem::exists(std::filesystem::symlink_status(work.portFolder() + "/COM99"));
    }
    // The last n ticks all read nothing.
    bool silentFor(std::size_t n) const
    {
        return ticks.size() > n && count(waiting, ticks.size() - n) == static_cast<int>(n);
    }

    std::vector<Tick> ticks;
    StubPlatform platform;
    TempWorkDir work;

protected:
    void connectWithin(int attempts)
    {
        form->ComboBoxComPort->setEditText(QStringLiteral("COM99"));
        // A line that drops or garbles replies may lose the check itself: the
        // user clicks CONNECT again.
        for (int i = 0; i < attempts && !form->isConnected; ++i)
            EXPECT_LT(msTaken([&] { form->ButtonConnect->click(); }), kServedMs) << "CONNECT " << i;
    }

    std::unique_ptr<TForm1> form;
};

TEST_P(FaultMatrix, ShowsTheFaultStaysResponsiveKeepsSettingsAndReconnects)
{
    const Row& row = GetParam();
    auto sim = std::make_unique<QvnsimProcess>(QVNSIM_PATH, work.portFolder(), row.options);
    form = std::make_unique<TForm1>(platform);
    startWindow(*form);
    ASSERT_TRUE(form->startedUp());
    platform.messages.clear();                   // no settings file in the fresh folder
    form->EditKP->setText(QStringLiteral("13")); // a setting that must reach the file
    QObject::connect(&form->Timer1, &QTimer::timeout, form.get(), [this] {
        ticks.push_back({form->LabelRX->text(), form->LabelComErr->text(), form->LabelStatus->text()});
    });

    connectWithin(5);
    ASSERT_TRUE(form->isConnected) << form->LabelRX->text().toStdString();
    platform.messages.clear();
    form->ButtonActivate->click();
    ASSERT_TRUE(form->Timer1.isActive());

    {
        LoopWatch watch;
        ASSERT_TRUE(runUntil([&] { return row.seen(*this); }, 15000)) << ticks.size() << " ticks";
        EXPECT_LT(watch.longestGapMs(), kServedMs);
    }
    row.check(*this);

    if (row.device == Row::Device::ComesBack) {
        // Plugged in again: a new device under the same name.
        sim.reset();
        sim = std::make_unique<QvnsimProcess>(QVNSIM_PATH, work.portFolder());
        ASSERT_FALSE(linkGone());
    }

    platform.messages.clear();
    EXPECT_LT(msTaken([&] { form->ButtonRelease->click(); }), kServedMs);
    EXPECT_LT(msTaken([&] { form->ButtonDisconnect->click(); }), kServedMs);
    EXPECT_FALSE(form->isPortOpen);

    if (row.device == Row::Device::Vanishes) {
        connectWithin(1);
        EXPECT_FALSE(form->isConnected);
        EXPECT_EQ(platform.messages, QStringList{kCommunicationError});
    } else {
        connectWithin(5);
        ASSERT_TRUE(form->isConnected) << form->LabelRX->text().toStdString();
        if (row.device == Row::Device::ComesBack) {
            // And the poll reads the new device.
            form->ButtonActivate->click();
            const std::size_t before = ticks.size();
            EXPECT_TRUE(runUntil([&] { return count(isReply, before) >= 3; }, 5000));
        }
        EXPECT_LT(msTaken([&] { form->ButtonDisconnect->click(); }), kServedMs);
    }

    EXPECT_LT(msTaken([&] { EXPECT_TRUE(form->close()); }), kServedMs);
    settings::TMYSETTINGS saved = settings::defaultSettings();
    ASSERT_TRUE(settings::readRecordFile(work.file("qvnsettings.dat").toStdString(), saved));
    EXPECT_EQ(saved.setting_KP, 13);
}

const Row kRows[] = {
    {"drop",
     {"--drop", "0.3", "--seed", "5"},
     [](FaultMatrix& f) { return f.polled(30); },
     [](FaultMatrix& f) {
         // A lost reply only shows as "Waiting 1"; the others are shown.
         EXPECT_GT(f.count(FaultMatrix::waiting), 0);
         EXPECT_GT(f.count(FaultMatrix::isReply), 10);
         EXPECT_EQ(f.count([](const Tick& t) { return t.comErr == "COM ERROR"; }), 0);
         EXPECT_TRUE(f.platform.messages.isEmpty()) << f.platform.messages.join("|").toStdString();
     }},
    {"delay",
     {"--delay", "150"},
     [](FaultMatrix& f) { return f.polled(30); },
     [](FaultMatrix& f) {
         // Each tick reads an older reply: still a whole one, shown as such.
         EXPECT_GT(f.count(FaultMatrix::isReply, 5), 20);
         EXPECT_EQ(f.ticks.back().comErr, "........");
         EXPECT_EQ(f.ticks.back().status, "Status: STOPPED and LOCKED");
         EXPECT_TRUE(f.platform.messages.isEmpty()) << f.platform.messages.join("|").toStdString();
     }},
    {"split",
     {"--split"},
     [](FaultMatrix& f) { return f.polled(30); },
     [](FaultMatrix& f) {
         // Both halves are in by the time the tick reads.
         EXPECT_GT(f.count(FaultMatrix::isReply, 2), 25);
         EXPECT_EQ(f.count([](const Tick& t) { return t.comErr == "COM ERROR"; }), 0);
         EXPECT_TRUE(f.platform.messages.isEmpty()) << f.platform.messages.join("|").toStdString();
     }},
    {"garble",
     {"--garble", "0.3", "--seed", "3"},
     [](FaultMatrix& f) { return f.polled(40); },
     [](FaultMatrix& f) {
         // Garbled replies show as unread, unknown or "COM ERROR"; the good
         // ones are shown, and no garbled byte reaches an error box.
         const int odd = f.count([](const Tick& t) {
             return FaultMatrix::waiting(t) || t.comErr == "COM ERROR" || !FaultMatrix::isReply(t) ||
                    t.status == "Status: UNKNOWN";
         });
         EXPECT_GT(odd, 0);
         EXPECT_GT(f.count(FaultMatrix::isReply), 15);
         EXPECT_TRUE(f.platform.messages.isEmpty()) << f.platform.messages.join("|").toStdString();
     }},
    {"halt-after",
     {"--halt-after", "8"},
     [](FaultMatrix& f) { return !f.ticks.empty() && f.ticks.back().status == "Status: ERROR HALT" && f.polled(5); },
     [](FaultMatrix& f) {
         // Told once, after normal statuses, and the poll goes on.
         EXPECT_GT(f.count(FaultMatrix::isReply), 5);
         EXPECT_TRUE(runUntil([&] { return !f.platform.messages.isEmpty(); }, 2000));
         EXPECT_EQ(f.platform.messages, QStringList{kDisactivated});
         const std::size_t before = f.ticks.size();
         EXPECT_TRUE(runUntil([&] { return f.polled(before + 3); }, 2000));
     }},
    {"vanish-after",
     {"--vanish-after", "8"},
     [](FaultMatrix& f) { return f.linkGone() && f.silentFor(8); },
     [](FaultMatrix& f) {
         // A pulled cable: nothing more is read, nothing is reported.
         EXPECT_GT(f.count(FaultMatrix::isReply), 5);
         EXPECT_TRUE(f.platform.messages.isEmpty()) << f.platform.messages.join("|").toStdString();
     },
     Row::Device::Vanishes},
    {"vanish-and-come-back",
     {"--vanish-after", "8"},
     [](FaultMatrix& f) { return f.linkGone() && f.silentFor(8); },
     [](FaultMatrix& f) { EXPECT_TRUE(f.platform.messages.isEmpty()); },
     Row::Device::ComesBack},
};

INSTANTIATE_TEST_SUITE_P(Faults, FaultMatrix, ::testing::ValuesIn(kRows),
                         [](const ::testing::TestParamInfo<Row>& info) {
                             std::string name = info.param.name;
                             for (char& c : name)
                                 if (c == '-') c = '_';
                             return name;
                         });

} // namespace
