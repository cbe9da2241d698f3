#include "gui/pages/diag_page.hpp"

#include "app/control_expectations.hpp"
#include "gui/widgets/indicator_shape.hpp"
#include "gui/widgets/waveform_view.hpp"

#include <QApplication>
#include <QChart>
#include <QChartView>
#include <QLegend>
#include <QLegendMarker>
#include <QLineSeries>
#include <QValueAxis>

using namespace torl7;
using namespace torl7::testing;

namespace {

class DiagPageTest : public ::testing::Test {
protected:
    DiagPage page;
};

TEST_F(DiagPageTest, connectionBarStartsAtUnit600And115200BaudWithPhaseAView) {
    expectControls<SpinEdit>(&page, {
                                        {"frm1_zn", 100, 65535, 600, {"Зав. №:"}},
                                        {"rcal", -31, 31, 0, {"Калибровка:"}},
                                    });
    expectControls<DropDown>(
        &page, {
                   {"cmbPorts", {}, -1, {"Порт:"}, {}, true},
                   {"cb_speed",
                    {"    300", "    600", "  1200", "  2400", "  4800", "  9600", " 14400",
                     " 19200", " 38400", " 57600", "115200"},
                    10,
                    {"бод/сек"}},
                   {"cmb_m", {"нет", "Фаза А", "Фаза А,В", "Фаза А,В,С"}, 1, {"Просмотр:"}},
               });
}

TEST_F(DiagPageTest, readOnlyTextsStartAtZeroOrPlaceholders) {
    expectControls<StaticText>(&page, {
                                          {"st_ua", "0", {"Ua, В:"}},
                                          {"st_ub", "0", {"Ub, В:"}},
                                          {"st_uc", "0", {"Uc, В:"}},
                                          {"st_uasm", "0", {"Uasm, %:"}},
                                          {"st_cos", "0", {"cos f:"}},
                                          {"st_pa", "0", {"Р, кВт:"}},
                                          {"st_ia", "0", {"Ia, А:"}},
                                          {"st_ib", "0", {"Ib, А:"}},
                                          {"st_ic", "0", {"Ic, А:"}},
                                          {"st_iasm", "0", {"Iasm, %:"}},
                                          {"st_idif", "0", {"Iут, А:"}},
                                          {"c_umin", "0", {"сек"}},
                                          {"c_umax", "0", {"сек"}},
                                          {"c_uasm", "0", {"сек"}},
                                          {"st_blkz", "0", {"сек"}},
                                          {"c_ihol", "0", {"сек"}},
                                          {"c_ivtz", "0", {"сек"}},
                                          {"c_iasm", "0", {"сек"}},
                                          {"c_izakl", "0", {"сек"}},
                                          {"c_idif", "0", {"сек"}},
                                          {"st_ikrp", "0", {"Кр.перег.:"}},
                                          {"ttime", "==:==:==", {}},
                                          {"tDATE", "==.==.====г.", {}},
                                          {"st_txd", "0", {"TXD:"}},
                                          {"st_rxd", "0", {"RXD:"}},
                                          {"st_wa", "0", {"Wа:", "кВтч"}},
                                          {"st_moto", "0", {"Наработка об., (ч:м:с):"}},
                                      });
}

TEST_F(DiagPageTest, clockBoxesAndButtonsAreInPlace) {
    expectControls<CheckBox>(&page, {
                                        {"rstop", "Остановка часов:", false},
                                        {"tavto", "Авт. перевод часов:", false},
                                    });
    expectControls<Button>(&page, {
                                      {"Button6", "Поиск устройства"},
                                      {"Button11", "Корректировка часов"},
                                      {"diagnos", "Диагностика"},
                                      {"btn_monitor", "Сброс защиты"},
                                  });
}

// A row's lamp: the rounded square, and the circle drawn inside it where the row has one.
struct LampRow {
    QString caption;
    const char* square;
    const char* circle;
};

TEST_F(DiagPageTest, everyProtectionRowHasASilverSquareWithItsCircleCentredInside) {
    const LampRow rows[] = {
        {"Оборуд.:", "sh_dv", nullptr},      {"Изоляц.:", "sh_iso", nullptr},
        {"Umin:", "zp_umin", "sh_umin"},     {"Umax:", "zp_umax", "sh_umax"},
        {"Uасм:", "zp_uasm", "sh_uasm"},     {"Защита:", "Sh_z", nullptr},
        {"Хол. ход:", "zp_ihol", "sh_ihol"}, {"Iвтз:", "zp_ivtz", "Sh_ivtz"},
        {"Iасм:", "zp_iasm", "sh_iasm"},     {"Заклин.:", "zp_zakl", "sh_zakl"},
        {"Iут.:", "zp_idif", "sh_idif"},
    };
    page.show();
    QApplication::processEvents();
    for (const LampRow& row : rows) {
        SCOPED_TRACE(row.square);
        auto* square = findControl<IndicatorShape>(&page, row.square);
        ASSERT_NE(square, nullptr);
        EXPECT_EQ(square->form(), IndicatorShape::Form::RoundedSquare);
        EXPECT_EQ(square->fillColor(), QColor(192, 192, 192));
        EXPECT_EQ(captionsOf(&page, square), QStringList{row.caption});
        EXPECT_TRUE(square->isVisible());
        const auto inner = square->findChildren<IndicatorShape*>();
        if (!row.circle) {
            EXPECT_TRUE(inner.isEmpty());
            continue;
        }
        auto* circle = findControl<IndicatorShape>(square, row.circle);
        ASSERT_NE(circle, nullptr);
        EXPECT_EQ(circle->form(), IndicatorShape::Form::Circle);
        EXPECT_EQ(circle->fillColor(), QColor(192, 192, 192));
        EXPECT_TRUE(circle->isVisible());
        EXPECT_LT(circle->width(), square->width());
        EXPECT_EQ(circle->geometry().center(), square->rect().center());
    }
}

// Counts the paint events a widget receives.
class PaintCounter : public QObject {
public:
    int paints = 0;

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint)
            ++paints;
        return false;
    }
};

TEST_F(DiagPageTest, lampRepaintsOnlyWhenItsColourChanges) {
    page.show();
    QApplication::processEvents();
    PaintCounter counter;
    page.sh_umin->installEventFilter(&counter);

    page.sh_umin->setFillColor(QColor(192, 192, 192));
    QApplication::processEvents();
    EXPECT_EQ(counter.paints, 0);

    page.sh_umin->setFillColor(QColor(255, 0, 0));
    QApplication::processEvents();
    EXPECT_GE(counter.paints, 1);
    EXPECT_EQ(page.sh_umin->fillColor(), QColor(255, 0, 0));
    EXPECT_EQ(page.zp_umin->fillColor(), QColor(192, 192, 192))
        << "the square is a lamp of its own";
}

// One waveform: its legend title, colour and line width in pixels.
struct Trace {
    const char* name;
    QString title;
    QColor colour;
    int widthPx;
};

TEST_F(DiagPageTest, waveformChartHasSixTracesInOrderOverAFixedByteAxis) {
    auto* view = findControl<QChartView>(&page, "Chart1");
    ASSERT_EQ(view, page.Chart1);
    QChart* chart = view->chart();
    EXPECT_EQ(chart->title(), "Мониторинг синусоидальной формы напряжений и токов");
    EXPECT_EQ(chart->animationOptions(), QChart::NoAnimation);
    EXPECT_TRUE(chart->legend()->isVisible());

    const Trace traces[] = {
        {"Series1", "Ua", QColor(255, 255, 0), 1}, {"Series2", "Ia", QColor(255, 255, 0), 2},
        {"Series3", "Ub", QColor(128, 255, 0), 1}, {"Series4", "Ib", QColor(128, 255, 0), 2},
        {"Series5", "Uc", QColor(255, 0, 0), 1},   {"Series6", "Ic", QColor(255, 0, 0), 2},
    };
    // The six traces, then the two cursor lines, which the legend does not show.
    const auto series = chart->series();
    ASSERT_EQ(series.size(), 8);
    EXPECT_EQ(series[6]->objectName(), "cursor1");
    EXPECT_EQ(series[7]->objectName(), "cursor2");
    EXPECT_FALSE(chart->legend()->markers(series[6]).front()->isVisible());
    for (int index = 0; index < 6; ++index) {
        SCOPED_TRACE(traces[index].name);
        auto* line = qobject_cast<QLineSeries*>(series[index]);
        ASSERT_NE(line, nullptr);
        EXPECT_EQ(line->objectName(), traces[index].name);
        EXPECT_EQ(line->name(), traces[index].title);
        EXPECT_EQ(line->pen().color(), traces[index].colour);
        EXPECT_EQ(line->pen().width(), traces[index].widthPx);
        EXPECT_FALSE(line->pointsVisible());
        EXPECT_FALSE(line->pointLabelsVisible());
        EXPECT_FALSE(line->useOpenGL()) << "OpenGL does not draw offscreen";
        EXPECT_EQ(line->count(), 0);
        const auto axes = line->attachedAxes();
        EXPECT_TRUE(axes.contains(page.levelAxis));
        EXPECT_TRUE(axes.contains(page.sampleAxis));
    }
    EXPECT_EQ(page.Series1, series[0]);
    EXPECT_EQ(page.Series6, series[5]);

    ASSERT_EQ(chart->axes(Qt::Vertical).size(), 1);
    EXPECT_EQ(chart->axes(Qt::Vertical).front(), page.levelAxis);
    EXPECT_EQ(page.levelAxis->min(), -1);
    EXPECT_EQ(page.levelAxis->max(), 260);
    ASSERT_EQ(chart->axes(Qt::Horizontal).size(), 1);
    EXPECT_EQ(chart->axes(Qt::Horizontal).front(), page.sampleAxis);
    EXPECT_EQ(page.sampleAxis->min(), 0);
    EXPECT_EQ(page.sampleAxis->max(), 101);
}

TEST_F(DiagPageTest, levelAxisStaysFixedWhenSamplesArrive) {
    QList<QPointF> samples;
    for (int sample = 1; sample <= 100; ++sample)
        samples.append({double(sample), sample % 2 ? 255.0 : 0.0});
    page.Series1->replace(samples);
    EXPECT_EQ(page.levelAxis->min(), -1);
    EXPECT_EQ(page.levelAxis->max(), 260);
    EXPECT_EQ(page.sampleAxis->max(), 101);
}

TEST_F(DiagPageTest, membersPointAtTheControlsOfTheirNames) {
    expectMembersNamed({
        TORL7_MEMBER(page, frm1_zn),     TORL7_MEMBER(page, cmbPorts), TORL7_MEMBER(page, cb_speed),
        TORL7_MEMBER(page, Button6),     TORL7_MEMBER(page, cmb_m),    TORL7_MEMBER(page, Chart1),
        TORL7_MEMBER(page, Series1),     TORL7_MEMBER(page, Series2),  TORL7_MEMBER(page, Series3),
        TORL7_MEMBER(page, Series4),     TORL7_MEMBER(page, Series5),  TORL7_MEMBER(page, Series6),
        TORL7_MEMBER(page, st_ua),       TORL7_MEMBER(page, st_ub),    TORL7_MEMBER(page, st_uc),
        TORL7_MEMBER(page, st_uasm),     TORL7_MEMBER(page, st_cos),   TORL7_MEMBER(page, st_pa),
        TORL7_MEMBER(page, st_ia),       TORL7_MEMBER(page, st_ib),    TORL7_MEMBER(page, st_ic),
        TORL7_MEMBER(page, st_iasm),     TORL7_MEMBER(page, st_idif),  TORL7_MEMBER(page, sh_dv),
        TORL7_MEMBER(page, sh_iso),      TORL7_MEMBER(page, zp_umin),  TORL7_MEMBER(page, sh_umin),
        TORL7_MEMBER(page, c_umin),      TORL7_MEMBER(page, zp_umax),  TORL7_MEMBER(page, sh_umax),
        TORL7_MEMBER(page, c_umax),      TORL7_MEMBER(page, zp_uasm),  TORL7_MEMBER(page, sh_uasm),
        TORL7_MEMBER(page, c_uasm),      TORL7_MEMBER(page, Sh_z),     TORL7_MEMBER(page, st_blkz),
        TORL7_MEMBER(page, zp_ihol),     TORL7_MEMBER(page, sh_ihol),  TORL7_MEMBER(page, c_ihol),
        TORL7_MEMBER(page, zp_ivtz),     TORL7_MEMBER(page, Sh_ivtz),  TORL7_MEMBER(page, c_ivtz),
        TORL7_MEMBER(page, zp_iasm),     TORL7_MEMBER(page, sh_iasm),  TORL7_MEMBER(page, c_iasm),
        TORL7_MEMBER(page, zp_zakl),     TORL7_MEMBER(page, sh_zakl),  TORL7_MEMBER(page, c_izakl),
        TORL7_MEMBER(page, zp_idif),     TORL7_MEMBER(page, sh_idif),  TORL7_MEMBER(page, c_idif),
        TORL7_MEMBER(page, st_ikrp),     TORL7_MEMBER(page, rstop),    TORL7_MEMBER(page, tavto),
        TORL7_MEMBER(page, rcal),        TORL7_MEMBER(page, ttime),    TORL7_MEMBER(page, tDATE),
        TORL7_MEMBER(page, Button11),    TORL7_MEMBER(page, st_txd),   TORL7_MEMBER(page, st_rxd),
        TORL7_MEMBER(page, st_wa),       TORL7_MEMBER(page, st_moto),  TORL7_MEMBER(page, diagnos),
        TORL7_MEMBER(page, btn_monitor),
    });
}

TEST_F(DiagPageTest, pageFitsAServiceLaptopScreenWithNothingCutOrOverlapping) {
    const QSize preferred = page.sizeHint();
    EXPECT_LE(preferred.width(), 1000);
    EXPECT_LE(preferred.height(), 700);
    expectNothingClippedOrOverlapping(&page);
}

} // namespace
