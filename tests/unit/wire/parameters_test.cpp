// The parameter commands: activation's sixteen bodies and the UPDATE groups
// built from the one table.

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <string>
#include <vector>

#include "protocol/parameters.h"
#include "settings/record.h"

namespace {

using protocol::Param;
using protocol::UploadGroup;

TEST(Parameters, ActivationSendsTheRecordInTheControllersOrder)
{
    settings::TMYSETTINGS s = settings::defaultSettings();
    s.setting_sensThr = 900;
    s.setting_gotoSpeed = 2000;
    s.setting_accel = -1; // sent as stored, whatever it is
    s.setting_KP = 2147483647;
    s.setting_sidSpeed = 15042;
    s.setting_offsetTrackSpeed = -500;
    s.setting_guideSpeed = 20000;
    s.setting_refSyst = 1;
    const std::vector<std::string> expected = {
        "C&R",   "C&y4",    "C&h900",  "C&s2000", "C&a-1",    "C&f0",    "C&u2",     "C&p2147483647",
        "C&i20", "C&e3000", "C&j3000", "C&k3000", "C&r15042", "C&t-500", "C&g20000", "C&C1",
    };
    EXPECT_EQ(protocol::activationBodies(s, 'C'), expected);
    EXPECT_EQ(protocol::activationBodies(s, '?').front(), "?&R");
}

TEST(Parameters, EveryUploadableParameterIsSentAtActivationFromItsField)
{
    // Each field set to a value of its own shows which body carries it.
    settings::TMYSETTINGS s = settings::defaultSettings();
    for (const protocol::ParameterRow& row : protocol::parameterTable())
        s.*row.field = 1000 + static_cast<int>(row.param);
    const std::vector<std::string> bodies = protocol::activationBodies(s, 'A');
    for (const protocol::ParameterRow& row : protocol::parameterTable()) {
        const std::string body = protocol::parameterBody(row.param, 'A', 1000 + static_cast<int>(row.param));
        EXPECT_EQ(std::count(bodies.begin(), bodies.end(), body), 1) << body;
    }
}

std::array<std::string, protocol::kParamCount> defaultTexts()
{
    return {"3000", "0", "1023", "2", "7", "20", "3000", "3000", "3000", "40", "0", "40"};
}

struct Step {
    Param param;
    bool accepted;
    std::string body;
};

std::vector<Step> steps(const std::vector<protocol::UploadStep>& plan)
{
    std::vector<Step> out;
    for (const auto& s : plan) out.push_back({s.param, s.accepted, s.body});
    return out;
}

bool operator==(const Step& a, const Step& b)
{
    return a.param == b.param && a.accepted == b.accepted && a.body == b.body;
}

void PrintTo(const Step& s, std::ostream* os)
{
    *os << "{" << static_cast<int>(s.param) << (s.accepted ? " sent " : " rejected ") << s.body << "}";
}

TEST(Parameters, UploadPlans)
{
    struct Case {
        const char* name;
        UploadGroup group;
        std::vector<Param> edited;
        std::vector<std::pair<Param, std::string>> texts;
        char sep;
        std::vector<Step> expected;
    };
    const Case cases[] = {
        {"nothing edited sends nothing", UploadGroup::PIControl, {}, {}, '.', {}},
        {"table order whatever the order of editing",
         UploadGroup::PIControl,
         {Param::KI, Param::KP},
         {{Param::KP, "9"}, {Param::KI, "30"}},
         '.',
         {{Param::KP, true, "A&p9"}, {Param::KI, true, "A&i30"}}},
        {"only the group's own flags",
         UploadGroup::ControlProperties,
         {Param::KP, Param::Final},
         {},
         '.',
         {{Param::Final, true, "A&f0"}}},
        {"integers are sent exactly as typed",
         UploadGroup::ControlProperties,
         {Param::Accel, Param::Sensor, Param::PulseWidth},
         {{Param::Accel, "$9C4"}, {Param::Sensor, "  +900"}, {Param::PulseWidth, "0x10"}},
         '.',
         {{Param::Accel, true, "A&a$9C4"}, {Param::Sensor, true, "A&h  +900"}, {Param::PulseWidth, true, "A&u0x10"}}},
        {"a rejected text does not stop the group",
         UploadGroup::PIControl,
         {Param::KP, Param::KI},
         {{Param::KP, "abc"}, {Param::KI, "25"}},
         '.',
         {{Param::KP, false, ""}, {Param::KI, true, "A&i25"}}},
        {"integer rule: trailing space, decimal point",
         UploadGroup::ControlProperties,
         {Param::Accel, Param::Final},
         {{Param::Accel, "3000 "}, {Param::Final, "1.5"}},
         '.',
         {{Param::Accel, false, ""}, {Param::Final, false, ""}}},
        {"the sidereal speed brings the offset and guiding speeds",
         UploadGroup::Tracking,
         {Param::SidSpeed},
         {{Param::SidSpeed, "40.5"}},
         '.',
         {{Param::SidSpeed, true, "A&r40500"},
          {Param::TrackSpeed, true, "A&t0"},
          {Param::GuideSpeed, true, "A&g40000"}}},
        {"a rejected sidereal speed brings nothing",
         UploadGroup::Tracking,
         {Param::SidSpeed, Param::GuideSpeed},
         {{Param::SidSpeed, "40,5"}, {Param::GuideSpeed, "20"}},
         '.',
         {{Param::SidSpeed, false, ""}, {Param::GuideSpeed, true, "A&g20000"}}},
        {"thousandths rounded half to even, in the locale's separator",
         UploadGroup::Tracking,
         {Param::TrackSpeed, Param::GuideSpeed},
         {{Param::TrackSpeed, "-0,5"}, {Param::GuideSpeed, "0,0625"}},
         ',',
         {{Param::TrackSpeed, true, "A&t-500"}, {Param::GuideSpeed, true, "A&g62"}}},
        {"an offset too small for a thousandth is sent as 0",
         UploadGroup::Tracking,
         {Param::TrackSpeed},
         {{Param::TrackSpeed, "0.0004"}},
         '.',
         {{Param::TrackSpeed, true, "A&t0"}}},
        {"thousandths beyond 32 bits are refused",
         UploadGroup::Tracking,
         {Param::SidSpeed, Param::TrackSpeed},
         {{Param::SidSpeed, "1e7"}, {Param::TrackSpeed, "2147483.6475"}},
         '.',
         {{Param::SidSpeed, false, ""}, {Param::TrackSpeed, false, ""}}},
        {"a sidereal speed whose follower is rejected",
         UploadGroup::Tracking,
         {Param::SidSpeed},
         {{Param::SidSpeed, "15.0417"}, {Param::TrackSpeed, ""}},
         '.',
         {{Param::SidSpeed, true, "A&r15042"}, {Param::TrackSpeed, false, ""}, {Param::GuideSpeed, true, "A&g40000"}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::array<bool, protocol::kParamCount> flags{};
        for (Param p : c.edited) flags[static_cast<std::size_t>(p)] = true;
        auto texts = defaultTexts();
        for (const auto& [p, t] : c.texts) texts[static_cast<std::size_t>(p)] = t;
        EXPECT_EQ(steps(protocol::planUpload(c.group, flags, texts, 'A', c.sep)), c.expected);
    }
}

TEST(Parameters, AcceptedSpeedsCarryTheirValue)
{
    std::array<bool, protocol::kParamCount> flags{};
    flags[static_cast<std::size_t>(Param::SidSpeed)] = true;
    auto texts = defaultTexts();
    texts[static_cast<std::size_t>(Param::SidSpeed)] = "15.0417";
    texts[static_cast<std::size_t>(Param::TrackSpeed)] = "-0.25";
    const auto plan = protocol::planUpload(UploadGroup::Tracking, flags, texts, 'B', '.');
    ASSERT_EQ(plan.size(), 3u);
    EXPECT_DOUBLE_EQ(plan[0].argument.value, 15.0417); // the analysis uses the speed as typed
    EXPECT_EQ(plan[0].argument.thousandths, 15042);
    EXPECT_EQ(plan[1].argument.text, "-250");
    EXPECT_EQ(plan[1].body, "B&t-250");
}

} // namespace
