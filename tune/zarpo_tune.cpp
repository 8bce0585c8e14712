// zarpo-tune: the tracking test of the ANALYZE tab without the window, over a
// grid of gains. This file does the serial exchanges and the waiting; every
// decision is in options.* and sweep.*, every command and reading in the core
// library the window uses.

#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "analysis/test_run.h"
#include "controller/poll.h"
#include "options.h"
#include "protocol/parameters.h"
#include "protocol/wire.h"
#include "serial/serial.h"
#include "settings/numbers.h"
#include "settings/record.h"
#include "sweep.h"

namespace {

volatile std::sig_atomic_t g_signal = 0;

extern "C" void onSignal(int sig) { g_signal = sig; }

// Ends the sweep where it stands: Ctrl-C or SIGTERM.
struct Interrupted {};

// A failure that ends the program with a one-line message.
struct Failure {
    std::string message;
};

constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;
constexpr int kExitInterrupted = 130;

constexpr double kSettleSeconds = 2;       // after new gains, before the test
constexpr double kTrackingWaitSeconds = 5; // for the "T" after the tracking command

double now()
{
    using namespace std::chrono;
    return duration<double>(steady_clock::now().time_since_epoch()).count();
}

// A full pause whatever signal comes: the protocol paces the controller by
// pauses, and the restoring commands need theirs too.
void pauseMs(int ms)
{
    const double until = now() + ms / 1000.0;
    for (double left = until - now(); left > 0; left = until - now())
        std::this_thread::sleep_for(std::chrono::duration<double>(left));
}

class Session {
public:
    Session(const tune::Options& o, const settings::TMYSETTINGS& rec)
        : opt_(o), rec_(rec), address_(protocol::addressChar(o.address)),
          timing_(controller::pollTiming(rec.setting_reqFreqIdx))
    {
        // The test needs the sidereal system and no offset speed.
        activation_ = rec;
        activation_.setting_refSyst = 1;
        activation_.setting_offsetTrackSpeed = 0;
        sidSpeed_ = settings::fromThousandths(rec.setting_sidSpeed);
    }

    void open()
    {
        if (!serial::openComPort(opt_.port))
            throw Failure{"cannot open port " + opt_.port + ": missing, not allowed, or held by another program"};
        portOpen_ = true;
        std::string setupMessage;
        if (!serial::setupComPort(opt_.baud, 25, [&](const std::string& m) { setupMessage = m; }))
            throw Failure{"cannot set up port " + opt_.port + " at " + opt_.baud + " baud (" + setupMessage + ")"};
        // What a program before us left unread is not the bridge's answer.
        serial::readComPort();
        // The bridge's own check, paced as CONNECT paces it.
        send(std::string(protocol::kConnectionCheckBody), 100);
        pauseMs(400);
        checkStop();
        const std::string rx = serial::readComPort();
        if (rx != protocol::kConnectionOk)
            throw Failure{"no bridge answers on " + opt_.port + " (expected \"OK#\", read \"" + rx + "\")"};
    }

    // The sixteen commands of ACTIVATE, then TRACK with no offset speed.
    // Whether the controller tracks within a few seconds.
    bool activateAndTrack()
    {
        for (const std::string& b : protocol::activationBodies(activation_, address_)) {
            send(b, timing_.delay150);
            activated_ = true; // from the first command on, something may run
        }
        lastState_ = 0;
        return track();
    }

    void release() { restore(false); }

    // Uploads the gains, lets the motor settle and runs one tracking test.
    tune::RunResult run(tune::Gains g, int k)
    {
        tune::RunResult result;
        result.gains = g;
        result.run = k;
        const bool allowed = analysis::trackingTestAllowed(activation_.setting_refSyst, lastState_ == 'T',
                                                           activation_.setting_offsetTrackSpeed);
        if (!allowed && !track()) {
            result.outcome = lastState_ == 'E' ? tune::Outcome::Halted : tune::Outcome::NoReply;
            return result;
        }
        send(protocol::parameterBody(protocol::Param::KP, address_, g.kp), timing_.delay150);
        send(protocol::parameterBody(protocol::Param::KI, address_, g.ki), timing_.delay150);

        const double settleEnd = now() + kSettleSeconds;
        bool halted = false;
        poll([&](const controller::StrictReply& r) {
            halted = r.verdict == controller::ReplyVerdict::Accepted && r.state == 'E';
            return halted || now() >= settleEnd;
        });
        if (halted) {
            result.outcome = tune::Outcome::Halted;
            return result;
        }

        tune::TrackingRun test(address_, sidSpeed_);
        for (const analysis::Command& c : test.startCommands(timing_.delay150, timing_.delay100))
            send(c.body, c.pauseMs);
        poll([&](const controller::StrictReply& r) {
            const tune::TrackingRun::Step s = test.onPoll(r, now());
            if (s.send) send(s.send->body, s.send->pauseMs);
            return s.ended;
        });
        result.outcome = *test.outcome();
        result.rejected = test.rejected();
        if (result.outcome == tune::Outcome::Done) {
            result.stats = test.stats();
            // What the end of a run sends in the window: the settings'
            // acceleration and final approach again.
            send(protocol::cmd::acceleration(address_, rec_.setting_accel), timing_.delay150);
            send(protocol::cmd::finalApproach(address_, rec_.setting_final), timing_.delay150);
        }
        return result;
    }

    // The gains found, stop tracking, free, release, close the port. Runs
    // whatever happened; no signal cuts it short.
    void restore(bool close)
    {
        if (portOpen_ && activated_) {
            const char a = address_;
            rawSend(protocol::parameterBody(protocol::Param::KP, a, rec_.setting_KP), timing_.delay150);
            rawSend(protocol::parameterBody(protocol::Param::KI, a, rec_.setting_KI), timing_.delay150);
            rawSend(protocol::cmd::stopTracking(a), timing_.delay150);
            rawSend(protocol::cmd::freeMotor(a), timing_.delay150);
            rawSend(protocol::cmd::releaseController(a), timing_.delay100);
            activated_ = false;
        }
        if (close && portOpen_) {
            // The answer to the last status request may still wait in the
            // input queue, which outlives the port on a pseudo-terminal: the
            // next program to open it (the window's CONNECT) would read it
            // before its "OK#".
            serial::readComPort();
            serial::closeComPort();
            portOpen_ = false;
        }
    }

    bool activated() const { return activated_; }

private:
    static void checkStop()
    {
        if (g_signal != 0) throw Interrupted{};
    }

    void rawSend(const std::string& body, int pauseMs_)
    {
        serial::writeComPort(protocol::frame(body));
        pauseMs(pauseMs_);
    }

    void send(const std::string& body, int pause)
    {
        checkStop();
        rawSend(body, pause);
    }

    // The status poll as Timer1 runs it: each tick pauses delay100, reads the
    // reply to the previous request, hands it on, then sends the next
    // request; ticks start every interval1 (at once when a tick ran longer).
    // Ends when `handle` says so.
    template <class F>
    void poll(F&& handle)
    {
        for (;;) {
            checkStop();
            const double start = now();
            pauseMs(timing_.delay100);
            const controller::StrictReply r = controller::readReplyStrictly(serial::readComPort(), address_);
            if (r.verdict != controller::ReplyVerdict::NoReply && r.verdict != controller::ReplyVerdict::WrongAddress)
                encoder_ = r.motorType == '0'; // a servo's motor position is its set point
            if (r.verdict == controller::ReplyVerdict::Accepted) lastState_ = r.state;
            const bool done = handle(r);
            serial::writeComPort(protocol::statusRequest(address_, encoder_));
            if (done) return;
            const double next = start + timing_.interval1 / 1000.0;
            if (now() < next) pauseMs(int((next - now()) * 1000));
        }
    }

    bool track()
    {
        send(protocol::parameterBody(protocol::Param::TrackSpeed, address_, 0), timing_.delay150);
        send(protocol::cmd::startTracking(address_), timing_.delay100);
        // The first tick reads the answer to a request sent before the
        // commands (a halted controller's "E", say): it tells nothing yet.
        const double until = now() + kTrackingWaitSeconds;
        int ticks = 0;
        char seen = 0;
        poll([&](const controller::StrictReply& r) {
            if (++ticks > 1 && r.verdict == controller::ReplyVerdict::Accepted) seen = r.state;
            return seen == 'T' || seen == 'E' || now() > until;
        });
        lastState_ = seen;
        return seen == 'T';
    }

    const tune::Options& opt_;
    settings::TMYSETTINGS rec_, activation_{};
    char address_;
    controller::PollTiming timing_;
    double sidSpeed_ = 0;
    bool portOpen_ = false;
    bool activated_ = false;
    bool encoder_ = true;
    char lastState_ = 0;
};

void say(const tune::Options& o, const std::string& line)
{
    if (!o.quiet) std::fprintf(stderr, "%s\n", line.c_str());
}

settings::TMYSETTINGS readSettings(const tune::Options& o)
{
    settings::TMYSETTINGS rec = settings::defaultSettings();
    std::string path;
    if (o.settings)
        path = *o.settings;
    else if (std::filesystem::exists("qvnsettings.dat"))
        path = "qvnsettings.dat";
    else
        return rec;
    errno = 0;
    if (!settings::readRecordFile(path, rec))
        throw Failure{"cannot read the settings file \"" + path + "\": " + std::strerror(errno ? errno : EIO)};
    return rec;
}

// A file that will be written at the end: its folder must take it now, not
// after an hour of sweeping.
void checkWritable(const std::string& path, const char* what)
{
    std::filesystem::path dir = std::filesystem::path(path).parent_path();
    if (dir.empty()) dir = ".";
    if (::access(dir.c_str(), W_OK) != 0)
        throw Failure{std::string("cannot write the ") + what + " \"" + path + "\": " + std::strerror(errno)};
}

} // namespace

int main(int argc, char** argv)
{
    tune::Options opt;
    try {
        opt = tune::parseOptions(std::vector<std::string>(argv + 1, argv + argc));
    } catch (const tune::UsageError& e) {
        std::fprintf(stderr, "zarpo-tune: %s\nTry 'zarpo-tune --help'.\n", e.what());
        return kExitUsage;
    }
    if (opt.help) {
        std::fputs(tune::usageText().c_str(), stdout);
        return 0;
    }

    struct sigaction sa {};
    sa.sa_handler = onSignal;
    sigemptyset(&sa.sa_mask);
    sigaction(SIGINT, &sa, nullptr);
    sigaction(SIGTERM, &sa, nullptr);

    std::vector<tune::RunResult> results;
    int status = 0;
    std::string failure;
    settings::TMYSETTINGS rec{};
    std::optional<Session> session;
    try {
        rec = readSettings(opt);
        if (rec.setting_sidSpeed <= 0)
            throw Failure{"the sidereal speed of the settings is " +
                          settings::formatThousandths(rec.setting_sidSpeed, '.') +
                          " steps/s: the tracking test needs a positive one"};
        if (opt.csv) checkWritable(*opt.csv, "CSV file");
        if (opt.writeBest) checkWritable(*opt.writeBest, "model file");
        const std::vector<std::int32_t> kp = opt.kp.value_or(std::vector<std::int32_t>{rec.setting_KP});
        const std::vector<std::int32_t> ki = opt.ki.value_or(std::vector<std::int32_t>{rec.setting_KI});
        const std::vector<tune::Gains> grid = tune::gainGrid(kp, ki);
        const int total = int(grid.size()) * opt.runs;

        session.emplace(opt, rec);
        session->open();
        const char a = protocol::addressChar(opt.address);
        if (!session->activateAndTrack())
            throw Failure{std::string("controller ") + a +
                          " does not track after activation (is it there, and powered?)"};
        say(opt, std::string("controller ") + a + " on " + opt.port + " active and tracking: " + std::to_string(total) +
                     (total == 1 ? " run" : " runs") + " to go, about 20 s each");
        int k = 0;
        for (const tune::Gains& g : grid) {
            for (int r = 1; r <= opt.runs; ++r) {
                results.push_back(session->run(g, r));
                say(opt, tune::progressLine(++k, total, results.back()));
                if (results.back().outcome != tune::Outcome::Done) {
                    session->release();
                    if (!session->activateAndTrack())
                        throw Failure{std::string("controller ") + a +
                                      " does not track again after a new activation; sweep stopped"};
                }
            }
        }
    } catch (const Failure& f) {
        failure = f.message;
        status = kExitFailed;
    } catch (const Interrupted&) {
        failure = "interrupted";
        status = kExitInterrupted;
    } catch (const std::exception& e) {
        failure = e.what();
        status = kExitFailed;
    }
    const bool wasActive = session && session->activated();
    if (session) session->restore(true);
    if (status == kExitInterrupted)
        std::fprintf(stderr, "zarpo-tune: interrupted%s\n",
                     wasActive ? "; gains restored, controller stopped, freed and released" : "");
    else if (status != 0)
        std::fprintf(stderr, "zarpo-tune: %s\n", failure.c_str());

    // What was measured is never lost: the table, the CSV, the best gains.
    if (!results.empty()) {
        const std::vector<tune::PairSummary> table = tune::summarize(results);
        std::fputs(tune::formatTable(table).c_str(), stdout);
        std::fflush(stdout);
        try {
            if (opt.csv) settings::writeFileAtomically(*opt.csv, tune::runsCsv(results));
        } catch (const std::exception& e) {
            std::fprintf(stderr, "zarpo-tune: %s\n", e.what());
            if (status == 0) status = kExitFailed;
        }
        if (opt.writeBest) {
            const std::optional<tune::Gains> best = tune::bestGains(table);
            if (!best) {
                std::fprintf(stderr, "zarpo-tune: no gain pair gave tracking statistics; %s not written\n",
                             opt.writeBest->c_str());
                if (status == 0) status = kExitFailed;
            } else {
                settings::TMYSETTINGS model = rec;
                model.setting_KP = best->kp;
                model.setting_KI = best->ki;
                try {
                    settings::writeRecordFile(*opt.writeBest, model);
                    say(opt, "best gains KP " + std::to_string(best->kp) + " KI " + std::to_string(best->ki) +
                                 " saved in " + *opt.writeBest);
                } catch (const std::exception& e) {
                    std::fprintf(stderr, "zarpo-tune: %s\n", e.what());
                    if (status == 0) status = kExitFailed;
                }
            }
        }
        if (status == 0 && !tune::bestGains(table)) {
            std::fprintf(stderr, "zarpo-tune: no gain pair gave tracking statistics\n");
            status = kExitFailed;
        }
    }
    return status;
}
