#include "cli.h"

#include <charconv>
#include <cmath>
#include <set>
#include <sstream>

namespace qvnsim {

namespace {

std::optional<long long> wholeNumber(const std::string& text)
{
    long long v = 0;
    const auto [ptr, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
    if (text.empty() || ec != std::errc{} || ptr != text.data() + text.size()) return std::nullopt;
    return v;
}

std::optional<double> realNumber(const std::string& text)
{
    // Locale-free on purpose: "0.5" means the same everywhere.
    double v = 0;
    const auto [ptr, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
    if (text.empty() || ec != std::errc{} || ptr != text.data() + text.size() || !std::isfinite(v)) {
        return std::nullopt;
    }
    return v;
}

struct Range {
    const char* option;
    const char* what;
    double low;
    double high;
};

// The real-valued options. Times stop at about eleven days, far beyond any
// test and well inside what the simulator counts in 1 ms cycles.
constexpr Range kRanges[] = {
    {"--drop", "a share", 0, 1},
    {"--garble", "a share", 0, 1},
    {"--delay", "milliseconds", 0, 60'000},
    {"--halt-after", "seconds", 0, 1'000'000},
    {"--vanish-after", "seconds", 0, 1'000'000},
    {"--sensor", "a level", 0, 1023},
};

const Range& rangeOf(const std::string& option)
{
    for (const Range& r : kRanges) {
        if (option == r.option) return r;
    }
    return kRanges[0]; // not reached: the caller names only these
}

std::string number(double v)
{
    std::ostringstream out;
    out << std::fixed;
    out.precision(0);
    out << v;
    return out.str();
}

std::vector<std::string> splitList(const std::string& text)
{
    std::vector<std::string> items;
    std::string item;
    std::istringstream in(text);
    while (std::getline(in, item, ',')) items.push_back(item);
    if (!text.empty() && text.back() == ',') items.emplace_back();
    return items;
}

} // namespace

std::string usageText()
{
    return "usage: qvnsim [options]\n"
           "A simulated serial bridge with motor controllers behind it, on a pseudo-terminal\n"
           "linked as COMn in the port folder, so that ZARPO can connect to it.\n"
           "\n"
           "  --com N              port name COM<N>, 1 to 99 (default 99)\n"
           "  --ports-dir DIR      folder of the COM links (default $XDG_CONFIG_HOME/ZARPO/ports,\n"
           "                       or ~/.config/ZARPO/ports)\n"
           "  --controllers LIST   controller numbers on the bus, 0 to 15, comma separated\n"
           "                       (default 1,2; the address list's item n+1 is controller n)\n"
           "  --motor dc|stepper|LIST  motor of every controller, or one per controller\n"
           "                       (default dc: a DC motor with encoder)\n"
           "  --seed N             seed of the noise and of the faults; the same seed and the\n"
           "                       same commands replay the same run (default 1)\n"
           "  --drop P             drop this share of the replies, 0 to 1\n"
           "  --delay MS           send every reply this many milliseconds late (up to 60000)\n"
           "  --split              send every reply in two halves, 30 ms apart\n"
           "  --garble P           garble one byte in this share of the replies, 0 to 1\n"
           "  --halt-after S       every controller halts with \"E\" after S seconds (up to 1000000)\n"
           "  --vanish-after S     the device disappears after S seconds (a pulled cable;\n"
           "                       up to 1000000)\n"
           "  --sensor LEVEL       mean sensor value, 0 to 1023 (default 512)\n"
           "  --quiet              print nothing but errors (default: the start line and\n"
           "                       every command other than the status requests)\n"
           "  --help               this text\n"
           "\n"
           "It runs until SIGINT (Ctrl-C), SIGTERM, SIGHUP or SIGQUIT, then removes its link.\n";
}

ParseResult parseCommandLine(const std::vector<std::string>& args)
{
    CommandLine line;
    auto fail = [](std::string message) { return ParseResult{std::nullopt, std::move(message)}; };
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& opt = args[i];
        auto value = [&](std::string& out) {
            if (i + 1 >= args.size()) return false;
            out = args[++i];
            return true;
        };
        std::string v;
        if (opt == "--help" || opt == "-h") {
            line.help = true;
        } else if (opt == "--quiet") {
            line.quiet = true;
        } else if (opt == "--split") {
            line.options.split = true;
        } else if (opt == "--com" || opt == "--ports-dir" || opt == "--controllers" || opt == "--motor" ||
                   opt == "--seed" || opt == "--drop" || opt == "--delay" || opt == "--garble" ||
                   opt == "--halt-after" || opt == "--vanish-after" || opt == "--sensor") {
            if (!value(v)) return fail(opt + " needs a value");
            if (opt == "--com") {
                const auto n = wholeNumber(v);
                if (!n || *n < 1 || *n > 99) return fail("--com wants a port number from 1 to 99, not \"" + v + "\"");
                line.com = static_cast<int>(*n);
            } else if (opt == "--ports-dir") {
                if (v.empty()) return fail("--ports-dir wants a folder");
                line.portsDir = v;
            } else if (opt == "--controllers") {
                std::vector<int> list;
                std::set<int> seen;
                for (const auto& item : splitList(v)) {
                    const auto n = wholeNumber(item);
                    if (!n || *n < 0 || *n > 15) {
                        return fail("--controllers wants numbers from 0 to 15, not \"" + item + "\"");
                    }
                    if (!seen.insert(static_cast<int>(*n)).second) {
                        return fail("--controllers names controller " + item + " twice");
                    }
                    list.push_back(static_cast<int>(*n));
                }
                if (list.empty()) return fail("--controllers wants at least one number");
                line.options.controllers = list;
            } else if (opt == "--motor") {
                std::vector<MotorKind> motors;
                for (const auto& item : splitList(v)) {
                    if (item == "dc")
                        motors.push_back(MotorKind::Dc);
                    else if (item == "stepper")
                        motors.push_back(MotorKind::Stepper);
                    else
                        return fail("--motor wants dc or stepper, not \"" + item + "\"");
                }
                if (motors.empty()) return fail("--motor wants dc or stepper");
                line.options.motors = motors;
            } else if (opt == "--seed") {
                const auto n = wholeNumber(v);
                if (!n || *n < 0) return fail("--seed wants a whole number from 0 up, not \"" + v + "\"");
                line.options.seed = static_cast<std::uint64_t>(*n);
            } else {
                const auto x = realNumber(v);
                if (!x) return fail(opt + " wants a number, not \"" + v + "\"");
                // Every value is checked against its range before it is used:
                // times become whole cycles and timeouts later.
                const Range& r = rangeOf(opt);
                if (*x < r.low || *x > r.high) {
                    return fail(opt + " wants " + r.what + " from " + number(r.low) + " to " + number(r.high) +
                                ", not \"" + v + "\"");
                }
                if (opt == "--drop")
                    line.options.drop = *x;
                else if (opt == "--garble")
                    line.options.garble = *x;
                else if (opt == "--delay")
                    line.options.delayMs = *x;
                else if (opt == "--halt-after")
                    line.options.haltAfterS = *x;
                else if (opt == "--vanish-after")
                    line.options.vanishAfterS = *x;
                else
                    line.options.sensorLevel = *x;
            }
        } else {
            return fail("unknown option \"" + opt + "\" (qvnsim --help lists them)");
        }
    }
    const auto nc = line.options.controllers.size();
    const auto nm = line.options.motors.size();
    if (nm != 1 && nm != nc) {
        return fail("--motor gives " + std::to_string(nm) + " motors for " + std::to_string(nc) +
                    " controllers; give one for all or one for each");
    }
    return ParseResult{line, {}};
}

std::string describe(const Options& options)
{
    std::string text = "controllers ";
    for (std::size_t i = 0; i < options.controllers.size(); ++i) {
        if (i) text += ", ";
        text += std::to_string(options.controllers[i]);
    }
    text += "; ";
    for (std::size_t i = 0; i < options.motors.size(); ++i) {
        if (i) text += ", ";
        text += options.motors[i] == MotorKind::Dc ? "dc" : "stepper";
    }
    return text;
}

} // namespace qvnsim
