// Which line a port text names: a local serial device ("/dev/ttyUSB0", "COM3"), a serial port
// behind an Ethernet serial server over raw TCP ("tcp://HOST:PORT", the line speed set in the
// server), or over Telnet with COM-port control ("rfc2217://HOST:PORT", the tool sets the
// speed). Pure: the port box, the headless client, the session and the simulated unit share it.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace torl7 {

struct HostPort {
    std::string host; // a name, an IPv4 address, or an IPv6 address without its brackets
    std::uint16_t port = 0;

    bool operator==(const HostPort&) const = default;
};

// "HOST:PORT", an IPv6 address in brackets ("[::1]:4001"). Port 0 only when `anyPort` (a
// listener that takes a free port). Nothing for anything else.
std::optional<HostPort> parseHostPort(std::string_view text, bool anyPort = false);

// "host:port" as the user wrote it (brackets around an IPv6 address).
std::string hostPortText(const HostPort& where);

struct LineEndpoint {
    enum class Kind : std::uint8_t { Device, RawTcp, Rfc2217 };
    Kind kind = Kind::Device;
    HostPort server; // for RawTcp and Rfc2217
};

inline constexpr std::string_view kRawTcpScheme = "tcp://";
inline constexpr std::string_view kRfc2217Scheme = "rfc2217://";

// A text that starts with one of the two schemes (in any letter case) is a network endpoint
// and must carry HOST:PORT after it, else nothing; any other text is a device.
std::optional<LineEndpoint> parseLineEndpoint(std::string_view text);

// The kind of line the text names (a device when it is no well-formed endpoint).
LineEndpoint::Kind lineKind(std::string_view text);

// Whether the text names a network endpoint, well formed or not.
bool isNetworkPort(std::string_view text);

// The endpoint as a port text: "tcp://host:port", "rfc2217://host:port".
std::string endpointText(LineEndpoint::Kind kind, const HostPort& where);

} // namespace torl7
