// The one-shot commands against the in-memory line: the request each sends, the end it comes
// to, the port closed after the answer.
#include "protocol/codecs/version_codec.hpp"
#include "session/operation_fixture.hpp"
#include "session/operations/unit_commands.hpp"

using namespace torl7;
using namespace torl7::test;

namespace {

class UnitCommandsTest : public OperationFixture {};

} // namespace

TEST_F(UnitCommandsTest, eachCommandSendsItsRequestAndEndsOnceWithTheAnswer) {
    // Tuesday 8 December 2026, 14:05:09; calibration 3, clock running, summer time automatic.
    const LocalDateTime tuesday{2026, 12, 8, 14, 5, 9};
    int acknowledged = 0;
    std::vector<std::string> versions;
    const auto count = [&](const Outcome<Acknowledged>& end) { acknowledged += end ? 1 : 100; };
    struct Case {
        std::function<void()> start;
        std::uint8_t code;
        Bytes request;
        Bytes answer;
    };
    const std::vector<Case> cases{
        {[&] { correctClock(session, tuesday, 3, false, true, count); },
         kind::Clock,
         Bytes{0x23, 0x09, 0x05, 0x14, 0x03, 0x08, 0x12, 0x26, 0x80},
         {}},
        {[&] { resetProtection(session, count); }, kind::ProtectionReset, {}, {}},
        {[&] {
             readVersion(session, [&](const Outcome<std::string>& end) {
                 versions.push_back(end ? *end.result : "<none>");
             });
         },
         kind::Version,
         {},
         encodeVersionText("V1")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.code));
        ASSERT_FALSE(session.comopen().has_value());
        line.clearWritten();
        c.start();
        const std::vector<Frame> frames = sent();
        ASSERT_EQ(frames.size(), 1u);
        EXPECT_EQ(frames[0].command(), c.code);
        EXPECT_EQ(Bytes(frames[0].payload().begin(), frames[0].payload().end()), c.request);
        answer(c.code, c.answer);
        EXPECT_FALSE(line.isOpen());
        EXPECT_FALSE(session.Timer3->isActive());
    }
    EXPECT_EQ(acknowledged, 2);
    EXPECT_EQ(versions, std::vector<std::string>{"V1              "});
}

TEST_F(UnitCommandsTest, anUnansweredCommandEndsWithTheTimeout) {
    std::optional<SessionError> error;
    resetProtection(session, [&](const Outcome<Acknowledged>& end) { error = end.error; });
    answer(kind::Version, encodeVersionText("late"));
    EXPECT_FALSE(error) << "another request's answer does not end it";
    session.Timer3Timer();
    ASSERT_TRUE(error);
    EXPECT_EQ(error->kind, SessionError::Kind::Timeout);
    EXPECT_FALSE(line.isOpen());
}
