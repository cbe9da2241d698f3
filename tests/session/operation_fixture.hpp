// A session over the in-memory line with its port open, for the tests of the operations.
#pragma once

#include "session/unit_session.hpp"
#include "support/fake_serial_line.hpp"

#include <gtest/gtest.h>

namespace torl7::test {

class OperationFixture : public ::testing::Test {
protected:
    OperationFixture() : session(line) {
        session.setPort(QStringLiteral("/dev/fake"), QStringLiteral("fake"));
        EXPECT_FALSE(session.comopen().has_value());
    }

    // The unit answers with `code` and `payload`.
    void answer(std::uint8_t code, const Bytes& payload) {
        const Bytes frame = buildFrame(600, code, payload);
        line.feed(QByteArray(reinterpret_cast<const char*>(frame.data()),
                             static_cast<qsizetype>(frame.size())));
    }
    // The frames written, each parsed.
    std::vector<Frame> sent() const {
        std::vector<Frame> frames;
        for (const QByteArray& write : line.writes) {
            frames.push_back(*parseFrame(Bytes(write.begin(), write.end())));
        }
        return frames;
    }

    FakeSerialLine line;
    UnitSession session;
};

} // namespace torl7::test
