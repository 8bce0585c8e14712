#include "sim_session.h"

#include <charconv>

namespace simtest {

std::optional<Status> parseStatus(const std::string& reply)
{
    if (reply.size() < 7 || reply.size() > 36 || reply.back() != '#') return std::nullopt;
    const auto first = static_cast<unsigned char>(reply[0]);
    if (first < 64 || first > 79) return std::nullopt;
    Status s;
    s.address = reply[0];
    s.motor = reply[1];
    s.state = reply[2];
    s.internal = reply[3];
    s.index = reply[4];
    const std::string data = reply.substr(5);
    const auto a = data.find('A');
    const auto b = data.find('B');
    const auto c = data.find('C');
    if (a == std::string::npos || b == std::string::npos || c == std::string::npos || !(a < b && b < c)) {
        return std::nullopt;
    }
    auto number = [](std::string_view t, auto& out) {
        const auto [p, ec] = std::from_chars(t.data(), t.data() + t.size(), out);
        return ec == std::errc{} && p == t.data() + t.size() && !t.empty();
    };
    const std::string_view view(data);
    if (!number(view.substr(0, a), s.sidereal) || !number(view.substr(a + 1, b - a - 1), s.position) ||
        !number(view.substr(b + 1, c - b - 1), s.sensor) || data.substr(c) != "C#") {
        return std::nullopt;
    }
    return s;
}

std::string Session::send(const std::string& body, double pauseS)
{
    std::string out = bridge.receive(":" + body + "#", now);
    out += wait(pauseS);
    return out;
}

std::string Session::wait(double seconds)
{
    now += seconds;
    return bridge.advance(now);
}

Status Session::status(char address, bool encoder)
{
    const std::string reply = bridge.receive(std::string(":") + address + (encoder ? "&Q1#" : "&Q0#"), now);
    const auto parsed = parseStatus(reply);
    EXPECT_TRUE(parsed.has_value()) << "no status reply, got \"" << reply << "\"";
    return parsed.value_or(Status{});
}

void Session::activate(char address, const Activation& a)
{
    const std::string p(1, address);
    const double pause = 0.15;
    send(p + "&R", pause);
    send(p + "&y" + std::to_string(a.polarity), pause);
    send(p + "&h" + std::to_string(a.sensorThreshold), pause);
    send(p + "&s" + std::to_string(a.gotoSpeed), pause);
    send(p + "&a" + std::to_string(a.accel), pause);
    send(p + "&f" + std::to_string(a.finalApproach), pause);
    send(p + "&u" + std::to_string(a.pulseWidth), pause);
    send(p + "&p" + std::to_string(a.kp), pause);
    send(p + "&i" + std::to_string(a.ki), pause);
    send(p + "&e" + std::to_string(a.errorLimit), pause);
    send(p + "&j" + std::to_string(a.integralLimit), pause);
    send(p + "&k" + std::to_string(a.integralMaxSpeed), pause);
    send(p + "&r" + std::to_string(a.siderealSpeed), pause);
    send(p + "&t" + std::to_string(a.offsetSpeed), pause);
    send(p + "&g" + std::to_string(a.guideSpeed), pause);
    send(p + "&C" + std::to_string(a.refSystem), pause);
}

} // namespace simtest
