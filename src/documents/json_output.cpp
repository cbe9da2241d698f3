#include "documents/json_output.hpp"

#include <nlohmann/json.hpp>

#include <cmath>

namespace torl7 {

namespace {

// Keys kept sorted, as the client has always printed them.
using Json = nlohmann::json;

// One value a line, four spaces a level; an empty array or object still takes two lines.
// Scalars are as the library writes them: strings in UTF-8 with control characters escaped.
void print(const Json& value, int depth, JsonLayout layout, std::string& out) {
    constexpr auto kEscape = Json::error_handler_t::replace;
    if (!value.is_structured()) {
        out += value.dump(-1, ' ', false, kEscape);
        return;
    }
    const bool indented = layout == JsonLayout::Indented;
    const bool object = value.is_object();
    out += object ? '{' : '[';
    if (indented) {
        out += '\n';
    }
    bool first = true;
    for (auto item = value.begin(); item != value.end(); ++item) {
        if (!first) {
            out += indented ? ",\n" : ",";
        }
        first = false;
        if (indented) {
            out.append(static_cast<std::size_t>(4 * (depth + 1)), ' ');
        }
        if (object) {
            out += Json(item.key()).dump(-1, ' ', false, kEscape);
            out += indented ? ": " : ":";
        }
        print(*item, depth + 1, layout, out);
    }
    if (indented) {
        if (!first) {
            out += '\n';
        }
        out.append(static_cast<std::size_t>(4 * depth), ' ');
    }
    out += object ? '}' : ']';
}

std::string printed(const Json& document, JsonLayout layout = JsonLayout::Indented) {
    std::string out;
    print(document, 0, layout, out);
    return out + '\n';
}

const char* colorName(IndicatorColor color) {
    switch (color) {
    case IndicatorColor::Red:
        return "red";
    case IndicatorColor::Green:
        return "green";
    case IndicatorColor::Silver:
        break;
    }
    return "silver";
}

Json stampJson(const ClockStamp& s) {
    return {{"seconds", s.seconds}, {"minutes", s.minutes}, {"hours", s.hours},
            {"day", s.day},         {"month", s.month},     {"year", s.year}};
}

Json rawSnapshot(const Snapshot& s) {
    return {
        {"clock", stampJson(s.clock)},
        {"clock_stopped", s.clockStopped},
        {"clock_calibration", s.clockCalibration},
        {"auto_dst", s.autoDst},
        {"trip_flags", s.tripFlags},
        {"equipment_flags", s.equipmentFlags},
        {"function_flags", s.functionFlags},
        {"ua_v", s.uaVolts},
        {"ub_v", s.ubVolts},
        {"uc_v", s.ucVolts},
        {"ia_tenths_a", s.iaTenthsAmp},
        {"ib_tenths_a", s.ibTenthsAmp},
        {"ic_tenths_a", s.icTenthsAmp},
        {"idif_tenths_a", s.idifTenthsAmp},
        {"cos_f_byte", s.cosByte},
        {"u_asymmetry_percent", s.voltageAsymmetryPercent},
        {"i_asymmetry_percent", s.currentAsymmetryPercent},
        {"overload_tenths", s.overloadTenths},
        {"umin_remaining_tenths_s", s.uminDelayTenthsSec},
        {"umax_remaining_tenths_s", s.umaxDelayTenthsSec},
        {"u_asymmetry_remaining_tenths_s", s.uasmDelayTenthsSec},
        {"idle_current_remaining_tenths_s", s.iholDelayTenthsSec},
        {"i_asymmetry_remaining_tenths_s", s.iasmDelayTenthsSec},
        {"overload_remaining_tenths_s", s.ivtzDelayTenthsSec},
        {"locked_rotor_remaining_tenths_s", s.izaklDelayTenthsSec},
        {"leakage_remaining_tenths_s", s.idifDelayTenthsSec},
        {"power_tenths_kw", s.powerTenthsKw},
        {"energy_millionths_kwh", s.energyMillionthsKwh},
        {"running_s", s.runningSeconds},
        {"reset_lock_s", s.resetLockSeconds},
    };
}

Json snapshotTexts(const SnapshotTexts& t) {
    return {
        {"ttime", t.time},
        {"tDATE", t.date},
        {"st_ua", t.ua},
        {"st_ub", t.ub},
        {"st_uc", t.uc},
        {"st_ia", t.ia},
        {"st_ib", t.ib},
        {"st_ic", t.ic},
        {"st_idif", t.leakageCurrent},
        {"st_cos", t.cosPhi},
        {"st_uasm", t.voltageAsymmetry},
        {"st_iasm", t.currentAsymmetry},
        {"st_ikrp", t.overloadMultiple},
        {"c_umin", t.uminDelayLeft},
        {"c_umax", t.umaxDelayLeft},
        {"c_uasm", t.voltageAsymmetryDelayLeft},
        {"c_ihol", t.idleCurrentDelayLeft},
        {"c_iasm", t.currentAsymmetryDelayLeft},
        {"c_ivtz", t.overloadDelayLeft},
        {"c_izakl", t.lockedRotorDelayLeft},
        {"c_idif", t.leakageDelayLeft},
        {"st_pa", t.power},
        {"st_wa", t.energy},
        {"st_moto", t.runningTime},
        {"st_blkz", t.resetLockLeft},
    };
}

Json indicatorColors(const IndicatorStates& i) {
    return {
        {"sh_umin", colorName(i.uminTripped)},
        {"sh_umax", colorName(i.umaxTripped)},
        {"sh_uasm", colorName(i.voltageAsymmetryTripped)},
        {"sh_ihol", colorName(i.idleCurrentTripped)},
        {"sh_iasm", colorName(i.currentAsymmetryTripped)},
        {"Sh_ivtz", colorName(i.overloadTripped)},
        {"sh_zakl", colorName(i.lockedRotorTripped)},
        {"sh_idif", colorName(i.leakageTripped)},
        {"zp_umin", colorName(i.uminActive)},
        {"zp_umax", colorName(i.umaxActive)},
        {"zp_uasm", colorName(i.voltageAsymmetryActive)},
        {"zp_ihol", colorName(i.idleCurrentActive)},
        {"zp_iasm", colorName(i.currentAsymmetryActive)},
        {"zp_ivtz", colorName(i.overloadActive)},
        {"zp_zakl", colorName(i.lockedRotorActive)},
        {"zp_idif", colorName(i.leakageActive)},
        {"Sh_z", colorName(i.anyActive)},
        {"sh_dv", colorName(i.equipment)},
        {"sh_iso", colorName(i.insulation)},
    };
}

// Grid columns 1..12 of the event protocol.
const std::array<const char*, 12> kEventKeys = {"date_time", "unit", "equipment", "protection",
                                                "ua_v",      "ub_v", "uc_v",      "ia_a",
                                                "ib_a",      "ic_a", "idif_a",    "cos_f"};

} // namespace

std::string snapshotJson(const Snapshot& s, int unit, JsonLayout layout) {
    const Json document = {{"unit", unit},
                           {"raw", rawSnapshot(s)},
                           {"texts", snapshotTexts(formatSnapshot(s))},
                           {"indicators", indicatorColors(indicatorStates(s))}};
    return printed(document, layout);
}

std::string accountingJson(const AccountingRecord& r) {
    const AccountingTexts t = formatAccounting(r);
    const Json document = {
        {"raw",
         {{"running_s", r.runningSeconds},
          {"starts", r.starts},
          {"trips", r.trips},
          {"energy_millionths_kwh", r.energyMillionthsKwh},
          {"start", stampJson(r.start)}}},
        {"texts",
         {{"start_of_accounting", t.start},
          {"running_time", t.runningTime},
          {"starts", t.starts},
          {"trips", t.trips},
          {"energy_kwh", t.energy}}},
    };
    return printed(document);
}

std::string waveformsJson(int unit, const std::vector<PhaseSamples>& phases) {
    static const char* const kPhaseNames[] = {"", "A", "B", "C"};
    Json blocks = Json::array();
    for (const PhaseSamples& p : phases) {
        blocks.push_back({{"phase", kPhaseNames[p.selector & 3]},
                          {"selector", p.selector},
                          {"voltage", p.block.voltage},
                          {"current", p.block.current}});
    }
    return printed({{"unit", unit}, {"phases", blocks}});
}

std::string eventsJson(const std::vector<EventRow>& rows, std::size_t leftOut) {
    Json events = Json::array();
    for (const EventRow& row : rows) {
        Json event = Json::object();
        for (std::size_t i = 0; i < row.size(); ++i) {
            event[kEventKeys[i]] = row[i];
        }
        events.push_back(std::move(event));
    }
    return printed({{"events", std::move(events)}, {"left_out", leftOut}});
}

std::string unitEventsJson(const std::vector<UnitEventRow>& rows) {
    Json events = Json::array();
    for (const UnitEventRow& r : rows) {
        Json event = {{"unit", r.unit}, {"title", r.title}};
        for (std::size_t i = 0; i < r.row.size(); ++i) {
            event[kEventKeys[i]] = r.row[i];
        }
        events.push_back(std::move(event));
    }
    return printed({{"events", std::move(events)}});
}

std::string calibrationJson(const CoefficientAck& ack) {
    Json held = Json::object();
    for (std::size_t i = 0; i < kCoefficientCount; ++i) {
        held[kChannelKeys[i]] = ack.coefficients[i];
    }
    return printed({{"coefficients", held}, {"protection_blocked", ack.protectionBlocked}});
}

namespace {

// Rounded to what 8-bit samples can say; null when there is no value.
Json rounded(std::optional<double> value, int decimals = 3) {
    if (!value || !std::isfinite(*value)) {
        return nullptr;
    }
    const double scale = std::pow(10.0, decimals);
    return std::round(*value * scale) / scale;
}

Json harmonicsJson(const ChannelAnalysis& c) {
    Json shares = Json::object();
    for (int h = kFirstHarmonicShown; h <= kLastHarmonicShown; ++h) {
        shares[std::to_string(h)] =
            rounded(c.harmonicsPercent[static_cast<std::size_t>(h - kFirstHarmonicShown)], 2);
    }
    return shares;
}

} // namespace

std::string analysisJson(const WaveformAnalysis& analysis, std::optional<double> unitCosF) {
    Json document = {{"period_samples", rounded(analysis.periodSamples)}};
    if (!analysis.problem.empty()) {
        document["problem"] = analysis.problem;
    }
    if (unitCosF) {
        document["unit_cos_f"] = rounded(unitCosF, 2);
    }
    Json phases = Json::object();
    for (const PhaseAnalysis& p : analysis.phases) {
        static const char* const kNames[] = {"", "A", "B", "C"};
        phases[kNames[std::clamp(p.phase, 0, 3)]] = {
            {"u_rms", rounded(p.voltage.rms)},
            {"i_rms", rounded(p.current.rms)},
            {"u_rms_raw", rounded(p.voltage.rmsRaw)},
            {"i_rms_raw", rounded(p.current.rmsRaw)},
            {"angle_deg", rounded(p.angleDeg, 2)},
            {"cos_phi", rounded(p.cosPhi)},
            {"u_thd_pct", rounded(p.voltage.thdPercent, 2)},
            {"i_thd_pct", rounded(p.current.thdPercent, 2)},
            {"u_harmonics_pct", harmonicsJson(p.voltage)},
            {"i_harmonics_pct", harmonicsJson(p.current)},
        };
    }
    document["phases"] = phases;
    if (const auto& s = analysis.sequence) {
        document["sequence"] = {
            {"scaled", s->scaled},
            {"u1", rounded(s->u1)},
            {"u2", rounded(s->u2)},
            {"u0", rounded(s->u0)},
            {"i1", rounded(s->i1)},
            {"i2", rounded(s->i2)},
            {"i0", rounded(s->i0)},
            {"u_unbalance_pct", rounded(s->voltageUnbalancePercent, 2)},
            {"i_unbalance_pct", rounded(s->currentUnbalancePercent, 2)},
            {"order", s->order ? Json(phaseOrderName(*s->order)) : Json(nullptr)},
        };
    }
    return printed(document);
}

} // namespace torl7
