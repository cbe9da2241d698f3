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

// Runs `operation`, started by `start`, to its end (or the limit) and judges it: `ending`
// tells what the outcome counts as, `wrong` what the data or the unit's state after show
// was wrong.
template <class Op, class Start, class EndingOf, class Wrong>
OperationRun judged(UnitRig& rig, milliseconds limit, Op& operation, Start start, EndingOf ending,
                    Wrong wrong) {
    std::optional<Outcome<typename Op::Result>> outcome;
    operation.onFinished([&](const Outcome<typename Op::Result>& o) { outcome = o; });
    start();
    const sim::UnitState after = finish(
        rig, [&] { return outcome.has_value(); }, limit);
    OperationRun run;
    if (outcome) {
        run.ending = ending(*outcome);
        run.wrong = wrong(*outcome, after);
    }
    return run;
}

// The unit's data, or the command done, when the outcome has its result.
template <class Result> Ending dataOrNoAnswer(const Outcome<Result>& outcome) {
    return outcome ? Ending::Data : Ending::NoAnswer;
}

// The data (or the command done) judged against the unit's state after.
template <class Result, class Judge> auto whenDone(Judge judge) {
    return [judge](const Outcome<Result>& outcome, const sim::UnitState& after) -> std::string {
        return outcome ? judge(*outcome.result, after) : std::string();
    };
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
    poll.onFinished([&](const Outcome<PollSummary>& o) {
        if (!o) {
            run.ending = run.ending.value_or(Ending::NoAnswer);
        }
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
    return judged(
        rig, limit, read, [&] { read.start(); }, dataOrNoAnswer<ConfigRecord>,
        whenDone<ConfigRecord>([](const ConfigRecord& record, const sim::UnitState& after) {
            return record == after.record ? "" : "the record read is not the unit's";
        }));
}

OperationRun writeConfiguration(UnitRig& rig, const sim::UnitState& before, milliseconds limit) {
    ConfigRecord wanted = before.record;
    wanted.resetLockSeconds = static_cast<std::uint16_t>(before.record.resetLockSeconds + 7);
    WriteConfiguration write(rig.session());
    return judged(
        rig, limit, write, [&] { write.start(wanted); },
        [](const Outcome<WriteReport>& o) {
            return o && o.result->acknowledged && o.result->identical ? Ending::Data
                                                                      : Ending::NoAnswer;
        },
        [&](const Outcome<WriteReport>& o, const sim::UnitState& after) -> std::string {
            const WriteReport report = o.result.value_or(WriteReport{});
            if (after.record != wanted && after.record != before.record) {
                return "the unit holds a record half written";
            }
            if (report.acknowledged && after.record != wanted) {
                return "reported written, the unit holds its old record";
            }
            if (report.readBack && report.identical && *report.readBack != after.record) {
                return "the read-back is not the unit's record";
            }
            // A lost acknowledgement is followed by a read-back that tells what the unit holds.
            using Found = WriteReport::Found;
            if (report.afterLostAcknowledgement == Found::NewRecord && after.record != wanted) {
                return "said the unit holds the new record, it holds the old one";
            }
            if (report.afterLostAcknowledgement == Found::OldRecord &&
                after.record != before.record) {
                return "said the unit holds the old record, it holds the new one";
            }
            return "";
        });
}

OperationRun calibration(UnitRig& rig, const sim::UnitState& before, milliseconds limit) {
    CalibrationRun calibration(rig.session());
    CalibrationRun::Inputs inputs;
    // A reference other than what the unit measures, so that its coefficient must change.
    inputs.references[0] = "250";
    for (std::size_t i = 0; i < kCoefficientCount; ++i) {
        inputs.kept[i] = std::to_string(before.record.coefficients[i]);
    }
    const auto& was = before.record.coefficients;
    return judged(
        rig, limit, calibration, [&] { calibration.start(inputs); },
        [](const Outcome<CalibrationResult>& o) {
            return o && o.result->ack ? Ending::Data : Ending::NoAnswer;
        },
        [&](const Outcome<CalibrationResult>& o, const sim::UnitState& after) -> std::string {
            const auto& now = after.record.coefficients;
            if (!std::equal(now.begin() + 1, now.end(), was.begin() + 1)) {
                return "a coefficient without a reference changed on the unit";
            }
            if (o && !o.result->ack) {
                return "ended refusing the samples";
            }
            if (o && now[0] == was[0]) {
                return "reported written, the unit keeps its old coefficient";
            }
            return "";
        });
}

OperationRun clockCorrection(UnitRig& rig, const sim::UnitState& before, milliseconds limit) {
    constexpr int kCalibration = 7;
    ClockCorrectionCommand correction(rig.session());
    return judged(
        rig, limit, correction,
        [&] {
            correction.start(LocalDateTime{2031, 5, 6, 7, 8, 9}, ClockPanel{kCalibration});
        },
        dataOrNoAnswer<Acknowledged>,
        whenDone<Acknowledged>([&](const Acknowledged&, const sim::UnitState& after) {
            const bool set = after.clock.calibration == kCalibration &&
                             after.clock.offset != before.clock.offset;
            return set ? "" : "reported done, the unit's clock is unchanged";
        }));
}

OperationRun protectionReset(UnitRig& rig, const sim::UnitState& before, milliseconds limit) {
    if (before.plant.tripFlags() == 0) {
        return {std::nullopt, "the unit had no trip to reset"};
    }
    ProtectionResetCommand reset(rig.session());
    return judged(
        rig, limit, reset, [&] { reset.start(); }, dataOrNoAnswer<Acknowledged>,
        whenDone<Acknowledged>([](const Acknowledged&, const sim::UnitState& after) {
            return after.plant.tripFlags() == 0 ? "" : "reported reset, the unit is still tripped";
        }));
}

OperationRun version(UnitRig& rig, const sim::UnitState&, milliseconds limit) {
    VersionRead read(rig.session());
    return judged(
        rig, limit, read, [&] { read.start(); }, dataOrNoAnswer<std::string>,
        whenDone<std::string>([](const std::string& text, const sim::UnitState& after) {
            return text.starts_with(after.versionText) ? "" : "the version read is not the unit's";
        }));
}

OperationRun eventProtocol(UnitRig& rig, const sim::UnitState&, milliseconds limit) {
    EventTable table;
    EventProtocolRead read(rig.session(), table);
    return judged(
        rig, limit, read, [&] { read.start(); }, dataOrNoAnswer<EventRows>,
        whenDone<EventRows>([](const EventRows& rows, const sim::UnitState& after) {
            return rows == expectedEventRows(after) ? "" : "the events read are not the unit's";
        }));
}

OperationRun accounting(UnitRig& rig, const sim::UnitState&, milliseconds limit) {
    AccountingExchange exchange(rig.session());
    return judged(
        rig, limit, exchange, [&] { exchange.start(AccountingRequest::Read); },
        dataOrNoAnswer<AccountingRecord>,
        whenDone<AccountingRecord>([](const AccountingRecord& record, const sim::UnitState& after) {
            return record == accountingAsSent(after) ? "" : "the accounting read is not the unit's";
        }));
}

OperationRun reportChain(UnitRig& rig, const sim::UnitState&, milliseconds limit) {
    EventTable table;
    ReportChain chain(rig.session(), table);
    return judged(
        rig, limit, chain, [&] { chain.start(); }, dataOrNoAnswer<ReportChainData>,
        whenDone<ReportChainData>([](const ReportChainData& data, const sim::UnitState& after) {
            const bool unitsData = data.record == after.record &&
                                   data.accounting == accountingAsSent(after) &&
                                   data.events == expectedEventRows(after);
            return unitsData ? "" : "the report's data are not the unit's";
        }));
}

OperationRun deviceSearch(UnitRig& rig, const sim::UnitState&, milliseconds limit) {
    UnitSearch search(rig.session());
    const OperationRun run = judged(
        rig, limit, search, [&] { search.start(rig.session().factoryNumber()); },
        [](const Outcome<SearchResult>& o) {
            return o && o.result->found ? Ending::Data : Ending::NoAnswer;
        },
        whenDone<SearchResult>([](const SearchResult& found, const sim::UnitState& after) {
            return !found.found || found.speedIndex == indexForBaud(after.lineSpeedBaud)
                       ? ""
                       : "found the unit at a speed it does not answer at";
        }));
    search.cancel();
    return run;
}

OperationRun speedChange(UnitRig& rig, const sim::UnitState& before, milliseconds limit) {
    Rs485SpeedChangeOperation change(rig.session());
    const int target = before.record.rs485SpeedIndex == 7 ? 6 : 7;
    return judged(
        rig, limit, change,
        [&] { change.start(rig.session().factoryNumber(), target, rig.session().lineSpeed()); },
        dataOrNoAnswer<SpeedChanged>,
        [&](const Outcome<SpeedChanged>& o, const sim::UnitState& after) -> std::string {
            const int now = after.record.rs485SpeedIndex;
            if (o && now != target) {
                return "reported changed, the unit keeps its old bus speed";
            }
            if (now != target && now != before.record.rs485SpeedIndex) {
                return "the unit moved to a speed nobody asked for";
            }
            return "";
        });
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
    switch (column) {
    case Column::PollWithWaveforms:
        return poll(rig, before, limit, everyAnswerArrives);
    case Column::ReadConfiguration:
        return readConfiguration(rig, before, limit);
    case Column::WriteConfiguration:
        return writeConfiguration(rig, before, limit);
    case Column::Calibration:
        return calibration(rig, before, limit);
    case Column::ClockCorrection:
        return clockCorrection(rig, before, limit);
    case Column::ProtectionReset:
        return protectionReset(rig, before, limit);
    case Column::Version:
        return version(rig, before, limit);
    case Column::EventProtocol:
        return eventProtocol(rig, before, limit);
    case Column::Accounting:
        return accounting(rig, before, limit);
    case Column::ReportChain:
        return reportChain(rig, before, limit);
    case Column::DeviceSearch:
        return deviceSearch(rig, before, limit);
    case Column::SpeedChange:
        return speedChange(rig, before, limit);
    }
    return {};
}

} // namespace torl7::faults
