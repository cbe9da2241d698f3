// A unit session on the in-memory line, its port open, for the operation tests.
#pragma once

#include "protocol/frame.hpp"
#include "session/unit_session.hpp"
#include "support/clean_line.hpp"
#include "support/fake_serial_line.hpp"

#include <gtest/gtest.h>

namespace torl7::test {

class OperationFixture : public ::testing::Test {
public:
    OperationFixture() {
        session.setPort(QStringLiteral("/dev/ttyUSB0"), QStringLiteral("ttyUSB0"));
        knownCleanLine(session, line);
        EXPECT_FALSE(session.openPort());
    }

    // The unit answers with `code` and `payload`.
    void answer(std::uint8_t code, const Bytes& payload) {
        line.feedBytes(buildFrame(600, code, payload));
    }
    // The frames written, each parsed.
    std::vector<Frame> sent() const {
        std::vector<Frame> frames;
        for (const QByteArray& write : line.writes) {
            frames.push_back(*parseFrame(Bytes(write.begin(), write.end())));
        }
        return frames;
    }
    // The last frame written, parsed.
    std::optional<Frame> lastSent() const {
        const auto frames = sent();
        return frames.empty() ? std::nullopt : std::optional<Frame>(frames.back());
    }

    FakeSerialLine line;
    UnitSession session{line};
};

} // namespace torl7::test
