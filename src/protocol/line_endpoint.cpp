#include "protocol/line_endpoint.hpp"

#include <algorithm>
#include <cctype>

namespace torl7 {

namespace {

bool startsWithNoCase(std::string_view text, std::string_view prefix) {
    return text.size() >= prefix.size() &&
           std::equal(prefix.begin(), prefix.end(), text.begin(), [](char a, char b) {
               return std::tolower(static_cast<unsigned char>(a)) ==
                      std::tolower(static_cast<unsigned char>(b));
           });
}

std::string_view trimmed(std::string_view text) {
    const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
    while (!text.empty() && blank(text.front())) {
        text.remove_prefix(1);
    }
    while (!text.empty() && blank(text.back())) {
        text.remove_suffix(1);
    }
    return text;
}

// A host name or address: letters, digits, '.', '-', '_' (and ':' inside brackets). No
// blanks, no '/', no '@', so that a path or a user part is never taken for a host.
bool plausibleHost(std::string_view host, bool bracketed) {
    if (host.empty() || host.size() > 253) {
        return false;
    }
    return std::all_of(host.begin(), host.end(), [bracketed](char c) {
        const auto u = static_cast<unsigned char>(c);
        return std::isalnum(u) || c == '.' || c == '-' || c == '_' || (bracketed && c == ':') ||
               (bracketed && c == '%');
    });
}

} // namespace

std::optional<HostPort> parseHostPort(std::string_view text, bool anyPort) {
    std::string_view host;
    std::string_view port;
    bool bracketed = false;
    if (!text.empty() && text.front() == '[') {
        const auto close = text.find(']');
        if (close == std::string_view::npos || close + 1 >= text.size() || text[close + 1] != ':') {
            return std::nullopt;
        }
        host = text.substr(1, close - 1);
        port = text.substr(close + 2);
        bracketed = true;
    } else {
        const auto colon = text.rfind(':');
        if (colon == std::string_view::npos) {
            return std::nullopt;
        }
        host = text.substr(0, colon);
        port = text.substr(colon + 1);
    }
    if (!plausibleHost(host, bracketed) || port.empty() || port.size() > 5 ||
        !std::all_of(port.begin(), port.end(),
                     [](char c) { return std::isdigit(static_cast<unsigned char>(c)); })) {
        return std::nullopt;
    }
    const long number = std::stol(std::string(port));
    if (number > 65535 || (number == 0 && !anyPort)) {
        return std::nullopt;
    }
    return HostPort{std::string(host), static_cast<std::uint16_t>(number)};
}

std::string hostPortText(const HostPort& where) {
    const bool v6 = where.host.find(':') != std::string::npos;
    return (v6 ? "[" + where.host + "]" : where.host) + ":" + std::to_string(where.port);
}

bool isNetworkPort(std::string_view text) {
    text = trimmed(text);
    return startsWithNoCase(text, kRawTcpScheme) || startsWithNoCase(text, kRfc2217Scheme);
}

std::optional<LineEndpoint> parseLineEndpoint(std::string_view text) {
    text = trimmed(text);
    for (const auto& [scheme, kind] : {std::pair{kRawTcpScheme, LineEndpoint::Kind::RawTcp},
                                       std::pair{kRfc2217Scheme, LineEndpoint::Kind::Rfc2217}}) {
        if (startsWithNoCase(text, scheme)) {
            auto rest = text.substr(scheme.size());
            if (!rest.empty() && rest.back() == '/') {
                rest.remove_suffix(1);
            }
            const auto server = parseHostPort(rest);
            if (!server) {
                return std::nullopt;
            }
            return LineEndpoint{kind, *server};
        }
    }
    if (text.empty()) {
        return std::nullopt;
    }
    return LineEndpoint{};
}

LineEndpoint::Kind lineKind(std::string_view text) {
    const auto endpoint = parseLineEndpoint(text);
    return endpoint ? endpoint->kind : LineEndpoint::Kind::Device;
}

std::string endpointText(LineEndpoint::Kind kind, const HostPort& where) {
    switch (kind) {
    case LineEndpoint::Kind::RawTcp:
        return std::string(kRawTcpScheme) + hostPortText(where);
    case LineEndpoint::Kind::Rfc2217:
        return std::string(kRfc2217Scheme) + hostPortText(where);
    case LineEndpoint::Kind::Device:
        break;
    }
    return hostPortText(where);
}

} // namespace torl7
