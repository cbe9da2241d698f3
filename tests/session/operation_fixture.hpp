// A unit session on the in-memory line, its port open, for the operation tests.
#pragma once

#include "protocol/frame.hpp"
#include "session/unit_session.hpp"
#include "support/fake_serial_line.hpp"

#include <gtest/gtest.h>

namespace torl7::test {

class OperationFixture : public ::testing::Test {
public:
    OperationFixture() {
        session.setPort(QStringLiteral("/dev/ttyUSB0"), QStringLiteral("ttyUSB0"));
        EXPECT_FALSE(session.comopen());
    }

    void answer(std::uint8_t code, const Bytes& payload) {
        line.feedBytes(buildFrame(600, code, payload));
    }
    // The last frame written, parsed.
    std::optional<Frame> lastSent() const {
        if (line.writes.empty()) {
            return std::nullopt;
        }
        const QByteArray& last = line.writes.back();
        return parseFrame(Bytes(last.begin(), last.end()));
    }

    FakeSerialLine line;
    UnitSession session{line};
};

} // namespace torl7::test
