#include "faults/fault_operations.hpp"

#include "protocol/line_speed.hpp"
#include "protocol/poll_sequence.hpp"
#include "protocol/request_kind.hpp"
#include "session/operations/calibration_run.hpp"
#include "session/operations/diag_poll.hpp"
#include "session/operations/report_chain.hpp"
#include "session/operations/rs485_speed_change.hpp"
#include "session/operations/unit_commands.hpp"
#include "session/operations/unit_search.hpp"
#include "session/operations/write_configuration.hpp"

#include <QTimer>

#include <algorithm>
#include <functional>
#include <set>

namespace torl7::faults {

namespace {

using std::chrono::milliseconds;

// Runs until `ended` holds, then lets the unit finish; the state the judgement reads.
template <class Ended> sim::UnitState finish(UnitRig& rig, Ended ended, milliseconds limit) {
    UnitRig::runUntil(ended, limit);
    rig.settle();
    return rig.unitState();
}

template <class Result> std::optional<Ending> endingOf(const std::optional<Outcome<Result>>& o) {
    if (!o) {
        return std::nullopt;
    }
    return o->result ? Ending::Data : Ending::NoAnswer;
}

AccountingRecord accountingAsSent(const sim::UnitState& state) {
    return decodeAccounting(encodeAccounting(state.plant.accounting()));
}

OperationRun poll(UnitRig& rig, const sim::UnitState&, milliseconds limit,
                  bool everyAnswerArrives) {
    DiagPoll poll(rig.session());
    bool snapshot = false;
    std::vector<std::uint8_t> drawn;
    OperationRun run;
    QObject::connect(&poll, &DiagPoll::snapshotReceived, [&](const Snapshot&) { snapshot = true; });
    QObject::connect(&poll, &DiagPoll::waveformsReady, [&](const WaveformSamples&) {
        if (!run.ending) {
            drawn.assign(poll.blockSelectors().begin(),
                         poll.blockSelectors().begin() + poll.blockCount());
            run.ending = Ending::Data;
            poll.stop();
        }
    });
    QObject::connect(&poll, &DiagPoll::failed, [&](const SessionError&) {
        run.ending = run.ending.value_or(Ending::NoAnswer);
    });
    poll.start(kMaxViewIndex);
    finish(
        rig, [&] { return run.ending.has_value(); }, limit);
    poll.stop();
    if (run.ending == Ending::Data) {
        // Every block drawn is one the unit was asked for, one of each phase.
        std::set<std::uint8_t> asked;
        for (const Bytes& request : rig.requests()) {
            if (request[4] == kind::Diagnostics && request.size() > 6) {
                asked.insert(request[6]);
            }
        }
        std::set<std::uint8_t> phases;
        for (std::uint8_t selector : drawn) {
            phases.insert(selector & 3);
            if (!asked.contains(selector)) {
                run.wrong = "drew a block the unit was not asked for";
            }
        }
        if (!snapshot || phases.size() != kMaxViewIndex) {
            run.wrong = "the waveforms drawn lack a phase or the snapshot";
        }
        // On a line that delivers every answer, the watchdog has nothing to repeat.
        const std::vector<Bytes> requests = rig.requests();
        for (std::size_t i = 1; everyAnswerArrives && i < requests.size(); ++i) {
            if (requests[i] == requests[i - 1]) {
                run.wrong = "a request was repeated into its answer";
            }
        }
    }
    return run;
}

OperationRun readConfiguration(UnitRig& rig, const sim::UnitState&, milliseconds limit) {
    ReadConfiguration read(rig.session());
    std::optional<ReadConfiguration::Result> result;
    read.start([&](const ReadConfiguration::Result& r) { result = r; });
    const sim::UnitState after = finish(
        rig, [&] { return result.has_value(); }, limit);
    OperationRun run;
    if (result) {
        run.ending = result->record ? Ending::Data : Ending::NoAnswer;
        if (result->record && *result->record != after.record) {
            run.wrong = "the record read is not the unit's";
        }
    }
    return run;
}

OperationRun writeConfiguration(UnitRig& rig, const sim::UnitState& before, milliseconds limit) {
    ConfigRecord wanted = before.record;
    wanted.resetLockSeconds = static_cast<std::uint16_t>(before.record.resetLockSeconds + 7);
    WriteConfiguration write(rig.session());
    std::optional<WriteConfiguration::Result> result;
    write.start(wanted, {nullptr, [&](const WriteConfiguration::Result& r) { result = r; }});
    const sim::UnitState after = finish(
        rig, [&] { return result.has_value(); }, limit);
    OperationRun run;
    if (result) {
        const bool readBackWhole = result->readBack && result->identical;
        run.ending = result->acknowledged && readBackWhole ? Ending::Data : Ending::NoAnswer;
        if (result->acknowledged && after.record != wanted) {
            run.wrong = "reported written, the unit holds its old record";
        } else if (readBackWhole && *result->readBack != after.record) {
            run.wrong = "the read-back is not the unit's record";
        }
    }
    if (after.record != wanted && after.record != before.record) {
        run.wrong = "the unit holds a record half written";
    }
    return run;
}

OperationRun calibration(UnitRig& rig, const sim::UnitState& before, milliseconds limit) {
    CalibrationRun calibration(rig.session());
    CalibrationRun::Inputs inputs;
    // A reference other than what the unit measures, so that its coefficient must change.
    inputs.references[0] = "250";
    for (std::size_t i = 0; i < kCoefficientCount; ++i) {
        inputs.kept[i] = std::to_string(before.record.coefficients[i]);
    }
    std::optional<CalibrationRun::Result> result;
    calibration.start(inputs, {nullptr, nullptr, [&](const auto& r) { result = r; }});
    const sim::UnitState after = finish(
        rig, [&] { return result.has_value(); }, limit);
    OperationRun run;
    const auto& was = before.record.coefficients;
    const auto& now = after.record.coefficients;
    if (result) {
        run.ending = result->ack ? Ending::Data : Ending::NoAnswer;
        if (!result->ack && !result->error) {
            run.wrong = "ended refusing the samples";
        }
        if (result->ack && now[0] == was[0]) {
            run.wrong = "reported written, the unit keeps its old coefficient";
        }
    }
    if (!std::equal(now.begin() + 1, now.end(), was.begin() + 1)) {
        run.wrong = "a coefficient without a reference changed on the unit";
    }
    return run;
}

// An operation that ends with an Outcome: started by `start`, which is handed the callback that
// ends it; `wrongData` judges the data (or the command done) against the unit's state after.
template <class Result>
OperationRun
judged(UnitRig& rig, milliseconds limit,
       const std::function<void(std::function<void(const Outcome<Result>&)>)>& start,
       const std::function<std::string(const Result&, const sim::UnitState&)>& wrongData) {
    std::optional<Outcome<Result>> outcome;
    start([&](const Outcome<Result>& o) { outcome = o; });
    const sim::UnitState after = finish(
        rig, [&] { return outcome.has_value(); }, limit);
    OperationRun run{endingOf(outcome), {}};
    if (run.ending == Ending::Data) {
        run.wrong = wrongData(*outcome->result, after);
    }
    return run;
}

OperationRun clockCorrection(UnitRig& rig, const sim::UnitState& before, milliseconds limit) {
    constexpr int kCalibration = 7;
    return judged<Acknowledged>(
        rig, limit,
        [&](auto done) {
            correctClock(rig.session(), LocalDateTime{2031, 5, 6, 7, 8, 9}, kCalibration, false,
                         false, std::move(done));
        },
        [&](const Acknowledged&, const sim::UnitState& after) -> std::string {
            const bool set = after.clock.calibration == kCalibration &&
                             after.clock.offset != before.clock.offset;
            return set ? "" : "reported done, the unit's clock is unchanged";
        });
}

OperationRun protectionReset(UnitRig& rig, const sim::UnitState& before, milliseconds limit) {
    if (before.plant.tripFlags() == 0) {
        return {std::nullopt, "the unit had no trip to reset"};
    }
    return judged<Acknowledged>(
        rig, limit, [&](auto done) { resetProtection(rig.session(), std::move(done)); },
        [](const Acknowledged&, const sim::UnitState& after) -> std::string {
            return after.plant.tripFlags() == 0 ? "" : "reported reset, the unit is still tripped";
        });
}

OperationRun version(UnitRig& rig, const sim::UnitState&, milliseconds limit) {
    return judged<std::string>(
        rig, limit, [&](auto done) { readVersion(rig.session(), std::move(done)); },
        [](const std::string& text, const sim::UnitState& after) -> std::string {
            return text.starts_with(after.versionText) ? "" : "the version read is not the unit's";
        });
}

OperationRun eventProtocol(UnitRig& rig, const sim::UnitState&, milliseconds limit) {
    EventTable table;
    EventProtocolRead read(rig.session(), table);
    return judged<EventRows>(
        rig, limit, [&](auto done) { read.start(nullptr, std::move(done)); },
        [](const EventRows& rows, const sim::UnitState& after) -> std::string {
            return rows == expectedEventRows(after) ? "" : "the events read are not the unit's";
        });
}

OperationRun accounting(UnitRig& rig, const sim::UnitState&, milliseconds limit) {
    return judged<AccountingRecord>(
        rig, limit,
        [&](auto done) {
            exchangeAccounting(rig.session(), AccountingRequest::Read, std::move(done));
        },
        [](const AccountingRecord& record, const sim::UnitState& after) -> std::string {
            return record == accountingAsSent(after) ? "" : "the accounting read is not the unit's";
        });
}

OperationRun reportChain(UnitRig& rig, const sim::UnitState&, milliseconds limit) {
    EventTable table;
    ReportChain chain(rig.session(), table);
    return judged<ReportChainData>(
        rig, limit, [&](auto done) { chain.start({}, std::move(done)); },
        [](const ReportChainData& data, const sim::UnitState& after) -> std::string {
            const bool unitsData = data.record == after.record &&
                                   data.accounting == accountingAsSent(after) &&
                                   data.events == expectedEventRows(after);
            return unitsData ? "" : "the report's data are not the unit's";
        });
}

OperationRun deviceSearch(UnitRig& rig, const sim::UnitState&, milliseconds limit) {
    UnitSearch search(rig.session());
    std::optional<bool> found;
    QObject::connect(&search, &UnitSearch::finished, [&](bool f) { found = f; });
    search.start(rig.session().factoryNumber());
    const sim::UnitState after = finish(
        rig, [&] { return found.has_value(); }, limit);
    search.stop();
    OperationRun run;
    if (found) {
        run.ending = *found ? Ending::Data : Ending::NoAnswer;
        if (*found && search.speedIndex() != indexForBaud(after.lineSpeedBaud)) {
            run.wrong = "found the unit at a speed it does not answer at";
        }
    }
    return run;
}

OperationRun speedChange(UnitRig& rig, const sim::UnitState& before, milliseconds limit) {
    Rs485SpeedChangeOperation change(rig.session());
    const int target = before.record.rs485SpeedIndex == 7 ? 6 : 7;
    OperationRun run;
    QObject::connect(&change, &Rs485SpeedChangeOperation::finished, [&](auto outcome) {
        using Outcome = Rs485SpeedChangeOperation::Outcome;
        run.ending = outcome == Outcome::Changed ? Ending::Data : Ending::NoAnswer;
    });
    QObject::connect(&change, &Rs485SpeedChangeOperation::failed,
                     [&](const SessionError&) { run.ending = Ending::NoAnswer; });
    change.start(rig.session().factoryNumber(), target, rig.session().speedIndex());
    const sim::UnitState after = finish(
        rig, [&] { return run.ending.has_value(); }, limit);
    const int now = after.record.rs485SpeedIndex;
    if (run.ending == Ending::Data && now != target) {
        run.wrong = "reported changed, the unit keeps its old bus speed";
    } else if (now != target && now != before.record.rs485SpeedIndex) {
        run.wrong = "the unit moved to a speed nobody asked for";
    }
    return run;
}

} // namespace

std::vector<std::array<std::string, 12>> expectedEventRows(const sim::UnitState& state) {
    EventTable table;
    for (std::uint8_t block = 0; block < kEventBlocks; ++block) {
        table.storeBlock(decodeEventBlock(state.protocol.block(block)));
    }
    return table.finish();
}

OperationRun runOperation(Column column, UnitRig& rig, const sim::UnitState& before,
                          milliseconds limit, bool everyAnswerArrives) {
    if (column == Column::PollWithWaveforms) {
        return poll(rig, before, limit, everyAnswerArrives);
    }
    using Run = OperationRun (*)(UnitRig&, const sim::UnitState&, milliseconds);
    static const std::array<Run, 12> kRuns = {nullptr,     readConfiguration, writeConfiguration,
                                              calibration, clockCorrection,   protectionReset,
                                              version,     eventProtocol,     accounting,
                                              reportChain, deviceSearch,      speedChange};
    return kRuns[static_cast<std::size_t>(column)](rig, before, limit);
}

} // namespace torl7::faults
