// The real status poll (the window's Timer1Timer on its own timer, offscreen)
// against the qvnsim program on a pseudo-terminal, at one stored poll rate.
//
//   poll_bench [--seconds S] [--rate-index I]
//
// Last line:
//   poll: rate_index=I requests=R accepted=P% period_median_ms=M period_p99_ms=Q tick_cpu_us=C

#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include <QApplication>
#include <QTimer>

#include "app/TForm1.h"
#include "event_loop.h"
#include "qvnsim_process.h"
#include "scoped_env.h"
#include "stub_platform.h"

namespace {

using Clock = std::chrono::steady_clock;

double threadCpuUs()
{
    timespec ts{};
    ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return ts.tv_sec * 1e6 + ts.tv_nsec / 1e3;
}

// The first sleep of a tick marks its start.
struct TickTimes {
    bool inTick = false;
    bool tickStarted = false;
    double cpuAtStart = 0;
    std::vector<Clock::time_point> starts;

    void atSleep()
    {
        if (inTick && !tickStarted) {
            tickStarted = true;
            starts.push_back(Clock::now());
            cpuAtStart = threadCpuUs();
        }
    }
};

double percentile(std::vector<double> v, double p)
{
    if (v.empty()) return 0;
    std::sort(v.begin(), v.end());
    const std::size_t i = static_cast<std::size_t>(p * static_cast<double>(v.size() - 1) + 0.5);
    return v[std::min(i, v.size() - 1)];
}

} // namespace

int main(int argc, char** argv)
{
    double seconds = 10;
    int rateIndex = 6;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string a = argv[i];
        if (a == "--seconds")
            seconds = std::atof(argv[i + 1]);
        else if (a == "--rate-index")
            rateIndex = std::atoi(argv[i + 1]);
        else {
            std::fprintf(stderr, "usage: poll_bench [--seconds S] [--rate-index I]\n");
            return 2;
        }
    }

    qputenv("QT_QPA_PLATFORM", "offscreen");
    // A private working folder and port folder: no real port, no settings file touched.
    const auto work = std::filesystem::temp_directory_path() / ("zarpo-poll-bench-" + std::to_string(::getpid()));
    const auto ports = work / "config/ZARPO/ports";
    std::filesystem::create_directories(ports);
    std::filesystem::current_path(work);
    ScopedEnv xdg("XDG_CONFIG_HOME", (work / "config").string());

    std::optional<QvnsimProcess> sim;
    try {
        sim.emplace(QVNSIM_PATH, ports.string() + "/");
    } catch (const std::exception& e) {
        std::fprintf(stderr, "poll_bench: %s\n", e.what());
    }

    int status = 1;
    if (sim) {
        QApplication app(argc, argv);
        StubPlatform platform;
        platform.echoMessages = true;
        TickTimes ticks;
        platform.beforeSleep = [&ticks](int) { ticks.atSleep(); };
        TForm1 form(platform);
        form.FormActivate();

        form.ComboBoxComPort->setEditText(QStringLiteral("COM99"));
        form.ButtonConnect->click();
        if (!form.isConnected) {
            std::fprintf(stderr, "poll_bench: no bridge on COM99\n");
        } else {
            // The stored rate index, as a settings file may hold it (rows 8
            // and 9 are not in the list).
            form.mySettings.setting_reqFreqIdx = rateIndex;
            form.UpdateDisplaysFromSettings();
            form.ButtonActivate->click();
            // ACTIVATE reads the list back; a stored-only row has no item.
            form.mySettings.setting_reqFreqIdx = rateIndex;
            form.updateTimer1();
            form.Timer1.start(form.interval1);

            long requests = 0, accepted = 0;
            std::vector<double> cpu;
            // Mark the tick so that its first sleep is taken as its start;
            // connected after the window's handler, this slot sees its end.
            QObject::connect(&form.Timer1, &QTimer::timeout, &form, [&] {
                const double end = threadCpuUs();
                ++requests;
                if (form.LabelComErr->text() == QLatin1String("........") &&
                    form.LabelRX->text() != QLatin1String("Waiting 1"))
                    ++accepted;
                form.LabelComErr->setText(QString());
                // The tick's own work: CPU from its start to its end (sleeps
                // and the read's wait use none).
                if (ticks.tickStarted) cpu.push_back(end - ticks.cpuAtStart);
                ticks.tickStarted = false;
            });
            ticks.inTick = true;

            runFor(static_cast<int>(seconds * 1000));
            form.Timer1.stop();
            ticks.inTick = false;

            std::vector<double> periods;
            for (std::size_t i = 1; i < ticks.starts.size(); ++i)
                periods.push_back(
                    std::chrono::duration<double, std::milli>(ticks.starts[i] - ticks.starts[i - 1]).count());
            // The first tick has no reply waiting: it is not counted.
            const long replies = std::max(1L, requests - 1);
            std::printf("interval1=%d delay100=%d\n", form.interval1, form.delay100);
            std::printf("poll: rate_index=%d requests=%ld accepted=%.1f%% period_median_ms=%.1f period_p99_ms=%.1f "
                        "tick_cpu_us=%.0f\n",
                        rateIndex, requests, 100.0 * static_cast<double>(std::min(accepted, replies)) / replies,
                        percentile(periods, 0.5), percentile(periods, 0.99), percentile(cpu, 0.5));
            status = 0;
            form.ButtonRelease->click();
            form.ButtonDisconnect->click();
        }
        form.hide();
    }

    sim.reset();
    std::filesystem::current_path(std::filesystem::temp_directory_path());
    std::filesystem::remove_all(work);
    return status;
}
