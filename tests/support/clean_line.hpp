// Most tests start where a session usually is after its first exchange: the port has shown
// that it does not echo (a version read answered with nothing before it). A write, reset or
// clock correction then goes out at once instead of after the ping that settles the echo.
// The port is closed again and the line and the counters are as if nothing had happened.
#pragma once

#include "session/unit_session.hpp"
#include "support/fake_serial_line.hpp"

#include <gtest/gtest.h>

namespace torl7::test {

inline void knownCleanLine(UnitSession& session, FakeSerialLine& line) {
    const bool wasOpen = line.isOpen();
    ASSERT_FALSE(session.openPort());
    session.request(kind::Version, {}, [](const Answer&) {});
    line.feedBytes(buildFrame(session.factoryNumber(), kind::Version, Bytes(16, 0x20)));
    ASSERT_EQ(session.echo(), UnitSession::Echo::NotEchoing);
    if (!wasOpen) {
        session.closePort();
    }
    line.clearWritten();
    line.openCount = 0;
    session.resetCounters();
}

} // namespace torl7::test
