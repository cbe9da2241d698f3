#include "gui/dialogs/tcc_dialog.hpp"

#include "gui/widgets/accessibility.hpp"
#include "gui/widgets/control_factory.hpp"
#include "gui/widgets/lenient_spin_box.hpp"

#include <QChart>
#include <QChartView>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QLineSeries>
#include <QLogValueAxis>
#include <QVBoxLayout>
#include <QValueAxis>

namespace torl7 {

namespace {

// Until a curve is drawn the axes show the span of the longest trip time setting over the
// first page of multiples. A log axis needs a positive range of its own even when empty.
constexpr double kFirstMultiple = 1.0;
constexpr double kLastShownMultiple = 8.0;
constexpr double kShortestTimeS = 1.0;
constexpr double kLongestTimeS = 1000.0;

} // namespace

TccDialog::TccDialog(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint) {
    setObjectName("TForm3");
    setWindowTitle("   График время-токовой характеристики");

    g_inom_a = makeTextEdit(this, "g_inom_a", QString(), 5);
    g_inom_a->setEnabled(false);
    fitWidthTo(g_inom_a, "00000");
    g_vtz_t = makeLenientSpinEdit(this, "g_vtz_t", 1, 999, 600);

    auto* chart = new QChart;
    chart->setTitle("Время-токовая характеристика ТОРЛ");
    chart->setAnimationOptions(QChart::NoAnimation);
    chart->legend()->setVisible(false);
    // Axis labels carry the comma, as every number of the tool does.
    chart->setLocale(QLocale(QLocale::Russian, QLocale::Russia));
    chart->setLocalizeNumbers(true);

    Series1 = new QLineSeries(chart);
    Series1->setObjectName("Series1");
    Series1->setPen(QPen(Qt::red, 1));
    Series1->setColor(Qt::red);
    Series1->setPointsVisible(true);
    Series1->setMarkerSize(3);
    Series1->setPointLabelsVisible(false);
    Series1->setUseOpenGL(false);
    chart->addSeries(Series1);

    timeAxis = new QLogValueAxis(chart);
    timeAxis->setBase(10);
    timeAxis->setTitleText("Время срабатывания, сек");
    // Whole seconds print without decimals; the short times of small settings keep theirs.
    // (Localised numbers need the precision spelt out.)
    timeAxis->setLabelFormat("%.4g");
    timeAxis->setMinorTickCount(0);
    timeAxis->setRange(kShortestTimeS, kLongestTimeS);
    multipleAxis = new QValueAxis(chart);
    multipleAxis->setTitleText("Кратность перегрузки по току");
    multipleAxis->setLabelFormat("%.1f");
    multipleAxis->setRange(kFirstMultiple, kLastShownMultiple);
    multipleAxis->setTickType(QValueAxis::TicksDynamic);
    multipleAxis->setTickAnchor(kFirstMultiple);
    multipleAxis->setTickInterval(1.0);
    chart->addAxis(timeAxis, Qt::AlignLeft);
    chart->addAxis(multipleAxis, Qt::AlignBottom);
    Series1->attachAxis(multipleAxis);
    Series1->attachAxis(timeAxis);

    Chart1 = new QChartView(chart, this);
    Chart1->setObjectName("Chart1");
    Chart1->setAccessibleName(chart->title());
    // A chart is only looked at: Tab passes it by.
    Chart1->setFocusPolicy(Qt::NoFocus);
    Chart1->viewport()->setFocusPolicy(Qt::NoFocus);
    Chart1->setRenderHint(QPainter::Antialiasing);
    Chart1->setFixedSize(640, 440);

    auto* fields = new QGridLayout;
    fields->addWidget(makeCaption("Номинальный ток:", g_inom_a), 0, 0);
    fields->addWidget(g_inom_a, 0, 1);
    fields->addWidget(makeCaption("А", g_inom_a), 0, 2);
    fields->addWidget(makeCaption("Время срабатывания:", g_vtz_t), 1, 0);
    fields->addWidget(g_vtz_t, 1, 1);
    fields->addWidget(makeCaption("Сек", g_vtz_t), 1, 2);
    fields->setColumnStretch(3, 1);

    auto* column = new QVBoxLayout(this);
    column->setSizeConstraint(QLayout::SetFixedSize);
    column->addLayout(fields);
    column->addWidget(Chart1);
    orderTabsByLayout(this);
}

} // namespace torl7
