// The protocol read as the user gets it: "Считать протокол" to "Протокол считан!", the ten
// block exchanges with the simulated unit over a pseudo-terminal and Qt's serial port, the
// bytes taking their wire time at 115200 baud. The figure that matters is `wire_multiple`:
// the read's time as a multiple of the wire time of its bytes, 10 x (9 + 249) bytes of 10 bits
// = 224 ms. Target: <= 1.03. `unit_ms` is the time the simulated unit held the requests (from
// a whole request gathered to its answer written: the wire time plus the unit thread's
// wake-up lateness); `tool_ms` is the rest of a read: the tool, Qt, the pseudo-terminal and
// the scheduler handing the bytes over; `click_ms` is the part of it spent in the button's
// handler (opening the port and sending block 0's request).
#include "gui/main_window.hpp"
#include "gui/pages/protocol_page.hpp"
#include "session/qt_serial_line.hpp"
#include "sim/simulated_unit.hpp"
#include "support/recording_message_boxes.hpp"

#include <QApplication>
#include <QEventLoop>
#include <QPushButton>
#include <QTableWidget>
#include <benchmark/benchmark.h>

#include <chrono>
#include <mutex>
#include <vector>

namespace {

using namespace torl7;
using Clock = std::chrono::steady_clock;

constexpr double kBaud = 115200;
constexpr double kBlockExchangeBytes = 9 + 249;
const double kWireSeconds = 10 * kBlockExchangeBytes * 10 / kBaud;

// `count` valid events a minute apart, written newest first.
sim::EventProtocol protocolOf(int count) {
    sim::EventProtocol protocol;
    for (int i = count - 1; i >= 0; --i) {
        EventRecord r;
        r.stamp = ClockStamp{0, i % 60, 8 + i / 60, 12, 3, 26};
        r.state = 0x81;
        r.uaVolts = 230;
        r.iaTenthsAmp = 121;
        r.cosByte = 0xD5;
        protocol.append(r);
    }
    return protocol;
}

void protocolReadAt115200(benchmark::State& state) {
    sim::SimulatedUnit unit;
    std::mutex heldMutex;
    Clock::time_point requestGathered;
    double unitSeconds = 0; // guarded by heldMutex
    unit.setListener([&](const sim::ServerEvent& event) {
        const std::lock_guard lock(heldMutex);
        if (event.kind == sim::ServerEvent::Kind::Request) {
            requestGathered = Clock::now();
        } else if (event.kind == sim::ServerEvent::Kind::Answer) {
            unitSeconds += std::chrono::duration<double>(Clock::now() - requestGathered).count();
        }
    });
    sim::SimOptions options;
    options.server.wireTime = state.range(1) != 0;
    options.unit.events = protocolOf(static_cast<int>(state.range(0)));
    const QString port = QString::fromStdString(unit.start(options));
    QtSerialLine line;
    test::RecordingMessageBoxes boxes;
    MainWindow window(line, boxes, portList({port}, false));
    QEventLoop untilMessage;
    boxes.whileOpen = [&](const auto&) { untilMessage.quit(); };
    ProtocolPage& page = *window.TabSheet3;

    double totalSeconds = 0;
    double clickSeconds = 0;
    for (auto _ : state) {
        const auto started = Clock::now();
        page.Button1->click();
        clickSeconds += std::chrono::duration<double>(Clock::now() - started).count();
        untilMessage.exec();
        const std::chrono::duration<double> took = Clock::now() - started;
        state.SetIterationTime(took.count());
        totalSeconds += took.count();
        if (boxes.shown.back().text != QStringLiteral("Протокол считан!") ||
            page.StGr_prot->rowCount() != state.range(0)) {
            state.SkipWithError(qPrintable(boxes.shown.back().text));
            break;
        }
    }
    unit.stop();
    const auto reads = static_cast<double>(state.iterations());
    state.counters["wire_multiple"] = totalSeconds / reads / kWireSeconds;
    state.counters["click_ms"] = clickSeconds / reads * 1000;
    state.counters["unit_ms"] = unitSeconds / reads * 1000;
    state.counters["tool_ms"] = (totalSeconds - unitSeconds) / reads * 1000;
}
BENCHMARK(protocolReadAt115200)
    ->ArgNames({"events", "wire"})
    ->Args({20, 1})
    ->Args({100, 1})
    ->Args({100, 0})
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(20)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
