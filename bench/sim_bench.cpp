// The simulator's controller model alone: CPU time of one simulated second
// (1000 control cycles), which must stay well under 2 ms so that qvnsim and
// the tests that run minutes of virtual time stay cheap.

#include <benchmark/benchmark.h>

#include <string>

#include "controller.h"

namespace {

// A controller activated with the tool's defaults, then sent `body`.
qvnsim::Controller running(qvnsim::MotorKind motor, const std::string& body)
{
    qvnsim::Controller c(1, motor, qvnsim::Options{}, 1);
    c.command("&R");
    c.command(body);
    c.advanceTo(2000); // past the start of the motion
    return c;
}

// Each iteration is one simulated second: the time per iteration is the figure.
void simulatedSeconds(benchmark::State& state, qvnsim::Controller c, char letter)
{
    std::int64_t cycle = c.cycle();
    for (auto _ : state) {
        cycle += 1000;
        c.advanceTo(cycle);
        benchmark::DoNotOptimize(c.exactEncoder());
    }
    // A halted motor would be cheap to simulate and prove nothing.
    if (c.stateLetter() != letter) state.SkipWithError("the motor did not keep moving");
}

void BM_DcTrackingSecond(benchmark::State& state)
{
    simulatedSeconds(state, running(qvnsim::MotorKind::Dc, "&T"), 'T');
}
BENCHMARK(BM_DcTrackingSecond)->Unit(benchmark::kMicrosecond);

void BM_DcSlewingSecond(benchmark::State& state)
{
    simulatedSeconds(state, running(qvnsim::MotorKind::Dc, "&M3000"), 'M');
}
BENCHMARK(BM_DcSlewingSecond)->Unit(benchmark::kMicrosecond);

void BM_StepperTrackingSecond(benchmark::State& state)
{
    simulatedSeconds(state, running(qvnsim::MotorKind::Stepper, "&T"), 'T');
}
BENCHMARK(BM_StepperTrackingSecond)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
