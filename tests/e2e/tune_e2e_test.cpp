// zarpo-tune against the qvnsim program in real time: a short sweep to its
// table and best-gains model file, and Ctrl-C in the middle of one. Every
// wait is bounded, with room for a loaded machine.

#include <gtest/gtest.h>

#include <signal.h>
#include <stdlib.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "child_process.h"
#include "pty_master_port.h"
#include "qvnsim_process.h"
#include "scoped_env.h"
#include "scratch_dir.h"
#include "serial/serial.h"
#include "settings/record.h"

namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace {

std::string slurp(const fs::path& p)
{
    std::ifstream in(p);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

std::vector<std::string> lines(const std::string& text)
{
    std::vector<std::string> out;
    std::istringstream in(text);
    for (std::string l; std::getline(in, l);) out.push_back(l);
    return out;
}

std::vector<std::string> words(const std::string& line)
{
    std::vector<std::string> out;
    std::istringstream in(line);
    for (std::string w; in >> w;) out.push_back(w);
    return out;
}

class TuneE2E : public ::testing::Test {
protected:
    void SetUp() override
    {
        fs::create_directories(ports);
        xdg.set((dir / "config").string());
        // Settings whose gains are not the ones the sweep will find best.
        settings::TMYSETTINGS s = settings::defaultSettings();
        s.setting_KP = 3;
        s.setting_KI = 20;
        settings::writeRecordFile((dir / "qvnsettings.dat").string(), s);
    }

    // qvnsim on COM99, printing the commands it receives.
    void startSim(std::vector<std::string> extra = {})
    {
        sim.emplace(QVNSIM_PATH, ports.string(), 99, std::move(extra), dir / "qvnsim.out");
    }

    void TearDown() override
    {
        tuner.reset();
        sim.reset();
    }

    // Runs zarpo-tune in the test folder, its output into `out` and `err`.
    ChildOptions tuneOutput(const fs::path& out, const fs::path& err) const { return {out, err, dir}; }

    // The state letter of controller A, asked through the tool's own serial routines.
    static char controllerState()
    {
        if (!serial::openComPort("COM99")) return '?';
        char state = '?';
        if (serial::setupComPort("57600", 25, [](const std::string&) {})) {
            // Nothing may wait in the input queue: the tuner reads what its
            // last request brought before it closes the port.
            if (serial::readComPort() != "RXFX") state = '!';
            for (int i = 0; i < 5 && state == '?'; ++i) {
                serial::writeComPort(":A&Q0#");
                std::this_thread::sleep_for(150ms);
                const std::string r = serial::readComPort();
                if (r.size() > 3 && r[0] == 'A') state = r[2];
            }
        }
        serial::closeComPort();
        return state;
    }

    // The commands qvnsim received, as it printed them.
    std::vector<std::string> simCommands() const
    {
        std::vector<std::string> out;
        for (const std::string& l : lines(slurp(dir / "qvnsim.out")))
            if (l.rfind("qvnsim: :", 0) == 0) out.push_back(l.substr(8));
        return out;
    }

    ScratchDir scratch{"zarpo-tune-e2e"};
    const fs::path dir = scratch.path();
    const fs::path ports = dir / "config" / "ZARPO" / "ports";
    ScopedEnv xdg{"XDG_CONFIG_HOME"}; // put back when the test ends
    std::optional<QvnsimProcess> sim;
    std::optional<ChildProcess> tuner;
};

TEST_F(TuneE2E, SweepPutsTheGoodGainsFirstAndSavesThem)
{
    startSim();
    tuner.emplace(ZARPO_TUNE_PATH,
                  std::vector<std::string>{"--port", "COM99", "--kp", "0,7", "--ki", "20", "--csv", "runs.csv",
                                           "--write-best", "best.qvm"},
                  tuneOutput(dir / "tune.out", dir / "tune.err"));
    const int status = tuner->wait(180s);
    const std::string out = slurp(dir / "tune.out"), err = slurp(dir / "tune.err");
    std::printf("%s%s", err.c_str(), out.c_str());
    ASSERT_EQ(status, 0) << err;

    const std::vector<std::string> table = lines(out);
    ASSERT_EQ(table.size(), 3u) << out;
    EXPECT_EQ(words(table[0]),
              (std::vector<std::string>{"KP", "KI", "mean", "p-p", "sigma", "samples", "rejected", "note"}));
    const auto best = words(table[1]), worse = words(table[2]);
    ASSERT_EQ(best.size(), 8u);
    ASSERT_EQ(worse.size(), 8u);
    EXPECT_EQ(best[0], "7");
    EXPECT_EQ(best[1], "20");
    EXPECT_EQ(worse[0], "0");
    EXPECT_EQ(worse[1], "20");
    const double sigma7 = std::stod(best[4]), sigma0 = std::stod(worse[4]);
    EXPECT_GT(sigma7, 0);
    EXPECT_LT(sigma7, 1.0);
    EXPECT_GT(sigma0, 3 * sigma7);
    EXPECT_GT(sigma0, 2.0);
    EXPECT_GT(std::stoi(best[5]), 40); // about 9.5 s at 6 samples a second
    EXPECT_EQ(best[7], "ok");

    // Progress on standard error, one line per run.
    EXPECT_NE(err.find("run 1 of 2: KP 0 KI 20: sigma "), std::string::npos) << err;
    EXPECT_NE(err.find("run 2 of 2: KP 7 KI 20: sigma "), std::string::npos) << err;

    // The model file: the settings read, with the best gains.
    settings::TMYSETTINGS model = settings::defaultSettings();
    model.setting_KP = -1;
    ASSERT_TRUE(settings::readRecordFile((dir / "best.qvm").string(), model));
    EXPECT_EQ(fs::file_size(dir / "best.qvm"), 240u);
    EXPECT_EQ(model.setting_KP, 7);
    EXPECT_EQ(model.setting_KI, 20);
    EXPECT_EQ(model.setting_refSyst, settings::defaultSettings().setting_refSyst);

    const auto csv = lines(slurp(dir / "runs.csv"));
    ASSERT_EQ(csv.size(), 3u);
    EXPECT_EQ(csv[1].rfind("0,20,1,ok,", 0), 0u) << csv[1];
    EXPECT_EQ(csv[2].rfind("7,20,1,ok,", 0), 0u) << csv[2];

    // Nothing is left running: the settings' gains back, stopped, freed, released.
    const auto cmds = simCommands();
    ASSERT_GE(cmds.size(), 5u);
    EXPECT_EQ(std::vector<std::string>(cmds.end() - 5, cmds.end()),
              (std::vector<std::string>{":A&p3#", ":A&i20#", ":A&N#", ":A&F#", ":A&Z#"}));
    EXPECT_EQ(controllerState(), 'X');
}

TEST_F(TuneE2E, CtrlCInTheMiddleLeavesTheControllerReleased)
{
    startSim();
    tuner.emplace(ZARPO_TUNE_PATH, std::vector<std::string>{"--port", "COM99", "--kp", "7", "--ki", "10:40:10"},
                  tuneOutput(dir / "tune.out", dir / "tune.err"));
    // Once it tracks, a little into the first run's settling or test.
    bool tracking = false;
    for (int i = 0; i < 600 && !tracking; ++i) {
        std::this_thread::sleep_for(50ms);
        tracking = slurp(dir / "tune.err").find("active and tracking") != std::string::npos;
    }
    ASSERT_TRUE(tracking) << slurp(dir / "tune.err");
    std::this_thread::sleep_for(3s);
    tuner->signal(SIGINT);
    const int status = tuner->wait(30s);
    const std::string err = slurp(dir / "tune.err");
    EXPECT_EQ(status, 130) << err;
    EXPECT_NE(err.find("zarpo-tune: interrupted; gains restored, controller stopped, freed and released"),
              std::string::npos)
        << err;
    EXPECT_EQ(slurp(dir / "tune.out"), ""); // no run finished: no table

    const auto cmds = simCommands();
    ASSERT_GE(cmds.size(), 5u);
    EXPECT_EQ(std::vector<std::string>(cmds.end() - 5, cmds.end()),
              (std::vector<std::string>{":A&p3#", ":A&i20#", ":A&N#", ":A&F#", ":A&Z#"}));
    EXPECT_EQ(controllerState(), 'X');
}

TEST_F(TuneE2E, AHaltIsReportedForItsPairAndTheSweepGoesOn)
{
    // The controller halts once, 7 s after qvnsim starts: after the
    // activation (2.4 s), inside the first pair's settling or test.
    startSim({"--halt-after", "7"});
    tuner.emplace(ZARPO_TUNE_PATH, std::vector<std::string>{"--port", "COM99", "--kp", "7", "--ki", "10,20"},
                  tuneOutput(dir / "tune.out", dir / "tune.err"));
    const int status = tuner->wait(180s);
    const std::string out = slurp(dir / "tune.out"), err = slurp(dir / "tune.err");
    std::printf("%s%s", err.c_str(), out.c_str());
    ASSERT_EQ(status, 0) << err;
    EXPECT_NE(err.find("run 1 of 2: KP 7 KI 10: the controller halted (ERROR HALT); activating it again"),
              std::string::npos);
    const std::vector<std::string> table = lines(out);
    ASSERT_EQ(table.size(), 3u) << out;
    const auto done = words(table[1]);
    ASSERT_EQ(done.size(), 8u);
    EXPECT_EQ(done[1], "20");
    EXPECT_LT(std::stod(done[4]), 1.0);
    EXPECT_EQ(done[7], "ok");
    EXPECT_EQ(words(table[2]), (std::vector<std::string>{"7", "10", "-", "-", "-", "0", "0", "halted"}));
    EXPECT_EQ(controllerState(), 'X');
}

TEST_F(TuneE2E, PlainErrorsAUserWillMeet)
{
    startSim();
    struct Case {
        std::vector<std::string> args;
        int status;
        std::string message;
    };
    const std::string missing = "cannot open port COM98: missing, not allowed, or held by another program";
    const Case cases[] = {
        {{"--port", "COM98"}, 1, "zarpo-tune: " + missing + "\n"},
        {{"--port", "COM99", "--settings", "none.qvm"},
         1,
         "zarpo-tune: cannot read the settings file \"none.qvm\": No such file or directory\n"},
        {{"--port", "COM99", "--kp", "9:1:1"},
         2,
         "zarpo-tune: --kp: the range \"9:1:1\" runs backwards\nTry 'zarpo-tune --help'.\n"},
        {{"--port", "COM99", "--csv", "missing/runs.csv"},
         1,
         "zarpo-tune: cannot write the CSV file \"missing/runs.csv\": No such file or directory\n"},
        {{"--port", "COM99", "--settings", "still.qvm"},
         1,
         "zarpo-tune: the sidereal speed of the settings is 0 steps/s: the tracking test needs a positive one\n"},
    };
    settings::TMYSETTINGS still = settings::defaultSettings();
    still.setting_sidSpeed = 0;
    settings::writeRecordFile((dir / "still.qvm").string(), still);
    for (const Case& c : cases) {
        ChildProcess p(ZARPO_TUNE_PATH, c.args, tuneOutput(dir / "e.out", dir / "e.err"));
        EXPECT_EQ(p.wait(30s), c.status) << c.message;
        EXPECT_EQ(slurp(dir / "e.err"), c.message);
        EXPECT_EQ(slurp(dir / "e.out"), "");
    }
    // The port held by another program (the window, say).
    ASSERT_TRUE(serial::openComPort("COM99"));
    ChildProcess held(ZARPO_TUNE_PATH, {"--port", "COM99"}, tuneOutput(dir / "e.out", dir / "e.err"));
    EXPECT_EQ(held.wait(30s), 1);
    EXPECT_EQ(slurp(dir / "e.err"),
              "zarpo-tune: cannot open port COM99: missing, not allowed, or held by another program\n");
    serial::closeComPort();

    // A port that answers, but no bridge on it: a folder link to a plain
    // pseudo-terminal nobody reads.
    {
        PtyMasterPort silent((ports / "").string(), 97);
        ChildProcess p(ZARPO_TUNE_PATH, {"--port", "COM97"}, tuneOutput(dir / "e.out", dir / "e.err"));
        EXPECT_EQ(p.wait(30s), 1);
        EXPECT_EQ(slurp(dir / "e.err"), "zarpo-tune: no bridge answers on COM97 (expected \"OK#\", read \"RXFX\")\n");
    }
    EXPECT_EQ(controllerState(), 'X'); // nothing was sent to the simulator's controllers
}

} // namespace
