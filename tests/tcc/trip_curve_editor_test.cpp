#include "app/control_expectations.hpp"
#include "gui/controllers/trip_curve_editor.hpp"
#include "support/window_fixture.hpp"

#include <QApplication>
#include <QFocusEvent>
#include <QLineEdit>
#include <QLineSeries>
#include <QLogValueAxis>
#include <QSignalSpy>
#include <QSpinBox>
#include <QTest>
#include <QTimer>
#include <QValueAxis>

using namespace torl7;
using namespace torl7::test;

namespace {

class TripCurveEditorTest : public WindowFixture {
protected:
    TripCurveEditor& editor() { return *w().findChild<TripCurveEditor*>(); }
    TccDialog& dialog() { return *w().tccDialog(); }
    QLineSeries& curve() { return *dialog().Series1; }

    // "График ВТЗ"; the modal dialog is looked at and closed once it shows.
    void openDialog() {
        QTimer::singleShot(0, &dialog(), [this] {
            shownModally = dialog().isVisible() && dialog().isModal();
            dialog().reject();
        });
        editor().Button9Click();
    }

    void type(const QString& text) {
        dialog().g_vtz_t->selectAll();
        QTest::keyClick(dialog().g_vtz_t, Qt::Key_Delete);
        QTest::keyClicks(dialog().g_vtz_t, text);
    }

    void leaveField() {
        QFocusEvent focusOut(QEvent::FocusOut, Qt::TabFocusReason);
        QApplication::sendEvent(dialog().g_vtz_t, &focusOut);
    }

    // The curve drawn is the one for `tripTimeS`, over all 90 points, and the time axis
    // holds them all.
    void expectCurveFor(double tripTimeS) {
        ASSERT_EQ(curve().count(), 90);
        EXPECT_EQ(curve().at(0), QPointF(1.1, tripTimeS));
        EXPECT_DOUBLE_EQ(curve().at(89).x(), 10.0);
        EXPECT_DOUBLE_EQ(curve().at(89).y(), tripTimeS / 90);
        EXPECT_LE(dialog().timeAxis->min(), tripTimeS / 90);
        EXPECT_GE(dialog().timeAxis->max(), tripTimeS);
    }

    bool shownModally = false;
};

} // namespace

TEST_F(TripCurveEditorTest, openingCopiesTheSettingsInAndDrawsTheirCurve) {
    config().z_vtz_t->setValue(300);
    config().z_inom_a->setText(QStringLiteral("1x,5"));
    openDialog();
    EXPECT_TRUE(shownModally);
    EXPECT_EQ(dialog().g_inom_a->text(), QStringLiteral("1x,5")) << "shown as it stands";
    EXPECT_EQ(dialog().g_vtz_t->value(), 300);
    expectCurveFor(300);
    EXPECT_DOUBLE_EQ(curve().at(9).y(), 30);
    EXPECT_NEAR(dialog().timeAxis->min(), 1, 1e-6);
    EXPECT_NEAR(dialog().timeAxis->max(), 1000, 1e-3);
    EXPECT_DOUBLE_EQ(dialog().multipleAxis->min(), 1.1);
    EXPECT_DOUBLE_EQ(dialog().multipleAxis->max(), 8.0) << "the first 70 points";

    config().z_vtz_t->setValue(600);
    openDialog();
    expectCurveFor(600);
    EXPECT_NEAR(curve().at(69).y(), 8.5714, 1e-4);
}

TEST_F(TripCurveEditorTest, aTimeTriedInTheDialogIsWrittenBackAndEachChangeRedrawsOnce) {
    openDialog();
    QSignalSpy replaced(&curve(), &QXYSeries::pointsReplaced);
    QSignalSpy added(&curve(), &QXYSeries::pointAdded);
    dialog().g_vtz_t->setValue(450);
    EXPECT_EQ(config().z_vtz_t->value(), 450);
    expectCurveFor(450);
    EXPECT_EQ(replaced.count(), 1);
    type("25"); // the field emptied, then "2", then "25"
    EXPECT_EQ(replaced.count(), 4) << "one redraw a change of the text";
    EXPECT_EQ(added.count(), 0);
    EXPECT_EQ(config().z_vtz_t->value(), 25);
}

TEST_F(TripCurveEditorTest, aTimeAbove999IsDrawnAsTypedUntilTheFieldIsLeft) {
    openDialog();
    type("1000");
    expectCurveFor(1000);
    EXPECT_EQ(config().z_vtz_t->value(), 999);
    leaveField();
    EXPECT_EQ(dialog().g_vtz_t->text(), QStringLiteral("999"));
    expectCurveFor(999);
}

TEST_F(TripCurveEditorTest, anEmptyFieldDrawsTheCurveFor1AndKeepsItsText) {
    openDialog();
    type("");
    EXPECT_EQ(dialog().g_vtz_t->text(), QString());
    expectCurveFor(1);
    EXPECT_EQ(config().z_vtz_t->value(), 1);
}

TEST_F(TripCurveEditorTest, aTypedZeroLeavesNothingALogAxisCannotShow) {
    openDialog();
    type("0");
    EXPECT_EQ(config().z_vtz_t->value(), 1);
    for (const QPointF& point : curve().points()) {
        EXPECT_GT(point.y(), 0);
    }
    EXPECT_GT(dialog().timeAxis->min(), 0);
    EXPECT_LT(dialog().timeAxis->min(), dialog().timeAxis->max());
    type("5");
    expectCurveFor(5);
}
