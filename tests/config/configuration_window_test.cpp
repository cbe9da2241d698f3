// The configuration page against an in-memory line: the record built from the controls, a
// received record applied to them, the read and write buttons, and the delay steps.
#include "protocol/codecs/config_record_codec.hpp"
#include "protocol/cp1251.hpp"
#include "records/archive.hpp"
#include "support/window_fixture.hpp"

#include "gui/widgets/step_buttons.hpp"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QSpinBox>
#include <QToolButton>

#include <algorithm>

using namespace torl7;
using namespace torl7::test;

namespace {

using Kind = RecordingMessageBoxes::Kind;

// Record offsets the tests look at.
constexpr std::size_t kRs485 = 0, kUmin = 1, kIholDelay = 11, kInom = 15, kControl = 25, kCos = 27,
                      kCoefficientUa = 28, kEquipmentType = 42, kBusProtocol = 74, kTb = 76;

Bytes defaultRecord() {
    const auto bytes = encodeConfigRecord(ConfigRecord{});
    return Bytes(bytes.begin(), bytes.end());
}

class ConfigurationTest : public WindowFixture {
protected:
    // Presses "Записать конфигурацию" and answers Yes, from a line where nothing is outstanding
    // (a write while the last one waits for its acknowledgement is refused). The record bytes
    // of the request sent, or nothing when no request went out.
    std::optional<Bytes> writeRecord() {
        session().cancel();
        line.clearWritten();
        boxes.answers = {MessageBoxes::Answer::Yes};
        config().btn_write_konf->click();
        // The read that keeps the unit's settings comes first: answered, its frame forgotten.
        if (!line.writes.empty()) {
            EXPECT_EQ(parseFrame(sentFrames()[0])->command(), kind::ConfigRead) << "write first";
            answer(kind::ConfigRead, defaultRecord());
            line.writes.erase(line.writes.begin());
        }
        const auto frames = sentFrames();
        if (frames.empty()) {
            return std::nullopt;
        }
        const auto frame = parseFrame(frames.back());
        EXPECT_TRUE(frame.has_value());
        EXPECT_EQ(frame->command(), kind::Write);
        EXPECT_EQ(frame->length(), 81);
        EXPECT_EQ(frame->reader().byte(0), kWriteSubModeConfig);
        const ByteSpan payload = frame->payload();
        return Bytes(payload.begin() + 1, payload.end());
    }

    // Presses "Считать конфигурацию" and lets the unit answer with `record`.
    void readRecord(const Bytes& record) {
        session().cancel();
        config().btn_read_konf->click();
        answer(kind::ConfigRead, record);
    }

    bool nothingSent() const { return line.writes.empty(); }
};

} // namespace

// Writing: the record as the controls hold it.

TEST_F(ConfigurationTest, startValuesWriteTheKnownRecord) {
    Bytes expected{0x05, 0x00, 0xAA, 0x64, 0x00, 0xFA, 0x64, 0x1E, 0x96, 0x00, 0x00,
                   0x02, 0x58, 0x19, 0x32, 0x00, 0x96, 0x0B, 0xB8, 0x01, 0xC2, 0x1E,
                   0x00, 0x0A, 0x05, 0x7F, 0xF4, 0x80, 0x02, 0x3A, 0x02, 0x3A, 0x02,
                   0x3A, 0x00, 0xC8, 0x00, 0xC8, 0x00, 0xC8, 0x13, 0x88};
    expected.insert(expected.end(), 32, 0x20);
    expected.insert(expected.end(), {0x00, 0x01, 0x05, 0x03, 0x00, 0x01});
    EXPECT_EQ(writeRecord(), expected);
    EXPECT_EQ(session().answerTimeoutArmed().value_or(-1), 800) << "a write waits 500 ms longer";
}

TEST_F(ConfigurationTest, controlByteCosCorrectionAndSpinEditsFollowTheirControls) {
    config().blok_z->setChecked(true);
    auto record = writeRecord();
    ASSERT_TRUE(record);
    EXPECT_EQ((*record)[kControl], 255) << "A/B/C twice, insulation on at 500 kOhm, block on";
    EXPECT_EQ((*record)[kCos], 0x80) << "cos f 0";

    config().p_uf_c->setCurrentIndex(3);
    config().p_if_c->setCurrentIndex(3);
    config().z_iso_r->setCurrentIndex(0);
    config().z_iso_ok->setChecked(false);
    config().blok_z->setChecked(false);
    config().pcosf->setValue(-1);
    record = writeRecord();
    ASSERT_TRUE(record);
    EXPECT_EQ((*record)[kControl], 0);
    EXPECT_EQ((*record)[kCos], 0x01);

    config().p_uf_c->setCurrentIndex(2);
    config().p_if_c->setCurrentIndex(1);
    record = writeRecord();
    ASSERT_TRUE(record);
    EXPECT_EQ((*record)[kControl], 0x10 | 0x20) << "A/C is 2 in bits 4..3, A/B is 1 in 6..5";

    config().pcosf->findChild<QLineEdit*>()->setText(QStringLiteral("-"));
    config().z_umin_v->findChild<QLineEdit*>()->setText(QStringLiteral("-"));
    record = writeRecord();
    ASSERT_TRUE(record);
    EXPECT_EQ((*record)[kCos], 0x4B) << "a spin text that is no integer: cos f at its -75";
    EXPECT_EQ((*record)[kUmin + 1], 100) << "and Umin at its 100";
}

TEST_F(ConfigurationTest, shortTextIsSentPaddedWithBlanksAndCyrillicAsCodePage) {
    config().tipo_text->setText(QStringLiteral("abc"));
    config().oust_text->setText(QStringLiteral("Насос №3"));
    const auto record = writeRecord();
    ASSERT_TRUE(record);
    Bytes tipo{'a', 'b', 'c'};
    tipo.insert(tipo.end(), 13, ' ');
    EXPECT_EQ(Bytes(record->begin() + 42, record->begin() + 58), tipo);
    Bytes oust = encodeCp1251("Насос №3");
    oust.insert(oust.end(), 8, ' ');
    EXPECT_EQ(Bytes(record->begin() + 58, record->begin() + 74), oust);
}

TEST_F(ConfigurationTest, fieldThatDoesNotConvertOrFitStopsTheWrite) {
    // Not a number: the general error box. Not fitting its field: an error naming the field.
    const struct {
        QLineEdit* edit;
        QString text;
        QString shownStart;
    } cases[] = {
        {config().z_inom_a, QStringLiteral("1x"), QStringLiteral("«1x»")},
        {config().z_idif_a, QString(), QStringLiteral("«»")},
        {config().st_kib, QStringLiteral("200,5"), QStringLiteral("«200,5»")},
        {config().z_inom_a, QStringLiteral("99999"), QStringLiteral("Номинальный ток Iном, А:")},
        {config().z_izkl_a, QStringLiteral("-1"), QStringLiteral("Ток заклинивания Iзкл, А:")},
        {config().st_kua, QStringLiteral("65536"), QStringLiteral("Калибровочный коэффициент Ua:")},
        {config().st_kic, QStringLiteral("-5"), QStringLiteral("Калибровочный коэффициент Ic:")},
    };
    for (const auto& c : cases) {
        const QString before = c.edit->text();
        c.edit->setText(c.text);
        boxes.clear();
        EXPECT_FALSE(writeRecord()) << c.shownStart.toStdString();
        ASSERT_FALSE(boxes.shown.empty());
        EXPECT_TRUE(boxes.shown.back().text.startsWith(c.shownStart))
            << boxes.shown.back().text.toStdString();
        EXPECT_FALSE(session().answerTimeoutArmed().has_value());
        c.edit->setText(before);
    }
}

// Reading: a received record into the controls.

TEST_F(ConfigurationTest, receivedRecordSetsEveryControl) {
    Bytes record = defaultRecord();
    record[kRs485] = 200;
    record[kUmin] = 0;
    record[kUmin + 1] = 50;
    record[kIholDelay] = 0x02;
    record[kIholDelay + 1] = 0x5D; // 605: 60.5 s
    record[3] = 1;                 // Umin delay 0,1 s
    record[kInom] = 0;
    record[kInom + 1] = 150;
    record[kControl] = 0x28;
    record[26] = 0x81;
    record[kCos] = 0x01;
    record[kCoefficientUa] = 0xFF;
    record[kCoefficientUa + 1] = 0xFF;
    const std::string type = "abc";
    std::copy(type.begin(), type.end(), record.begin() + kEquipmentType);
    record[kBusProtocol] = 1;
    record[kTb] = 0;
    readRecord(record);

    ConfigPage& page = config();
    EXPECT_EQ(page.cb_rs485->currentText(), QStringLiteral("  9600"));
    EXPECT_EQ(page.z_umin_v->value(), 100) << "a spin edit clamps";
    EXPECT_EQ(page.st_zumin_t->text(), QStringLiteral("0,1"));
    EXPECT_EQ(page.z_ihol_t->value(), 60);
    EXPECT_EQ(page.z_inom_a->text(), QStringLiteral("15,0"));
    EXPECT_EQ(page.p_uf_c->currentText(), QStringLiteral("   A/B"));
    EXPECT_EQ(page.p_if_c->currentText(), QStringLiteral("   A/B"));
    EXPECT_EQ(page.z_iso_r->currentIndex(), 0);
    EXPECT_FALSE(page.z_iso_ok->isChecked());
    EXPECT_FALSE(page.blok_z->isChecked());
    EXPECT_TRUE(page.z_umin_ok->isChecked());
    EXPECT_FALSE(page.z_uasm_ok->isChecked());
    EXPECT_TRUE(page.z_idif_ok->isChecked());
    EXPECT_EQ(page.pcosf->value(), -1);
    EXPECT_EQ(page.st_kua->text(), QStringLiteral("65535"));
    EXPECT_EQ(page.tipo_text->text(), QStringLiteral("abc             ")) << "untrimmed";
    EXPECT_EQ(page.cb_uprotbus->currentText(), QStringLiteral("ZEVERE"));
    EXPECT_EQ(page.sp_utb->value(), 3);
    EXPECT_FALSE(line.isOpen());
    ASSERT_EQ(boxes.shown.size(), 2u);
    EXPECT_EQ(boxes.shown[0].kind, Kind::Information);
    EXPECT_EQ(boxes.shown[0].text, QStringLiteral("Конфигурация считана"));
    EXPECT_EQ(boxes.shown[0].caption, QStringLiteral("Считывание конфигурации"));
    EXPECT_EQ(boxes.shown[1].text,
              QStringLiteral("Значения устройства вне пределов полей страницы, страница "
                             "показывает предел:\n"
                             "Время тишины старта Tb, мСек: в устройстве 0, на странице 3 "
                             "(нижний предел)\n"
                             "Значение Umin, В: в устройстве 50, на странице 100 (нижний предел)"))
        << "the values the page holds to a limit are named once, after the read";
    EXPECT_EQ(boxes.shown[1].caption, QStringLiteral("Считывание конфигурации"));

    record[kCos] = 0x00;
    readRecord(record);
    EXPECT_EQ(page.pcosf->value(), 0) << "0x00 reads as minus zero";
}

TEST_F(ConfigurationTest, readThenWriteSendsTheUnitsBytesBack) {
    // Whatever the unit holds that the controls can show goes back unchanged, texts with any
    // byte included, and a current too wide for the edit's five typed characters.
    Bytes record = defaultRecord();
    const Bytes oddText{0x00, 0x0A, 0x98, 0xFF, 0xC0, 0x20, 0x7F, 0x01,
                        0x09, 0x0D, 0xA0, 0xB9, 0x20, 0x20, 0x41, 0x20};
    std::copy(oddText.begin(), oddText.end(), record.begin() + kEquipmentType);
    record[kInom] = 0xFF;
    record[kInom + 1] = 0xFF;
    record[kControl] = 0xAB;
    record[26] = 0x5A;
    record[kCos] = 0xCB;
    readRecord(record);
    EXPECT_EQ(config().z_inom_a->text(), QStringLiteral("6553,5"));
    EXPECT_EQ(writeRecord(), record);
}

TEST_F(ConfigurationTest, indexThatNamesNoItemIsKeptUntilTheUserPicksOne) {
    Bytes record = defaultRecord();
    record[kRs485] = 11;
    record[kBusProtocol] = 2;
    readRecord(record);
    EXPECT_EQ(config().cb_rs485->currentIndex(), -1);
    EXPECT_EQ(config().cb_uprotbus->currentIndex(), -1);
    auto written = writeRecord();
    ASSERT_TRUE(written);
    EXPECT_EQ((*written)[kRs485], 11);
    EXPECT_EQ((*written)[kBusProtocol], 2);

    config().cb_uprotbus->setCurrentIndex(1);
    emit config().cb_uprotbus->activated(1);
    written = writeRecord();
    ASSERT_TRUE(written);
    EXPECT_EQ((*written)[kBusProtocol], 1);
    EXPECT_EQ((*written)[kRs485], 11) << "the other list still keeps its index";

    record[kRs485] = 7;
    readRecord(record);
    written = writeRecord();
    ASSERT_TRUE(written);
    EXPECT_EQ((*written)[kRs485], 7) << "a listed index replaces the kept one";
}

TEST_F(ConfigurationTest, receivedRs485IndexIsNoUserChoice) {
    QSignalSpy changed(config().cb_rs485, &QComboBox::currentIndexChanged);
    QSignalSpy activated(config().cb_rs485, &QComboBox::activated);
    Bytes record = defaultRecord();
    record[kRs485] = 9;
    readRecord(record);
    EXPECT_EQ(config().cb_rs485->currentIndex(), 9);
    EXPECT_EQ(changed.count(), 0);
    EXPECT_EQ(activated.count(), 0);
    EXPECT_EQ(line.writes.size(), 1u) << "only the read request went out";
}

// The read and write buttons.

TEST_F(ConfigurationTest, answeringNoSendsNothingAndSaysSoWithItsOwnCaption) {
    config().btn_write_konf->click();
    EXPECT_TRUE(nothingSent());
    EXPECT_EQ(line.openCount, 0);
    ASSERT_EQ(boxes.shown.size(), 2u);
    EXPECT_EQ(boxes.shown[0].kind, Kind::Question);
    EXPECT_EQ(boxes.shown[0].text,
              QStringLiteral("Внимание данные конфигурации будут изменены! Продолжить?"));
    EXPECT_EQ(boxes.shown[0].caption, QStringLiteral(" Норвик Ltd"));
    EXPECT_EQ(boxes.shown[1].kind, Kind::Information);
    EXPECT_EQ(boxes.shown[1].text, QStringLiteral("Запись конфигурации отменена"));
    EXPECT_EQ(boxes.shown[1].caption, QStringLiteral("Запись конфиурации"));
}

TEST_F(ConfigurationTest, zeroCoefficientStopsTheWriteBeforeThePortIsOpened) {
    const QString message =
        QStringLiteral("Запись конфигурации отменена! Калибровочные коэффициенты не корректны!");
    config().st_kia->setText(QStringLiteral("0"));
    EXPECT_FALSE(writeRecord());
    EXPECT_EQ(line.openCount, 0);
    ASSERT_EQ(boxes.shown.size(), 2u);
    EXPECT_EQ(boxes.shown[1].kind, Kind::Error);
    EXPECT_EQ(boxes.shown[1].text, message);
    EXPECT_EQ(boxes.shown[1].caption, QStringLiteral(" Норвик Ltd"));

    // Checked Ua, Ia, Ub, Ib, Uc, Ic, Iут: the first bad one decides.
    config().st_kia->setText(QStringLiteral("x"));
    config().st_kub->setText(QStringLiteral("0,0"));
    boxes.clear();
    EXPECT_FALSE(writeRecord());
    EXPECT_EQ(boxes.shown.back().kind, Kind::ConversionError) << "Ia comes before Ub";
    config().st_kia->setText(QStringLiteral("200"));
    config().st_kic->setText(QStringLiteral("x"));
    boxes.clear();
    EXPECT_FALSE(writeRecord());
    EXPECT_EQ(boxes.shown.back().text, message) << "Ub comes before Ic";
    EXPECT_EQ(line.openCount, 0);
}

TEST_F(ConfigurationTest, negativeOrFractionalCoefficientPassesTheCheckButNotTheRecord) {
    config().st_kua->setText(QStringLiteral("-1"));
    EXPECT_FALSE(writeRecord());
    ASSERT_EQ(boxes.shown.size(), 2u);
    EXPECT_TRUE(boxes.shown[1].text.startsWith(QStringLiteral("Калибровочный коэффициент Ua:")))
        << "refused as no word, not as a zero coefficient";
    EXPECT_EQ(line.openCount, 0) << "refused before the port is opened";

    config().st_kua->setText(QStringLiteral("570,5"));
    boxes.clear();
    EXPECT_FALSE(writeRecord());
    ASSERT_EQ(boxes.shown.size(), 2u);
    EXPECT_EQ(boxes.shown[1].kind, Kind::ConversionError);
}

TEST_F(ConfigurationTest, writeIsAcknowledgedThenReadBackAndThePageShowsWhatTheUnitStored) {
    const auto keptBefore = [] { // the settings found before the write, in the window's archive
        auto opened = Archive::open({}, Archive::Access::ReadOnly);
        const auto* archive = std::get_if<std::unique_ptr<Archive>>(&opened);
        return archive ? std::ranges::count((*archive)->history(600), std::string("as-found"),
                                            &HistoryEntry::kind)
                       : 0;
    };
    const auto before = keptBefore();
    config().z_umin_v->setValue(300);
    ASSERT_TRUE(writeRecord());
    ASSERT_EQ(keptBefore(), before + 1) << "the unit's settings are kept before the write";
    bool readBackBeforeClosed = false;
    boxes.whileOpen = [&](const RecordingMessageBoxes::Shown& box) {
        if (box.text == QStringLiteral("Конфигурация записана")) {
            readBackBeforeClosed = line.writes.size() > 1;
        }
    };
    answer(kind::Write, Bytes{0});
    EXPECT_FALSE(readBackBeforeClosed) << "the read-back waits for the message to close";
    ASSERT_EQ(line.writes.size(), 2u);
    EXPECT_EQ(sentFrames().back(), buildFrame(600, kind::ConfigRead, {}));
    EXPECT_TRUE(line.isOpen());

    Bytes stored = defaultRecord(); // the unit kept its Umin of 170
    answer(kind::ConfigRead, stored);
    EXPECT_EQ(config().z_umin_v->value(), 170);
    EXPECT_FALSE(line.isOpen());
    const QStringList expected{
        QStringLiteral("Внимание данные конфигурации будут изменены! Продолжить?"),
        QStringLiteral("Конфигурация записана"),
        QStringLiteral("Устройство приняло не все значения:\n"
                       "Значение Umin, В: записано 300, считано 170"),
        QStringLiteral("Конфигурация считана")};
    EXPECT_EQ(boxes.texts(), expected);
    EXPECT_EQ(boxes.shown[1].caption, QStringLiteral("Запись конфигурации"));
}

TEST_F(ConfigurationTest, readBackReopensThePortTheIdleCloseShutWhileTheMessageWasOpen) {
    ASSERT_TRUE(writeRecord());
    boxes.whileOpen = [&](const RecordingMessageBoxes::Shown& box) {
        if (box.text == QStringLiteral("Конфигурация записана")) {
            session().idleCloseElapsed();
        }
    };
    const int opensBefore = line.openCount;
    answer(kind::Write, Bytes{0});
    EXPECT_EQ(line.openCount, opensBefore + 1);
    ASSERT_EQ(line.writes.size(), 2u) << "the read-back reached the unit";
    EXPECT_EQ(sentFrames().back(), buildFrame(600, kind::ConfigRead, {}));
}

// Delay steps.

TEST_F(ConfigurationTest, delayStepsStopAtTheirLimitsWithoutDrift) {
    QLabel* delay = config().st_zumin_t;
    StepButtons* steps = config().spb_zumin;
    const struct {
        const char* from;
        bool upward;
        int presses;
        const char* to;
    } cases[] = {
        {"25,4", true, 1, "25,5"},  {"25,4", true, 2, "25,5"},  {"0,3", false, 1, "0,2"},
        {"0,3", false, 2, "0,2"},   {"0,1", false, 1, "0,1"},   {"0,0", false, 1, "0,0"},
        {"0,0", true, 1, "0,1"},    {"10,0", false, 10, "9,0"}, {"0,5", false, 4, "0,2"},
        {"0,2", true, 253, "25,5"}, {"3", true, 1, "3,1"},
    };
    for (const auto& c : cases) {
        delay->setText(QString::fromUtf8(c.from));
        for (int i = 0; i < c.presses; ++i) {
            (c.upward ? steps->upButton() : steps->downButton())->click();
        }
        EXPECT_EQ(delay->text(), QString::fromUtf8(c.to))
            << c.from << (c.upward ? " up x" : " down x") << c.presses;
    }
}

TEST_F(ConfigurationTest, eachStepButtonPairMovesItsOwnDelayOnly) {
    const struct {
        StepButtons* steps;
        QLabel* delay;
    } pairs[] = {
        {config().spb_zumin, config().st_zumin_t},    {config().SpinButton1, config().st_zumax_t},
        {config().SpinButton2, config().st_zuasm_t},  {config().SpinButton3, config().st_zidif_t},
        {config().SpinButton4, config().st_zizakl_t}, {config().SpinButton5, config().st_ziasm_t},
    };
    // Each delay gets its own mark, so a press on the wrong text shows.
    const auto mark = [](std::size_t i) { return QString::number(i + 1) + QStringLiteral(",0"); };
    for (const auto& pair : pairs) {
        for (std::size_t i = 0; i < std::size(pairs); ++i) {
            pairs[i].delay->setText(mark(i));
        }
        pair.steps->upButton()->click();
        pair.steps->upButton()->click();
        pair.steps->downButton()->click();
        for (std::size_t i = 0; i < std::size(pairs); ++i) {
            EXPECT_EQ(pairs[i].delay->text(),
                      pairs[i].delay == pair.delay ? QString::number(i + 1) + ",1" : mark(i))
                << pair.steps->objectName().toStdString();
        }
    }
    // A text that is no number is reported and left as it was.
    config().st_zidif_t->setText(QStringLiteral("n/a"));
    config().SpinButton3->upButton()->click();
    EXPECT_EQ(config().st_zidif_t->text(), QStringLiteral("n/a"));
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0].kind, Kind::ConversionError);
}
