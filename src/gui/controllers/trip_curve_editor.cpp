#include "gui/controllers/trip_curve_editor.hpp"

#include "gui/controllers/line_gate.hpp"
#include "gui/dialogs/tcc_dialog.hpp"
#include "gui/main_window.hpp"
#include "gui/pages/config_page.hpp"
#include "gui/widgets/lenient_spin_box.hpp"
#include "protocol/tcc_curve.hpp"

#include <QLineEdit>
#include <QLineSeries>
#include <QLogValueAxis>
#include <QPushButton>
#include <QSpinBox>
#include <QValueAxis>

namespace torl7 {

TripCurveEditor::TripCurveEditor(MainWindow& window)
    : QObject(&window), window_(window), dialog_(*window.tccDialog()) {
    setObjectName(QStringLiteral("TripCurveEditor"));
    connectWhenLineFree(window.session(), window.TabSheet1->Button9, &QPushButton::clicked, this,
                        &TripCurveEditor::Button9Click);
    connect(dialog_.g_vtz_t, &LenientSpinBox::shownTextChanged, this,
            &TripCurveEditor::g_vtz_tChange);
}

void TripCurveEditor::Button9Click() {
    ConfigPage& page = *window_.TabSheet1;
    // The rated current is shown only; it takes no part in the curve.
    dialog_.g_inom_a->setText(page.z_inom_a->text());
    // Runs g_vtz_tChange first when the shown text changes.
    dialog_.g_vtz_t->setValue(page.z_vtz_t->value());
    draw(dialog_.g_vtz_t->typedValue());
    dialog_.exec();
}

void TripCurveEditor::g_vtz_tChange() {
    // The page's field keeps its limits; the curve shows the time as typed.
    const int typedS = dialog_.g_vtz_t->typedValue();
    window_.TabSheet1->z_vtz_t->setValue(typedS);
    draw(typedS);
}

void TripCurveEditor::draw(double tripTimeS) {
    const std::vector<TripPoint> curve = tripCurve(tripTimeS);
    QList<QPointF> points;
    points.reserve(static_cast<qsizetype>(curve.size()));
    for (const TripPoint& point : curve) {
        // A logarithmic axis cannot place a time of 0 (a setting of 0 typed in).
        if (point.tripTimeS > 0) {
            points.append({point.overloadMultiple, point.tripTimeS});
        }
    }
    dialog_.Series1->replace(points);
    // The multiples shown are those of the first page of points; the time axis spans every
    // point, also those past the page. With no point to show it keeps its last range.
    dialog_.multipleAxis->setRange(curve.front().overloadMultiple,
                                   curve[kShownTripPoints - 1].overloadMultiple);
    if (const auto range = positiveTimeRange(curve)) {
        // The axis finds its labelled decades through logarithms, which can land a hair
        // inside the range and drop the label at an edge; a hair more room keeps both.
        constexpr double kEdgeRoom = 1e-9;
        const TripTimeRange decades = enclosingDecades(*range);
        dialog_.timeAxis->setRange(decades.shortestS * (1 - kEdgeRoom),
                                   decades.longestS * (1 + kEdgeRoom));
    }
}

} // namespace torl7
