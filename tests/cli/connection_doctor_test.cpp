// The connection doctor end to end: torl7-cli against the simulated unit with each fault of
// its line; the line after the "no answer" error names what the line showed.
#include "commands.hpp"
#include "sim/simulated_unit.hpp"

#include <gtest/gtest.h>

#include <sstream>

using namespace torl7;

namespace {

struct Case {
    const char* name;
    std::vector<sim::FaultKind> faults;
    std::uint16_t unitNumber = 600; // the tool asks for 600
    int unitBaud = 115200;          // the tool talks at 115200
    const char* hint;               // what the second line of stderr must say
    // Behind a serial server: over RFC 2217 (true) or raw TCP (false); else a serial line.
    std::optional<bool> rfc2217 = {};
};

std::string secondLine(const std::string& text) {
    const auto first = text.find('\n');
    return first == std::string::npos ? std::string() : text.substr(first + 1);
}

} // namespace

TEST(ConnectionDoctor, theHintAfterNoAnswerNamesTheFaultOfTheLine) {
    using F = sim::FaultKind;
    const Case cases[] = {
        {"silent unit", {F::Drop}, 600, 115200, "Линия молчит"},
        {"echoing adapter, unit silent",
         {F::Echo, F::Drop},
         600,
         115200,
         "Вернулось только эхо запроса"},
        {"echoing adapter, other factory number", {F::Echo}, 712, 115200, "заводской номер не 600"},
        {"other factory number",
         {},
         712,
         115200,
         "заводской номер 600 могут быть неверны (torl7-cli search)"},
        {"other speed", {}, 600, 9600, "скорость или заводской номер"},
        {"corrupt sum", {F::CorruptChecksum}, 600, 115200, "неверной контрольной суммой"},
        {"noise and a corrupt sum",
         {F::Noise, F::CorruptChecksum},
         600,
         115200,
         "неверной контрольной суммой"},
        {"cut-off length", {F::OversizedLength}, 600, 115200, "неверной контрольной суммой"},
        {"another code", {F::WrongCode}, 600, 115200, "ответ с другим кодом"},
        {"server's serial side silent",
         {F::Drop},
         600,
         115200,
         "Сервер принимает соединение, но его последовательная сторона молчит",
         true},
        {"raw TCP server, unit silent",
         {F::Drop},
         600,
         115200,
         "скорость линии задаётся в самом сервере",
         false},
    };
    for (const Case& c : cases) {
        sim::SimOptions options;
        options.unit.factoryNumber = c.unitNumber;
        options.unit.lineSpeedBaud = c.unitBaud;
        if (c.rfc2217) {
            options.listen = sim::ListenOptions{{"127.0.0.1", 0}, *c.rfc2217};
        }
        for (const F fault : c.faults) {
            options.faults.rules.push_back({fault, 1, UINT64_MAX});
        }
        sim::SimulatedUnit unit;
        const QString port = QString::fromStdString(unit.start(options));
        std::ostringstream out;
        std::ostringstream err;
        const int code =
            runCli({"torl7-cli", "--port", port, "--timeout-ms", "200", "version"}, out, err);
        unit.stop();
        EXPECT_EQ(code, exitcode::NoAnswer) << c.name;
        const std::string hint = secondLine(err.str());
        EXPECT_NE(hint.find(c.hint), std::string::npos) << c.name << ": " << err.str();
        EXPECT_EQ(hint.find('\n'), hint.size() - 1) << c.name << ": one line";
        EXPECT_EQ(hint.find("Поиск устройства"), std::string::npos) << c.name << ": a button";
    }
}

TEST(Trace, writesEachFrameSentAndReceivedToStderrAsItGoes) {
    sim::SimulatedUnit unit;
    const QString port = QString::fromStdString(unit.start({}));
    std::ostringstream out;
    std::ostringstream err;
    const int code =
        runCli({"torl7-cli", "--port", port, "--trace", "monitor", "--count", "1"}, out, err);
    unit.stop();
    EXPECT_EQ(code, exitcode::Done) << err.str();
    std::istringstream lines(err.str());
    std::string request;
    std::string answer;
    std::getline(lines, request);
    std::getline(lines, answer);
    EXPECT_NE(request.find("ПК → блок диагностика 9 б, сумма верна, запрос: №600 запрос "
                           "диагностики, селектор 0 [AA 06 02 58 01 01 00 01 0C]"),
              std::string::npos)
        << request;
    EXPECT_NE(answer.find("блок → ПК диагностика 63 б, сумма верна, ответ: №600 диагностика: "),
              std::string::npos)
        << answer;
    EXPECT_FALSE(out.str().empty()) << "the snapshot itself still goes to stdout";
}

// Over raw TCP the serial speed is the server's: a search would "find" the unit at the first
// speed it tried. It is refused, saying why, and nothing is sent.
TEST(SearchOverRawTcp, isRefusedSayingTheSpeedIsTheServers) {
    sim::SimOptions options;
    options.listen = sim::ListenOptions{{"127.0.0.1", 0}, false};
    std::size_t requests = 0;
    sim::SimulatedUnit unit;
    unit.setListener([&](const sim::ServerEvent& e) {
        requests += e.kind == sim::ServerEvent::Kind::Request ? 1 : 0;
    });
    const QString port = QString::fromStdString(unit.start(options));
    std::ostringstream out;
    std::ostringstream err;
    const int code = runCli({"torl7-cli", "--port", port, "search"}, out, err);
    unit.stop();
    EXPECT_EQ(code, exitcode::Usage);
    EXPECT_NE(err.str().find("is set in its server"), std::string::npos) << err.str();
    EXPECT_EQ(requests, 0u);
    EXPECT_TRUE(out.str().empty());
}
