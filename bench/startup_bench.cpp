// Time from the program's start to a window up and filled: the QApplication,
// the form, its show and the whole start-up sequence (ports listed, settings
// read, displays filled, calculators run). Offscreen, in a fresh folder.
//
//   startup_bench [--runs N]

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include <QApplication>
#include <QElapsedTimer>

#include "app/TForm1.h"
#include "scoped_env.h"
#include "stub_platform.h"

int main(int argc, char** argv)
{
    int runs = 20;
    if (argc == 3 && std::string(argv[1]) == "--runs") runs = std::max(1, std::atoi(argv[2]));

    const auto t0 = std::chrono::steady_clock::now();
    qputenv("QT_QPA_PLATFORM", "offscreen");
    const auto work = std::filesystem::temp_directory_path() / ("zarpo-startup-bench-" + std::to_string(::getpid()));
    std::filesystem::create_directories(work / "config/ZARPO/ports");
    std::filesystem::current_path(work);
    ScopedEnv xdg("XDG_CONFIG_HOME", (work / "config").string());

    QApplication app(argc, argv);
    const double appMs = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count();

    std::vector<double> ms;
    for (int i = 0; i < runs; ++i) {
        StubPlatform platform(StubPlatform::Sleeps::None);
        QElapsedTimer t;
        t.start();
        TForm1 form(platform);
        form.show();
        while (!form.startedUp()) QCoreApplication::processEvents();
        ms.push_back(t.nsecsElapsed() / 1e6);
        form.hide();
    }
    const double first = ms.front(); // the cold one, as at a real start
    std::sort(ms.begin(), ms.end());
    std::printf("startup: runs=%d application_ms=%.1f first_window_ms=%.1f median_window_ms=%.1f max_window_ms=%.1f\n",
                runs, appMs, first, ms[ms.size() / 2], ms.back());
    std::filesystem::current_path(std::filesystem::temp_directory_path());
    std::filesystem::remove_all(work);
    return 0;
}
