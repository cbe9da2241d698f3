#include "gui/controllers/waveform_viewer.hpp"

#include "documents/waveform_export.hpp"
#include "session/operations/diag_poll.hpp"
#include "gui/dialogs/channel_map_dialog.hpp"
#include "gui/main_window.hpp"
#include "gui/message_boxes.hpp"
#include "gui/pages/diag_page.hpp"
#include "gui/widgets/analysis_panel.hpp"
#include "gui/widgets/waveform_chart.hpp"
#include "gui/widgets/waveform_view.hpp"
#include "protocol/display_format.hpp"

#include <QCheckBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QLineEdit>
#include <QLineSeries>
#include <QPushButton>
#include <QStandardPaths>
#include <QTableWidget>

#include <algorithm>
#include <cmath>

namespace torl7 {

namespace {

// Role (Ua, Ub, Uc, Ia, Ib, Ic) to the chart's series (Ua, Ia, Ub, Ib, Uc, Ic).
constexpr std::array<std::size_t, 6> kSeriesOfRole = {0, 2, 4, 1, 3, 5};

} // namespace

WaveformViewer::WaveformViewer(MainWindow& window, const DiagPoll& poll)
    : QObject(&window), window_(window), page_(*window.TabSheet2), poll_(poll) {
    setObjectName(QStringLiteral("WaveformViewer"));
    askOpenName = [this] {
        const QString folder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
        return QFileDialog::getOpenFileName(
            &window_, QStringLiteral("Открыть осциллограмму"), folder,
            QStringLiteral("COMTRADE (*.cfg *.cff *.CFG *.CFF);;Все файлы (*)"));
    };
    askChannelMap = [this](const ComtradeRecord& record,
                           const ChannelMap& guess) -> std::optional<ChannelMap> {
        ChannelMapDialog dialog(record, guess, &window_);
        if (dialog.exec() != QDialog::Accepted) {
            return std::nullopt;
        }
        return dialog.map();
    };
    connect(&poll, &DiagPoll::snapshotReceived, this,
            [this](const Snapshot& snapshot) { snapshot_ = snapshot; });
    connect(&poll, &DiagPoll::waveformsReady, this, &WaveformViewer::takeDrawing);
    connect(page_.btn_open_waves, &QPushButton::clicked, this,
            &WaveformViewer::btn_open_wavesClick);
    connect(page_.btn_close_record, &QPushButton::clicked, this, &WaveformViewer::closeRecord);
    connect(page_.btn_zoom_reset, &QPushButton::clicked, page_.Chart1, &WaveformView::resetView);
    connect(page_.Chart1, &WaveformView::cursorsChanged, this, &WaveformViewer::showCursors);
    connect(page_.ed_analysis_rate, &QLineEdit::textChanged, this, [this] {
        analyse();
        showCursors();
    });
    connect(page_.cb_analysis, &QCheckBox::toggled, this, [this](bool on) {
        page_.analysis->setVisible(on);
        analyse();
    });
}

void WaveformViewer::takeDrawing(const WaveformSamples& samples) {
    const std::vector<int> phases = phasesOfBlocks(poll_.blockSelectors(), poll_.blockCount());
    liveSamples_ = samples;
    live_ = Shown{};
    for (std::size_t k = 0; k < 3; ++k) {
        live_.channels[k].assign(samples.voltage[k].begin(), samples.voltage[k].end());
        live_.channels[k + 3].assign(samples.current[k].begin(), samples.current[k].end());
    }
    live_.phases = unitPhaseWaves(samples, phases, snapshot_);
    if (snapshot_) {
        live_.unitCosF = cosFValue(snapshot_->cosByte);
    }
    if (page_.Chart1->showsRecord()) {
        return; // kept for when the record is closed
    }
    shown_ = live_;
    analyse();
    showCursors();
}

std::optional<double> WaveformViewer::typedRate() const {
    return parseSampleRate(page_.ed_analysis_rate->text().toStdString());
}

double WaveformViewer::knownRate() const {
    return typedRate().value_or(shown_.sampleRate);
}

void WaveformViewer::analyse() {
    if (!page_.cb_analysis->isChecked() || shown_.phases.empty()) {
        analysis_.reset();
        page_.analysis->clearValues();
        return;
    }
    AnalysisOptions options;
    options.minSwingSteps = shown_.minSwingSteps;
    if (const auto rate = typedRate()) {
        options.periodSamples = periodFromRate(*rate);
    }
    analysis_ = analyseWaveforms(shown_.phases, options);
    page_.analysis->showAnalysis(*analysis_, shown_.unitCosF);
}

void WaveformViewer::showCursors() {
    QTableWidget* table = page_.tbl_cursors;
    const double rate = knownRate();
    const auto put = [table](int row, int column, const QString& text) {
        table->item(row, column)->setText(text);
    };
    // The chart's order of the channels: Ua, Ia, Ub, Ib, Uc, Ic.
    constexpr std::array<std::size_t, 6> kRoleOfColumn = {0, 3, 1, 4, 2, 5};
    std::array<std::optional<double>, 6> at[2];
    std::optional<int> sample[2];
    for (int n = 0; n < 2; ++n) {
        sample[n] = page_.Chart1->cursorSample(n);
        put(n, 0, sample[n] ? QString::number(*sample[n]) : QStringLiteral("—"));
        put(n, 1,
            analysisNumber(sample[n] && rate > 0
                               ? std::optional<double>(1000.0 * (*sample[n] - 1) / rate)
                               : std::nullopt,
                           3));
        for (std::size_t c = 0; c < 6; ++c) {
            const auto& x = shown_.channels[kRoleOfColumn[c]];
            if (sample[n] && *sample[n] >= 1 && static_cast<std::size_t>(*sample[n]) <= x.size()) {
                at[n][c] = x[static_cast<std::size_t>(*sample[n] - 1)];
            }
            put(n, static_cast<int>(c) + 2, analysisNumber(at[n][c], 0));
        }
    }
    const bool both = sample[0] && sample[1];
    put(2, 0, both ? QString::number(*sample[1] - *sample[0]) : QStringLiteral("—"));
    put(2, 1,
        analysisNumber(both && rate > 0
                           ? std::optional<double>(1000.0 * (*sample[1] - *sample[0]) / rate)
                           : std::nullopt,
                       3));
    for (std::size_t c = 0; c < 6; ++c) {
        put(2, static_cast<int>(c) + 2,
            analysisNumber(at[0][c] && at[1][c] ? std::optional<double>(*at[1][c] - *at[0][c])
                                                : std::nullopt,
                           0));
    }
}

void WaveformViewer::btn_open_wavesClick() {
    const QString path = askOpenName();
    if (!path.isEmpty()) {
        openRecord(path);
    }
}

bool WaveformViewer::openRecord(const QString& path) {
    const ComtradeRead read = readComtradeFile(QDir::toNativeSeparators(path).toStdString());
    if (!read.record) {
        window_.boxes().error(QStringLiteral("Осциллограмма не открыта: ") +
                                  QString::fromStdString(read.error.textRussian()),
                              kCaptionTool);
        return false;
    }
    const ComtradeRecord& record = *read.record;
    ChannelMap map = guessChannelMap(record);
    // A record of this tool names its channels Ua .. Ic; any other is shown to the user.
    bool ownNames = mapsAPhase(map);
    for (std::size_t role = 0; role < map.size(); ++role) {
        ownNames = ownNames && (!map[role] || record.analogs[*map[role]].id == kRoleNames[role]);
    }
    if (!ownNames) {
        const auto chosen = askChannelMap(record, map);
        if (!chosen) {
            return false;
        }
        map = *chosen;
    }
    showRecord(record, map, QFileInfo(path).fileName());
    return true;
}

void WaveformViewer::showRecord(const ComtradeRecord& record, const ChannelMap& map,
                                const QString& name) {
    Shown shown;
    shown.phases = recordPhaseWaves(record, map);
    shown.minSwingSteps = recordAnalysisOptions(record, shown.phases).minSwingSteps;
    shown.sampleRate = record.sampleRate();
    double low = 0, high = 0;
    bool any = false;
    QLineSeries* const series[] = {page_.Series1, page_.Series2, page_.Series3,
                                   page_.Series4, page_.Series5, page_.Series6};
    for (std::size_t role = 0; role < 6; ++role) {
        QList<QPointF> points;
        if (map[role]) {
            shown.channels[role] = record.samples[*map[role]];
            const auto& x = shown.channels[role];
            points.reserve(static_cast<qsizetype>(x.size()));
            for (std::size_t i = 0; i < x.size(); ++i) {
                if (std::isfinite(x[i])) {
                    points.append(QPointF(static_cast<double>(i + 1), x[i]));
                    low = any ? std::min(low, x[i]) : x[i];
                    high = any ? std::max(high, x[i]) : x[i];
                    any = true;
                }
            }
        }
        series[kSeriesOfRole[role]]->replace(points);
    }
    shown_ = shown;
    page_.Chart1->setShowsRecord(true);
    const double samples = static_cast<double>(record.numbers.size());
    // A record of the unit's own bytes looks as the live chart does; any other is fitted.
    if (low >= 0 && high <= 255) {
        page_.Chart1->setHome(0, samples + 1, DiagPage::kLevelAxisMin, DiagPage::kLevelAxisMax);
    } else {
        const double margin = std::max(1.0, 0.05 * (high - low));
        page_.Chart1->setHome(0, samples + 1, low - margin, high + margin);
    }
    page_.Chart1->setCursorSample(0, std::nullopt);
    page_.Chart1->setCursorSample(1, std::nullopt);
    showCursors();
    page_.Chart1->chart()->setTitle(QStringLiteral("Осциллограмма ") + name);
    page_.btn_close_record->show();
    analyse();
}

void WaveformViewer::closeRecord() {
    page_.Chart1->setShowsRecord(false);
    page_.Chart1->chart()->setTitle(kChartTitle);
    page_.btn_close_record->hide();
    page_.Chart1->setHome(DiagPage::kSampleAxisMin, DiagPage::kSampleAxisMax,
                          DiagPage::kLevelAxisMin, DiagPage::kLevelAxisMax);
    drawWaveforms(page_, liveSamples_);
    shown_ = live_;
    analyse();
    showCursors();
}

} // namespace torl7
