#include "records/substation_run.hpp"

#include "protocol/frame.hpp"
#include "protocol/line_speed.hpp"

#include <algorithm>

namespace torl7 {

// One line: its own line object and session, its units one after another. The port stays open
// from one unit to the next (a server's connection is made once); a request after a timeout
// opens it again. A port that does not open at all fails the line, not a unit: the units after
// it are told the same at once instead of each waiting for the same refusal (a server that
// takes no connection holds the program for the connect bound every time it is asked).
class SubstationRun::LineRun : public QObject {
public:
    LineRun(SubstationRun& owner, const SubstationLine& line, std::vector<SubstationUnit> units,
            std::unique_ptr<SerialLine> serial, const JobMaker& makeJob,
            std::optional<int> timeoutOverrideMs)
        : owner_(owner), line_(line), units_(std::move(units)), serial_(std::move(serial)),
          session_(*serial_) {
        log_.listenTo(session_);
        session_.setPort(QString::fromStdString(line_.port), QString::fromStdString(line_.port));
        session_.setTimeoutOverride(timeoutOverrideMs);
        const int speedIndex = indexForBaud(line_.baud);
        session_.setLineSpeed(speedIndex < 0 ? speedIndexForUnit(kMinFactoryNumber) : speedIndex);
        job_ = makeJob(session_, log_);
    }

    void start() { nextUnit(); }

    void cancel() {
        cancelled_ = true;
        job_->cancel();
    }

private:
    void nextUnit() {
        if (cancelled_ || next_ >= units_.size()) {
            session_.closePort();
            owner_.lineEnded();
            return;
        }
        const SubstationUnit& unit = units_[next_++];
        const int index = owner_.unitStarted();
        if (portRefused_) {
            UnitOutcome outcome = *portRefused_;
            outcome.number = unit.number;
            unitEnded(std::move(outcome));
            return;
        }
        session_.setFactoryNumber(static_cast<std::uint16_t>(unit.number));
        job_->start(
            unit,
            [this, number = unit.number, index](const std::string& russian,
                                                const std::string& english) {
                if (owner_.onProgress) {
                    owner_.onProgress(
                        RunProgress{number, index, owner_.unitCount_, russian, english});
                }
            },
            [this](UnitOutcome outcome) { unitEnded(std::move(outcome)); });
    }

    void unitEnded(UnitOutcome outcome) {
        using Kind = SessionError::Kind;
        if (outcome.error &&
            (outcome.error->kind == Kind::PortNotOpened || outcome.error->kind == Kind::NoPort)) {
            portRefused_ = outcome;
        }
        owner_.ended_.push_back(outcome);
        if (owner_.onUnit) {
            owner_.onUnit(outcome);
        }
        // After the job has returned: a job that ends at once would otherwise nest one unit
        // inside another.
        QMetaObject::invokeMethod(
            this, [this] { nextUnit(); }, Qt::QueuedConnection);
    }

    SubstationRun& owner_;
    SubstationLine line_;
    std::vector<SubstationUnit> units_;
    std::unique_ptr<SerialLine> serial_;
    UnitSession session_;
    TrafficLog log_{256};
    std::unique_ptr<UnitJob> job_;
    std::size_t next_ = 0;
    bool cancelled_ = false;
    std::optional<UnitOutcome> portRefused_;
};

SubstationRun::SubstationRun(LineMaker makeLine, QObject* parent)
    : QObject(parent), makeLine_(std::move(makeLine)) {}

SubstationRun::~SubstationRun() = default;

bool SubstationRun::wanted(int number) const {
    return only_.empty() || std::find(only_.begin(), only_.end(), number) != only_.end();
}

void SubstationRun::start(const Substation& substation, const std::vector<int>& only,
                          JobMaker makeJob, std::optional<int> timeoutOverrideMs) {
    substation_ = substation;
    only_ = only;
    lines_.clear();
    ended_.clear();
    unitsStarted_ = 0;
    unitCount_ = 0;
    for (const SubstationLine& line : substation_.lines) {
        std::vector<SubstationUnit> units;
        for (const SubstationUnit& unit : substation_.units) {
            if (unit.line == line.id && wanted(unit.number)) {
                units.push_back(unit);
            }
        }
        if (!units.empty()) {
            unitCount_ += static_cast<int>(units.size());
            lines_.push_back(std::make_unique<LineRun>(
                *this, line, std::move(units), makeLine_(line.port), makeJob, timeoutOverrideMs));
        }
    }
    runningLines_ = static_cast<int>(lines_.size());
    if (lines_.empty()) {
        lineEnded(); // nothing to do: ends at once
        return;
    }
    for (const auto& line : lines_) {
        line->start();
    }
}

void SubstationRun::cancel() {
    for (const auto& line : lines_) {
        line->cancel();
    }
}

void SubstationRun::lineEnded() {
    if (runningLines_ > 0 && --runningLines_ > 0) {
        return;
    }
    // In the file's order, whatever order the lines ended in; a unit a cancelled line did not
    // reach is listed as cancelled.
    std::vector<UnitOutcome> ordered;
    for (const SubstationUnit& unit : substation_.units) {
        if (!wanted(unit.number)) {
            continue;
        }
        const auto found = std::find_if(ended_.begin(), ended_.end(), [&](const UnitOutcome& u) {
            return u.number == unit.number;
        });
        ordered.push_back(found != ended_.end() ? *found
                                                : UnitOutcome::of(unit.number, unit.line,
                                                                  UnitOutcome::Result::Cancelled));
    }
    if (onFinished) {
        onFinished(ordered);
    }
}

UnitOutcome outcomeOfFailure(int number, const std::string& line, const SessionError& error,
                             const TrafficLog& log) {
    UnitOutcome outcome = UnitOutcome::of(number, line, UnitOutcome::Result::Failed);
    outcome.error = error;
    using Kind = SessionError::Kind;
    switch (error.kind) {
    case Kind::Timeout:
        outcome.result = UnitOutcome::Result::NoAnswer;
        outcome.diagnosis = diagnoseNoAnswer(log.lastExchange());
        break;
    case Kind::Cancelled:
    case Kind::Refused:
        outcome.result = UnitOutcome::Result::Cancelled;
        break;
    case Kind::SpeedFixed:
        outcome.detail = "the speed of " + error.port.toStdString() + " is set in its server";
        break;
    case Kind::NoPort:
    case Kind::PortNotOpened:
    case Kind::LineLost:
        outcome.detail = (error.kind == Kind::LineLost ? "line lost: " : "cannot open ") +
                         error.port.toStdString() +
                         (error.detail.isEmpty() ? "" : ": " + error.detail.toStdString());
        break;
    }
    return outcome;
}

} // namespace torl7
