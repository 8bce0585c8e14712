#include "options.h"

#include <algorithm>
#include <charconv>

namespace tune {

namespace {

// A whole number in plain decimal digits, nothing else.
std::optional<std::int64_t> plainNumber(std::string_view t)
{
    if (t.empty() || t.size() > 12) return std::nullopt;
    std::int64_t v = 0;
    const auto r = std::from_chars(t.data(), t.data() + t.size(), v); // no "+", no spaces
    if (r.ec != std::errc() || r.ptr != t.data() + t.size()) return std::nullopt;
    return v;
}

std::int32_t gain(std::string_view t, std::string_view option)
{
    const auto v = plainNumber(t);
    if (!v) throw UsageError(std::string(option) + ": \"" + std::string(t) + "\" is not a whole number");
    if (*v < 0 || *v > INT32_MAX)
        throw UsageError(std::string(option) + ": " + std::string(t) + " is out of range (0 to 2147483647)");
    return std::int32_t(*v);
}

int boundedInt(std::string_view t, std::string_view option, int lo, int hi)
{
    const auto v = plainNumber(t);
    if (!v) throw UsageError(std::string(option) + ": \"" + std::string(t) + "\" is not a whole number");
    if (*v < lo || *v > hi)
        throw UsageError(std::string(option) + ": " + std::string(t) + " is out of range (" + std::to_string(lo) +
                         " to " + std::to_string(hi) + ")");
    return int(*v);
}

std::vector<std::string_view> split(std::string_view t, char sep)
{
    std::vector<std::string_view> out;
    for (;;) {
        const auto at = t.find(sep);
        out.push_back(t.substr(0, at));
        if (at == std::string_view::npos) return out;
        t.remove_prefix(at + 1);
    }
}

} // namespace

std::vector<std::int32_t> parseGrid(std::string_view text, std::string_view option)
{
    const std::string opt(option);
    if (text.empty()) throw UsageError(opt + ": no gains given");
    std::vector<std::int32_t> values;
    auto add = [&](std::int32_t v) {
        if (std::find(values.begin(), values.end(), v) != values.end()) return;
        if (values.size() == kMaxGridValues)
            throw UsageError(opt + ": more than " + std::to_string(kMaxGridValues) + " values");
        values.push_back(v);
    };
    if (text.find(':') != std::string_view::npos) {
        const auto parts = split(text, ':');
        if (parts.size() != 3)
            throw UsageError(opt + ": a range is FIRST:LAST:STEP, as in 4:12:2 (got \"" + std::string(text) + "\")");
        const std::int64_t first = gain(parts[0], option), last = gain(parts[1], option);
        const auto step = plainNumber(parts[2]);
        if (!step || *step <= 0)
            throw UsageError(opt + ": the step of \"" + std::string(text) + "\" must be a whole number above 0");
        if (first > last) throw UsageError(opt + ": the range \"" + std::string(text) + "\" runs backwards");
        if ((last - first) / *step + 1 > std::int64_t(kMaxGridValues))
            throw UsageError(opt + ": more than " + std::to_string(kMaxGridValues) + " values");
        for (std::int64_t v = first; v <= last; v += *step) add(std::int32_t(v));
        return values;
    }
    for (std::string_view item : split(text, ',')) {
        if (item.empty()) throw UsageError(opt + ": an empty item in \"" + std::string(text) + "\"");
        add(gain(item, option));
    }
    return values;
}

Options parseOptions(const std::vector<std::string>& args)
{
    Options o;
    bool portGiven = false;
    // Whoever asks for help gets it, whatever else the line holds.
    if (std::find_if(args.begin(), args.end(), [](const std::string& a) { return a == "--help" || a == "-h"; }) !=
        args.end()) {
        o.help = true;
        return o;
    }
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "--quiet") {
            o.quiet = true;
            continue;
        }
        static const char* const withValue[] = {"--port", "--baud", "--address", "--settings",  "--kp",
                                                "--ki",   "--runs", "--csv",     "--write-best"};
        if (std::find_if(std::begin(withValue), std::end(withValue), [&](const char* n) { return a == n; }) ==
            std::end(withValue))
            throw UsageError("unknown option \"" + a + "\"");
        if (i + 1 >= args.size()) throw UsageError(a + " needs a value");
        const std::string& v = args[++i];
        if (a == "--port") {
            if (v.empty()) throw UsageError("--port: no port name");
            o.port = v;
            portGiven = true;
        } else if (a == "--baud") {
            o.baud = std::to_string(boundedInt(v, a, 1, 4000000));
        } else if (a == "--address") {
            o.address = boundedInt(v, a, 0, 15);
        } else if (a == "--settings") {
            if (v.empty()) throw UsageError("--settings: no file name");
            o.settings = v;
        } else if (a == "--kp") {
            o.kp = parseGrid(v, a);
        } else if (a == "--ki") {
            o.ki = parseGrid(v, a);
        } else if (a == "--runs") {
            o.runs = boundedInt(v, a, 1, kMaxRuns);
        } else if (a == "--csv") {
            if (v.empty()) throw UsageError("--csv: no file name");
            o.csv = v;
        } else if (a == "--write-best") {
            if (v.empty()) throw UsageError("--write-best: no file name");
            o.writeBest = v;
        }
    }
    if (!portGiven) throw UsageError("no port given (--port COM99, for example)");
    return o;
}

std::string usageText()
{
    return "usage: zarpo-tune --port COMn [--baud 57600] [--address 1] [--settings FILE]\n"
           "                  [--kp LIST] [--ki LIST] [--runs N] [--csv OUT.csv]\n"
           "                  [--write-best BEST.qvm] [--quiet]\n"
           "\n"
           "Runs the tracking test of the ANALYZE tab without the window, for every pair\n"
           "of the gains KP and KI, and prints the pairs sorted by the standard deviation\n"
           "of the tracking error (best first). The controller is activated in the\n"
           "sidereal reference system and tracks for the whole sweep; at the end, or on\n"
           "Ctrl-C, its gains are restored and it is stopped, freed and released.\n"
           "\n"
           "  --port COMn        the bridge's port (COM1 to COM99, as in the window)\n"
           "  --baud N           baud rate (default 57600)\n"
           "  --address N        the controller, 0 to 15 (default 1)\n"
           "  --settings FILE    the parameters to activate with: a model file (.qvm) or\n"
           "                     a settings file (default qvnsettings.dat of this folder,\n"
           "                     or the defaults when there is none)\n"
           "  --kp LIST          KP values: 5,7,9 or FIRST:LAST:STEP such as 4:12:2\n"
           "                     (default: the settings' KP)\n"
           "  --ki LIST          KI values, the same way (default: the settings' KI)\n"
           "  --runs N           tracking tests per gain pair, 1 to 100 (default 1)\n"
           "  --csv FILE         write every run, one line each, to FILE\n"
           "  --write-best FILE  save the settings with the best gains as a model file\n"
           "  --quiet            no progress lines\n"
           "  --help             this text\n"
           "\n"
           "Table columns: KP KI mean peak-to-peak sigma (arcsec, the mean of the pair's\n"
           "runs), samples and rejected replies (all runs), and a note: ok, unreliable\n"
           "(a run rejected more than 3 replies), halted or no-reply.\n"
           "Exit status: 0 done, 1 failed, 2 bad command line, 130 interrupted.\n";
}

} // namespace tune
