#pragma once
// The simulated serial bridge with its controllers. No threads, no clock of
// its own: the caller gives the time with every call.

#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "controller.h"
#include "frame_reader.h"
#include "options.h"
#include "random.h"

namespace qvnsim {

class Bridge {
public:
    // Throws std::invalid_argument with a readable message for a bad set-up
    // (index out of 0..15, a repeated index, motors not matching).
    explicit Bridge(Options options, double now = 0);
    // Bytes from the tool at time `now` (seconds, monotonic); returns the reply bytes due by `now`.
    std::string receive(std::string_view bytes, double now);
    // Moves every model to `now` by real elapsed time; returns reply bytes that became due (delayed or split replies).
    std::string advance(double now);
    bool vanished(double now) const;
    // Inspection for tests: the state of controller `index`, nullptr if absent.
    const Controller* controller(int index) const;
    Controller* controller(int index);

    // The earliest time after which advance() has something to do (a reply
    // falls due, a halt or the vanishing); infinity when nothing is planned.
    double nextEvent() const;
    const Options& options() const { return options_; }
    // Bytes of the replies queued for later (delayed or split), at most kMaxPendingBytes.
    std::size_t pendingBytes() const { return pendingBytes_; }
    static constexpr std::size_t kMaxPendingBytes = 64 * 1024;
    // Longest time option the bridge takes (seconds): whole cycles of it fit 64 bits.
    static constexpr double kMaxTimeS = 1e6;
    // Called with every frame body taken from the line (for qvnsim's log).
    void setFrameLog(std::function<void(std::string_view body)> log) { log_ = std::move(log); }

private:
    void moveModels(double now);
    void handle(const std::string& body, double now);
    void queueReply(std::string reply, double now);
    std::string takeDue(double now);
    std::int64_t cycleAt(double now) const;

    struct Pending {
        double due;
        std::string bytes;
    };

    Options options_;
    double start_;
    std::int64_t cycle_ = 0;
    bool halted_ = false;
    Random faults_;
    FrameReader reader_;
    std::map<int, std::unique_ptr<Controller>> controllers_;
    std::deque<Pending> pending_; // in order of time
    std::size_t pendingBytes_ = 0;
    std::function<void(std::string_view)> log_;
};

} // namespace qvnsim
