#include "command_table.hpp"

#include <algorithm>
#include <sstream>

namespace torl7 {

namespace {

using Times = CommandOption::Times;

const CommandOption kRate{{"rate"},
                          "Sample rate of the waveforms in Hz, 1 to 1000000 (the unit does not "
                          "say it).",
                          "HZ"};
const CommandOption kYes{{"yes"}, "Confirm the change to the unit."};

} // namespace

const std::vector<CommandOption>& globalOptions() {
    static const std::vector<CommandOption> options = {
        {{"port"},
         "Port to open: a device path, tcp://HOST:PORT (a serial server's raw TCP port) or "
         "rfc2217://HOST:PORT (its RFC 2217 port).",
         "PORT"},
        {{"speed"}, "Line speed in baud (300 ... 115200; default 115200).", "BAUD"},
        {{"unit"}, "The unit's factory number (100..65535; default 600).", "N"},
        {{"timeout-ms"},
         "Answer timeout in ms, 1 to 600000 (default: by line speed, as the tool waits).",
         "MS"},
        {{"trace"}, "Write every frame sent and received to stderr, one decoded line each."},
        {{"archive"},
         "Where readings are kept: an SQLite file, or postgresql://USER@HOST:PORT/DATABASE "
         "(default: $TORL7_ARCHIVE, else ~/.local/share/torl7/archive.sqlite).",
         "ARCHIVE"},
        {{"h", "help"}, "Show this help."},
    };
    return options;
}

const std::vector<Command>& commandTable() {
    static const std::vector<Command> table = {
        {"search",
         "search",
         "Find the unit's line speed (ping at every speed, twice each); prints the baud rate.",
         "Find the unit's line speed (a ping at every speed, twice each); prints the baud rate.",
         {},
         {},
         searchCommand},
        {"snapshot",
         "snapshot",
         "One status snapshot as JSON: raw values, display texts, indicators.",
         "One status snapshot as JSON: raw values, display texts, indicators.",
         {},
         {},
         snapshotCommand},
        {"waveforms",
         "waveforms [--phases 1..3] [--comtrade BASE] [--comtrade-format ascii|binary|2013] "
         "[--csv FILE] [--rate HZ]",
         "The voltage and current samples of the first N phases as JSON; also as COMTRADE or "
         "CSV files at the sample rate given.",
         "The voltage and current samples of the first N phases (1 to 3, default 3) as JSON; "
         "with --comtrade also as COMTRADE files: 1999 ASCII (the default) or, with "
         "--comtrade-format binary, 1999 BINARY, BASE.cfg and BASE.dat; with --comtrade-format "
         "2013 one file BASE.cff. With --csv as CSV. The unit does not say its sample rate, so "
         "the files need --rate (samples a second, 1 to 1000000); they hold the samples as sent "
         "(0..255, unit \"raw\").",
         {{{"phases"}, "Number of phases, 1..3 (default 3).", "N", "3"},
          {{"comtrade"},
           "Also write COMTRADE files BASE.cfg and BASE.dat (or BASE.cff).",
           "BASE",
           ""},
          {{"comtrade-format"},
           "ascii (default) or binary: 1999 .cfg + .dat; 2013: one BASE.cff.",
           "FORMAT",
           "ascii"},
          {{"csv"}, "Also write the samples as CSV to FILE.", "FILE"},
          kRate},
         {},
         waveformsCommand},
        {"analyse",
         "analyse [--phases 1..3] [--rate HZ] | analyse --record FILE [--map ROLE=CH,...]",
         "Period, RMS, angles, harmonics, THD, symmetrical components, unbalance and phase "
         "order of one waveform set from the unit, or of a COMTRADE record (.cfg or .cff), as "
         "JSON.",
         "What one waveform set shows, as JSON: period_samples; per phase A, B, C the RMS "
         "values in V and A (u_rms, i_rms: scaled by the snapshot read with the set, null "
         "without one) and in sample steps (u_rms_raw, i_rms_raw), the angle of the current "
         "against its voltage (angle_deg, positive when the current lags), cos_phi, THD and "
         "harmonics 2 to 7 in percent of the fundamental (u_thd_pct, i_thd_pct, "
         "u_harmonics_pct, i_harmonics_pct); with three phases, sequence holds u1, u2, u0, i1, "
         "i2, i0, the unbalance in percent (u_unbalance_pct, i_unbalance_pct) and the phase "
         "order (order: \"ABC\" or \"ACB\"). A value that cannot be had is null; a set without a "
         "period says why in problem. From the unit, a snapshot and the blocks of the first N "
         "phases are read (unit_cos_f is the unit's own cos f). With --record a COMTRADE record "
         "(1991, 1999 or 2013; ASCII or binary; a .cfg with its .dat beside it, or a .cff) is "
         "analysed instead, and no port is needed: its channels named Ua .. Ic or known by "
         "phase and unit are taken, or --map names them by number or name "
         "(Ua=1,Ub=2,Uc=3,Ia=4,Ib=5,Ic=6); a record that cannot be read is refused with the "
         "file, the line and the reason. --rate gives the sample rate, and the period is then "
         "the rate over 50 Hz. How the figures are found and how far they can be trusted: "
         "docs/waveform-analysis.md.",
         {{{"phases"}, "Number of phases read from the unit, 1..3 (default 3).", "N", "3"},
          {{"rate"},
           "Sample rate in Hz, 1 to 1000000: the period is then the rate over 50 Hz instead of "
           "being found from the samples.",
           "HZ",
           ""},
          {{"record"},
           "Analyse this COMTRADE record (.cfg with its .dat, or .cff) instead of the unit; no "
           "port is needed.",
           "FILE",
           ""},
          {{"map"},
           "Which channels of the record are the phases: Ua=1,Ub=2,Uc=3,Ia=4,... by channel "
           "number or name (default: by name Ua..Ic, or phase and unit).",
           "ROLE=CH,...",
           ""}},
         {},
         analyseCommand},
        {"read-config",
         "read-config [-o FILE]",
         "The configuration as a settings file, on stdout or in FILE.",
         "The configuration as a settings file, on standard output or in FILE. The firmware "
         "version is read first and named in the file; a unit that does not give it is read "
         "all the same.",
         {{{"o", "output"}, "Write to this file.", "FILE"}},
         {},
         readConfigCommand},
        {"write-config",
         "write-config FILE --yes",
         "Keep the unit's settings in the archive, write a settings file, read it back, list "
         "the fields the unit did not take.",
         "Keep the unit's settings in the archive (when the archive cannot take them, as a "
         "settings file in ~/.local/share/torl7/history/<factory number>/; where they went is "
         "printed; nothing is written when they cannot be kept), write a settings file to "
         "the unit, read it back and list the fields the unit did not take. When the unit's "
         "acknowledgement does not come, the settings are read back all the same and the "
         "command says whether the unit holds the new settings, the old ones, or neither.",
         {kYes},
         {{"FILE", "The settings file."}},
         writeConfigCommand},
        {"diff-config",
         "diff-config FILE",
         "The fields in which a settings file and the unit differ; no output when none.",
         "The fields in which a settings file and the unit differ; no output when there are "
         "none.",
         {},
         {{"FILE", "The settings file."}},
         diffConfigCommand},
        {"read-events",
         "read-events [--format csv|json] [--separator ;|,]",
         "The event protocol in time order (the grid's twelve columns); CSV in UTF-8 with a "
         "byte-order mark.",
         "The event protocol in time order, twelve columns a record (default CSV). The CSV is "
         "UTF-8 with a byte-order mark, its fields separated by ; (a Russian-locale spreadsheet "
         "opens it in columns) or, with --separator \",\", by commas. The JSON is an object: "
         "events, the records, and left_out, the number of records written by the unit but left "
         "out for want of a real date and time (an impossible date, or digits that are not "
         "BCD), which is also said on standard error.",
         {{{"format"}, "csv or json (default csv).", "FORMAT", "csv"},
          {{"separator"},
           "CSV field separator: ; (default, for a Russian-locale spreadsheet) or ,.",
           "CHAR",
           ";"}},
         {},
         readEventsCommand},
        {"read-accounting",
         "read-accounting",
         "The accounting record as JSON.",
         "The accounting record as JSON.",
         {},
         {},
         readAccountingCommand},
        {"reset-accounting",
         "reset-accounting --yes",
         "Reset the accounting record; prints the record after the reset.",
         "Reset the accounting record; prints the record after the reset.",
         {kYes},
         {},
         resetAccountingCommand},
        {"set-clock",
         "set-clock [--calibration N] [--stop] [--auto-dst]",
         "Set the unit's clock from this computer's local time.",
         "Set the unit's clock from this computer's local time, with the clock calibration N "
         "(-31 to 31, default 0); --stop stops the clock, --auto-dst lets the unit change to "
         "and from summer time itself. When the acknowledgement does not come, one status "
         "snapshot tells whether the unit's clock now shows this computer's time.",
         {{{"calibration"}, "Clock calibration, -31..31 (default 0).", "N", "0"},
          {{"stop"}, "Stop the unit's clock."},
          {{"auto-dst"}, "Let the unit change to and from summer time itself."}},
         {},
         setClockCommand},
        {"reset-protection",
         "reset-protection",
         "Reset the unit's tripped protection.",
         "Reset the unit's tripped protection. When the acknowledgement does not come, one "
         "status snapshot tells whether a protection still shows as tripped.",
         {},
         {},
         resetProtectionCommand},
        {"version",
         "version",
         "The unit's firmware version text.",
         "The unit's firmware version text.",
         {},
         {},
         versionCommand},
        {"calibrate",
         "calibrate --ref CHANNEL=VALUE ... --yes",
         "Ten samples, new coefficients for the named channels (ua ub uc ia ib ic idif), the "
         "coefficient write.",
         "Take ten samples and write new coefficients for the named channels (ua, ub, uc, ia, "
         "ib, ic, idif), each with the reference applied to it in V or A (a number above 0, "
         "each channel named once).",
         {{{"ref"},
           "Reference applied to a channel, in V or A: CHANNEL=VALUE.",
           "CHANNEL=VALUE",
           {},
           Times::Repeated},
          kYes},
         {},
         calibrateCommand},
        {"report",
         "report -o FILE.docx",
         "Read configuration, accounting and events and write the report document.",
         "Read the configuration, the accounting record and the event protocol and write the "
         "report document, filled from the template share/torl7/docs/prot-torl.docx of the "
         "installation (/usr/share/torl7/docs/ for the Debian package).",
         {{{"o", "output"}, "Write to this file.", "FILE"}},
         {},
         reportCommand},
        {"bundle",
         "bundle DIR --rate HZ",
         "Report, settings file, events CSV, accounting JSON, waveforms as COMTRADE (and a PDF "
         "of the report when LibreOffice is installed) in DIR/ТОРЛ_№N_YYYY-MM-DD.",
         "Read everything and write into DIR/ТОРЛ_№N_YYYY-MM-DD the report, the settings "
         "file, the events as CSV, the accounting record as JSON, the waveforms of the three "
         "phases as COMTRADE and, when LibreOffice is installed, a PDF of the report "
         "(otherwise a note file says why there is none). Each file is written whole or not "
         "at all.",
         {kRate},
         {{"DIR", "The folder the bundle's folder goes into."}},
         bundleCommand},
        {"monitor",
         "monitor [--count N]",
         "Snapshots as JSON lines, as fast as the line allows (N = 0: until stopped).",
         "Snapshots as JSON lines, as fast as the line allows; N = 0 (the default) runs until "
         "stopped. An unanswered request is asked again; five in a row end it. At the end, "
         "the number of snapshots and of unanswered requests goes to standard error.",
         {{{"count"}, "Number of snapshots; 0 until stopped (default 0).", "N", "0"}},
         {},
         monitorCommand},
        {"sweep",
         "sweep --from N --to M [--add SUBSTATION]",
         "Ping every factory number from N to M at the line speed; list those that answer.",
         "Ping every factory number from N to M at the speed of --speed, each waiting as the "
         "search waits at that speed (50 ms from 9600 baud on), and list every unit that "
         "answers, one number a line. With --add, the units found that the substation file "
         "does not have yet are added to it, on the line of --port (made when the file has "
         "none; the file is made when missing). Progress on standard error.",
         {{{"from"}, "The first factory number, 100..65535.", "N"},
          {{"to"}, "The last factory number, 100..65535.", "M"},
          {{"add"}, "Add the units found to this substation file.", "SUBSTATION"}},
         {},
         sweepCommand},
        {"collect",
         "collect SUBSTATION [--out DIR] [--only N ...]",
         "Read every unit of a substation file into a folder per unit; a table of the results.",
         "For every unit of the substation file (or those named with --only), read the "
         "firmware version, the configuration, the accounting record and the event protocol, "
         "and write the service bundle's files into DIR/ТОРЛ_№N_YYYY-MM-DD (default DIR: the "
         "current folder). The lines run side by side, the units of a line one after another. "
         "A unit that does not answer is noted with what the line showed, and the others go "
         "on. Progress on standard error; at the end a table of the units: done, no answer, "
         "failed or cancelled. Ctrl-C ends the run after the files being written; a second one "
         "ends it at once. Exit 0 only when every unit was done.",
         {{{"out"}, "The folder the units' folders go into.", "DIR", "."},
          {{"only"}, "Only this unit (repeatable).", "N", {}, Times::Repeated}},
         {{"SUBSTATION", "The substation file."}},
         collectCommand,
         Command::Lines::Substation},
        {"set-clock-all",
         "set-clock-all SUBSTATION [--only N ...]",
         "Set the clock of every unit of a substation file from this computer's clock.",
         "Set the clock of every unit of the substation file (or those named with --only) "
         "from this computer's local time; each unit keeps its own clock calibration and "
         "summer-time setting. A table of the results; exit 0 only when every clock was set.",
         {{{"only"}, "Only this unit (repeatable).", "N", {}, Times::Repeated}},
         {{"SUBSTATION", "The substation file."}},
         clockAllCommand,
         Command::Lines::Substation},
        {"diff-all",
         "diff-all SUBSTATION [--only N ...]",
         "Compare every unit with the settings file it was commissioned with.",
         "Compare every unit of the substation file (or those named with --only) with the "
         "settings file its entry names under \"commissioned\" (relative to the substation "
         "file's folder): each field that differs, one a line, under the unit's number. Exit 0 "
         "when every unit was compared, whether or not it differs.",
         {{{"only"}, "Only this unit (repeatable).", "N", {}, Times::Repeated}},
         {{"SUBSTATION", "The substation file."}},
         diffAllCommand,
         Command::Lines::Substation},
        {"timeline",
         "timeline [--from DATE] [--to DATE] [--unit N ...] [--substation FILE] "
         "[--format csv|json]",
         "The archived events of every unit in time order, with the units' names.",
         "The events of every unit kept in the archive, each once, in the order of the units' "
         "own clocks (events of one second by their order digit), with the unit's number and "
         "names: from the substation file when given, else as stored by the last collection. "
         "DATE is YYYY-MM-DD or YYYY-MM-DD HH:MM[:SS]; --to takes in the whole day it names. "
         "CSV like read-events' (the unit's number and names first), or JSON. Records the unit "
         "wrote without a real date are kept but not listed.",
         {{{"from"}, "The first day (or moment) listed.", "DATE"},
          {{"to"}, "The last day (or moment) listed.", "DATE"},
          {{"unit"}, "Only this unit (repeatable).", "N", {}, Times::Repeated},
          {{"substation"}, "Name the units as this substation file does.", "FILE"},
          {{"format"}, "csv or json (default csv).", "FORMAT", "csv"}},
         {},
         timelineCommand,
         Command::Lines::None},
        {"history",
         "history UNIT [--settings READING [-o FILE]]",
         "The unit's archived readings, oldest first, with its setting changes and writes; "
         "or the settings of one reading as a settings file.",
         "The unit's readings kept in the archive, oldest first: the reading's number, when, "
         "what, how it ended, who (the OS user and computer) and how many events it was the "
         "first to keep; under a reading, the settings that differ from the reading before, "
         "and for a write the fields changed against the settings found and those the unit did "
         "not take. With --settings, the settings kept with that reading (for a write's "
         "as-found reading: the settings before it, to write back) as a settings file, on "
         "standard output or in FILE.",
         {{{"settings"}, "The settings of this reading, as a settings file.", "READING"},
          {{"o", "output"}, "Write the settings file to this file.", "FILE"}},
         {{"UNIT", "The unit's factory number."}},
         historyCommand,
         Command::Lines::None},
        {"changes",
         "changes --since DATE",
         "Units whose settings at a reading since DATE differ from their reading before.",
         "Every reading since DATE (YYYY-MM-DD or YYYY-MM-DD HH:MM[:SS]) at which a unit's "
         "settings differ from those of its reading before, field by field, as diff-config "
         "names them. No output when none changed.",
         {{{"since"}, "The first day (or moment) looked at.", "DATE"}},
         {},
         changesCommand,
         Command::Lines::None},
    };
    return table;
}

const Command* findCommand(const std::string& name) {
    const auto& table = commandTable();
    const auto it =
        std::find_if(table.begin(), table.end(), [&](const Command& c) { return c.name == name; });
    return it == table.end() ? nullptr : &*it;
}

std::string generalHelp() {
    std::ostringstream help;
    help << "Usage: torl7-cli --port PORT [--speed BAUD] [--unit N] [--timeout-ms MS] [--trace] "
            "[--archive ARCHIVE] COMMAND "
            "[options]\n\nCommands:\n";
    for (const Command& c : commandTable()) {
        help << "  " << c.synopsis << "\n      " << c.summary << '\n';
    }
    help << "\n'torl7-cli COMMAND --help' shows the options of one command.\n"
            "Exit codes: 0 done; 1 the unit did not answer (or did not take the settings);\n"
            "2 usage error; 3 invalid input (settings file, value out of range, unusable file);\n"
            "4 the port could not be opened.\n";
    return help.str();
}

namespace {

// Plain text for a roff paragraph: hyphens as \- (so they stay hyphens), and no line may
// start with a control character.
std::string roff(const std::string& text) {
    std::string out;
    for (const char c : text) {
        if (c == '-') {
            out += "\\-";
        } else if (c == '\\') {
            out += "\\e";
        } else {
            out += c;
        }
    }
    if (!out.empty() && (out.front() == '.' || out.front() == '\'')) {
        out.insert(0, "\\&");
    }
    return out;
}

std::string roffOption(const CommandOption& option) {
    const QString& longest = option.names.back();
    std::string text =
        "[\\fB" + roff((longest.size() == 1 ? "-" : "--") + longest.toStdString()) + "\\fR";
    if (!option.valueName.isEmpty()) {
        text += " \\fI" + roff(option.valueName.toStdString()) + "\\fR";
    }
    if (option.times == CommandOption::Times::Repeated) {
        text += " ...";
    }
    return text + "]";
}

} // namespace

std::string manualCommands() {
    std::string out = ".SH COMMANDS\n";
    for (const Command& c : commandTable()) {
        out += ".TP\n\\fB" + roff(c.name) + "\\fR";
        for (const CommandArgument& argument : c.arguments) {
            out += " \\fI" + roff(argument.name.toStdString()) + "\\fR";
        }
        for (const CommandOption& option : c.options) {
            out += " " + roffOption(option);
        }
        out += "\n" + roff(c.manual) + "\n";
    }
    return out;
}

} // namespace torl7
