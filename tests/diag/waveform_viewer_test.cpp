// The analysis and the chart of "Диагностика" against the simulated unit shaped by the test (an
// unbalanced supply turning A-C-B), records opened from disk, the zoom and the cursors.
#include "documents/comtrade_reader.hpp"
#include "documents/waveform_export.hpp"
#include "gui/controllers/diagnostics.hpp"
#include "gui/controllers/exports.hpp"
#include "gui/controllers/waveform_viewer.hpp"
#include "gui/widgets/analysis_panel.hpp"
#include "gui/widgets/phasor_diagram.hpp"
#include "gui/widgets/waveform_view.hpp"
#include "session/qt_serial_line.hpp"
#include "sim/simulated_unit.hpp"
#include "support/window_fixture.hpp"

#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QLegend>
#include <QLegendMarker>
#include <QLineEdit>
#include <QLineSeries>
#include <QPushButton>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QValueAxis>

using namespace torl7;
using namespace torl7::test;

namespace {

class WaveformViewerTest : public ::testing::Test {
protected:
    WaveformViewerTest() {
        sim::SimOptions options;
        options.unit.wave.periods = 2.5;
        options.unit.wave.voltageUnbalance = 0.05;
        options.unit.wave.currentUnbalance = 0.08;
        options.unit.wave.reversed = true;
        const QString port = QString::fromStdString(unit.start(options));
        window = std::make_unique<MainWindow>(line, boxes, portList({port}, false));
    }
    ~WaveformViewerTest() override {
        window.reset();
        unit.stop();
    }

    DiagPage& diag() { return *window->TabSheet2; }
    WaveformViewer& viewer() { return *window->findChild<WaveformViewer*>(); }
    QString cell(QTableWidget* table, int row, int column) {
        return table->item(row, column)->text();
    }
    double number(QTableWidget* table, int row, int column) {
        return cell(table, row, column).section(' ', 0, 0).replace(',', '.').toDouble();
    }
    // One drawing of all three phases, then the poll stopped.
    void drawOnce() {
        int drawn = 0;
        const auto counting = QObject::connect(&window->findChild<Diagnostics*>()->operation(),
                                               &DiagPoll::waveformsReady, [&] { ++drawn; });
        diag().cmb_m->setCurrentIndex(3);
        diag().diagnos->click();
        EXPECT_TRUE(QTest::qWaitFor([&] { return drawn > 0; }, 10000));
        diag().diagnos->click();
        QObject::disconnect(counting);
    }
    void save(const QString& path, const std::string& bytes) {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes.data(), static_cast<qint64>(bytes.size()));
    }

    sim::SimulatedUnit unit;
    QtSerialLine line;
    RecordingMessageBoxes boxes;
    std::unique_ptr<MainWindow> window;
    QTemporaryDir dir;
};

} // namespace

// The table and the diagram show the unbalance and the reversed order the unit was given; the
// same set saved and opened again shows the same, and closing it returns to the unit's.
TEST_F(WaveformViewerTest, anUnbalancedReversedSupplyShowsAndReadsBackFromItsRecord) {
    drawOnce();
    AnalysisPanel& panel = *diag().analysis;
    EXPECT_EQ(panel.st_order->text(), "A-C-B");
    EXPECT_EQ(panel.st_period->text(), "40,0");
    EXPECT_NEAR(number(panel.tbl_sequence, 0, 3), 5.0, 0.5);
    EXPECT_NEAR(number(panel.tbl_sequence, 1, 3), 8.0, 0.5);
    // Turning A-C-B, Ub leads Ua by about 120° and Uc lags it by as much.
    EXPECT_NEAR(panel.phasors->drawnAngleDeg(1).value_or(0), 120, 5);
    EXPECT_NEAR(panel.phasors->drawnAngleDeg(2).value_or(0), -120, 5);
    panel.cmb_phasor_ref->setCurrentIndex(1);
    EXPECT_NEAR(panel.phasors->drawnAngleDeg(1).value_or(-1), 0, 1e-9) << "Ub now the reference";
    const auto shown = [&] {
        return QStringList{cell(panel.tbl_phases, 2, 0),   cell(panel.tbl_phases, 2, 2),
                           cell(panel.tbl_sequence, 0, 3), cell(panel.tbl_sequence, 1, 3),
                           panel.st_order->text(),         panel.st_period->text()};
    };
    const QStringList live = shown();

    // Saved by the window as a 2013 record, and opened again.
    Exports& exports = *window->findChild<Exports*>();
    exports.askWaveformExport = [] {
        return WaveformExportChoice{2000, WaveformFormat::Comtrade, ComtradeFormat::Cff2013};
    };
    const QString path = dir.filePath("set.cff");
    exports.askSaveName = [&](const QString&, const QString&) { return path; };
    diag().btn_save_waves->click();
    viewer().askOpenName = [&] { return path; };
    diag().btn_open_waves->click();
    EXPECT_TRUE(boxes.shown.empty()) << boxes.texts().join(' ').toStdString();
    EXPECT_EQ(diag().Chart1->chart()->title(), "Осциллограмма set.cff");
    EXPECT_TRUE(diag().btn_close_record->isVisibleTo(&diag()));
    EXPECT_EQ(shown(), live);
    EXPECT_TRUE(cell(panel.tbl_phases, 0, 0).startsWith("— (")) << "raw samples: no volts";

    diag().btn_close_record->click();
    EXPECT_EQ(diag().Chart1->chart()->title(), kChartTitle);
    EXPECT_FALSE(diag().Chart1->showsRecord());
    EXPECT_FALSE(cell(panel.tbl_phases, 0, 0).startsWith("—")) << "the unit's set, in volts";
}

// Another device's record asks which channels are which; a damaged one is refused naming the
// file, the line and the reason, and the chart keeps what it showed.
TEST_F(WaveformViewerTest, foreignRecordsAreMappedAndDamagedOnesRefused) {
    const QString cfg = dir.filePath("relay.cfg");
    std::string text = "Sub,Relay,1999\r\n2,2A,0D\r\n1,VA,A,,kV,0.01,0,0,-32767,32767,1,1,P\r\n"
                       "2,IA,A,,A,0.1,0,0,-32767,32767,1,1,P\r\n50\r\n1\r\n2000,80\r\n"
                       "01/01/2024,00:00:00\r\n01/01/2024,00:00:00\r\nASCII\r\n1\r\n";
    std::string data;
    for (int i = 0; i < 80; ++i) {
        const double t = 2 * 3.14159265358979 * i / 40;
        data += std::to_string(i + 1) + "," + std::to_string(i * 500) + "," +
                std::to_string(std::lround(2000 * std::cos(t))) + "," +
                std::to_string(std::lround(300 * std::cos(t - 0.5))) + "\r\n";
    }
    save(cfg, text);
    save(dir.filePath("relay.dat"), data);
    int asked = 0;
    viewer().askChannelMap = [&](const ComtradeRecord& record, const ChannelMap& guess) {
        ++asked;
        EXPECT_EQ(record.analogs.size(), 2u);
        EXPECT_EQ(guess[0], 0u) << "VA: phase A in kV";
        EXPECT_EQ(guess[3], 1u) << "IA: phase A in A";
        return std::optional<ChannelMap>(guess);
    };
    ASSERT_TRUE(viewer().openRecord(cfg));
    EXPECT_EQ(asked, 1);
    AnalysisPanel& panel = *diag().analysis;
    EXPECT_EQ(panel.st_period->text(), "40,0");
    // 2000 steps of 0.01 kV peak: 20 kV, 14142 V RMS; 300 steps of 0.1 A: 21.21 A; the
    // current lags by 0.5 rad.
    EXPECT_NEAR(number(panel.tbl_phases, 0, 0), 14142.1, 1);
    EXPECT_NEAR(number(panel.tbl_phases, 1, 0), 21.21, 0.02);
    EXPECT_NEAR(number(panel.tbl_phases, 2, 0), 28.6, 0.1);
    EXPECT_EQ(diag().levelAxis->min() < -2000 && diag().levelAxis->max() > 2000, true)
        << "a record of other values is fitted, not cut at 260";
    EXPECT_EQ(diag().Series1->count(), 80);

    // The poll's drawings wait while the record is shown, and come back when it is closed.
    drawOnce();
    EXPECT_EQ(diag().Series1->count(), 80);
    EXPECT_NEAR(number(panel.tbl_phases, 0, 0), 14142.1, 1);
    diag().btn_close_record->click();
    EXPECT_EQ(diag().Series1->count(), 101) << "the unit's drawing, from (0, 0)";
    EXPECT_EQ(panel.st_order->text(), "A-C-B");
    ASSERT_TRUE(viewer().openRecord(cfg));

    save(dir.filePath("bad.cfg"), "Sub,Relay,1999\r\n2,2A\r\n");
    save(dir.filePath("bad.dat"), "");
    EXPECT_FALSE(viewer().openRecord(dir.filePath("bad.cfg")));
    EXPECT_EQ(boxes.texts(), QStringList{"Осциллограмма не открыта: bad.cfg, строка 2: числа "
                                         "каналов должны иметь вид TT,##A,##D"});
    EXPECT_EQ(diag().Series1->count(), 80) << "the record shown stays";
}

// Zoom, pan and reset move the axes and come back to the fixed axis; the cursors read the
// samples under them and their difference; a legend click hides a trace; with the analysis off
// nothing is analysed.
TEST_F(WaveformViewerTest, zoomCursorsLegendAndTheAnalysisSwitch) {
    drawOnce();
    WaveformView& view = *diag().Chart1;
    window->resize(1100, 800);
    window->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
    const QRectF plot = view.chart()->plotArea();
    const QPointF origin = view.mapFromScene(view.chart()->mapToScene(plot.topLeft()));
    const auto at = [&](double sample, double level) {
        return origin + QPointF(plot.width() * sample / 101, plot.height() * (260 - level) / 261);
    };
    view.zoomTo(at(20, 200), at(60, 100));
    EXPECT_NEAR(diag().sampleAxis->min(), 20, 0.5);
    EXPECT_NEAR(diag().sampleAxis->max(), 60, 0.5);
    EXPECT_NEAR(diag().levelAxis->max(), 200, 1);
    view.panBy(QPointF(-plot.width() * 10 / 101 * 101 / 40, 0));
    EXPECT_NEAR(diag().sampleAxis->min(), 30, 0.5) << "dragged left by 10 samples";
    diag().btn_zoom_reset->click();
    EXPECT_EQ(diag().sampleAxis->min(), DiagPage::kSampleAxisMin);
    EXPECT_EQ(diag().sampleAxis->max(), DiagPage::kSampleAxisMax);
    EXPECT_EQ(diag().levelAxis->min(), DiagPage::kLevelAxisMin);
    EXPECT_EQ(diag().levelAxis->max(), DiagPage::kLevelAxisMax);

    QTest::mouseClick(view.viewport(), Qt::LeftButton, {}, at(10, 128).toPoint());
    QTest::mouseClick(view.viewport(), Qt::RightButton, {}, at(30, 128).toPoint());
    EXPECT_EQ(view.cursorSample(0), 10);
    EXPECT_EQ(view.cursorSample(1), 30);
    QTableWidget& cursors = *diag().tbl_cursors;
    const QPointF ua10 = diag().Series1->at(10); // the trace starts from (0, 0)
    const QPointF ua30 = diag().Series1->at(30);
    EXPECT_EQ(cell(&cursors, 0, 2), QString::number(ua10.y()));
    EXPECT_EQ(cell(&cursors, 2, 0), "20");
    EXPECT_EQ(cell(&cursors, 2, 2), QString::number(ua30.y() - ua10.y()));
    EXPECT_EQ(cell(&cursors, 2, 1), "—") << "no time without a rate";
    diag().ed_analysis_rate->setText("2000");
    EXPECT_EQ(cell(&cursors, 2, 1), "10,000") << "20 samples at 2000 Hz";
    EXPECT_EQ(diag().analysis->st_period->text(), "40,0") << "2000 Hz over 50 Hz";

    QLegendMarker* ib = view.chart()->legend()->markers(diag().Series4).front();
    emit ib->clicked();
    EXPECT_FALSE(diag().Series4->isVisible());
    EXPECT_TRUE(ib->isVisible()) << "kept, to be clicked back";
    emit ib->clicked();
    EXPECT_TRUE(diag().Series4->isVisible());

    diag().cb_analysis->setChecked(false);
    EXPECT_FALSE(viewer().lastAnalysis());
    EXPECT_FALSE(diag().analysis->isVisibleTo(&diag()));
}
