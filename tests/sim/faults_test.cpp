// Faults on request, and replaying a run from its seed.

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

#include "sim_session.h"

namespace {

using simtest::Session;

qvnsim::Options withFaults(void (*set)(qvnsim::Options&))
{
    qvnsim::Options o;
    o.controllers = {1};
    set(o);
    return o;
}

TEST(Faults, DroppedShareOfReplies)
{
    struct Case {
        double drop;
        int low, high; // answered of 400
    };
    for (const Case c : {Case{0, 400, 400}, Case{1, 0, 0}, Case{0.5, 160, 240}}) {
        qvnsim::Options o;
        o.drop = c.drop;
        Session s(o);
        int answered = 0;
        for (int i = 0; i < 400; ++i) answered += s.bridge.receive(":A&Q0#", s.now += 0.1).empty() ? 0 : 1;
        EXPECT_GE(answered, c.low) << c.drop;
        EXPECT_LE(answered, c.high) << c.drop;
    }
}

TEST(Faults, DelayedReplyComesWhenDue)
{
    Session s(withFaults([](qvnsim::Options& o) { o.delayMs = 50; }));
    EXPECT_EQ(s.bridge.receive(":@&Q0#", 1.0), "");
    EXPECT_EQ(s.bridge.advance(1.049), "");
    EXPECT_DOUBLE_EQ(s.bridge.nextEvent(), 1.05);
    EXPECT_EQ(s.bridge.advance(1.05), "OK#");
    EXPECT_EQ(s.bridge.advance(2.0), "");
}

// A tool that floods a line with long-delayed replies: the queue stays bounded,
// keeps the newest replies and still delivers them whole when due.
TEST(Faults, DelayedRepliesAreBounded)
{
    Session s(withFaults([](qvnsim::Options& o) { o.delayMs = 60'000; }));
    std::string frames;
    for (int i = 0; i < 400; ++i) frames += ":@&Q0#";
    for (int round = 0; round < 100; ++round) {
        EXPECT_EQ(s.bridge.receive(frames, 1.0 + round * 0.001), "");
        ASSERT_LE(s.bridge.pendingBytes(), qvnsim::Bridge::kMaxPendingBytes);
    }
    EXPECT_GT(s.bridge.pendingBytes(), qvnsim::Bridge::kMaxPendingBytes - 3);
    // The newest are kept: of 100 rounds of 1200 bytes the first 45 are gone.
    EXPECT_GT(s.bridge.nextEvent(), 61.04);
    const std::string due = s.bridge.advance(62.0);
    EXPECT_EQ(due.size() % 3, 0u);
    EXPECT_EQ(due.substr(0, 6), "OK#OK#");
    EXPECT_EQ(s.bridge.pendingBytes(), 0u);
}

TEST(Faults, FaultTimesOutOfRangeAreRefused)
{
    for (auto set :
         {+[](qvnsim::Options& o) { o.haltAfterS = 1e19; }, +[](qvnsim::Options& o) { o.vanishAfterS = 2e6; },
          +[](qvnsim::Options& o) { o.delayMs = 1e300; }}) {
        EXPECT_THROW(qvnsim::Bridge(withFaults(set), 0), std::invalid_argument);
    }
}

TEST(Faults, SplitReplyArrivesInTwoPartsWithAGap)
{
    Session s(withFaults([](qvnsim::Options& o) { o.split = true; }));
    const std::string first = s.bridge.receive(":A&Q0#", 1.0);
    EXPECT_FALSE(first.empty());
    EXPECT_EQ(s.bridge.advance(1.02), "");
    const std::string second = s.bridge.advance(1.03);
    EXPECT_FALSE(second.empty());
    EXPECT_TRUE(simtest::parseStatus(first + second).has_value()) << first << "|" << second;
    std::string ok = s.bridge.receive(":@&Q0#", 2.0);
    EXPECT_EQ(ok, "O");
    ok += s.bridge.advance(2.03);
    EXPECT_EQ(ok, "OK#");
}

TEST(Faults, GarbledReplyDiffersInExactlyOneByte)
{
    // The fault generator is separate from the models', so both runs see the same reply.
    for (std::uint64_t seed = 1; seed <= 20; ++seed) {
        qvnsim::Options clean;
        clean.seed = seed;
        qvnsim::Options garbled = clean;
        garbled.garble = 1;
        Session a(clean), b(garbled);
        const std::string good = a.bridge.receive(":A&Q0#", 3.0);
        const std::string bad = b.bridge.receive(":A&Q0#", 3.0);
        ASSERT_EQ(good.size(), bad.size());
        int differing = 0;
        for (std::size_t i = 0; i < good.size(); ++i) differing += good[i] != bad[i];
        EXPECT_EQ(differing, 1) << good << " vs " << bad;
    }
}

TEST(Faults, ControllersHaltAfterTheGivenTime)
{
    Session s(withFaults([](qvnsim::Options& o) { o.haltAfterS = 5; }));
    s.activate('A');
    s.send("A&T", 2.0);
    EXPECT_EQ(s.status('A').state, 'T');
    s.wait(1.0);
    EXPECT_EQ(s.status('A').state, 'E');
    s.send("A&Z", 0.1);
    s.activate('A');
    s.send("A&T", 5.0);
    EXPECT_EQ(s.status('A').state, 'T') << "the halt happens once";
}

TEST(Faults, DeviceVanishesAfterTheGivenTime)
{
    Session s(withFaults([](qvnsim::Options& o) {
        o.vanishAfterS = 3;
        o.delayMs = 100;
    }));
    EXPECT_FALSE(s.bridge.vanished(2.9));
    EXPECT_EQ(s.bridge.receive(":@&Q0#", 2.95), "");
    EXPECT_TRUE(s.bridge.vanished(3.0));
    EXPECT_EQ(s.bridge.advance(3.05), "") << "a pending reply goes with the device";
    EXPECT_EQ(s.bridge.receive(":@&Q0#", 3.1), "");
}

// A scripted run with noise and faults; everything that came back.
std::string scriptedRun(std::uint64_t seed)
{
    qvnsim::Options o;
    o.seed = seed;
    o.drop = 0.2;
    o.garble = 0.2;
    Session s(o);
    s.activate('A');
    s.activate('B');
    std::string all;
    all += s.send("A&T", 1.0);
    all += s.send("B&M700", 1.0);
    for (int i = 0; i < 80; ++i) {
        all += s.bridge.receive(":A&Q1#:B&Q0#", s.now);
        s.wait(0.125);
    }
    return all;
}

TEST(Faults, TheSeedReplaysARun)
{
    EXPECT_EQ(scriptedRun(7), scriptedRun(7));
    EXPECT_NE(scriptedRun(7), scriptedRun(8));
}

} // namespace
