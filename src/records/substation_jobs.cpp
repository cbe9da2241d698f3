// The jobs a substation run does on each unit: collect, set the clock, compare with the
// commissioned settings.
#include "documents/text_file.hpp"
#include "protocol/codecs/clock_codec.hpp"
#include "records/service_bundle.hpp"
#include "records/substation_run.hpp"
#include "session/operations/read_configuration.hpp"
#include "session/operations/unit_commands.hpp"

#include <QDateTime>
#include <QDir>

namespace torl7 {

namespace {

// The firmware version when the unit gives it, the report chain, then the bundle's files.
class CollectJob final : public UnitJob {
public:
    CollectJob(UnitSession& session, const TrafficLog& log, QString outFolder,
               std::string reportTemplate)
        : session_(session), log_(log), outFolder_(std::move(outFolder)),
          template_(std::move(reportTemplate)), version_(session, PortUse::Part) {
        version_.onFinished([this](const Outcome<std::string>& outcome) { versionRead(outcome); });
    }

    void start(const SubstationUnit& unit, Step step, Done done) override {
        unit_ = unit;
        step_ = std::move(step);
        done_ = std::move(done);
        firmware_.reset();
        step_("версия", "version");
        version_.start();
    }

    void cancel() override {
        if (!bundle_.running()) {
            version_.cancel(PortAtEnd::KeepOpen);
            if (chain_) {
                chain_->cancel(PortAtEnd::KeepOpen);
            }
        }
    }

private:
    void versionRead(const Outcome<std::string>& outcome) {
        if (outcome) {
            firmware_ = withoutPadding(*outcome.result);
        } else if (outcome.error->kind != SessionError::Kind::Timeout) {
            // No port, no line, or cancelled: reading on would fare no better.
            end(outcomeOfFailure(unit_.number, unit_.line, *outcome.error, log_));
            return;
        }
        // A unit that does not give its version is still read; its file then names none. Each
        // unit's protocol is read into a table of its own.
        table_ = std::make_unique<EventTable>();
        chain_ = std::make_unique<ReportChain>(session_, *table_, PortUse::Part);
        chain_->onProgress([this](Progress p) {
            if (p.done == 1) {
                step_("учёт", "accounting");
            } else if (p.done > 2) {
                const std::string blocks = std::to_string(p.done - 2) + "/10";
                step_("события " + blocks, "events " + blocks);
            }
        });
        chain_->onFinished([this](const Outcome<ReportChainData>& read) { chainEnded(read); });
        step_("конфигурация", "configuration");
        chain_->start();
    }

    void chainEnded(const Outcome<ReportChainData>& read) {
        if (!read) {
            end(outcomeOfFailure(unit_.number, unit_.line, *read.error, log_));
            return;
        }
        outcome_ = UnitOutcome::of(unit_.number, unit_.line, UnitOutcome::Result::Done);
        outcome_.firmware = firmware_.value_or(std::string());
        outcome_.data = *read.result;
        step_("файлы", "files");
        bundle_.start(outFolder_,
                      bundleOfReading(unit_.number, firmware_, *read.result,
                                      QDateTime::currentDateTime(), template_),
                      nullptr, [this](const BundleEnded& ended) {
                          if (!ended.error.isEmpty()) {
                              outcome_.result = UnitOutcome::Result::Failed;
                              outcome_.detail = ended.error.toStdString();
                          }
                          outcome_.folder = ended.folder;
                          end(outcome_);
                      });
    }

    void end(UnitOutcome outcome) {
        const Done done = std::move(done_);
        done_ = nullptr;
        if (done) {
            done(std::move(outcome));
        }
    }

    UnitSession& session_;
    const TrafficLog& log_;
    QString outFolder_;
    std::string template_;
    VersionRead version_;
    std::unique_ptr<EventTable> table_;
    std::unique_ptr<ReportChain> chain_;
    ServiceBundle bundle_;
    SubstationUnit unit_;
    Step step_;
    Done done_;
    std::optional<std::string> firmware_;
    UnitOutcome outcome_;
};

// One operation on each unit; `ended` turns its outcome into the unit's.
template <typename Op> class OperationJob final : public UnitJob {
public:
    using Result = typename Op::Result;
    using Start = std::function<void(Op&, const SubstationUnit&)>;
    using Ended = std::function<UnitOutcome(const SubstationUnit&, const Result&)>;

    OperationJob(UnitSession& session, const TrafficLog& log, const char* russian,
                 const char* english, Start start, Ended ended)
        : log_(log), operation_(session, PortUse::Part), russian_(russian), english_(english),
          start_(std::move(start)), ended_(std::move(ended)) {
        operation_.onFinished([this](const Outcome<Result>& outcome) {
            const Done done = std::move(done_);
            done_ = nullptr;
            if (!done) {
                return;
            }
            done(outcome ? ended_(unit_, *outcome.result)
                         : outcomeOfFailure(unit_.number, unit_.line, *outcome.error, log_));
        });
    }

    void start(const SubstationUnit& unit, Step step, Done done) override {
        unit_ = unit;
        done_ = std::move(done);
        step(russian_, english_);
        start_(operation_, unit);
    }
    void cancel() override { operation_.cancel(PortAtEnd::KeepOpen); }

private:
    const TrafficLog& log_;
    Op operation_;
    const char* russian_;
    const char* english_;
    Start start_;
    Ended ended_;
    SubstationUnit unit_;
    Done done_;
};

// A snapshot first, so that the unit keeps its own clock calibration and summer-time setting;
// then the correction to this computer's time, the clock running.
class ClockJob final : public UnitJob {
public:
    ClockJob(UnitSession& session, const TrafficLog& log)
        : log_(log), snapshot_(session, PortUse::Part), correction_(session) {
        snapshot_.onFinished([this](const Outcome<Snapshot>& read) {
            if (!read) {
                end(outcomeOfFailure(unit_.number, unit_.line, *read.error, log_));
                return;
            }
            correction_.start(
                pcNow(), ClockPanel{read.result->clockCalibration, false, read.result->autoDst});
        });
        correction_.onFinished([this](const Outcome<Acknowledged>& set) {
            end(set ? UnitOutcome::of(unit_.number, unit_.line, UnitOutcome::Result::Done)
                    : outcomeOfFailure(unit_.number, unit_.line, *set.error, log_));
        });
    }

    void start(const SubstationUnit& unit, Step step, Done done) override {
        unit_ = unit;
        done_ = std::move(done);
        step("часы", "clock");
        snapshot_.start();
    }
    void cancel() override {
        snapshot_.cancel(PortAtEnd::KeepOpen);
        correction_.cancel(PortAtEnd::KeepOpen);
    }

private:
    static LocalDateTime pcNow();
    void end(UnitOutcome outcome) {
        const Done done = std::move(done_);
        done_ = nullptr;
        if (done) {
            done(std::move(outcome));
        }
    }

    const TrafficLog& log_;
    SnapshotRead snapshot_;
    ClockCorrectionCommand correction_;
    SubstationUnit unit_;
    Done done_;
};

LocalDateTime ClockJob::pcNow() {
    const QDateTime now = QDateTime::currentDateTime();
    return {now.date().year(), now.date().month(),  now.date().day(),
            now.time().hour(), now.time().minute(), now.time().second()};
}

} // namespace

SubstationRun::JobMaker collectJob(QString outFolder, std::string reportTemplate) {
    return [outFolder, reportTemplate](UnitSession& session, const TrafficLog& log) {
        return std::make_unique<CollectJob>(session, log, outFolder, reportTemplate);
    };
}

SubstationRun::JobMaker clockJob() {
    return [](UnitSession& session, const TrafficLog& log) -> std::unique_ptr<UnitJob> {
        return std::make_unique<ClockJob>(session, log);
    };
}

SubstationRun::JobMaker compareJob(QString substationFolder) {
    return [substationFolder](UnitSession& session,
                              const TrafficLog& log) -> std::unique_ptr<UnitJob> {
        // The file is read when the unit's turn comes; a fault in it fails that unit alone.
        auto commissioned = std::make_shared<std::optional<SettingsFile>>();
        auto fault = std::make_shared<std::string>();
        return std::make_unique<OperationJob<ReadConfiguration>>(
            session, log, "сравнение", "compare",
            [substationFolder, commissioned, fault](ReadConfiguration& read,
                                                    const SubstationUnit& unit) {
                commissioned->reset();
                fault->clear();
                if (unit.commissioned.empty()) {
                    *fault = "no commissioned settings file named";
                } else {
                    const QString path =
                        QDir(substationFolder).filePath(QString::fromStdString(unit.commissioned));
                    const TextFileRead text = readTextFile(path.toStdString());
                    const SettingsReadResult file =
                        text.text ? readSettingsFile(*text.text) : SettingsReadResult{};
                    if (!text.text) {
                        *fault = path.toStdString() + ": " + text.error;
                    } else if (!file.file) {
                        *fault = path.toStdString() + ": " +
                                 (file.field.empty() ? "" : file.field + ": ") + file.error;
                    } else {
                        *commissioned = file.file;
                    }
                }
                read.start();
            },
            [commissioned, fault](const SubstationUnit& unit, const ConfigRecord& record) {
                UnitOutcome outcome =
                    UnitOutcome::of(unit.number, unit.line, UnitOutcome::Result::Done);
                if (!fault->empty()) {
                    outcome.result = UnitOutcome::Result::Failed;
                    outcome.detail = *fault;
                } else {
                    outcome.differences = compareSettings((*commissioned)->record, record);
                }
                return outcome;
            });
    };
}

} // namespace torl7
