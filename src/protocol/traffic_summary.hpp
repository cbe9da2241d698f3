// One line in Russian saying what a frame of the unit's protocol carries, for the traffic log:
// the request and its main argument, or the answer decoded by its codec. Pure: no Qt.
#pragma once

#include "protocol/encodings.hpp"

#include <string>

namespace torl7 {

// `bytes` is a whole frame (sync byte to checksum); `sent` tells a request from an answer,
// which share their codes. Bytes that are no frame are named by their count.
std::string trafficSummary(ByteSpan bytes, bool sent);

} // namespace torl7
