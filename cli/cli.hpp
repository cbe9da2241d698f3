// The command-line front end of torl7-cli: options, the session it opens, the steps the
// commands share. The commands themselves are grouped by what they do to the unit:
// unit_commands.cpp (search, live values, clock, reset, version), config_commands.cpp
// (settings and calibration), journal_commands.cpp (events, accounting, report).
#pragma once

#include "commands.hpp"

#include "documents/events_csv.hpp"
#include "documents/file_output.hpp"
#include "documents/report_content.hpp"
#include "documents/report_template.hpp"
#include "documents/settings_file.hpp"
#include "documents/settings_values.hpp"
#include "documents/waveform_export.hpp"
#include "documents/json_output.hpp"
#include "protocol/codecs/accounting_codec.hpp"
#include "protocol/codecs/calibration_codec.hpp"
#include "protocol/codecs/clock_codec.hpp"
#include "protocol/codecs/event_codec.hpp"
#include "protocol/codecs/snapshot_codec.hpp"
#include "protocol/codecs/speed_change_codec.hpp"
#include "protocol/codecs/version_codec.hpp"
#include "protocol/codecs/waveform_codec.hpp"
#include "protocol/display_format.hpp"
#include "protocol/line_speed.hpp"
#include "protocol/poll_sequence.hpp"
#include "protocol/request_kind.hpp"
#include "session/config_history.hpp"
#include "session/operations/calibration_run.hpp"
#include "session/operations/journal_reads.hpp"
#include "session/operations/report_chain.hpp"
#include "session/operations/unit_commands.hpp"
#include "session/operations/write_configuration.hpp"
#include "session/qt_serial_line.hpp"
#include "session/traffic_log.hpp"
#include "session/unit_session.hpp"

#include "session/wait_until_ended.hpp"
#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDateTime>
#include <QFile>

#include <fstream>
#include <map>
#include <sstream>

namespace torl7 {

QString q(std::string_view s);
std::string trimmedRight(std::string text);
extern const std::map<std::string, Channel> kChannelNames;

// A failure that ends the command: its exit code and the one line said about it.
struct Failure {
    int code;
    std::string message;
    // The request went out and the line gave no answer in time: the line's hint follows.
    bool unanswered = false;
};

// The options of `analyse` (analyse_command.cpp).
void addAnalyseOptions(QCommandLineParser& parser);

// The failure of a request the unit left unanswered: `what` names the request.
Failure noAnswerFailure(const std::optional<SessionError>& error, const char* what);

// The value of an operation, or the failure that ends the command.
template <typename Result> Result valueOf(const Outcome<Result>& outcome, const char* what) {
    if (!outcome) {
        throw noAnswerFailure(outcome.error, what);
    }
    return *outcome.result;
}

class Cli {
public:
    Cli(std::ostream& out, std::ostream& err) : out_(out), err_(err) {}

    int run(const QStringList& arguments);

private:
    void addGlobalOptions(QCommandLineParser& parser);
    void addCommandOptions(QCommandLineParser& parser, const std::string& command);
    std::string generalHelp() const;
    int fail(const Failure& failure);

    void setUpSession(QCommandLineParser& parser);
    int dispatch(const std::string& command, QCommandLineParser& parser);
    void openPort();
    void setSpeed(int speedIndex);
    // Sends one request and returns its answer, or nothing.
    std::optional<Frame> tryExchange(std::uint8_t requestKind, const Bytes& payload);
    // Sends one request and returns its answer, or throws the "no answer" failure.
    Frame exchange(std::uint8_t requestKind, const Bytes& payload, const char* what);
    ConfigRecord readRecord();
    SettingsFile readSettings(const QString& path);
    std::vector<EventRow> readEvents();
    // One poll sequence of the first `view` phases; `blocks` (when given) gets them as sent,
    // `snapshot` (when given) the snapshot the sequence then starts with.
    WaveformExport readWaveforms(int view, std::vector<PhaseSamples>* blocks = nullptr,
                                 std::optional<Snapshot>* snapshot = nullptr);
    // --rate, which the waveform files need: a usage error without it, invalid when not above 0.
    double sampleRate(QCommandLineParser& parser, const char* forWhat);
    // The configuration, accounting record and event protocol, as the window's report reads them.
    ReportChainData readReportChain();
    // The path of the report template, or the failure that it is missing.
    std::string reportTemplate();
    // What the report holds, from what the chain read, made now.
    ReportData reportData(const ReportChainData& chained) const;
    // The report document from what the chain read, saved to `path`.
    void writeReport(const ReportChainData& chained, const std::string& path);

    int search();
    int snapshot();
    int waveforms(QCommandLineParser& parser);
    int readConfig(QCommandLineParser& parser);
    int writeConfig(QCommandLineParser& parser);
    int diffConfig(QCommandLineParser& parser);
    int readEventsCommand(QCommandLineParser& parser);
    int readAccounting();
    int resetAccounting(QCommandLineParser& parser);
    int setClock(QCommandLineParser& parser);
    int resetProtection();
    int version();
    int calibrate(QCommandLineParser& parser);
    int report(QCommandLineParser& parser);
    int bundle(QCommandLineParser& parser);
    int monitor(QCommandLineParser& parser);
    int analyse(QCommandLineParser& parser); // analyse_command.cpp

    void requireYes(QCommandLineParser& parser, const char* what);
    QString onlyArgument(QCommandLineParser& parser, const char* what);
    void writeOutput(const QString& path, const std::string& text);

    std::ostream& out_;
    std::ostream& err_;
    QtSerialLine line_;
    std::unique_ptr<UnitSession> session_;
    std::unique_ptr<TrafficLog> log_;
    QString port_;
    int unit_ = 600;
    std::optional<SessionError> lastError_;
};

} // namespace torl7
