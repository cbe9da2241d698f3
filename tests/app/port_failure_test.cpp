// A port that cannot be opened (a missing adapter, a port held by another program) is said
// once, naming the port, and nothing reaches the line: the unit was never asked, so no
// "Устройство не отвечает!" may follow, whichever button asked.
#include "support/window_fixture.hpp"

#include <QPushButton>

using namespace torl7;
using namespace torl7::test;

namespace {

class PortFailureTest : public WindowFixture {};

} // namespace

TEST_F(PortFailureTest, everyButtonThatAsksTheUnitSaysOnceWhichPortFailedAndSendsNothing) {
    const struct {
        const char* name;
        QPushButton* button;
        bool confirms; // asks before it sends
    } cases[] = {
        {"btn_read_konf", config().btn_read_konf, false},
        {"btn_write_konf", config().btn_write_konf, true},
        {"btn_compare_konf", config().btn_compare_konf, false},
        {"Button12", config().Button12, false},
        {"Button5", config().Button5, true},
        {"diagnos", diag().diagnos, false},
        {"Button11", diag().Button11, false},
        {"btn_monitor", diag().btn_monitor, false},
        {"Button1", protocol().Button1, false},
        {"Button7", protocol().Button7, false},
        {"Button8", protocol().Button8, true},
        {"btn_save_prot", protocol().btn_save_prot, false},
    };
    for (const auto& c : cases) {
        boxes.clear();
        line.clearWritten();
        line.failNextOpen = true;
        if (c.confirms) {
            boxes.answers.push_back(MessageBoxes::Answer::Yes);
        }
        c.button->click();
        // A response timeout that was armed has its say.
        if (session().answerTimeoutArmed().has_value()) {
            session().answerTimedOut();
        }
        QStringList errors;
        for (const auto& box : boxes.shown) {
            if (box.kind == RecordingMessageBoxes::Kind::Error) {
                errors << box.text;
            }
        }
        EXPECT_EQ(errors, QStringList{QStringLiteral("Ошибка открытия порта !\nttyUSB0: fake")})
            << c.name;
        EXPECT_TRUE(line.writes.empty()) << c.name;
        EXPECT_FALSE(line.isOpen()) << c.name;
        if (diag().diagnos->text() != QStringLiteral("Диагностика")) {
            diag().diagnos->click(); // a poll that started anyway is stopped for the next case
        }
    }
}

TEST_F(PortFailureTest, anAdapterPulledOutDuringAnExchangeIsSaidOnce) {
    const struct {
        const char* name;
        QPushButton* button;
    } cases[] = {
        {"btn_read_konf", config().btn_read_konf},
        {"Button12", config().Button12},
        {"Button1", protocol().Button1},
        {"Button7", protocol().Button7},
        {"btn_save_prot", protocol().btn_save_prot},
    };
    for (const auto& c : cases) {
        boxes.clear();
        c.button->click();
        ASSERT_TRUE(line.isOpen()) << c.name;
        line.loseDevice();
        EXPECT_EQ(boxes.texts(),
                  QStringList{QStringLiteral(
                      "Порт ttyUSB0 закрыт: связь с адаптером потеряна (device removed).\n"
                      "Подключите адаптер и повторите действие.")})
            << c.name;
    }
}
