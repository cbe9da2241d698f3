#include "gui/pages/diag_page.hpp"

#include "gui/widgets/accessibility.hpp"
#include "gui/widgets/analysis_panel.hpp"
#include "gui/widgets/control_factory.hpp"
#include "gui/widgets/indicator_shape.hpp"
#include "gui/widgets/port_box.hpp"
#include "gui/widgets/waveform_view.hpp"

#include <QChart>
#include <QChartView>
#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QLineSeries>
#include <QPushButton>
#include <QSpinBox>
#include <QTableWidget>
#include <QVBoxLayout>
#include <QValueAxis>

namespace torl7 {

namespace {

// Widest texts of the value fields, so that live values do not make the layout jump.
const QString kWidestMeasurement = QStringLiteral("00000");
const QString kWidestCountdown = QStringLiteral("0000,0");

QGridLayout* tightGrid(QWidget* owner) {
    auto* grid = new QGridLayout(owner);
    grid->setHorizontalSpacing(6);
    grid->setVerticalSpacing(3);
    return grid;
}

QLineSeries* addSeries(QChart* chart, const char* name, const QString& title, QColor color,
                       int widthPx) {
    auto* series = new QLineSeries(chart);
    series->setObjectName(name);
    series->setName(title);
    series->setPen(QPen(color, widthPx));
    series->setPointsVisible(false);
    series->setPointLabelsVisible(false);
    series->setUseOpenGL(false);
    chart->addSeries(series);
    return series;
}

} // namespace

DiagPage::DiagPage(QWidget* parent) : QWidget(parent) {
    auto* left = new QVBoxLayout;
    left->addWidget(buildChart(), 1);
    left->addLayout(buildChartTools());
    analysis = new AnalysisPanel(this);
    left->addWidget(analysis);
    left->addWidget(buildMeasurements());

    auto* right = new QVBoxLayout;
    right->addWidget(buildProtectionState());
    right->addWidget(buildClock());
    right->addWidget(buildStatistics());
    right->addStretch(1);

    auto* columns = new QHBoxLayout;
    columns->addLayout(left, 1);
    columns->addLayout(right);

    auto* page = new QVBoxLayout(this);
    page->addLayout(buildConnectionBar());
    page->addLayout(columns, 1);
    page->addLayout(buildBottomLine());
    orderTabsByLayout(this);
}

// A label whose size may change asks its layout to run again with every new text, and the
// request climbs to the tab widget, which then repaints the whole window: at a hundred and
// more answers a second that was nearly all of the tool's work. The framed texts of the page
// keep the size the layout gave them, so a new value repaints that text alone.
bool DiagPage::keepLiveTextSizes() {
    if (!isVisible()) {
        return false; // a page never shown has no laid-out size to keep
    }
    for (QLabel* label : findChildren<QLabel*>()) {
        if (label->frameShape() != QFrame::NoFrame) {
            label->setFixedSize(label->size());
        }
    }
    return true;
}

QLayout* DiagPage::buildConnectionBar() {
    frm1_zn = makeSpinEdit(this, "frm1_zn", 100, 65535, 600);
    // Filled with the ports found at start-up; a port may be typed.
    cmbPorts = makePortBox(this);
    cb_speed = makeDropDown(this, "cb_speed",
                            {"    300", "    600", "  1200", "  2400", "  4800", "  9600", " 14400",
                             " 19200", " 38400", " 57600", "115200"},
                            10);
    cb_speed->setAccessibleName("Скорость линии"); // its only caption is the unit
    Button6 = makeButton(this, "Button6", "Поиск устройства");
    cmb_m = makeDropDown(this, "cmb_m", {"нет", "Фаза А", "Фаза А,В", "Фаза А,В,С"}, 1);

    auto* bar = new QHBoxLayout;
    bar->addWidget(makeCaption("Зав. №:", frm1_zn));
    bar->addWidget(frm1_zn);
    bar->addSpacing(8);
    bar->addWidget(makeCaption("Порт:", cmbPorts));
    bar->addWidget(cmbPorts);
    bar->addSpacing(8);
    bar->addWidget(cb_speed);
    bar->addWidget(makeCaption("бод/сек", cb_speed));
    bar->addSpacing(8);
    bar->addWidget(Button6);
    bar->addStretch(1);
    bar->addWidget(makeCaption("Просмотр:", cmb_m));
    bar->addWidget(cmb_m);
    btn_save_waves = makeButton(this, "btn_save_waves", "Сохранить осциллограммы…");
    bar->addWidget(btn_save_waves);
    return bar;
}

QWidget* DiagPage::buildChart() {
    auto* chart = new QChart;
    // The dark theme goes first: it would override the series pens set below. Yellow lines
    // need the dark plot area to be readable.
    chart->setTheme(QChart::ChartThemeDark);
    chart->setTitle(kChartTitle);
    chart->setAnimationOptions(QChart::NoAnimation);
    chart->setMargins(QMargins(4, 4, 4, 4));

    const QColor yellow(255, 255, 0);
    const QColor green(128, 255, 0);
    const QColor red(255, 0, 0);
    Series1 = addSeries(chart, "Series1", "Ua", yellow, 1);
    Series2 = addSeries(chart, "Series2", "Ia", yellow, 2);
    Series3 = addSeries(chart, "Series3", "Ub", green, 1);
    Series4 = addSeries(chart, "Series4", "Ib", green, 2);
    Series5 = addSeries(chart, "Series5", "Uc", red, 1);
    Series6 = addSeries(chart, "Series6", "Ic", red, 2);

    levelAxis = new QValueAxis(chart);
    levelAxis->setRange(kLevelAxisMin, kLevelAxisMax);
    levelAxis->setLabelFormat("%.0f");
    levelAxis->setTickType(QValueAxis::TicksDynamic);
    levelAxis->setTickAnchor(0);
    levelAxis->setTickInterval(50);
    sampleAxis = new QValueAxis(chart);
    sampleAxis->setRange(kSampleAxisMin, kSampleAxisMax);
    sampleAxis->setLabelFormat("%.0f");
    sampleAxis->setTickType(QValueAxis::TicksDynamic);
    sampleAxis->setTickAnchor(0);
    sampleAxis->setTickInterval(10);
    chart->addAxis(levelAxis, Qt::AlignLeft);
    chart->addAxis(sampleAxis, Qt::AlignBottom);
    for (QLineSeries* series : {Series1, Series2, Series3, Series4, Series5, Series6}) {
        series->attachAxis(sampleAxis);
        series->attachAxis(levelAxis);
    }
    chart->legend()->setVisible(true);
    chart->legend()->setAlignment(Qt::AlignRight);

    Chart1 = new WaveformView(chart, sampleAxis, levelAxis, this);
    Chart1->setObjectName("Chart1");
    // The fixed axis is the view every drawing of the unit's waveforms starts from.
    Chart1->setHome(kSampleAxisMin, kSampleAxisMax, kLevelAxisMin, kLevelAxisMax);
    Chart1->followLegend();
    Chart1->setAccessibleName(chart->title());
    // A chart is only looked at: Tab passes it by.
    Chart1->setFocusPolicy(Qt::NoFocus);
    Chart1->viewport()->setFocusPolicy(Qt::NoFocus);
    Chart1->setRenderHint(QPainter::Antialiasing);
    Chart1->setMinimumSize(560, 250);
    Chart1->setToolTip("Колесо: масштаб; рамка левой кнопкой: увеличить; правая кнопка или "
                       "Shift: сдвиг; щелчок: курсор 1, правый щелчок: курсор 2; двойной "
                       "щелчок: исходный масштаб; щелчок по легенде: скрыть или показать");
    return Chart1;
}

QLayout* DiagPage::buildChartTools() {
    cb_analysis = makeCheckBox(this, "cb_analysis", "Анализ", true);
    btn_zoom_reset = makeButton(this, "btn_zoom_reset", "Сброс масштаба");
    btn_open_waves = makeButton(this, "btn_open_waves", "Открыть осциллограмму…");
    btn_close_record = makeButton(this, "btn_close_record", "Закрыть");
    btn_close_record->setAccessibleName("Закрыть осциллограмму");
    btn_close_record->hide();
    tbl_cursors = makeValueTable(this, "tbl_cursors", "Курсоры", {"К1", "К2", "Δ"},
                                 {"№", "t, мс", "Ua", "Ia", "Ub", "Ib", "Uc", "Ic"});

    ed_analysis_rate = makeTextEdit(this, "ed_analysis_rate", QString());
    ed_analysis_rate->setPlaceholderText(QStringLiteral("частота"));
    ed_analysis_rate->setToolTip(QStringLiteral("Частота дискретизации, Гц, если известна: по ней "
                                                "период и время курсоров"));
    fitWidthTo(ed_analysis_rate, QStringLiteral("0000000"));

    auto* buttons = new QGridLayout;
    buttons->setVerticalSpacing(2);
    buttons->addWidget(cb_analysis, 0, 0);
    auto* rate = new QHBoxLayout;
    ed_analysis_rate->setAccessibleName(QStringLiteral("Частота дискретизации"));
    rate->addWidget(makeCaption("Гц:", ed_analysis_rate));
    rate->addWidget(ed_analysis_rate);
    buttons->addLayout(rate, 0, 1, Qt::AlignRight);
    buttons->addWidget(btn_zoom_reset, 1, 0);
    buttons->addWidget(btn_close_record, 1, 1);
    buttons->addWidget(btn_open_waves, 2, 0, 1, 2);
    auto* row = new QHBoxLayout;
    row->addLayout(buttons);
    row->addWidget(tbl_cursors, 1);
    return row;
}

QWidget* DiagPage::buildMeasurements() {
    auto* group = new QGroupBox("Текущие данные", this);
    auto* grid = tightGrid(group);
    // Voltage side on the first line, current side on the second, in reading order.
    struct Field {
        QLabel*& text;
        const char* name;
        const char* caption;
        int row;
        int column;
    };
    const Field fields[] = {
        {st_ua, "st_ua", "Ua, В:", 0, 0},      {st_ub, "st_ub", "Ub, В:", 0, 1},
        {st_uc, "st_uc", "Uc, В:", 0, 2},      {st_uasm, "st_uasm", "Uasm, %:", 0, 3},
        {st_cos, "st_cos", "cos f:", 0, 4},    {st_pa, "st_pa", "Р, кВт:", 0, 5},
        {st_ia, "st_ia", "Ia, А:", 1, 0},      {st_ib, "st_ib", "Ib, А:", 1, 1},
        {st_ic, "st_ic", "Ic, А:", 1, 2},      {st_iasm, "st_iasm", "Iasm, %:", 1, 3},
        {st_idif, "st_idif", "Iут, А:", 1, 4},
    };
    for (const Field& field : fields) {
        field.text = makeStaticText(group, field.name, "0", kWidestMeasurement);
        grid->addWidget(makeCaption(field.caption, field.text), field.row, 2 * field.column,
                        Qt::AlignRight);
        grid->addWidget(field.text, field.row, 2 * field.column + 1);
    }
    return group;
}

QWidget* DiagPage::buildProtectionState() {
    auto* group = new QGroupBox("Состояние защиты", this);
    auto* grid = tightGrid(group);
    using Form = IndicatorShape::Form;
    enum Column { Caption, Lamp, Counter, Unit };
    // Each row: a rounded square, most with a circle inside and a countdown in seconds. A
    // screen reader hears the row's subject and each lamp's state in words.
    struct Row {
        const char* caption;
        const char* subject;
        IndicatorShape*& outer;
        const char* outerName;
        IndicatorShape** inner;
        const char* innerName;
        QLabel** counter;
        const char* counterName;
    };
    const Row rows[] = {
        {"Оборуд.:", "Оборудование", sh_dv, "sh_dv", nullptr, nullptr, nullptr, nullptr},
        {"Изоляц.:", "Изоляция", sh_iso, "sh_iso", nullptr, nullptr, nullptr, nullptr},
        {"Umin:", "Umin", zp_umin, "zp_umin", &sh_umin, "sh_umin", &c_umin, "c_umin"},
        {"Umax:", "Umax", zp_umax, "zp_umax", &sh_umax, "sh_umax", &c_umax, "c_umax"},
        {"Uасм:", "Uасм", zp_uasm, "zp_uasm", &sh_uasm, "sh_uasm", &c_uasm, "c_uasm"},
        {"Защита:", "Защита", Sh_z, "Sh_z", nullptr, nullptr, &st_blkz, "st_blkz"},
        {"Хол. ход:", "Холостой ход", zp_ihol, "zp_ihol", &sh_ihol, "sh_ihol", &c_ihol, "c_ihol"},
        {"Iвтз:", "Iвтз", zp_ivtz, "zp_ivtz", &Sh_ivtz, "Sh_ivtz", &c_ivtz, "c_ivtz"},
        {"Iасм:", "Iасм", zp_iasm, "zp_iasm", &sh_iasm, "sh_iasm", &c_iasm, "c_iasm"},
        {"Заклин.:", "Заклинивание", zp_zakl, "zp_zakl", &sh_zakl, "sh_zakl", &c_izakl, "c_izakl"},
        {"Iут.:", "Iут", zp_idif, "zp_idif", &sh_idif, "sh_idif", &c_idif, "c_idif"},
    };
    int row = 0;
    for (const Row& line : rows) {
        const QString subject = line.subject;
        line.outer = new IndicatorShape(Form::RoundedSquare, line.outerName, group);
        grid->addWidget(makeCaption(line.caption, line.outer), row, Caption);
        grid->addWidget(line.outer, row, Lamp, Qt::AlignCenter);
        if (line.inner) {
            *line.inner = new IndicatorShape(Form::Circle, line.innerName, line.outer);
            (*line.inner)->describe(subject, "сработала", "норма");
            line.outer->describe(subject + ", функция", "включена", "выключена");
        }
        if (line.counter) {
            *line.counter = makeStaticText(group, line.counterName, "0", kWidestCountdown);
            setSpokenName(*line.counter, subject + ", осталось");
            grid->addWidget(*line.counter, row, Counter);
            grid->addWidget(makeCaption("сек", *line.counter), row, Unit);
        }
        ++row;
    }
    sh_dv->describe("Оборудование", "включено", "выключено");
    sh_iso->describe("Изоляция", "сработала", "норма");
    Sh_z->describe("Защита", "включена", "выключена");

    // The overload multiple has no lamp and no unit.
    st_ikrp = makeStaticText(group, "st_ikrp", "0", kWidestCountdown);
    grid->addWidget(makeCaption("Кр.перег.:", st_ikrp), row, Caption);
    grid->addWidget(st_ikrp, row, Counter);
    return group;
}

QWidget* DiagPage::buildClock() {
    // The clock group has no heading of its own.
    auto* group = new QGroupBox(this);
    ttime = makeStaticText(group, "ttime", "==:==:==", "==:==:==");
    tDATE = makeStaticText(group, "tDATE", "==.==.====г.", "==.==.====г.");
    rstop = makeCheckBox(group, "rstop", "Остановка часов:", false);
    tavto = makeCheckBox(group, "tavto", "Авт. перевод часов:", false);
    rcal = makeSpinEdit(group, "rcal", -31, 31, 0);
    Button11 = makeButton(group, "Button11", "Корректировка часов");
    // The group has no heading: the names say whose clock it is.
    setSpokenName(ttime, "Время устройства");
    setSpokenName(tDATE, "Дата устройства");

    auto* grid = tightGrid(group);
    grid->addWidget(ttime, 0, 0);
    grid->addWidget(tDATE, 0, 1);
    grid->addWidget(rstop, 1, 0, 1, 2);
    grid->addWidget(tavto, 2, 0, 1, 2);
    grid->addWidget(makeCaption("Калибровка:", rcal), 3, 0);
    grid->addWidget(rcal, 3, 1);
    rcal->setAccessibleName("Калибровка часов"); // rather than its caption alone
    grid->addWidget(Button11, 4, 0, 1, 2);
    return group;
}

QWidget* DiagPage::buildStatistics() {
    auto* group = new QGroupBox("Статистика", this);
    st_txd = makeStaticText(group, "st_txd", "0", "0000000");
    st_rxd = makeStaticText(group, "st_rxd", "0", "0000000");
    auto* row = new QHBoxLayout;
    row->addWidget(makeCaption("TXD:", st_txd));
    row->addWidget(st_txd, 1);
    row->addSpacing(6);
    row->addWidget(makeCaption("RXD:", st_rxd));
    row->addWidget(st_rxd, 1);
    // Every frame behind the two counters, in the "Обмен" window; under them, so the page
    // keeps its width.
    btn_traffic = makeButton(group, "btn_traffic", "Обмен...");
    auto* rows = new QVBoxLayout;
    rows->addLayout(row);
    rows->addWidget(btn_traffic);
    group->setLayout(rows);
    return group;
}

QLayout* DiagPage::buildBottomLine() {
    st_wa = makeStaticText(this, "st_wa", "0", "0000000,000");
    st_moto = makeStaticText(this, "st_moto", "0", "0000000:00:00");
    diagnos = makeButton(this, "diagnos", "Диагностика");
    btn_monitor = makeButton(this, "btn_monitor", "Сброс защиты");

    auto* line = new QHBoxLayout;
    line->addWidget(makeCaption("Wа:", st_wa));
    line->addWidget(st_wa);
    line->addWidget(makeCaption("кВтч", st_wa));
    line->addSpacing(16);
    line->addWidget(makeCaption("Наработка об., (ч:м:с):", st_moto));
    line->addWidget(st_moto);
    line->addStretch(1);
    line->addWidget(diagnos);
    line->addWidget(btn_monitor);
    return line;
}

void DiagPage::showValuesStale(bool stale) {
    if (stale == valuesStale_) {
        return;
    }
    valuesStale_ = stale;
    QList<QWidget*> values = {st_ua,  st_ub,  st_uc,   st_uasm, st_cos, st_pa,   st_ia,
                              st_ib,  st_ic,  st_iasm, st_idif, c_umin, c_umax,  c_uasm,
                              c_ihol, c_ivtz, c_iasm,  c_izakl, c_idif, st_blkz, st_ikrp,
                              ttime,  tDATE,  st_wa,   st_moto};
    for (IndicatorShape* lamp : findChildren<IndicatorShape*>()) {
        values << lamp;
    }
    for (QWidget* value : values) {
        value->setEnabled(!stale);
    }
}

} // namespace torl7
