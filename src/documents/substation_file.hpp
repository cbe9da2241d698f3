// The substation file: the lines of a substation (a serial port or a serial server's endpoint,
// and its speed) and the units on them (factory number, line, and the names people use for
// them), so that every unit can be found and collected in one action. A JSON document like the
// settings file: strict, every member known, every fault placed by line and column, and no
// factory number given twice. Format: docs/substation-file.md. Pure: no Qt.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace torl7 {

struct SubstationLine {
    std::string id;   // how units name the line: "bus1"
    std::string port; // as in the port box: a device path, tcp://host:port, rfc2217://host:port
    int baud = 115200;

    bool operator==(const SubstationLine&) const = default;
};

struct SubstationUnit {
    int number = 0;   // the factory number, 100..65535, unique in the file
    std::string line; // the id of its line
    std::string switchgear;
    std::string bay; // bay or feeder
    std::string motor;
    // The settings file it was commissioned with, relative to the substation file's folder
    // (or absolute); empty when none is named.
    std::string commissioned;

    bool operator==(const SubstationUnit&) const = default;
};

struct Substation {
    std::string name;
    std::vector<SubstationLine> lines;
    std::vector<SubstationUnit> units;

    const SubstationLine* line(std::string_view id) const;
    const SubstationUnit* unit(int number) const;
    // The unit's names joined for a person: "КРУ-6 кВ, яч. 4, Насос 1" (empty parts left out).
    static std::string title(const SubstationUnit& unit);

    bool operator==(const Substation&) const = default;
};

struct SubstationRead {
    std::optional<Substation> substation;
    std::string error;        // what is wrong and where ("... at line 4, column 9")
    std::string errorRussian; // the same for the window
};

SubstationRead readSubstationFile(std::string_view text);
// UTF-8, two-space indents, a final newline; reads back to the same substation.
std::string writeSubstationFile(const Substation& substation);

// Adds the units found on a line (its port and speed) that the substation does not have yet,
// on the line with that port (made when there is none, named "line<N>"); returns how many
// were added.
int addFoundUnits(Substation& substation, const std::string& port, int baud,
                  const std::vector<int>& numbers);

// Puts `unit` on `line`, in place of the unit numbered `replacing` (0: as a new unit at the
// end). A line id the substation has takes the port and speed given, for every unit on it; a
// new id adds the line. A line that the unit leaves with no unit on it goes. Returns why it
// cannot be done, in Russian (the substation then stays as it was); empty when done.
std::string placeUnit(Substation& substation, const SubstationUnit& unit,
                      const SubstationLine& line, int replacing = 0);
// Removes the unit, and its line when no other unit is on it.
void removeUnit(Substation& substation, int number);

} // namespace torl7
