// The "Обмен" window and the line's hint under the "no answer" box, on the main window over
// the in-memory line.
#include "gui/controllers/report_writer.hpp"
#include "gui/dialogs/traffic_dialog.hpp"
#include "gui/pages/protocol_page.hpp"
#include "protocol/codecs/config_record_codec.hpp"
#include "session/qt_serial_line.hpp"
#include "session/traffic_log.hpp"
#include "sim/simulated_unit.hpp"
#include "support/window_fixture.hpp"

#include <QCoreApplication>
#include <QDir>
#include <QLabel>
#include <QPushButton>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <filesystem>

using namespace torl7;
using namespace torl7::test;

namespace {

class TrafficWindowTest : public WindowFixture {
protected:
    TrafficWindowTest() { w().trafficLog().clear(); }

    // "Считать конфигурацию", then `reply` on the line, then the response timeout.
    void readLeftUnanswered(const Bytes& reply) {
        config().btn_read_konf->click();
        line.feedBytes(reply);
        session().answerTimedOut();
    }
    TrafficDialog& view() { return *w().trafficDialog(); }
};

Bytes withBadSum(Bytes frame) {
    frame.back() ^= 0x5A;
    return frame;
}

} // namespace

TEST_F(TrafficWindowTest, noAnswerBoxKeepsItsTextAndSaysWhatTheLineShowed) {
    readLeftUnanswered(withBadSum(buildFrame(600, kind::ConfigRead, Bytes(80, 0))));
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0].kind, RecordingMessageBoxes::Kind::Error);
    EXPECT_EQ(boxes.shown[0].text, kNoAnswerText);
    EXPECT_EQ(boxes.shown[0].caption, kCaptionTool);
    EXPECT_TRUE(boxes.shown[0].detail.contains("неверной контрольной суммой"))
        << boxes.shown[0].detail.toStdString();
    EXPECT_TRUE(boxes.searchOffered);
}

TEST_F(TrafficWindowTest, fromTheHintTheSearchOpensWithTheNumberThatAnswered) {
    boxes.chooseSearch = true;
    bool searchShown = false;
    int searchedNumber = 0;
    // A frame of unit 712 with another code: the unit at the number asked stays silent.
    readLeftUnanswered(buildFrame(712, 9, {}));
    QTimer::singleShot(0, w().searchDialog(), [&] {
        searchShown = w().searchDialog()->isVisible();
        searchedNumber = w().searchDialog()->frm2_zn->value();
        w().searchDialog()->reject();
    });
    QCoreApplication::processEvents();
    QCoreApplication::processEvents();
    EXPECT_TRUE(boxes.shown[0].detail.contains("712"));
    EXPECT_TRUE(searchShown);
    EXPECT_EQ(searchedNumber, 712);
    EXPECT_EQ(diag().frm1_zn->value(), 712) << "the window switches to the number that answered";
}

TEST_F(TrafficWindowTest, viewShowsTheExchangeInBatchesPausesClearsAndSaves) {
    diag().btn_traffic->click();
    ASSERT_TRUE(view().isVisible());
    EXPECT_TRUE(view().refresh->isActive());
    config().btn_read_konf->click();
    const auto record = encodeConfigRecord(ConfigRecord{});
    answer(kind::ConfigRead, Bytes(record.begin(), record.end()));
    EXPECT_EQ(view().model().rowCount(), 0) << "rows come on the view's tick, not per frame";
    view().refreshTick();
    ASSERT_EQ(view().model().rowCount(), 2);
    const auto cell = [&](int row, int column) {
        return view().model().index(row, column).data().toString();
    };
    EXPECT_EQ(cell(0, 5), "запрос");
    EXPECT_EQ(cell(1, 5), "ответ");
    EXPECT_EQ(cell(1, 6), "№600 конфигурация: RS485 9600, адрес 1");
    EXPECT_TRUE(view().lbl_counters->text().startsWith("запросов 1, проб 0, ответов 1"));

    view().btn_pause->click();
    config().btn_read_konf->click();
    view().refreshTick();
    EXPECT_EQ(view().model().rowCount(), 2) << "paused";
    view().btn_pause->click();
    EXPECT_EQ(view().model().rowCount(), 3);

    QTemporaryDir dir;
    const QString csv = dir.filePath("обмен.csv");
    ASSERT_TRUE(view().saveTo(csv));
    QFile file(csv);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly | QIODevice::Text));
    const QStringList lines = QString::fromUtf8(file.readAll()).split('\n', Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 4);
    EXPECT_TRUE(lines[0].startsWith("\"Время, с\",Направление,"));
    EXPECT_TRUE(
        lines[2].contains(",ответ,\"№600 конфигурация: RS485 9600, адрес 1\",AA 06 02 58 02"))
        << lines[2].toStdString();

    view().btn_clear->click();
    EXPECT_EQ(view().model().rowCount(), 0);
    EXPECT_EQ(w().trafficLog().size(), 0u);
    view().close();
    EXPECT_FALSE(view().refresh->isActive()) << "closed, the view costs the poll nothing";
}

namespace {

class TrafficAgainstSimulatedUnit : public ::testing::Test {
protected:
    void TearDown() override {
        window.reset();
        unit.stop();
    }
    sim::SimulatedUnit unit;
    QtSerialLine line;
    RecordingMessageBoxes boxes;
    std::unique_ptr<MainWindow> window;
};

} // namespace

TEST_F(TrafficAgainstSimulatedUnit, reportChainLogSavedFromTheWindowListsEachRequestThenItsAnswer) {
    const QString port = QString::fromStdString(unit.start({}));
    window = std::make_unique<MainWindow>(line, boxes, portList({port}, false));
    auto* writer = window->findChild<ReportWriter*>();
    writer->programDir = std::filesystem::path(TORL7_REPORT_TEMPLATE).parent_path().parent_path();
    QTemporaryDir dir;
    writer->askFileName = [&](const QString&) { return dir.filePath("report.docx"); };
    window->TabSheet2->btn_traffic->click();
    window->TabSheet3->btn_save_prot->click();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !boxes.shown.empty(); }, 10000));
    ASSERT_EQ(boxes.texts(), QStringList{QStringLiteral("Протокол сохранен !")});

    TrafficDialog& view = *window->trafficDialog();
    view.refreshTick();
    const QString saved = dir.filePath("обмен.txt");
    ASSERT_TRUE(view.saveTo(saved));
    QFile file(saved);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly | QIODevice::Text));
    const QStringList lines = QString::fromUtf8(file.readAll()).split('\n', Qt::SkipEmptyParts);
    // Configuration, accounting, then the ten event blocks: each request, then its answer.
    QStringList expected{"запрос: №600 чтение конфигурации", "ответ: №600 конфигурация: RS485",
                         "запрос: №600 чтение учёта", "ответ: №600 учёт: пусков 57"};
    for (int block = 0; block < 10; ++block) {
        expected << QStringLiteral("запрос: №600 чтение событий, блок %1").arg(block)
                 << QStringLiteral("ответ: №600 ");
    }
    ASSERT_EQ(lines.size(), expected.size()) << lines.join('\n').toStdString();
    for (qsizetype i = 0; i < lines.size(); ++i) {
        EXPECT_TRUE(lines[i].contains(expected[i])) << i << ": " << lines[i].toStdString();
    }

    const QString shots = qEnvironmentVariable("TORL7_SHOTS");
    if (!shots.isEmpty()) {
        QDir().mkpath(shots);
        QFile::copy(saved, QDir(shots).filePath("traffic_report_chain.txt"));
        view.grab().save(QDir(shots).filePath("traffic_view.png"));
    }
}
