// A main window over an in-memory line and recorded message boxes, with one port listed.
#pragma once

#include "gui/dialogs/search_dialog.hpp"
#include "gui/dialogs/tcc_dialog.hpp"
#include "gui/main_window.hpp"
#include "gui/pages/config_page.hpp"
#include "gui/pages/diag_page.hpp"
#include "gui/pages/protocol_page.hpp"
#include "support/clean_line.hpp"
#include "support/fake_serial_line.hpp"
#include "support/recording_message_boxes.hpp"

#include <gtest/gtest.h>

#include <memory>

namespace torl7::test {

inline QByteArray toQByteArray(const Bytes& bytes) {
    return QByteArray(reinterpret_cast<const char*>(bytes.data()),
                      static_cast<qsizetype>(bytes.size()));
}

inline Bytes toBytes(const QByteArray& bytes) {
    return Bytes(reinterpret_cast<const std::uint8_t*>(bytes.constData()),
                 reinterpret_cast<const std::uint8_t*>(bytes.constData()) + bytes.size());
}

class WindowFixture : public ::testing::Test {
protected:
    WindowFixture()
        : window(std::make_unique<MainWindow>(
              line, boxes,
              QList<PortEntry>{{QStringLiteral("ttyUSB0"), QStringLiteral("/dev/ttyUSB0")}})) {
        knownCleanLine(window->session(), line);
    }

    MainWindow& w() { return *window; }
    ConfigPage& config() { return *window->TabSheet1; }
    DiagPage& diag() { return *window->TabSheet2; }
    ProtocolPage& protocol() { return *window->TabSheet3; }
    UnitSession& session() { return window->session(); }

    // The unit answers the request just sent with `code` and `payload`.
    void answer(std::uint8_t code, const Bytes& payload) {
        line.feed(toQByteArray(buildFrame(600, code, payload)));
    }
    // The frames written since the last clearWritten(), as byte vectors.
    std::vector<Bytes> sentFrames() const {
        std::vector<Bytes> frames;
        for (const auto& write : line.writes) {
            frames.push_back(toBytes(write));
        }
        return frames;
    }

    FakeSerialLine line;
    RecordingMessageBoxes boxes;
    std::unique_ptr<MainWindow> window;
};

} // namespace torl7::test
