#include "protocol/request_kind.hpp"

namespace torl7 {

bool echoNeverAnAnswer(std::uint8_t requestKind) {
    switch (requestKind) {
    case kind::Diagnostics:
    case kind::ConfigRead:
    case kind::EventBlock:
    case kind::AccountingRead:
    case kind::AccountingReset:
    case kind::Version:
        return true;
    default:
        return false;
    }
}

} // namespace torl7
