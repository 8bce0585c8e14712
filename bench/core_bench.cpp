#include <benchmark/benchmark.h>

#include <string>

#include "protocol/wire.h"
#include "settings/numbers.h"

namespace {

// One poll tick's decoding of a typical reply.
void BM_StatusReply(benchmark::State& state)
{
    const std::string reply = "C0T011200A1150B512C#";
    for (auto _ : state) {
        benchmark::DoNotOptimize(reply.data());
        if (protocol::isStatusReply(reply)) {
            auto r = protocol::parseStatusReply(reply);
            benchmark::DoNotOptimize(r);
        }
    }
}
BENCHMARK(BM_StatusReply);

void BM_ParseInteger(benchmark::State& state)
{
    const std::string text = "-1234567";
    for (auto _ : state) {
        benchmark::DoNotOptimize(text.data());
        benchmark::DoNotOptimize(settings::parseInteger(text));
    }
}
BENCHMARK(BM_ParseInteger);

void BM_ParseDecimal(benchmark::State& state)
{
    const std::string text = "15.0417";
    for (auto _ : state) {
        benchmark::DoNotOptimize(text.data());
        benchmark::DoNotOptimize(settings::parseDecimal(text, '.'));
    }
}
BENCHMARK(BM_ParseDecimal);

void BM_ParseThousandths(benchmark::State& state)
{
    const std::string text = "0.1875";
    for (auto _ : state) {
        benchmark::DoNotOptimize(text.data());
        benchmark::DoNotOptimize(settings::parseThousandths(text, '.'));
    }
}
BENCHMARK(BM_ParseThousandths);

void BM_FormatFixed(benchmark::State& state)
{
    double v = 1234.56789;
    for (auto _ : state) {
        benchmark::DoNotOptimize(v);
        auto s = settings::formatFixed(v, 3, '.');
        benchmark::DoNotOptimize(s);
    }
}
BENCHMARK(BM_FormatFixed);

} // namespace

BENCHMARK_MAIN();
