// The end of a tracking test: DrawGraph of a recorded run, then "Save Image"
// as JPEG and as PNG. The run is recorded first from the simulated mount in
// process (sidereal system, encoder position, default gains), with the same
// sampler the window uses. Offscreen; prints the median of each step.
//
//   graph_bench [--runs N]

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

#include "analysis/graph.h"
#include "analysis/picture.h"
#include "analysis/test_run.h"
#include "app/TForm1.h"
#include "bridge.h"
#include "controller/poll.h"
#include "protocol/wire.h"
#include "stub_platform.h"

namespace {

struct Recorded {
    std::vector<double> sid, pos, err;
    analysis::RunOrigins origins;
    int last = 0;
};

// A tracking test on the simulated mount, polled every 108 ms (8 requests a second).
Recorded recordTrackingRun()
{
    qvnsim::Bridge bridge(qvnsim::Options{}, 0);
    double now = 0;
    auto send = [&](const std::string& body, double pauseS) {
        bridge.receive(protocol::frame(body), now);
        now += pauseS;
        bridge.advance(now);
    };
    const settings::TMYSETTINGS s = settings::defaultSettings();
    namespace cmd = protocol::cmd;
    const char a = 'A';
    for (const std::string& b :
         {cmd::resetCounters(a), cmd::moveSpeed(a, s.setting_gotoSpeed), cmd::acceleration(a, s.setting_accel),
          cmd::kp(a, s.setting_KP), cmd::ki(a, s.setting_KI), cmd::errorLimit(a, s.setting_ErrLim),
          cmd::integralLimit(a, s.setting_intLim), cmd::integralMaxSpeed(a, s.setting_intMaxSpeed),
          cmd::siderealSpeed(a, s.setting_sidSpeed), cmd::offsetTrackSpeed(a, 0),
          cmd::guideSpeed(a, s.setting_guideSpeed), cmd::refSystem(a, 1)})
        send(b, 0.1);
    send(cmd::startTracking(a), 1.0);

    const double S = s.setting_sidSpeed / 1000.0;
    const analysis::TrackingMove m = analysis::trackingMove(S);
    send(cmd::finalApproach(a, "0"), 0.1);
    send(cmd::resetCounters(a), 0.1);
    send(cmd::acceleration(a, m.accelText), 0.1);
    send(cmd::moveSpeed(a, m.graphSpeedText), 0.06);

    Recorded r;
    for (int i = 0; i < analysis::kSampleCount; now += 0.108) {
        bridge.advance(now);
        const std::string reply = bridge.receive(protocol::statusRequest(a, true), now);
        const auto d = controller::readStatusReply(reply, 1, 1);
        if (!d || !d->converted) continue;
        analysis::Sample smp;
        smp.index = i;
        smp.sidTime = d->sidTime;
        smp.position = d->posit;
        smp.sidSpeed = S;
        smp.target = m.target;
        smp.origins = r.origins;
        smp.address = a;
        smp.graphStepText = m.graphStepText;
        const analysis::SampleResult res = analysis::sampleStep(smp);
        r.sid.push_back(smp.sidTime);
        r.pos.push_back(smp.position);
        r.err.push_back(res.error);
        r.origins = res.origins;
        if (res.move) send(res.move->body, res.move->pauseMs / 1000.0);
        if (res.ends) {
            r.last = i;
            break;
        }
        ++i;
    }
    return r;
}

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

} // namespace

int main(int argc, char** argv)
{
    int runs = 50;
    if (argc == 3 && std::string(argv[1]) == "--runs") runs = std::max(1, std::atoi(argv[2]));
    qputenv("QT_QPA_PLATFORM", "offscreen");
    const auto work = std::filesystem::temp_directory_path() / ("zarpo-graph-bench-" + std::to_string(::getpid()));
    std::filesystem::create_directories(work);
    QApplication app(argc, argv);

    const Recorded run = recordTrackingRun();
    StubPlatform platform(StubPlatform::Sleeps::None);
    platform.echoMessages = true;
    TForm1 form(platform);
    form.show(); // the start-up fills the edits from the default settings
    while (!form.startedUp()) QCoreApplication::processEvents();
    platform.saveAnswer.reset();
    form.i2cAddress = QLatin1Char('A');
    form.interval1 = 108;
    form._refSyst = 1;
    form.isTracking = true;
    form.analyze = anaTrack;
    form.EditGraphSpeed->setText("100");
    form.EditGraphStep->setText("300");
    std::copy(run.sid.begin(), run.sid.end(), form.point_sid.begin());
    std::copy(run.pos.begin(), run.pos.end(), form.point_pos.begin());
    std::copy(run.err.begin(), run.err.end(), form.point_err.begin());
    form.initial_pointsid = run.origins.initialSid;
    form.initial_pointpos = run.origins.initialPos;
    form.final_pointsid = run.origins.finalSid;
    form.lastpointidx = run.last;

    std::vector<double> draw, jpeg, png;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer t;
        t.start();
        form.DrawGraph();
        draw.push_back(t.nsecsElapsed() / 1e6);
        for (auto [file, filter, times] : {std::tuple{"graph.jpg", 1, &jpeg}, std::tuple{"graph.png", 3, &png}}) {
            platform.saveAnswer = FileDialogAnswer{QString::fromStdString((work / file).string()), filter};
            t.restart();
            form.ButtonImageSaveClick();
            times->push_back(t.nsecsElapsed() / 1e6);
        }
    }
    // The encoders alone, in memory: the rest of a save is the disc (fsync).
    const QImage shown = form.Image1->pixmap().toImage().convertToFormat(QImage::Format_RGB888);
    analysis::RgbImage rgb{shown.width(), shown.height(), {}};
    for (int y = 0; y < shown.height(); ++y)
        rgb.rgb.insert(rgb.rgb.end(), shown.constScanLine(y), shown.constScanLine(y) + shown.width() * 3);
    std::vector<double> jpegEncode, pngEncode;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer t;
        t.start();
        (void)analysis::encodeJpeg(rgb, analysis::kJpegQuality);
        jpegEncode.push_back(t.nsecsElapsed() / 1e6);
        t.restart();
        (void)analysis::encodePng(rgb);
        pngEncode.push_back(t.nsecsElapsed() / 1e6);
    }

    const auto stats =
        analysis::trackingStats(std::span<const double>(form.track_err.data() + 1, std::size_t(form.trackerrcount)));
    std::printf("graph: samples=%d stats_points=%d sigma_arcsec=%.3f runs=%d\n", run.last + 1, stats.n, stats.sigma,
                runs);
    std::printf("graph: median_draw_ms=%.2f median_jpeg_ms=%.2f median_png_ms=%.2f total_ms=%.2f (target < 50)\n",
                median(draw), median(jpeg), median(png), median(draw) + median(jpeg) + median(png));
    std::printf("graph: encoders alone: median_jpeg_ms=%.2f median_png_ms=%.2f\n", median(jpegEncode),
                median(pngEncode));
    std::printf("graph: jpeg_bytes=%lld png_bytes=%lld\n", (long long)std::filesystem::file_size(work / "graph.jpg"),
                (long long)std::filesystem::file_size(work / "graph.png"));
    std::filesystem::remove_all(work);
    return 0;
}
