// torl7-cli: every operation on the unit from the command line. `runCli` is the whole program
// behind main(), so tests run it in-process against a simulated unit.
#pragma once

#include <QStringList>

#include <ostream>

namespace torl7 {

// The program's exit codes.
namespace exitcode {
inline constexpr int Done = 0;
inline constexpr int NoAnswer = 1; // the unit did not answer, or did not take what was sent
inline constexpr int Usage = 2;    // an unknown command or option, a missing argument
inline constexpr int Invalid = 3;  // a settings file or a value out of range; an unusable file
inline constexpr int PortFailed = 4;
} // namespace exitcode

// Runs the command line `arguments` (the program name first). Results go to `out`; errors go
// to `err` in one plain line. Needs a QCoreApplication.
int runCli(const QStringList& arguments, std::ostream& out, std::ostream& err);

} // namespace torl7
