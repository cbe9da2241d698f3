#include "gui/widgets/analysis_panel.hpp"

#include "gui/widgets/accessibility.hpp"
#include "gui/widgets/control_factory.hpp"
#include "gui/widgets/phasor_diagram.hpp"

#include <QComboBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QTabBar>
#include <QTabWidget>
#include <QTableWidget>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

namespace torl7 {

namespace {

enum PhaseRow { Volts, Amps, Angle, CosPhi, UnitCosF };
// The unit's own cos f stands under the cos φ found, across the three columns.
const QStringList kPhaseRows = {"U, В (отсч.)", "I, А (отсч.)", "φ, °", "cos φ", "cos f устр."};
const QStringList kChannels = {"Ua", "Ub", "Uc", "Ia", "Ib", "Ic"};
const QString kDash = QStringLiteral("—");

void put(QTableWidget* table, int row, int column, const QString& text) {
    table->item(row, column)->setText(text);
}

} // namespace

QTableWidget* makeValueTable(QWidget* parent, const char* name, const QString& accessible,
                             const QStringList& rows, const QStringList& columns) {
    auto* table =
        new QTableWidget(static_cast<int>(rows.size()), static_cast<int>(columns.size()), parent);
    table->setObjectName(name);
    table->setAccessibleName(accessible);
    table->setVerticalHeaderLabels(rows);
    table->setHorizontalHeaderLabels(columns);
    table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table->setSelectionMode(QAbstractItemView::NoSelection);
    table->setFocusPolicy(Qt::NoFocus); // read only: Tab passes it by
    table->verticalHeader()->setMinimumSectionSize(16);
    table->verticalHeader()->setDefaultSectionSize(16);
    table->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    table->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
    table->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    table->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    for (int r = 0; r < table->rowCount(); ++r) {
        for (int c = 0; c < table->columnCount(); ++c) {
            auto* item = new QTableWidgetItem(kDash);
            item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
            table->setItem(r, c, item);
        }
    }
    const int height = table->horizontalHeader()->sizeHint().height() +
                       table->rowCount() * table->verticalHeader()->defaultSectionSize() +
                       2 * table->frameWidth() + 2;
    table->setFixedHeight(height);
    return table;
}

QString analysisNumber(std::optional<double> value, int decimals) {
    if (!value || !std::isfinite(*value)) {
        return kDash;
    }
    // The decimal comma whatever the machine's locale, as everywhere in the window.
    return QString::number(*value, 'f', decimals).replace('.', ',');
}

AnalysisPanel::AnalysisPanel(QWidget* parent) : QGroupBox(QStringLiteral("Анализ"), parent) {
    setObjectName("analysisPanel");
    tabs = new QTabWidget(this);
    tabs->setObjectName("analysisTabs");
    tbl_phases = makeValueTable(tabs, "tbl_phases", "Анализ по фазам", kPhaseRows, {"A", "B", "C"});
    tbl_phases->setSpan(UnitCosF, 0, 1, 3);
    tbl_phases->item(UnitCosF, 0)->setTextAlignment(Qt::AlignCenter);
    QStringList orders;
    for (int h = kFirstHarmonicShown; h <= kLastHarmonicShown; ++h) {
        orders << QString::number(h);
    }
    orders << "THD";
    tbl_harmonics = makeValueTable(tabs, "tbl_harmonics", "Гармоники, %", kChannels, orders);
    tabs->addTab(tbl_phases, QStringLiteral("Фазы"));
    tabs->addTab(tbl_harmonics, QStringLiteral("Гармоники, %"));
    tabs->setDocumentMode(true);
    // A table's own size hint is far taller than its rows: the tabs hold the taller table.
    tabs->setFixedHeight(tabs->tabBar()->sizeHint().height() +
                         std::max(tbl_phases->height(), tbl_harmonics->height()) + 2);
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Maximum);

    tbl_sequence = makeValueTable(this, "tbl_sequence", "Симметричные составляющие", {"U", "I"},
                                  {"1", "2", "0", "K2, %"});
    st_order = makeStaticText(this, "st_order", kDash, "A-B-C");
    st_period = makeStaticText(this, "st_period", kDash, "0000,0");
    cmb_phasor_ref = makeDropDown(this, "cmb_phasor_ref", kChannels, 0);
    phasors = new PhasorDiagram(this);

    auto* facts = new QGridLayout;
    facts->addWidget(makeCaption("Чередование:", st_order), 0, 0);
    facts->addWidget(st_order, 0, 1);
    facts->addWidget(makeCaption("Период, отсч.:", st_period), 1, 0);
    facts->addWidget(st_period, 1, 1);
    facts->addWidget(makeCaption("Опорный вектор:", cmb_phasor_ref), 2, 0);
    facts->addWidget(cmb_phasor_ref, 2, 1);
    auto* middle = new QVBoxLayout;
    middle->addWidget(tbl_sequence);
    middle->addLayout(facts);
    middle->addStretch(1);

    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(6, 4, 6, 4);
    row->addWidget(tabs, 3, Qt::AlignTop);
    row->addLayout(middle, 2);
    row->addWidget(phasors, 0, Qt::AlignTop);

    connect(cmb_phasor_ref, &QComboBox::currentIndexChanged, phasors, &PhasorDiagram::setReference);
}

void AnalysisPanel::clearValues(const QString& why) {
    for (QTableWidget* table : {tbl_phases, tbl_harmonics, tbl_sequence}) {
        for (int r = 0; r < table->rowCount(); ++r) {
            for (int c = 0; c < table->columnCount(); ++c) {
                put(table, r, c, kDash);
            }
        }
    }
    st_order->setText(kDash);
    st_period->setText(kDash);
    st_period->setToolTip(why);
    phasors->setPhasors({});
}

void AnalysisPanel::showAnalysis(const WaveformAnalysis& a, std::optional<double> unitCosF) {
    clearValues(QString::fromStdString(a.problem));
    put(tbl_phases, UnitCosF, 0, analysisNumber(unitCosF, 2));
    if (!a.periodSamples) {
        st_period->setText(QStringLiteral("нет"));
        return;
    }
    st_period->setText(analysisNumber(a.periodSamples, 1));
    PhasorDiagram::Phasors drawn{};
    for (const PhaseAnalysis& p : a.phases) {
        const int c = p.phase - 1;
        if (c < 0 || c > 2) {
            continue;
        }
        const auto withSteps = [](const ChannelAnalysis& ch, int decimals) {
            return analysisNumber(ch.rms, decimals) + " (" + analysisNumber(ch.rmsRaw, 1) + ")";
        };
        put(tbl_phases, Volts, c, withSteps(p.voltage, 1));
        put(tbl_phases, Amps, c, withSteps(p.current, 2));
        put(tbl_phases, Angle, c, analysisNumber(p.angleDeg, 1));
        put(tbl_phases, CosPhi, c, analysisNumber(p.cosPhi, 2));
        const ChannelAnalysis* channels[2] = {&p.voltage, &p.current};
        for (int kind = 0; kind < 2; ++kind) {
            const ChannelAnalysis& ch = *channels[kind];
            const int column = c + 3 * kind;
            for (int h = 0; h < kHarmonicsShown; ++h) {
                put(tbl_harmonics, column, h,
                    analysisNumber(ch.harmonicsPercent[static_cast<std::size_t>(h)], 1));
            }
            put(tbl_harmonics, column, kHarmonicsShown, analysisNumber(ch.thdPercent, 1));
            // Lengths in V and A where the scale is known, so each circle compares like
            // with like; the angles are the same either way.
            if (!ch.flat) {
                drawn[static_cast<std::size_t>(column)] = ch.phasor * ch.unitsPerStep.value_or(1);
            }
        }
    }
    phasors->setPhasors(drawn);
    if (const auto& s = a.sequence) {
        const double u[] = {s->u1, s->u2, s->u0};
        const double i[] = {s->i1, s->i2, s->i0};
        for (int c = 0; c < 3; ++c) {
            put(tbl_sequence, 0, c, analysisNumber(u[c], s->scaled ? 1 : 2));
            put(tbl_sequence, 1, c, analysisNumber(i[c], 2));
        }
        put(tbl_sequence, 0, 3, analysisNumber(s->voltageUnbalancePercent, 1));
        put(tbl_sequence, 1, 3, analysisNumber(s->currentUnbalancePercent, 1));
        if (s->order) {
            st_order->setText(*s->order == PhaseOrder::Abc ? QStringLiteral("A-B-C")
                                                           : QStringLiteral("A-C-B"));
        }
    }
}

} // namespace torl7
