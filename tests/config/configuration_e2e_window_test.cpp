// The configuration page against the simulated unit over a real pseudo-terminal and the real
// serial line: what is written is what the unit keeps, also for a tool started afresh.
#include "session/qt_serial_line.hpp"
#include "sim/simulated_unit.hpp"
#include "support/window_fixture.hpp"

#include "gui/widgets/step_buttons.hpp"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTest>
#include <QToolButton>

using namespace torl7;
using namespace torl7::test;

namespace {

constexpr int kWaitMs = 10000;

class ConfigurationEndToEnd : public ::testing::Test {
protected:
    ConfigurationEndToEnd() {
        sim::SimOptions options;
        options.clock = &clock;
        options.unit.inputs = {100, 100, 100, 5, 5, 5, 1.0};
        // This unit stores no undervoltage threshold above 170 V.
        options.unit.uminLimitVolts = 170;
        path = QString::fromStdString(unit.start(options));
    }
    ~ConfigurationEndToEnd() override {
        window.reset();
        line.reset();
    }

    // Starts the tool anew: a new window on a new serial line, the unit's port listed.
    ConfigPage& startTool() {
        window.reset();
        line = std::make_unique<QtSerialLine>();
        window = std::make_unique<MainWindow>(*line, boxes, QList<PortEntry>{{path, path}});
        return *window->TabSheet1;
    }

    bool waitForBox(const QString& text) {
        return QTest::qWaitFor([&] { return boxes.texts().contains(text); }, kWaitMs);
    }

    sim::FixedClock clock{sim::WallTime{}};
    sim::SimulatedUnit unit;
    QString path;
    RecordingMessageBoxes boxes;
    std::unique_ptr<QtSerialLine> line;
    std::unique_ptr<MainWindow> window;
};

const QString kRead = QStringLiteral("Конфигурация считана");

} // namespace

TEST_F(ConfigurationEndToEnd, writtenSettingsAreKeptByTheUnitAcrossAToolRestart) {
    ConfigPage* page = &startTool();
    page->z_umax_v->setValue(400);
    page->z_uasm->setValue(12);
    page->SpinButton3->downButton()->click(); // leakage delay 0,5 -> 0,4
    page->z_inom_a->setText(QStringLiteral("22,5"));
    page->z_vtz_t->setValue(120);
    page->z_iso_r->setCurrentIndex(1);
    page->p_if_c->setCurrentIndex(2);
    page->z_umin_ok->setChecked(true);
    page->pcosf->setValue(-5);
    page->st_kidif->setText(QStringLiteral("4990"));
    page->tipo_text->setText(QStringLiteral("Насос №3"));
    page->cb_uprotbus->setCurrentIndex(1);
    page->sp_uaddr->setValue(17);
    page->sp_bsz->setValue(30);
    // More than this unit takes: it keeps its own limit.
    page->z_umin_v->setValue(5000);

    boxes.answers = {MessageBoxes::Answer::Yes};
    page->btn_write_konf->click();
    ASSERT_TRUE(waitForBox(kRead)) << boxes.texts().join(" | ").toStdString();
    EXPECT_EQ(
        boxes.texts(),
        (QStringList{QStringLiteral("Внимание данные конфигурации будут изменены! Продолжить?"),
                     QStringLiteral("Конфигурация записана"),
                     QStringLiteral("Устройство приняло не все значения:\n"
                                    "Значение Umin, В: записано 5000, считано 170"),
                     kRead}));
    EXPECT_EQ(page->z_umin_v->value(), 170) << "the page shows what the unit kept";
    EXPECT_EQ(page->z_umax_v->value(), 400);
    EXPECT_FALSE(line->isOpen());

    // A new tool knows nothing: its page starts from the start values until it reads.
    page = &startTool();
    EXPECT_EQ(page->z_uasm->value(), 30);
    boxes.clear();
    page->btn_read_konf->click();
    ASSERT_TRUE(waitForBox(kRead)) << boxes.texts().join(" | ").toStdString();
    EXPECT_EQ(page->z_umin_v->value(), 170);
    EXPECT_EQ(page->z_umax_v->value(), 400);
    EXPECT_EQ(page->z_uasm->value(), 12);
    EXPECT_EQ(page->st_zidif_t->text(), QStringLiteral("0,4"));
    EXPECT_EQ(page->z_inom_a->text(), QStringLiteral("22,5"));
    EXPECT_EQ(page->z_vtz_t->value(), 120);
    EXPECT_EQ(page->z_iso_r->currentIndex(), 1);
    EXPECT_EQ(page->p_if_c->currentText(), QStringLiteral("   A/C"));
    EXPECT_TRUE(page->z_umin_ok->isChecked());
    EXPECT_EQ(page->pcosf->value(), -5);
    EXPECT_EQ(page->st_kidif->text(), QStringLiteral("4990"));
    EXPECT_EQ(page->tipo_text->text(), QStringLiteral("Насос №3        "));
    EXPECT_EQ(page->cb_uprotbus->currentText(), QStringLiteral("ZEVERE"));
    EXPECT_EQ(page->sp_uaddr->value(), 17);
    EXPECT_EQ(page->sp_bsz->value(), 30);
    EXPECT_EQ(page->cb_rs485->currentText(), QStringLiteral("  9600"));

    const QString shots = qEnvironmentVariable("TORL7_SHOTS");
    if (!shots.isEmpty()) {
        window->PageControl1->setCurrentIndex(0);
        window->show();
        QDir().mkpath(shots);
        window->grab().save(QDir(shots).filePath(QStringLiteral("config_after_read.png")));
    }
}

TEST_F(ConfigurationEndToEnd, autoCalibrationFindsTheUnitsCoefficientsAndBlocksItsProtection) {
    ConfigPage& page = startTool();
    // Coefficients the unit does not hold: the ticked channels must come back with the unit's
    // own (570, 200, 5000), the unticked one is written as it stands.
    page.st_kua->setText(QStringLiteral("1"));
    page.st_kub->setText(QStringLiteral("555"));
    page.st_kib->setText(QStringLiteral("1"));
    page.st_kidif->setText(QStringLiteral("1"));
    page.CB_uak->setChecked(true);
    page.ua_k->setText(QStringLiteral("100"));
    page.CB_ibk->setChecked(true);
    page.ib_k->setText(QStringLiteral("5"));
    page.CB_idifk->setChecked(true);
    page.idif_k->setText(QStringLiteral("1,0"));

    boxes.answers = {MessageBoxes::Answer::Yes};
    page.Button5->click();
    const QString done = QStringLiteral("Внимание! Калибровка завершена. Защита заблокирована.");
    ASSERT_TRUE(waitForBox(done)) << boxes.texts().join(" | ").toStdString();
    EXPECT_EQ(page.st_kua->text(), QStringLiteral("570"));
    EXPECT_EQ(page.st_kub->text(), QStringLiteral("555"));
    EXPECT_EQ(page.st_kib->text(), QStringLiteral("200"));
    EXPECT_EQ(page.st_kidif->text(), QStringLiteral("5000"));
    EXPECT_TRUE(page.blok_z->isChecked());
    EXPECT_EQ(window->TabSheet2->st_txd->text(), QStringLiteral("11"));

    boxes.clear();
    page.btn_read_konf->click();
    ASSERT_TRUE(waitForBox(kRead));
    EXPECT_EQ(page.st_kua->text(), QStringLiteral("570")) << "the record carries them too";
    EXPECT_EQ(page.st_kub->text(), QStringLiteral("555"));
    EXPECT_TRUE(page.blok_z->isChecked());
}
