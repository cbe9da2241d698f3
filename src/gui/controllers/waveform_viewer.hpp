// What the waveform chart of "Диагностика" shows, and what is made of it: each drawing of the
// poll is analysed (when "Анализ" is ticked) with the snapshot before it, and the cursors read
// the samples under them. "Открыть осциллограмму…" puts a COMTRADE record from disk in the
// chart instead, read-only, with its own analysis; the poll's drawings then wait until
// "Закрыть" returns the chart to them.
#pragma once

#include "documents/comtrade_reader.hpp"
#include "documents/record_channels.hpp"
#include "protocol/codecs/snapshot_codec.hpp"
#include "protocol/waveform_analysis.hpp"

#include <QObject>
#include <QString>

#include <array>
#include <functional>
#include <optional>
#include <vector>

namespace torl7 {

class DiagPage;
class DiagPoll;
class MainWindow;

class WaveformViewer : public QObject {
    Q_OBJECT
public:
    // Follows the snapshots and drawings of `poll`.
    WaveformViewer(MainWindow& window, const DiagPoll& poll);

    void btn_open_wavesClick();
    // Reads the record at `path` into the chart and the analysis; a record that cannot be read
    // is one error box naming the file, the line and the reason.
    bool openRecord(const QString& path);
    void closeRecord();

    // The analysis last shown; nothing when the analysis is off or nothing was drawn.
    const std::optional<WaveformAnalysis>& lastAnalysis() const { return analysis_; }

    // The file to open; empty cancels. The program shows the open dialog; tests answer.
    std::function<QString()> askOpenName;
    // The channels of a record whose channels are not all named Ua .. Ic; nothing cancels.
    std::function<std::optional<ChannelMap>(const ComtradeRecord&, const ChannelMap& guess)>
        askChannelMap;

private:
    // The set in the chart: its six channels by role (Ua, Ub, Uc, Ia, Ib, Ic; sample 1 first)
    // and what the analysis takes of it.
    struct Shown {
        std::array<std::vector<double>, 6> channels;
        std::vector<PhaseWaves> phases;
        double minSwingSteps = 8;
        std::optional<double> unitCosF;
        double sampleRate = 0; // the record's own; 0 when not known
    };
    void takeDrawing(const WaveformSamples& samples);
    void analyse();
    void showCursors();
    void showRecord(const ComtradeRecord& record, const ChannelMap& map, const QString& name);
    // The rate the user typed; the record's own when none; 0 when neither is known.
    std::optional<double> typedRate() const;
    double knownRate() const;

    MainWindow& window_;
    DiagPage& page_;
    const DiagPoll& poll_;
    std::optional<Snapshot> snapshot_;
    Shown shown_;
    Shown live_;
    WaveformSamples liveSamples_;
    std::optional<WaveformAnalysis> analysis_;
};

} // namespace torl7
