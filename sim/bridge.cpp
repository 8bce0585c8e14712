#include "bridge.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <stdexcept>

namespace qvnsim {

namespace {
constexpr std::string_view kConnectionCheck = "@&Q0";
constexpr double kEpsilon = 1e-9;
} // namespace

Bridge::Bridge(Options options, double now)
    : options_(std::move(options)), start_(now), faults_(options_.seed ^ 0x5a5a5a5aULL)
{
    if (options_.controllers.empty()) throw std::invalid_argument("no controller on the bus");
    const auto n = options_.controllers.size();
    if (options_.motors.size() != 1 && options_.motors.size() != n) {
        throw std::invalid_argument("give one motor type for all controllers or one for each (" + std::to_string(n) +
                                    ")");
    }
    // Times past the limit (or not numbers) would overflow the count of cycles.
    const auto timeOk = [](double s) { return s < 0 || s <= kMaxTimeS; };
    if (!timeOk(options_.haltAfterS) || !timeOk(options_.vanishAfterS) ||
        !(std::abs(options_.delayMs) <= kMaxTimeS * 1000) || !(std::abs(options_.splitGapMs) <= kMaxTimeS * 1000)) {
        throw std::invalid_argument("a fault time is out of range (at most " +
                                    std::to_string(static_cast<long>(kMaxTimeS)) + " s)");
    }
    for (std::size_t i = 0; i < n; ++i) {
        const int index = options_.controllers[i];
        if (index < 0 || index > 15) {
            throw std::invalid_argument("controller " + std::to_string(index) + " is not in 0..15");
        }
        if (controllers_.count(index)) {
            throw std::invalid_argument("controller " + std::to_string(index) + " is given twice");
        }
        const MotorKind motor = options_.motors.size() == 1 ? options_.motors[0] : options_.motors[i];
        const std::uint64_t seed = options_.seed * 0x100000001b3ULL + static_cast<std::uint64_t>(index);
        controllers_.emplace(index, std::make_unique<Controller>(index, motor, options_, seed));
    }
}

std::int64_t Bridge::cycleAt(double now) const
{
    const double elapsed = (now - start_) / kCycleS;
    if (!(elapsed > 0)) return 0;
    return static_cast<std::int64_t>(std::floor(elapsed + kEpsilon));
}

bool Bridge::vanished(double now) const
{
    return options_.vanishAfterS >= 0 && now - start_ >= options_.vanishAfterS - kEpsilon;
}

void Bridge::moveModels(double now)
{
    const std::int64_t target = std::max(cycle_, cycleAt(now));
    if (!halted_ && options_.haltAfterS >= 0) {
        const auto haltCycle = static_cast<std::int64_t>(std::ceil(options_.haltAfterS / kCycleS - kEpsilon));
        if (haltCycle <= target) {
            for (auto& [index, c] : controllers_) {
                c->advanceTo(haltCycle);
                c->halt();
            }
            halted_ = true;
        }
    }
    for (auto& [index, c] : controllers_) c->advanceTo(target);
    cycle_ = target;
}

std::string Bridge::receive(std::string_view bytes, double now)
{
    if (vanished(now)) return {};
    moveModels(now);
    for (const std::string& body : reader_.feed(bytes)) handle(body, now);
    return takeDue(now);
}

std::string Bridge::advance(double now)
{
    if (vanished(now)) {
        pending_.clear();
        pendingBytes_ = 0;
        return {};
    }
    moveModels(now);
    return takeDue(now);
}

void Bridge::handle(const std::string& body, double now)
{
    if (log_) log_(body);
    if (body == kConnectionCheck) {
        queueReply("OK#", now);
        return;
    }
    if (body.empty()) return;
    const int index = static_cast<unsigned char>(body[0]) - 64;
    const auto it = controllers_.find(index);
    if (it == controllers_.end()) return;
    if (auto reply = it->second->command(std::string_view(body).substr(1))) {
        queueReply(std::move(*reply), now);
    }
}

void Bridge::queueReply(std::string reply, double now)
{
    if (options_.drop > 0 && faults_.uniform() < options_.drop) return;
    if (options_.garble > 0 && faults_.uniform() < options_.garble && !reply.empty()) {
        const auto at = faults_.below(reply.size());
        // Any other byte value.
        const auto delta = 1 + faults_.below(255);
        reply[at] = static_cast<char>((static_cast<unsigned char>(reply[at]) + delta) & 0xff);
    }
    const double due = now + std::max(0.0, options_.delayMs) / 1000;
    auto push = [this](double when, std::string bytes) {
        // Keep the queue in order of time, first come first out among equals.
        const auto pos = std::upper_bound(pending_.begin(), pending_.end(), when,
                                          [](double t, const Pending& p) { return t < p.due; });
        pendingBytes_ += bytes.size();
        pending_.insert(pos, Pending{when, std::move(bytes)});
        // A tool that floods a slow line must not make us grow without end:
        // the oldest replies go, as a full bridge buffer loses them.
        while (pendingBytes_ > kMaxPendingBytes) {
            pendingBytes_ -= pending_.front().bytes.size();
            pending_.erase(pending_.begin());
        }
    };
    if (options_.split && reply.size() >= 2) {
        const auto half = reply.size() / 2;
        push(due, reply.substr(0, half));
        push(due + std::max(0.0, options_.splitGapMs) / 1000, reply.substr(half));
    } else {
        push(due, std::move(reply));
    }
}

std::string Bridge::takeDue(double now)
{
    std::string out;
    auto it = pending_.begin();
    while (it != pending_.end() && it->due <= now + kEpsilon) {
        out += it->bytes;
        pendingBytes_ -= it->bytes.size();
        ++it;
    }
    pending_.erase(pending_.begin(), it);
    return out;
}

double Bridge::nextEvent() const
{
    double next = std::numeric_limits<double>::infinity();
    if (!pending_.empty()) next = pending_.front().due;
    if (!halted_ && options_.haltAfterS >= 0) next = std::min(next, start_ + options_.haltAfterS);
    if (options_.vanishAfterS >= 0) next = std::min(next, start_ + options_.vanishAfterS);
    return next;
}

const Controller* Bridge::controller(int index) const
{
    const auto it = controllers_.find(index);
    return it == controllers_.end() ? nullptr : it->second.get();
}

Controller* Bridge::controller(int index)
{
    const auto it = controllers_.find(index);
    return it == controllers_.end() ? nullptr : it->second.get();
}

} // namespace qvnsim
