// Why the unit did not answer, as far as the line shows it: what the receiver made of the
// bytes that came back after the request. The window puts the hint under the established "no
// answer" box, torl7-cli prints it after the error. Pure over the traffic entries: no Qt.
#pragma once

#include "protocol/line_endpoint.hpp"
#include "session/traffic.hpp"

#include <cstdint>
#include <span>
#include <string>

namespace torl7 {

struct LineDiagnosis {
    enum class Cause : std::uint8_t {
        Silence,       // nothing came back at all
        EchoOnly,      // only the line's repetition of our request
        ForeignNumber, // a unit with another factory number answered
        BadSums,       // frames whose sum or length was wrong, or cut short
        NoFrames,      // bytes with no frame in them: another speed, or noise
        OtherCode,     // frames of the unit, but none with the request's code
    };
    Cause cause = Cause::Silence;
    std::uint16_t askedNumber = 0;   // the factory number the request carried
    std::uint16_t foreignNumber = 0; // with ForeignNumber: the number that answered
    // The line the request went over (the caller sets it from the port): a serial server on
    // the network adds what only it can cause.
    LineEndpoint::Kind line = LineEndpoint::Kind::Device;

    bool operator==(const LineDiagnosis&) const = default;
};

// `exchange` starts with the frame sent (as TrafficLog::lastExchange gives it); what came
// before it is not looked at.
LineDiagnosis diagnoseNoAnswer(std::span<const TrafficEntry> exchange);

// Who reads the hint: the window's names its buttons, torl7-cli's its commands and options.
enum class HintReader : std::uint8_t { Window, Cli };

// One line in Russian: what the line showed and what to do about it.
std::string noAnswerHint(const LineDiagnosis& diagnosis, HintReader reader = HintReader::Window);

// Whether the hint leads to "Поиск устройства" (a wrong speed or factory number may be why).
// Not over raw TCP where the speed is the cause: the search cannot change the server's speed.
bool hintSuggestsSearch(const LineDiagnosis& diagnosis);

} // namespace torl7
