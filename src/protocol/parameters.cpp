#include "protocol/parameters.h"

#include "protocol/wire.h"
#include "settings/numbers.h"

namespace protocol {

namespace {

using settings::TMYSETTINGS;
using G = UploadGroup;
using F = ArgumentForm;

constexpr std::array<ParameterRow, kParamCount> kTable{{
    {Param::Accel, "a", &TMYSETTINGS::setting_accel, G::ControlProperties, F::EditText},
    {Param::Final, "f", &TMYSETTINGS::setting_final, G::ControlProperties, F::EditText},
    {Param::Sensor, "h", &TMYSETTINGS::setting_sensThr, G::ControlProperties, F::EditText},
    {Param::PulseWidth, "u", &TMYSETTINGS::setting_stepPulseWidth, G::ControlProperties, F::EditText},
    {Param::KP, "p", &TMYSETTINGS::setting_KP, G::PIControl, F::EditText},
    {Param::KI, "i", &TMYSETTINGS::setting_KI, G::PIControl, F::EditText},
    {Param::ErrLim, "e", &TMYSETTINGS::setting_ErrLim, G::PIControl, F::EditText},
    {Param::IntLim, "j", &TMYSETTINGS::setting_intLim, G::PIControl, F::EditText},
    {Param::IntMaxSpeed, "k", &TMYSETTINGS::setting_intMaxSpeed, G::PIControl, F::EditText},
    {Param::SidSpeed, "r", &TMYSETTINGS::setting_sidSpeed, G::Tracking, F::Thousandths},
    {Param::TrackSpeed, "t", &TMYSETTINGS::setting_offsetTrackSpeed, G::Tracking, F::Thousandths},
    {Param::GuideSpeed, "g", &TMYSETTINGS::setting_guideSpeed, G::Tracking, F::Thousandths},
}};

constexpr bool tableInParamOrder()
{
    for (std::size_t i = 0; i < kTable.size(); ++i)
        if (static_cast<std::size_t>(kTable[i].param) != i) return false;
    return true;
}
static_assert(tableInParamOrder(), "the table is indexed by Param");

constexpr std::size_t index(Param p) { return static_cast<std::size_t>(p); }

} // namespace

const std::array<ParameterRow, kParamCount>& parameterTable() { return kTable; }

const ParameterRow& parameterRow(Param p) { return kTable[index(p)]; }

std::string parameterBody(Param p, char address, std::int32_t value)
{
    return commandBody(address, parameterRow(p).letter, std::to_string(value));
}

std::vector<std::string> activationBodies(const settings::TMYSETTINGS& s, char a)
{
    auto fromRecord = [&](Param p) { return parameterBody(p, a, s.*parameterRow(p).field); };
    std::vector<std::string> bodies;
    bodies.reserve(16);
    bodies.push_back(cmd::resetCounters(a));
    bodies.push_back(cmd::polarity(a, polarityByte(s)));
    // The controller takes the sensor threshold first and the speed of the
    // next move before the motion parameters.
    bodies.push_back(fromRecord(Param::Sensor));
    bodies.push_back(cmd::moveSpeed(a, s.setting_gotoSpeed));
    for (Param p : {Param::Accel, Param::Final, Param::PulseWidth, Param::KP, Param::KI, Param::ErrLim, Param::IntLim,
                    Param::IntMaxSpeed, Param::SidSpeed, Param::TrackSpeed, Param::GuideSpeed})
        bodies.push_back(fromRecord(p));
    bodies.push_back(cmd::refSystem(a, s.setting_refSyst));
    return bodies;
}

std::optional<Argument> parameterArgument(Param p, std::string_view text, char decimalSep)
{
    if (parameterRow(p).form == ArgumentForm::EditText) {
        if (!settings::parseInteger(text)) return std::nullopt;
        Argument a;
        a.text = std::string(text);
        return a;
    }
    const std::optional<double> v = settings::parseDecimal(text, decimalSep);
    const std::optional<std::int32_t> t = settings::parseThousandths(text, decimalSep);
    if (!v || !t) return std::nullopt;
    Argument a;
    a.text = std::to_string(*t);
    a.value = *v;
    a.thousandths = *t;
    return a;
}

std::vector<UploadStep> planUpload(UploadGroup group, const std::array<bool, kParamCount>& flags,
                                   const std::array<std::string, kParamCount>& texts, char address, char decimalSep)
{
    std::vector<UploadStep> plan;
    std::array<bool, kParamCount> pending = flags;
    for (const ParameterRow& row : kTable) {
        if (row.group != group) continue;
        const std::size_t i = index(row.param);
        if (!pending[i]) continue;
        UploadStep step;
        step.param = row.param;
        if (std::optional<Argument> arg = parameterArgument(row.param, texts[i], decimalSep)) {
            step.accepted = true;
            step.body = commandBody(address, row.letter, arg->text);
            step.argument = std::move(*arg);
            // A controller given a new sidereal speed needs the offset and
            // guiding speeds again, edited or not.
            if (row.param == Param::SidSpeed) {
                pending[index(Param::TrackSpeed)] = true;
                pending[index(Param::GuideSpeed)] = true;
            }
        }
        plan.push_back(std::move(step));
    }
    return plan;
}

} // namespace protocol
