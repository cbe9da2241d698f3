// Work on every unit of a substation: each line has a session of its own on a line object of
// its own, and the lines run side by side; the units of one line go one after another, as a
// bus allows. A unit that does not answer is noted with what the line showed, and the rest go
// on. A cancelled run ends each line after the files being written, so no file is left
// half-written; the units it did not reach are noted as cancelled.
//
// The work on one unit is a job: collecting it (its firmware version when it gives it, its
// configuration, accounting record and event protocol, written as the service bundle's files
// into a folder of its own), setting its clock, or comparing it with the settings it was
// commissioned with.
#pragma once

#include "documents/settings_file.hpp"
#include "documents/substation_file.hpp"
#include "session/connection_doctor.hpp"
#include "session/operations/report_chain.hpp"
#include "session/serial_line.hpp"
#include "session/traffic_log.hpp"

#include <QObject>

#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace torl7 {

struct UnitOutcome {
    enum class Result { Done, NoAnswer, Failed, Cancelled };
    static UnitOutcome of(int number, const std::string& line, Result result) {
        UnitOutcome outcome;
        outcome.number = number;
        outcome.line = line;
        outcome.result = result;
        return outcome;
    }
    int number = 0;
    std::string line;
    Result result = Result::Cancelled;
    // NoAnswer: what the line showed, for the connection doctor's hint.
    std::optional<LineDiagnosis> diagnosis;
    // Failed: what went wrong (the port, the lost line, a file not read or written).
    std::string detail;
    // NoAnswer, Failed: the exchange's error, when an exchange ended the unit's work.
    std::optional<SessionError> error;
    // Collect: the unit's folder, its firmware (when it gave it) and what was read.
    QString folder;
    std::string firmware;
    std::optional<ReportChainData> data;
    // Compare: the fields in which the unit differs from its commissioned settings.
    std::vector<FieldDifference> differences;
};

// Where a unit stands while the run goes.
struct RunProgress {
    int number = 0;
    int unitIndex = 0; // 1-based, over all the units of the run, in the order they start
    int unitCount = 0;
    std::string step;        // "конфигурация", "события 7/10", ...
    std::string stepEnglish; // "configuration", "events 7/10", ...
};

// One unit's work on its line's session: started once per unit, ends by calling `done`
// exactly once.
class UnitJob {
public:
    using Done = std::function<void(UnitOutcome)>;
    using Step = std::function<void(const std::string& russian, const std::string& english)>;
    virtual ~UnitJob() = default;
    virtual void start(const SubstationUnit& unit, Step step, Done done) = 0;
    // Ends the work soon; files being written are finished first.
    virtual void cancel() = 0;
};

class SubstationRun : public QObject {
    Q_OBJECT
public:
    // Makes the line object for a line's port (a local device or a server's endpoint).
    using LineMaker = std::function<std::unique_ptr<SerialLine>(const std::string& port)>;
    // Makes a line's job, on its session; `log` holds what its line showed.
    using JobMaker =
        std::function<std::unique_ptr<UnitJob>(UnitSession& session, const TrafficLog& log)>;

    explicit SubstationRun(LineMaker makeLine, QObject* parent = nullptr);
    ~SubstationRun() override;

    // The units of `substation` (those named in `only`, or all) with the job `makeJob` makes.
    void start(const Substation& substation, const std::vector<int>& only, JobMaker makeJob,
               std::optional<int> timeoutOverrideMs = {});
    void cancel();
    bool running() const { return runningLines_ > 0; }

    // Heard as the run goes.
    std::function<void(const RunProgress&)> onProgress;
    std::function<void(const UnitOutcome&)> onUnit;
    // Every unit, in the order of the file, once every line has ended.
    std::function<void(const std::vector<UnitOutcome>&)> onFinished;

private:
    class LineRun;
    bool wanted(int number) const;
    int unitStarted() { return ++unitsStarted_; }
    void lineEnded();

    LineMaker makeLine_;
    Substation substation_;
    std::vector<int> only_;
    std::vector<std::unique_ptr<LineRun>> lines_;
    std::vector<UnitOutcome> ended_;
    int runningLines_ = 0;
    int unitsStarted_ = 0;
    int unitCount_ = 0;
};

// The outcome of a unit whose exchange ended with `error`; `log` is what its line showed.
UnitOutcome outcomeOfFailure(int number, const std::string& line, const SessionError& error,
                             const TrafficLog& log);

// Collecting: each unit's bundle into `outFolder`, made from `reportTemplate`.
SubstationRun::JobMaker collectJob(QString outFolder, std::string reportTemplate);
// Setting every unit's clock from this computer's clock.
SubstationRun::JobMaker clockJob();
// Comparing every unit with the settings file it was commissioned with (relative names from
// `substationFolder`); a unit with no file named, or a file that does not read, is Failed.
SubstationRun::JobMaker compareJob(QString substationFolder);

} // namespace torl7
