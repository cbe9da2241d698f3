// The commands of torl7-cli, in one table: name, synopsis, help, manual text, options,
// arguments and the function that runs it. The usage text, the option parsing, the dispatch
// and the manual page's list of commands all come from this table, so a command is added in
// one place: a row here, and its function in a command file.
#pragma once

#include <QString>
#include <QStringList>

#include <string>
#include <vector>

namespace torl7 {

class Cli;

struct CommandOption {
    // Whether it may be given more than once (each value counts), or once at most.
    enum class Times { Once, Repeated };

    CommandOption(QStringList names_, QString description_, QString valueName_ = {},
                  QString defaultValue_ = {}, Times times_ = Times::Once)
        : names(std::move(names_)), description(std::move(description_)),
          valueName(std::move(valueName_)), defaultValue(std::move(defaultValue_)), times(times_) {}

    QStringList names;
    QString description;
    QString valueName; // empty: a flag
    QString defaultValue;
    Times times;
};

struct CommandArgument {
    QString name;
    QString description;
};

struct Command {
    // Where the command's units are: on the line of --port, on the lines of a substation
    // file (then --port is not asked for), or nowhere (the archive's questions).
    enum class Lines { Port, Substation, None };

    Command(std::string name_, std::string synopsis_, std::string summary_, std::string manual_,
            std::vector<CommandOption> options_, std::vector<CommandArgument> arguments_,
            int (*run_)(Cli&), Lines lines_ = Lines::Port)
        : name(std::move(name_)), synopsis(std::move(synopsis_)), summary(std::move(summary_)),
          manual(std::move(manual_)), options(std::move(options_)),
          arguments(std::move(arguments_)), run(run_), lines(lines_) {}

    std::string name;
    std::string synopsis;
    std::string summary; // one line for --help
    std::string manual;  // the manual page's paragraph, plain text
    std::vector<CommandOption> options;
    // Exactly these arguments follow the command's name.
    std::vector<CommandArgument> arguments;
    int (*run)(Cli& cli);
    Lines lines;
};

const std::vector<Command>& commandTable();
const Command* findCommand(const std::string& name);
// The options every command takes.
const std::vector<CommandOption>& globalOptions();

// `torl7-cli --help`.
std::string generalHelp();
// The manual page's COMMANDS section (roff), for the build to put into torl7-cli.1.
std::string manualCommands();

// The commands, each in the command file of its group.
int searchCommand(Cli& cli);
int snapshotCommand(Cli& cli);
int monitorCommand(Cli& cli);
int waveformsCommand(Cli& cli);
int analyseCommand(Cli& cli);
int setClockCommand(Cli& cli);
int resetProtectionCommand(Cli& cli);
int versionCommand(Cli& cli);
int readConfigCommand(Cli& cli);
int writeConfigCommand(Cli& cli);
int diffConfigCommand(Cli& cli);
int calibrateCommand(Cli& cli);
int readEventsCommand(Cli& cli);
int readAccountingCommand(Cli& cli);
int resetAccountingCommand(Cli& cli);
int reportCommand(Cli& cli);
int bundleCommand(Cli& cli);
int sweepCommand(Cli& cli);
int collectCommand(Cli& cli);
int clockAllCommand(Cli& cli);
int diffAllCommand(Cli& cli);
int timelineCommand(Cli& cli);
int historyCommand(Cli& cli);
int changesCommand(Cli& cli);

} // namespace torl7
