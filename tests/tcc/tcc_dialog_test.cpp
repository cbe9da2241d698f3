#include "gui/dialogs/tcc_dialog.hpp"

#include "app/control_expectations.hpp"

#include <QApplication>
#include <QChart>
#include <QChartView>
#include <QLegend>
#include <QLineSeries>
#include <QLogValueAxis>
#include <QValueAxis>

using namespace torl7;
using namespace torl7::testing;

namespace {

class TccDialogTest : public ::testing::Test {
protected:
    TccDialog dialog;
};

TEST_F(TccDialogTest, fieldsShowAnEmptyRatedCurrentAndA600sTripTime) {
    EXPECT_EQ(dialog.windowTitle(), "   График время-токовой характеристики");
    expectControls<TextEdit>(&dialog, {{"g_inom_a", "", 5, {"Номинальный ток:", "А"}, false}});
    expectControls<SpinEdit>(&dialog, {{"g_vtz_t", 1, 999, 600, {"Время срабатывания:", "Сек"}}});
}

TEST_F(TccDialogTest, chartHasATitledLogTimeAxisAndAnEmptyRedCurveWithMarkers) {
    auto* view = findControl<QChartView>(&dialog, "Chart1");
    ASSERT_EQ(view, dialog.Chart1);
    QChart* chart = view->chart();
    EXPECT_EQ(chart->title(), "Время-токовая характеристика ТОРЛ");
    EXPECT_FALSE(chart->legend()->isVisible());
    EXPECT_EQ(chart->animationOptions(), QChart::NoAnimation);

    ASSERT_EQ(chart->series().size(), 1);
    auto* curve = qobject_cast<QLineSeries*>(chart->series().front());
    ASSERT_EQ(curve, dialog.Series1);
    EXPECT_EQ(curve->objectName(), "Series1");
    EXPECT_EQ(curve->pen().color(), QColor(Qt::red));
    EXPECT_TRUE(curve->pointsVisible());
    EXPECT_LE(curve->markerSize(), 5.0) << "points are small circles";
    EXPECT_FALSE(curve->pointLabelsVisible());
    EXPECT_FALSE(curve->useOpenGL());
    EXPECT_EQ(curve->count(), 0);

    const auto vertical = chart->axes(Qt::Vertical);
    ASSERT_EQ(vertical.size(), 1);
    auto* time = qobject_cast<QLogValueAxis*>(vertical.front());
    ASSERT_EQ(time, dialog.timeAxis);
    EXPECT_EQ(time->titleText(), "Время срабатывания, сек");
    EXPECT_EQ(time->minorTickCount(), 0);
    EXPECT_EQ(time->labelFormat(), "%.4g");
    EXPECT_GT(time->min(), 0) << "a log axis hides every series below a positive range";

    const auto horizontal = chart->axes(Qt::Horizontal);
    ASSERT_EQ(horizontal.size(), 1);
    auto* multiple = qobject_cast<QValueAxis*>(horizontal.front());
    ASSERT_EQ(multiple, dialog.multipleAxis);
    EXPECT_EQ(multiple->titleText(), "Кратность перегрузки по току");
    EXPECT_TRUE(curve->attachedAxes().contains(time));
    EXPECT_TRUE(curve->attachedAxes().contains(multiple));
}

TEST_F(TccDialogTest, dialogHasOnlyACloseBoxAndFitsItsContent) {
    const Qt::WindowFlags flags = dialog.windowFlags();
    EXPECT_TRUE(flags & Qt::WindowCloseButtonHint);
    EXPECT_FALSE(flags & Qt::WindowMaximizeButtonHint);
    EXPECT_FALSE(flags & Qt::WindowContextHelpButtonHint);
    dialog.show();
    QApplication::processEvents();
    EXPECT_EQ(dialog.minimumSize(), dialog.maximumSize());
    expectNothingClippedOrOverlapping(&dialog);
}

} // namespace
