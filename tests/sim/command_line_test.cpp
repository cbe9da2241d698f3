#include "sim/command_line.hpp"

#include <gtest/gtest.h>

using namespace torl7::sim;

namespace {

CommandLine parsed(std::vector<std::string> args) {
    auto result = parseCommandLine(args);
    if (auto* error = std::get_if<CommandLineError>(&result)) {
        ADD_FAILURE() << error->message;
        return {};
    }
    return std::get<CommandLine>(result);
}

std::string errorOf(std::vector<std::string> args) {
    auto result = parseCommandLine(args);
    auto* error = std::get_if<CommandLineError>(&result);
    return error ? error->message : "";
}

TEST(CommandLine, unitOptionsInBothForms) {
    const auto line = parsed(
        {"--unit", "1234", "--speed=14400", "--follow", "--wire-time", "--device", "/dev/ttyUSB0"});
    EXPECT_EQ(line.options.unit.factoryNumber, 1234);
    EXPECT_EQ(line.options.unit.lineSpeedBaud, 14400);
    EXPECT_TRUE(line.options.unit.askToFollowSpeedChange);
    EXPECT_TRUE(line.options.server.wireTime);
    EXPECT_EQ(line.options.devicePath, "/dev/ttyUSB0");
}

TEST(CommandLine, faultRulesAndRandomFaults) {
    const auto line = parsed({"--fault", "drop@3", "--fault=echo", "--fault", "split@2-4",
                              "--fault", "late@5-", "--fault-rate", "1.5%", "--fault-kinds",
                              "noise,corrupt", "--seed", "7", "--late-ms", "900"});
    const auto& rules = line.options.faults.rules;
    ASSERT_EQ(rules.size(), 4u);
    EXPECT_EQ(rules[0].kind, FaultKind::Drop);
    EXPECT_EQ(rules[0].first, 3u);
    EXPECT_EQ(rules[0].last, 3u);
    EXPECT_EQ(rules[1].first, 1u);
    EXPECT_EQ(rules[1].last, UINT64_MAX);
    EXPECT_EQ(rules[2].last, 4u);
    EXPECT_EQ(rules[3].first, 5u);
    EXPECT_EQ(rules[3].last, UINT64_MAX);
    EXPECT_DOUBLE_EQ(line.options.faults.randomRate, 0.015);
    EXPECT_EQ(line.options.faults.randomKinds,
              (std::vector<FaultKind>{FaultKind::Noise, FaultKind::CorruptChecksum}));
    EXPECT_EQ(line.options.faults.seed, 7u);
    EXPECT_EQ(line.options.faults.parameters.lateBy, std::chrono::milliseconds{900});
}

TEST(CommandLine, waveShapeOptions) {
    const auto wave =
        parsed({"--wave-periods", "2,5", "--wave-amplitude", "90,40", "--phase-shift", "-20",
                "--unbalance=4,6", "--harmonics", "3=5,5=2.5", "--reverse-order"})
            .options.unit.wave;
    EXPECT_EQ(wave.periods, 2.5);
    EXPECT_EQ(wave.voltagePeakSteps, 90);
    EXPECT_EQ(wave.currentPeakSteps, 40);
    EXPECT_EQ(wave.currentLagDeg, -20);
    EXPECT_DOUBLE_EQ(wave.voltageUnbalance, 0.04);
    EXPECT_DOUBLE_EQ(wave.currentUnbalance, 0.06);
    EXPECT_EQ(wave.harmonics, (std::vector<std::pair<int, double>>{{3, 0.05}, {5, 0.025}}));
    EXPECT_TRUE(wave.reversed);
    EXPECT_DOUBLE_EQ(parsed({"--unbalance", "3"}).options.unit.wave.currentUnbalance, 0.03)
        << "one value sets both";
}

TEST(CommandLine, badOptions_areRefusedWithAMessageNamingThem) {
    EXPECT_NE(errorOf({"--bogus"}).find("--bogus"), std::string::npos);
    EXPECT_NE(errorOf({"--unit"}).find("--unit"), std::string::npos);
    EXPECT_NE(errorOf({"--unit", "99"}).find("--unit"), std::string::npos);
    EXPECT_NE(errorOf({"--unit", "65536"}).find("--unit"), std::string::npos);
    EXPECT_NE(errorOf({"--speed", "14401"}).find("--speed"), std::string::npos);
    EXPECT_NE(errorOf({"--fault", "explode"}).find("explode"), std::string::npos);
    EXPECT_NE(errorOf({"--fault", "drop@3-2"}).find("--fault"), std::string::npos);
    EXPECT_NE(errorOf({"--fault", "drop@0"}).find("--fault"), std::string::npos);
    EXPECT_NE(errorOf({"--fault-rate", "150%"}).find("--fault-rate"), std::string::npos);
    EXPECT_NE(errorOf({"--oversized-length", "247"}).find("--oversized-length"), std::string::npos);
    EXPECT_NE(errorOf({"--follow=yes"}).find("--follow"), std::string::npos);
    EXPECT_NE(errorOf({"--unbalance", "60"}).find("--unbalance"), std::string::npos);
    EXPECT_NE(errorOf({"--harmonics", "1=5"}).find("--harmonics"), std::string::npos);
    EXPECT_NE(errorOf({"--wave-periods", "0"}).find("--wave-periods"), std::string::npos);
}

TEST(CommandLine, helpDocumentsEveryOptionAndEveryFault) {
    const std::string help = helpText();
    for (const char* option : {"--unit",
                               "--speed",
                               "--follow",
                               "--version-text",
                               "--ref",
                               "--limit-umin",
                               "--limit-coefficient",
                               "--device",
                               "--wire-time",
                               "--verbose",
                               "--fault ",
                               "--fault-rate",
                               "--fault-kinds",
                               "--seed",
                               "--split-pieces",
                               "--split-gap-ms",
                               "--noise-bytes",
                               "--trailing-bytes",
                               "--late-ms",
                               "--wrong-code",
                               "--oversized-length",
                               "--wave-periods",
                               "--wave-amplitude",
                               "--phase-shift",
                               "--unbalance",
                               "--harmonics",
                               "--reverse-order",
                               "--help"}) {
        EXPECT_NE(help.find(option), std::string::npos) << option;
    }
    for (FaultKind kind : allFaultKinds()) {
        EXPECT_NE(help.find(" " + std::string(faultName(kind)) + " "), std::string::npos)
            << faultName(kind);
    }
}

} // namespace

TEST(CommandLine, unitsOnOneLine_givenOneByOneOrAsRanges) {
    EXPECT_EQ(parsed({"--unit", "600-602", "--unit=615"}).units,
              (std::vector<std::uint16_t>{600, 601, 602, 615}));
    EXPECT_EQ(parsed({"--unit", "65530-65535"}).units.size(), 6u);

    const struct {
        std::vector<std::string> args;
        std::string named;
    } refused[] = {
        {{"--unit", "600", "--unit", "600"}, "600 is given twice"},
        {{"--unit", "601-600"}, "--unit"},
        {{"--unit", "100-356"}, "256"},
        {{"--unit", "600", "--fault", "601:drop"}, "601"},
        {{"--fault", "601:drop"}, "601"},
        {{"--fault", "x:drop"}, "--fault"},
        {{"--unit", "600", "--fault", "600:boom"}, "boom"},
    };
    for (const auto& row : refused) {
        EXPECT_NE(errorOf(row.args).find(row.named), std::string::npos) << row.named;
    }
}
