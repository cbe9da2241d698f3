#include "protocol/request_kind.hpp"

namespace torl7 {

std::optional<RequestKind> requestKindOf(std::uint8_t code) {
    const auto known = static_cast<RequestKind>(code);
    switch (known) {
    case kind::Ping:
    case kind::Diagnostics:
    case kind::ConfigRead:
    case kind::Write:
    case kind::Clock:
    case kind::ProtectionReset:
    case kind::EventBlock:
    case kind::AccountingRead:
    case kind::AccountingReset:
    case kind::Version:
        return known;
    }
    return std::nullopt;
}

bool echoNeverAnAnswer(RequestKind requestKind) {
    switch (requestKind) {
    case kind::Diagnostics:
    case kind::ConfigRead:
    case kind::EventBlock:
    case kind::AccountingRead:
    case kind::AccountingReset:
    case kind::Version:
        return true;
    case kind::Ping:
    case kind::Write:
    case kind::Clock:
    case kind::ProtectionReset:
        return false;
    }
    return false;
}

} // namespace torl7
