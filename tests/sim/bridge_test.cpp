// The bridge and its controllers as the tool sees them over the line.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "sim_session.h"

namespace {

using simtest::Activation;
using simtest::parseStatus;
using simtest::Session;

qvnsim::Options oneController(qvnsim::MotorKind motor = qvnsim::MotorKind::Dc)
{
    qvnsim::Options o;
    o.controllers = {1};
    o.motors = {motor};
    return o;
}

TEST(FrameReading, OnlyWholeFramesAreAnswered)
{
    struct Case {
        const char* name;
        std::string bytes;
        std::string reply;
    };
    const Case cases[] = {
        {"the connection check", ":@&Q0#", "OK#"},
        {"noise before the frame", "xyz#\r\n:@&Q0#", "OK#"},
        {"a new colon restarts the frame", ":A&D12:@&Q0#", "OK#"},
        {"two checks in one write", ":@&Q0#:@&Q0#", "OK#OK#"},
        {"no colon", "@&Q0#", ""},
        {"no end", ":@&Q0", ""},
        {"an empty frame", ":#", ""},
        {"a frame far too long", ":@&Q0" + std::string(100, '0') + "#", ""},
        {"the check with a trailing character", ":@&Q00#", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Session s;
        EXPECT_EQ(s.bridge.receive(c.bytes, 0.5), c.reply);
    }
}

TEST(FrameReading, AFrameMayArriveInPieces)
{
    Session s;
    EXPECT_EQ(s.bridge.receive(":@&", 0.1), "");
    EXPECT_EQ(s.bridge.receive("Q", 0.2), "");
    EXPECT_EQ(s.bridge.receive("0#", 0.3), "OK#");
}

TEST(StatusReply, EveryStateShowsItsLetterInTheToolsLayout)
{
    struct Case {
        const char* name;
        std::vector<std::string> bodies; // after activation, 0.5 s apart
        char letter;
        qvnsim::MotorKind motor = qvnsim::MotorKind::Dc;
        double sensorLevel = 512;
        bool activate = true;
    };
    const Case cases[] = {
        {"power-up", {}, 'X', qvnsim::MotorKind::Dc, 512, false},
        {"stopped and locked", {}, 'S'},
        {"free", {"A&F"}, 'F'},
        {"released", {"A&Z"}, 'X'},
        {"slewing", {"A&M500"}, 'M'},
        {"moving by steps", {"A&D100000"}, 'M'},
        {"tracking", {"A&T"}, 'T'},
        {"guiding +", {"A&T", "A&P+5000"}, 'G'},
        {"guiding -", {"A&T", "A&P-5000"}, 'g'},
        {"sensor over its threshold", {"A&h800"}, 'U', qvnsim::MotorKind::Dc, 900},
        {"sensor below its threshold", {"A&y132", "A&h200"}, 'u', qvnsim::MotorKind::Dc, 100},
        {"limit + switch normally closed but wired open", {"A&y5"}, 'W'},
        {"limit - switch normally closed but wired open", {"A&y6"}, 'w'},
        {"stepper tracking", {"A&T"}, 'T', qvnsim::MotorKind::Stepper},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        auto options = oneController(c.motor);
        options.sensorLevel = c.sensorLevel;
        Session s(options);
        if (c.activate) s.activate('A');
        for (const auto& body : c.bodies) s.send(body, 0.5);
        for (const bool encoder : {false, true}) {
            const std::string reply = s.bridge.receive(encoder ? ":A&Q1#" : ":A&Q0#", s.now);
            ASSERT_GE(reply.size(), 7u);
            ASSERT_LE(reply.size(), 36u);
            const auto st = parseStatus(reply);
            ASSERT_TRUE(st.has_value()) << reply;
            EXPECT_EQ(st->address, 'A');
            EXPECT_EQ(st->motor, c.motor == qvnsim::MotorKind::Dc ? '0' : '1');
            EXPECT_EQ(st->state, c.letter);
            EXPECT_TRUE(st->index == '0' || st->index == '1');
            EXPECT_NEAR(st->sensor, c.sensorLevel, 20);
        }
    }
}

TEST(StatusReply, CountersWrapLikeThirtyTwoBitsAndTheReplyStaysShort)
{
    qvnsim::Options options = oneController(qvnsim::MotorKind::Stepper);
    Session s(options);
    Activation a;
    a.siderealSpeed = 100000000; // 100000 steps/s: the count passes 2^31 in about 6 hours
    s.activate('A', a);
    s.send("A&M-100000", 0);
    s.wait(6 * 3600.0);
    const std::string reply = s.bridge.receive(":A&Q0#", s.now);
    const auto st = parseStatus(reply);
    ASSERT_TRUE(st.has_value()) << reply;
    EXPECT_LE(reply.size(), 36u);
    const auto count = s.bridge.controller(1)->siderealCount();
    EXPECT_GT(count, std::int64_t{1} << 31);
    EXPECT_EQ(st->sidereal, static_cast<std::int32_t>(static_cast<std::uint32_t>(count)));
    const auto position = s.bridge.controller(1)->position();
    EXPECT_LT(position, -(std::int64_t{1} << 31));
    EXPECT_EQ(st->position, static_cast<std::int32_t>(static_cast<std::uint32_t>(position)));
}

TEST(Counters, ResetZeroesPositionEncoderAndSiderealCount)
{
    for (const auto motor : {qvnsim::MotorKind::Dc, qvnsim::MotorKind::Stepper}) {
        Session s(oneController(motor));
        s.activate('A');
        s.send("A&T", 5.0);
        auto before = s.status('A', false);
        EXPECT_GT(before.sidereal, 150);
        EXPECT_GT(before.position, 150);
        s.send("A&R", 0);
        const auto motorPos = s.status('A', false);
        const auto encoderPos = s.status('A', true);
        EXPECT_EQ(motorPos.sidereal, 0);
        EXPECT_EQ(motorPos.position, 0);
        EXPECT_EQ(encoderPos.position, 0);
        EXPECT_EQ(motorPos.state, 'T') << "tracking goes on";
    }
}

TEST(Rates, CountsAndPositionsAdvanceAtTheirSpeeds)
{
    struct Case {
        const char* name;
        int sidereal;      // thousandths
        int offset;        // thousandths
        std::string pulse; // guide command, empty for none
        double seconds;
        std::int64_t count;
        std::int64_t position;
    };
    const Case cases[] = {
        {"sidereal count at 40 steps/s", 40000, 0, "", 10, 400, 400},
        {"fractional sidereal speed", 15042, 0, "", 10, 150, 150},
        {"positive offset", 40000, 1500, "", 10, 400, 415},
        {"negative offset", 40000, -500, "", 10, 400, 395},
        {"guide pulse + of one second", 40000, 0, "A&P+1000", 10, 400, 440},
        {"guide pulse - of 250 ms", 40000, 0, "A&P-250", 10, 400, 390},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Session s(oneController(qvnsim::MotorKind::Stepper));
        Activation a;
        a.siderealSpeed = c.sidereal;
        a.offsetSpeed = c.offset;
        s.activate('A', a);
        s.send("A&T", 0);
        s.send("A&R", 0);
        if (!c.pulse.empty()) s.send(c.pulse, 0);
        s.wait(c.seconds);
        const auto st = s.status('A');
        EXPECT_EQ(st.sidereal, c.count);
        EXPECT_EQ(st.position, c.position);
        EXPECT_EQ(st.state, 'T');
    }
}

TEST(Rates, AGuidePulseShowsItsLetterForItsLengthOnly)
{
    Session s(oneController(qvnsim::MotorKind::Stepper));
    s.activate('A');
    s.send("A&T", 0.5);
    s.send("A&P+300", 0.25);
    EXPECT_EQ(s.status('A').state, 'G');
    s.wait(0.1);
    EXPECT_EQ(s.status('A').state, 'T');
    s.send("A&N", 0.5);
    s.send("A&P+300", 0.1);
    EXPECT_EQ(s.status('A').state, 'S') << "no guiding without tracking";
}

// Runs until the controller leaves "M" (bounded), returns the final status.
simtest::Status settle(Session& s, double limitS = 60)
{
    for (double t = 0; t < limitS; t += 0.05) {
        s.wait(0.05);
        const auto st = s.status('A');
        if (st.state != 'M') {
            s.wait(0.5); // let a DC motor come to rest
            return s.status('A');
        }
    }
    ADD_FAILURE() << "the move did not end";
    return {};
}

TEST(Moves, MovesAndGotosEndExactlyOnTarget)
{
    struct Case {
        const char* name;
        qvnsim::MotorKind motor;
        int refSystem;
        bool tracking;
        std::string command;
        // Fixed system: the motor position; sidereal: count - position.
        std::int64_t expected;
        bool relative; // expected is a change of it
        char after;
    };
    using qvnsim::MotorKind;
    const Case cases[] = {
        {"fixed, move by steps", MotorKind::Stepper, 0, false, "A&D6000", 6000, true, 'S'},
        {"fixed, move back", MotorKind::Dc, 0, false, "A&D-2500", -2500, true, 'S'},
        {"fixed, go to", MotorKind::Dc, 0, false, "A&G-777", -777, false, 'S'},
        {"sidereal, move while tracking", MotorKind::Stepper, 1, true, "A&D300", 300, true, 'T'},
        {"sidereal, move while tracking, DC", MotorKind::Dc, 1, true, "A&D-1200", -1200, true, 'T'},
        {"sidereal, go to while tracking", MotorKind::Stepper, 1, true, "A&G5000", 5000, false, 'T'},
        {"sidereal, go to while tracking, DC", MotorKind::Dc, 1, true, "A&G-3000", -3000, false, 'T'},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Session s(oneController(c.motor));
        Activation a;
        a.refSystem = c.refSystem;
        a.finalApproach = 50;
        s.activate('A', a);
        s.send("A&D123", 0); // start somewhere other than zero
        settle(s);
        if (c.tracking) s.send("A&T", 1.0);
        const auto start = s.status('A');
        auto measure = [&](const simtest::Status& st) {
            return c.refSystem == 1 ? st.sidereal - st.position : st.position;
        };
        s.send("A&s2000", 0.1);
        s.send(c.command, 0.1);
        EXPECT_EQ(s.status('A').state, 'M');
        const auto end = settle(s);
        EXPECT_EQ(end.state, c.after);
        const std::int64_t want = c.relative ? measure(start) + c.expected : c.expected;
        EXPECT_EQ(measure(end), want);
        if (c.motor == MotorKind::Dc) {
            const auto enc = s.status('A', true);
            EXPECT_NEAR(static_cast<double>(enc.position), static_cast<double>(end.position), 2.0);
        }
    }
}

TEST(Moves, TheProfileAcceleratesAndTheFinalApproachIsSlow)
{
    auto durationOf = [](int finalApproach) {
        Session s(oneController(qvnsim::MotorKind::Stepper));
        Activation a;
        a.finalApproach = finalApproach;
        a.accel = 3000;
        s.activate('A', a);
        s.send("A&s3000", 0);
        s.send("A&D12000", 0);
        // Half a second in, a trapezoid at 3000 steps/s^2 has covered 375 steps.
        s.wait(0.5);
        EXPECT_NEAR(static_cast<double>(s.status('A').position), 375, 3);
        s.wait(3.5);
        // At 4 s the cruise ends: 1500 + 9000 steps.
        if (finalApproach == 0) {
            EXPECT_NEAR(static_cast<double>(s.status('A').position), 10500, 3);
        }
        double t = 4.0;
        while (s.status('A').state == 'M' && t < 60) {
            s.wait(0.001);
            t += 0.001;
        }
        EXPECT_EQ(s.status('A').position, 12000);
        return t;
    };
    // 12000 steps at 3000 steps/s with 1 s of ramp each end: 5 s.
    const double plain = durationOf(0);
    EXPECT_NEAR(plain, 5.0, 0.02);
    // The last 600 steps at a tenth of the speed take about 1.8 s longer.
    const double slow = durationOf(600);
    EXPECT_NEAR(slow - plain, 1.8, 0.15);
}

// The DC motor follows the set point through its loop: at the end of a move
// the encoder runs a few counts past the target, then settles onto it.
TEST(Moves, TheEncoderSettlesShortlyAfterAMove)
{
    struct Case {
        const char* name;
        std::vector<std::string> bodies; // 2 s apart, the last one ends the move
    };
    const Case cases[] = {
        {"move by steps", {"A&D12000"}},
        {"move back", {"A&D-2500"}},
        {"slew stopped", {"A&M2000", "A&S"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Session s(oneController());
        s.activate('A');
        for (std::size_t i = 0; i < c.bodies.size(); ++i) s.send(c.bodies[i], i + 1 < c.bodies.size() ? 2.0 : 0.0);
        for (int i = 0; i < 1000 && s.status('A').state == 'M'; ++i) s.wait(0.01);
        ASSERT_EQ(s.status('A').state, 'S');
        // Deviation of the encoder from the motor position, the set point.
        auto deviation = [&s] {
            return std::abs(static_cast<double>(s.status('A', true).position - s.status('A').position));
        };
        double early = 0, late = 0;
        for (int i = 0; i < 150; ++i) {
            s.wait(0.01);
            if (i < 20) early = std::max(early, deviation());
            if (i >= 100) late = std::max(late, deviation());
        }
        EXPECT_GE(early, 3) << "past the target in the first 200 ms";
        EXPECT_LE(late, 2) << "settled after a second";
    }
}

TEST(Moves, SlewRunsUntilStoppedAndChangesSpeed)
{
    Session s(oneController(qvnsim::MotorKind::Stepper));
    s.activate('A');
    s.send("A&M1000", 2.0);
    const auto p1 = s.status('A').position;
    s.wait(1.0);
    EXPECT_NEAR(static_cast<double>(s.status('A').position - p1), 1000, 2);
    s.send("A&w-2000", 2.0);
    const auto p2 = s.status('A').position;
    s.wait(1.0);
    EXPECT_NEAR(static_cast<double>(s.status('A').position - p2), -2000, 2);
    EXPECT_EQ(s.status('A').state, 'M');
    s.send("A&S", 0.3);
    EXPECT_EQ(s.status('A').state, 'M') << "decelerating from 2000 at 3000 steps/s^2 takes 0.67 s";
    s.wait(0.5);
    EXPECT_EQ(s.status('A').state, 'S');
    const auto stopped = s.status('A').position;
    s.wait(1.0);
    EXPECT_EQ(s.status('A').position, stopped);
}

TEST(Moves, FreeAtStopLeavesTheMotorFree)
{
    Session s(oneController());
    Activation a;
    a.polarity = 4 + 16;
    s.activate('A', a);
    EXPECT_EQ(s.status('A').state, 'S');
    s.send("A&M500", 1.0);
    s.send("A&S", 1.0);
    EXPECT_EQ(s.status('A').state, 'F');
    s.send("A&D100", 2.0);
    EXPECT_EQ(s.status('A').state, 'F');
}

TEST(Moves, AnIdleDcMotorStaysWhereItStopped)
{
    // The wind still pushes the telescope, but the worm does not let the
    // wheel turn an unpowered motor.
    for (const char* idle : {"A&Z", "A&F"}) {
        SCOPED_TRACE(idle);
        Session s(oneController());
        s.activate('A');
        s.send("A&M500", 1.0);
        s.send(idle, 1.0);
        const auto stopped = s.status('A', true).position;
        EXPECT_GT(stopped, 300);
        s.wait(60.0);
        EXPECT_EQ(s.status('A', true).position, stopped);
    }
}

TEST(Moves, SiderealMoveSettlesToZeroTrackingTestError)
{
    // error = position - count + target, near zero once the move has settled.
    for (const auto motor : {qvnsim::MotorKind::Stepper, qvnsim::MotorKind::Dc}) {
        Session s(oneController(motor));
        Activation a;
        a.refSystem = 1;
        s.activate('A', a);
        s.send("A&T", 1.0);
        s.send("A&f0", 0.15);
        s.send("A&R", 0.15);
        s.send("A&a4000", 0.15);
        s.send("A&s100", 0.7);
        s.send("A&D300", 6.0);
        const auto st = s.status('A', true);
        const double error = static_cast<double>(st.position - st.sidereal + 300);
        EXPECT_NEAR(error, 0, motor == qvnsim::MotorKind::Stepper ? 0 : 3);
        EXPECT_EQ(st.state, 'T');
    }
}

TEST(Faults, AFollowingErrorPastTheLimitHaltsUntilReleaseAndActivation)
{
    Session s(oneController());
    Activation a;
    a.errorLimit = 5;
    a.accel = 1000000;
    s.activate('A', a);
    s.send("A&s3000", 0);
    s.send("A&D10000", 0.5);
    EXPECT_EQ(s.status('A').state, 'E');
    const auto halted = s.status('A').position;
    for (const char* body : {"A&D500", "A&M100", "A&T", "A&R", "A&S"}) {
        s.send(body, 0.3);
        EXPECT_EQ(s.status('A').state, 'E') << body;
    }
    EXPECT_NE(halted, 10000);
    s.send("A&Z", 0.2);
    EXPECT_EQ(s.status('A').state, 'X');
    s.send("A&D500", 0.5);
    EXPECT_EQ(s.status('A').state, 'X') << "a released controller does not move";
    s.activate('A');
    EXPECT_EQ(s.status('A').state, 'S');
}

TEST(Bus, SixteenAddressesAnswerAndAbsentOnesAreSilent)
{
    qvnsim::Options all;
    all.controllers.clear();
    for (int i = 0; i < 16; ++i) all.controllers.push_back(i);
    all.motors = {qvnsim::MotorKind::Stepper};
    Session s(all);
    for (int i = 0; i < 16; ++i) {
        const char address = static_cast<char>(64 + i);
        const auto st = s.status(address, true);
        EXPECT_EQ(st.address, address);
    }
    // "@&Q0" stays the bridge's own check even with controller 0 present.
    EXPECT_EQ(s.bridge.receive(":@&Q0#", s.now), "OK#");

    qvnsim::Options some;
    some.controllers = {2, 5};
    Session t(some);
    for (const char* frame : {":A&Q0#", ":D&Q1#", ":?&Q0#", ":P&Q0#", ":\x7f&Q0#"}) {
        EXPECT_EQ(t.bridge.receive(frame, t.now), "") << frame;
    }
    EXPECT_EQ(t.bridge.controller(0), nullptr);
    EXPECT_NE(t.bridge.controller(5), nullptr);
}

TEST(Bus, BadSetUpsAreRefusedWithAReason)
{
    struct Case {
        std::vector<int> controllers;
        std::vector<qvnsim::MotorKind> motors;
        const char* reason;
    };
    using qvnsim::MotorKind;
    const Case cases[] = {
        {{16}, {MotorKind::Dc}, "not in 0..15"}, {{-1}, {MotorKind::Dc}, "not in 0..15"},
        {{3, 3}, {MotorKind::Dc}, "twice"},      {{1, 2, 3}, {MotorKind::Dc, MotorKind::Stepper}, "one for each"},
        {{}, {MotorKind::Dc}, "no controller"},
    };
    for (const auto& c : cases) {
        qvnsim::Options o;
        o.controllers = c.controllers;
        o.motors = c.motors;
        try {
            qvnsim::Bridge b(o);
            ADD_FAILURE() << "accepted: " << c.reason;
        } catch (const std::invalid_argument& e) {
            EXPECT_NE(std::string(e.what()).find(c.reason), std::string::npos) << e.what();
        }
    }
}

TEST(Commands, GarbageUnknownCommandsAndBadArgumentsChangeNothing)
{
    const char* bodies[] = {
        "A&s0",      "A&s",   "A&s12x", "A&h1024", "A&h-1", "A&y256", "A&C2",           "A&a0",
        "A&e0",      "A&p-1", "A&D1.5", "A&D",     "A&D+5", "A&D 5",  "A&D99999999999", "A&G2147483648",
        "A&P+20000", "A&P+0", "A&P5",   "A&Sx",    "A&Rx",  "A&X",    "A&Q2",           "A&Q",
        "A&",        "A",     "AD100",  "A&M",     "A&w12", "A&r-1",  "A&k-5",          "A&j-1",
    };
    Session s(oneController(qvnsim::MotorKind::Stepper));
    s.activate('A');
    s.send("A&T", 1.0);
    const auto before = *s.bridge.controller(1);
    for (const char* body : bodies) {
        s.bridge.receive(std::string(":") + body + "#", s.now);
        const auto* after = s.bridge.controller(1);
        EXPECT_EQ(std::memcmp(&before.params(), &after->params(), sizeof(qvnsim::Params)), 0) << body;
        EXPECT_EQ(after->mode(), qvnsim::Mode::Tracking) << body;
        EXPECT_EQ(after->position(), before.position()) << body;
        EXPECT_FALSE(after->guiding()) << body;
    }
    EXPECT_EQ(s.bridge.receive(":A&Q0#:A&Q3#:A&Q0#", s.now).size(), 2 * s.bridge.receive(":A&Q0#", s.now).size());
}

TEST(Commands, ParametersAreTakenAsSent)
{
    Session s(oneController());
    Activation a;
    a.polarity = 251;
    a.sensorThreshold = 700;
    a.kp = 12;
    a.ki = 0;
    a.siderealSpeed = 15042;
    a.offsetSpeed = -250;
    a.guideSpeed = 62;
    a.refSystem = 1;
    s.activate('A', a);
    const auto& p = s.bridge.controller(1)->params();
    EXPECT_EQ(p.polarity, 251);
    EXPECT_EQ(p.sensorThreshold, 700);
    EXPECT_EQ(p.kp, 12);
    EXPECT_EQ(p.ki, 0);
    EXPECT_EQ(p.siderealSpeed, 15042);
    EXPECT_EQ(p.offsetSpeed, -250);
    EXPECT_EQ(p.guideSpeed, 62);
    EXPECT_EQ(p.refSystem, 1);
}

TEST(Index, TurnsOnOncePerWormTurnAndIsClearedByJ)
{
    qvnsim::Options o = oneController();
    o.stepsPerWormTurn = 200;
    Session s(o);
    s.activate('A');
    s.send("A&T", 2.0);
    EXPECT_EQ(s.status('A').index, '0');
    s.wait(3.0); // the mark is half a turn from zero
    EXPECT_EQ(s.status('A').index, '1');
    s.send("A&J", 0.1);
    EXPECT_EQ(s.status('A').index, '0');
    s.wait(5.0);
    EXPECT_EQ(s.status('A').index, '1');
}

} // namespace
