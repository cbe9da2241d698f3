#include "sim/command_line.hpp"

#include "protocol/encodings.hpp"
#include "protocol/line_speed.hpp"

#include <fstream>
#include <functional>
#include <map>
#include <optional>
#include <sstream>
#include <stdexcept>

namespace torl7::sim {

namespace {

struct ParseError {
    std::string message;
};

std::int64_t integerIn(const std::string& name, const std::string& text, std::int64_t low,
                       std::int64_t high) {
    const auto value = parseInteger(text);
    if (!value || *value < low || *value > high) {
        throw ParseError{name + " wants a whole number from " + std::to_string(low) + " to " +
                         std::to_string(high) + ", not \"" + text + "\""};
    }
    return *value;
}

std::vector<std::string> splitList(const std::string& text, char separator) {
    std::vector<std::string> items;
    std::string item;
    for (char c : text) {
        if (c == separator) {
            items.push_back(item);
            item.clear();
        } else {
            item += c;
        }
    }
    items.push_back(item);
    return items;
}

FaultKind faultKind(const std::string& option, const std::string& name) {
    if (auto kind = faultByName(name)) {
        return *kind;
    }
    std::string known;
    for (FaultKind kind : allFaultKinds()) {
        known += (known.empty() ? "" : ", ") + std::string(faultName(kind));
    }
    throw ParseError{option + ": unknown fault \"" + name + "\" (known: " + known + ")"};
}

// KIND, KIND@N, KIND@N-M or KIND@N- (from answer N on).
FaultRule faultRule(const std::string& text) {
    const auto at = text.find('@');
    FaultRule rule;
    rule.kind = faultKind("--fault", text.substr(0, at));
    if (at == std::string::npos) {
        return rule;
    }
    const std::string range = text.substr(at + 1);
    const auto dash = range.find('-');
    const std::int64_t top = INT64_MAX;
    rule.first = static_cast<std::uint64_t>(
        integerIn("--fault answer number", range.substr(0, dash), 1, top));
    if (dash == std::string::npos) {
        rule.last = rule.first;
    } else if (dash + 1 < range.size()) {
        rule.last =
            static_cast<std::uint64_t>(integerIn("--fault answer number", range.substr(dash + 1),
                                                 static_cast<std::int64_t>(rule.first), top));
    }
    return rule;
}

std::uint16_t factoryNumber(const std::string& name, const std::string& text) {
    return static_cast<std::uint16_t>(integerIn(name, text, 100, 65535));
}

// KIND... for every unit on the line, UNIT:KIND... for that unit's answers only.
void addFault(CommandLine& line, const std::string& text) {
    const auto colon = text.find(':');
    if (colon == std::string::npos) {
        line.options.faults.rules.push_back(faultRule(text));
    } else {
        line.unitFaults.push_back({factoryNumber("--fault unit", text.substr(0, colon)),
                                   faultRule(text.substr(colon + 1))});
    }
}

// NAME=VALUE for the quantity applied to one input: Ua, Ub, Uc in V, Ia, Ib, Ic, Idif (or
// Iут) in A.
void setInput(InputQuantities& inputs, const std::string& text) {
    static const std::map<std::string, std::size_t> kChannels{
        {"Ua", 0}, {"Ub", 1}, {"Uc", 2}, {"Ia", 3}, {"Ib", 4}, {"Ic", 5}, {"Idif", 6}, {"Iут", 6}};
    const auto eq = text.find('=');
    const auto channel = kChannels.find(text.substr(0, eq));
    const auto value = eq == std::string::npos ? std::nullopt : parseDecimal(text.substr(eq + 1));
    if (channel == kChannels.end() || !value || *value < 0.0 || *value > 100000.0) {
        throw ParseError{"--ref wants NAME=VALUE with NAME one of Ua, Ub, Uc, Ia, Ib, Ic, Idif "
                         "and a value from 0 to 100000, not \"" +
                         text + "\""};
    }
    inputs[channel->second] = *value;
}

// NAME or NAME@SECONDS.
ProvokedTrip provokedTrip(const std::string& text) {
    const auto at = text.find('@');
    const auto protection = protectionByName(text.substr(0, at));
    if (!protection) {
        throw ParseError{"--trip: unknown protection \"" + text.substr(0, at) +
                         "\" (known: umin, umax, uasm, ihol, iasm, ivtz, zakl, idif)"};
    }
    ProvokedTrip trip{*protection, std::chrono::seconds{0}};
    if (at != std::string::npos) {
        trip.after =
            std::chrono::seconds(integerIn("--trip seconds", text.substr(at + 1), 0, 864000));
    }
    return trip;
}

EventProtocol eventsFromFile(const std::string& path) {
    std::ifstream file(path);
    if (!file) {
        throw ParseError{"--events: cannot read \"" + path + "\""};
    }
    std::stringstream text;
    text << file.rdbuf();
    auto parsed = EventProtocol::parse(text.str());
    if (auto* error = std::get_if<std::string>(&parsed)) {
        throw ParseError{"--events " + path + ": " + *error};
    }
    return std::get<EventProtocol>(std::move(parsed));
}

ListenOptions listenOn(const std::string& name, const std::string& text, bool rfc2217) {
    const auto where = parseHostPort(text, true);
    if (!where) {
        throw ParseError{name + " wants HOST:PORT (port 0: a free one), not \"" + text + "\""};
    }
    return ListenOptions{*where, rfc2217};
}

double percentage(const std::string& text) {
    std::string number = text;
    if (!number.empty() && number.back() == '%') {
        number.pop_back();
    }
    const auto value = parseDecimal(number);
    if (!value || *value < 0.0 || *value > 100.0) {
        throw ParseError{"--fault-rate wants a percentage from 0 to 100, not \"" + text + "\""};
    }
    return *value / 100.0;
}

using Setter = std::function<void(const std::string&)>;
using Flag = std::function<void()>;

std::chrono::milliseconds ms(const std::string& name, const std::string& v) {
    return std::chrono::milliseconds(integerIn(name, v, 0, 600000));
}

// The flags, each writing into `line`.
std::map<std::string, Flag> flagTable(CommandLine& line) {
    SimOptions& o = line.options;
    return {
        {"--wire-time", [&] { o.server.wireTime = true; }},
        {"--follow", [&] { o.unit.askToFollowSpeedChange = true; }},
        {"--reverse-order", [&] { o.unit.wave.reversed = true; }},
        {"--verbose", [&] { line.verbose = true; }},
        {"--help", [&] { line.help = true; }},
        {"-h", [&] { line.help = true; }},
    };
}

// The options that take a value, each writing into `line` (references to parts of `line` are
// bound to `line` itself, which outlives the table).
std::map<std::string, Setter> optionTable(CommandLine& line) {
    SimOptions& o = line.options;
    FaultParameters& fp = o.faults.parameters;
    std::map<std::string, Setter> table;
    for (const auto& [name, set] : waveOptionTable()) {
        table[name] = [&o, set](const std::string& v) {
            try {
                set(o.unit.wave, v);
            } catch (const std::invalid_argument& error) {
                throw ParseError{error.what()};
            }
        };
    }
    table.merge(std::map<std::string, Setter>{
        {"--unit",
         [&](const std::string& v) {
             addUnitNumbers(line.units, v);
             o.unit.factoryNumber = line.units.front();
         }},
        {"--speed",
         [&](const std::string& v) {
             const auto baud = parseInteger(v);
             if (!baud || indexForBaud(static_cast<int>(*baud)) < 0) {
                 throw ParseError{"--speed wants one of 300, 600, 1200, 2400, 4800, 9600, "
                                  "14400, 19200, 38400, 57600, 115200, not \"" +
                                  v + "\""};
             }
             o.unit.lineSpeedBaud = static_cast<int>(*baud);
         }},
        {"--device", [&](const std::string& v) { o.devicePath = v; }},
        {"--listen", [&](const std::string& v) { o.listen = listenOn("--listen", v, false); }},
        {"--listen-rfc2217",
         [&](const std::string& v) { o.listen = listenOn("--listen-rfc2217", v, true); }},
        {"--trip", [&](const std::string& v) { o.unit.trips.push_back(provokedTrip(v)); }},
        {"--events", [&](const std::string& v) { o.unit.events = eventsFromFile(v); }},
        {"--version-text", [&](const std::string& v) { o.unit.versionText = v; }},
        {"--ref", [&](const std::string& v) { setInput(o.unit.inputs, v); }},
        {"--limit-umin",
         [&](const std::string& v) {
             o.unit.uminLimitVolts =
                 static_cast<std::uint16_t>(integerIn("--limit-umin", v, 0, 65535));
         }},
        {"--limit-coefficient",
         [&](const std::string& v) {
             o.unit.coefficientLimit =
                 static_cast<std::uint16_t>(integerIn("--limit-coefficient", v, 0, 65535));
         }},
        {"--fault", [&](const std::string& v) { addFault(line, v); }},
        {"--fault-rate", [&](const std::string& v) { o.faults.randomRate = percentage(v); }},
        {"--fault-kinds",
         [&](const std::string& v) {
             o.faults.randomKinds.clear();
             for (const auto& name : splitList(v, ',')) {
                 o.faults.randomKinds.push_back(faultKind("--fault-kinds", name));
             }
         }},
        {"--seed",
         [&](const std::string& v) {
             o.faults.seed = static_cast<std::uint32_t>(integerIn("--seed", v, 0, UINT32_MAX));
             o.unit.seed = o.faults.seed;
         }},
        {"--split-pieces",
         [&](const std::string& v) {
             fp.splitPieces = static_cast<int>(integerIn("--split-pieces", v, 2, 255));
         }},
        {"--split-gap-ms", [&](const std::string& v) { fp.splitGap = ms("--split-gap-ms", v); }},
        {"--noise-bytes",
         [&](const std::string& v) {
             fp.noiseBytes = static_cast<std::size_t>(integerIn("--noise-bytes", v, 1, 1000));
         }},
        {"--trailing-bytes",
         [&](const std::string& v) {
             fp.trailingBytes = static_cast<std::size_t>(integerIn("--trailing-bytes", v, 1, 1000));
         }},
        {"--late-ms", [&](const std::string& v) { fp.lateBy = ms("--late-ms", v); }},
        {"--wrong-code",
         [&](const std::string& v) {
             fp.wrongCode = static_cast<std::uint8_t>(integerIn("--wrong-code", v, 0, 255));
         }},
        {"--oversized-length",
         [&](const std::string& v) {
             fp.oversizedLength =
                 static_cast<std::uint8_t>(integerIn("--oversized-length", v, 248, 255));
         }},
    });
    return table;
}

} // namespace

std::variant<CommandLine, CommandLineError> parseCommandLine(const std::vector<std::string>& args) {
    CommandLine line;
    const auto withValue = optionTable(line);
    const auto flags = flagTable(line);
    try {
        for (std::size_t i = 0; i < args.size(); ++i) {
            std::string name = args[i];
            std::optional<std::string> value;
            if (const auto eq = name.find('='); name.starts_with("--") && eq != std::string::npos) {
                value = name.substr(eq + 1);
                name = name.substr(0, eq);
            }
            if (const auto flag = flags.find(name); flag != flags.end()) {
                if (value) {
                    throw ParseError{name + " takes no value"};
                }
                flag->second();
                continue;
            }
            const auto setter = withValue.find(name);
            if (setter == withValue.end()) {
                throw ParseError{"unknown option \"" + name + "\""};
            }
            if (!value) {
                if (i + 1 >= args.size()) {
                    throw ParseError{name + " needs a value"};
                }
                value = args[++i];
            }
            setter->second(*value);
        }
        if (line.options.devicePath && line.options.listen) {
            throw ParseError{"--device and --listen serve different lines: give one of them"};
        }
        checkUnitFaults(line.options, line.units, line.unitFaults);
    } catch (const ParseError& error) {
        return CommandLineError{error.message};
    } catch (const std::invalid_argument& error) {
        return CommandLineError{error.what()};
    }
    return line;
}

namespace {

constexpr std::string_view kHelpText = R"(Usage: torl7-sim [OPTION]...
A simulated motor-protection relay unit ТОРЛ-7 on a serial line. It opens a pseudo-terminal
(or listens on a TCP port, see --listen), prints its path as the first line of standard
output, and answers the service tool's requests on it until SIGINT or SIGTERM. It answers only
to its own factory number, and only while the tool's side of the line runs at the unit's own
speed. Several units can share the line, as on an RS-485 bus (see --unit).

Unit:
  --unit N[-M]          factory number the unit answers to, 100..65535 (default 600); N-M
                        stands for every number from N to M. Repeatable: the units share the
                        line, each with its own configuration, clock, event protocol,
                        accounting record, calibration and faults, and each answers only the
                        frames that carry its number (a frame for a number no unit has is
                        answered by nobody). At most 256 units. On a line of several, unit N's
                        installation text reads "Ячейка N", its event protocol is the sample
                        with N % 10 + 1 trips of September to November 2026 added, and its
                        accounting started on the 1st of month N % 8 + 1 of 2026 with as many
                        trips; every other option applies to every unit
  --speed BAUD          the line speed of the unit (of every unit on the line): 300, 600, 1200,
                        2400, 4800, 9600, 14400, 19200, 38400, 57600 or 115200 (default 115200)
  --follow              answer a ping with payload length 1, which asks the tool to follow
                        an RS485 speed change; the unit then moves its line to the new speed
                        after answering the speed-set request. Without it the ping answer has
                        length 2 and the unit keeps its line speed (the tool is taken to be on
                        the service port). On a line of several units only the unit asked
                        moves; the others go on listening at the old speed

  --trip NAME[@S]       provoke a trip of protection NAME, S seconds after the start
                        (default 0), whatever the configuration enables; repeatable. NAME is
                        umin, umax, uasm, ihol, iasm, ivtz (overload), zakl (locked rotor)
                        or idif (leakage). The condition shows in the measurements, the
                        protection's countdown runs from its delay in the configuration
                        (overload: the time-current characteristic at 1.5 times the rated
                        current), then it trips: the motor stops, the trip is counted and
                        recorded in the event protocol. A protection reset clears it once
                        the reset lock has run out
  --events FILE         the event protocol the unit starts with (default: a sample with
                        records out of order, two in the same second, an impossible date, a
                        record of zeros, the rest erased). One line per record slot, from
                        slot 1 on, at most 100; blank lines and lines starting with # are
                        skipped; slots not given are erased. A line is either
                          erased
                        or the 24 record bytes in hex, e.g.
                          03 45 30 14 05 03 16 81 20 00 DC 00 DD 00 DE 00 7B 00 7C 03 E8 00 05 D5
                        or a readable record
                          DD.MM.YY HH:MM:SS N STATE PROTECTION UA UB UC IA IB IC IDIF COS
                        e.g. 05.03.16 14:30:45 3 81 20 220 221 222 12,3 12,4 100 0,5 0,85
                        with the order digit N (0..15), state and protection flags as hex
                        bytes, voltages in V, currents in A and cos f from -1 to 1
  --version-text TEXT   the firmware version text, cut or padded to 16 characters
                        (default "ТОРЛ-7 v2.04")
  --ref NAME=VALUE      the quantity applied to an input, repeatable: NAME is Ua, Ub, Uc
                        (V), Ia, Ib, Ic or Idif (A); defaults Ua=Ub=Uc=230, Ia=Ib=Ic=12,
                        Idif=0.5. Measurements and calibration samples follow from them and
                        from the stored coefficients, so an auto-calibration against the same
                        references computes the stored coefficients again
  --limit-umin VOLTS    store a written Umin threshold above VOLTS as VOLTS, so that the
                        read-back after a configuration write differs
  --limit-coefficient N store a written calibration coefficient above N as N (configuration
                        and coefficient writes), so that the acknowledgement differs

Line:
  --device PATH         serve this serial port instead of a new pseudo-terminal; the unit
                        sets the port's speed itself and answers whatever arrives
  --listen HOST:PORT    serve the unit over raw TCP instead, as a serial server's TCP port
                        (port 0: a free one); the first line of output is then
                        tcp://HOST:PORT. The server's serial speed is the unit's, fixed. One
                        client at a time: a second connection is closed at once; when the
                        client goes, the unit waits for the next
  --listen-rfc2217 HOST:PORT
                        the same over Telnet with COM-port control (RFC 2217), printed as
                        rfc2217://HOST:PORT: the unit answers only while the speed the client
                        set equals its own
  --wire-time           delay every answer by the time the request's and the answer's bytes
                        take on the wire at the line speed (10 bits a byte)
  --verbose             log every request, answer and fault on standard error, with the
                        number of the unit that answered or stayed silent

Faults (each observable on the wire; several may apply to the same answer):
  --fault [UNIT:]KIND[@N[-[M]]]
                        apply KIND to every answer, to answer N only, to answers N to M, or
                        to every answer from N on (answers are counted from 1, each unit
                        counting its own); repeatable. Without UNIT, to the answers of every
                        unit on the line; with it, to that unit's only: UNIT:drop keeps that
                        unit silent from the start (it still hears and acts on what it is
                        sent). An echo of a frame for a number no unit has comes only when every
                        unit's faults echo. KIND is one of:
                          drop        the answer is not sent
                          corrupt     the answer's checksum is wrong
                          split       the answer comes in pieces with gaps between them
                          noise       bytes other than 0xAA come before the answer
                          late        the answer comes after the tool's timeout
                          oversized   the length byte announces more than 247 bytes
                          wrong-code  the answer carries another response code, good sum
                          echo        the request is repeated on the line before the answer
                                      (an RS-485 adapter that hears itself)
                          trailing    bytes follow the answer
                          hangup      half the answer, then the line goes away; a
                                      pseudo-terminal comes back under a new path, which is
                                      printed on standard output; over TCP the client's
                                      connection is closed
                          stray       a lone 0xAA, then bytes other than 0xAA (as many as
                                      --noise-bytes), before the answer
  --fault-rate P[%]     give P percent of the answers one random fault (for soak tests)
  --fault-kinds K,K...  the kinds --fault-rate draws from (default: all but hangup)
  --seed N              seed of the random faults, their bytes and the measurement noise
                        (default 1); on a line of several units the k-th unit given uses
                        N + k - 1
  --split-pieces N      pieces of a split answer, 2..255 (default 3)
  --split-gap-ms MS     gap between the pieces (default 40)
  --noise-bytes N       number of noise bytes (default 5)
  --trailing-bytes N    number of trailing bytes (default 3)
  --late-ms MS          delay of a late answer (default: the tool's timeout at the line speed
                        for that request, plus 300 ms)
  --wrong-code N        response code of a wrong-code answer, 0..255 (default 9)
  --oversized-length N  length byte of an oversized answer, 248..255 (default 248)

  -h, --help            show this text and exit

Exit status: 0 after SIGINT or SIGTERM, 1 when the line cannot be opened or fails, 2 for a bad
option.
)";

} // namespace

std::string helpText() {
    std::string text(kHelpText);
    return text.insert(text.find("\nLine:\n"), waveOptionsHelp());
}

} // namespace torl7::sim
