#pragma once
// Drives a Bridge the way the tool does, on a virtual clock.

#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <string>

#include "bridge.h"

namespace simtest {

struct Status {
    char address = 0;
    char motor = 0;
    char state = 0;
    char internal = 0;
    char index = 0;
    std::int64_t sidereal = 0;
    std::int64_t position = 0;
    int sensor = 0;
};

// Parses a status reply the way the tool reads it; nullopt when it is not one.
std::optional<Status> parseStatus(const std::string& reply);

// The activation parameter set; defaults are the tool's default settings.
struct Activation {
    int polarity = 4;
    int sensorThreshold = 1023;
    int gotoSpeed = 3000;
    int accel = 3000;
    int finalApproach = 0;
    int pulseWidth = 2;
    int kp = 7;
    int ki = 20;
    int errorLimit = 3000;
    int integralLimit = 3000;
    int integralMaxSpeed = 3000;
    int siderealSpeed = 40000;
    int offsetSpeed = 0;
    int guideSpeed = 40000;
    int refSystem = 0;
};

class Session {
public:
    explicit Session(qvnsim::Options options = {}) : bridge(std::move(options), 0) {}

    // Sends ":" + body + "#", returns what came back at once, then lets
    // `pauseS` of virtual time pass.
    std::string send(const std::string& body, double pauseS = 0.1);
    // Lets time pass; returns reply bytes that fell due meanwhile.
    std::string wait(double seconds);
    // A status request and its reply, parsed; fails the test when there is none.
    Status status(char address, bool encoder = false);
    // The sixteen activation commands, 150 ms apart.
    void activate(char address, const Activation& a = {});

    qvnsim::Bridge bridge;
    double now = 0;
};

} // namespace simtest
