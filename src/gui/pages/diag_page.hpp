// The "Диагностика" page: the connection bar (factory number, port, line speed, search,
// waveform view), the waveform chart with its cursors and the analysis of what it shows, live
// measurements, protection state lamps with their
// trip countdowns, the unit's clock, the exchange counters, energy and running time.
#pragma once

#include <QString>
#include <QWidget>

class QCheckBox;
class QChart;
class QComboBox;
class QLabel;
class QLineEdit;
class QLineSeries;
class QPushButton;
class QSpinBox;
class QTableWidget;
class QValueAxis;

namespace torl7 {

class AnalysisPanel;
class IndicatorShape;
class WaveformView;

inline const QString kChartTitle =
    QStringLiteral("Мониторинг синусоидальной формы напряжений и токов");

class DiagPage : public QWidget {
    Q_OBJECT
public:
    explicit DiagPage(QWidget* parent = nullptr);

    // The chart's fixed axes. Sample values are bytes; the level axis leaves a pixel of room at
    // both ends. One block is 100 samples; the phase A current is drawn one sample to the right.
    static constexpr double kLevelAxisMin = -1;
    static constexpr double kLevelAxisMax = 260;
    static constexpr double kSampleAxisMin = 0;
    static constexpr double kSampleAxisMax = 101;

    // Connection bar
    QSpinBox* frm1_zn = nullptr;
    QComboBox* cmbPorts = nullptr;
    QComboBox* cb_speed = nullptr;
    QPushButton* Button6 = nullptr;
    QComboBox* cmb_m = nullptr;
    // The waveforms last drawn as COMTRADE or CSV files.
    QPushButton* btn_save_waves = nullptr;

    // Waveforms of the phase voltages and currents, one sample per point.
    WaveformView* Chart1 = nullptr;
    QLineSeries* Series1 = nullptr;
    QLineSeries* Series2 = nullptr;
    QLineSeries* Series3 = nullptr;
    QLineSeries* Series4 = nullptr;
    QLineSeries* Series5 = nullptr;
    QLineSeries* Series6 = nullptr;
    QValueAxis* sampleAxis = nullptr;
    QValueAxis* levelAxis = nullptr;
    // Under the chart: the analysis on or off, the home view, a record from disk (the chart's
    // title names it while it is shown), and the samples under the two cursors: rows К1, К2
    // and their difference, columns the sample number, the time and Ua, Ia, Ub, Ib, Uc, Ic.
    QCheckBox* cb_analysis = nullptr;
    // The sample rate, when the user knows it: the period then follows from it, and the
    // cursors show time.
    QLineEdit* ed_analysis_rate = nullptr;
    QPushButton* btn_zoom_reset = nullptr;
    QPushButton* btn_open_waves = nullptr;
    QPushButton* btn_close_record = nullptr;
    QTableWidget* tbl_cursors = nullptr;
    AnalysisPanel* analysis = nullptr;

    // "Текущие данные"
    QLabel* st_ua = nullptr;
    QLabel* st_ub = nullptr;
    QLabel* st_uc = nullptr;
    QLabel* st_uasm = nullptr;
    QLabel* st_cos = nullptr;
    QLabel* st_pa = nullptr;
    QLabel* st_ia = nullptr;
    QLabel* st_ib = nullptr;
    QLabel* st_ic = nullptr;
    QLabel* st_iasm = nullptr;
    QLabel* st_idif = nullptr;

    // "Состояние защиты": a rounded square (function on) with a circle inside (tripped)
    IndicatorShape* sh_dv = nullptr;
    IndicatorShape* sh_iso = nullptr;
    IndicatorShape* zp_umin = nullptr;
    IndicatorShape* sh_umin = nullptr;
    QLabel* c_umin = nullptr;
    IndicatorShape* zp_umax = nullptr;
    IndicatorShape* sh_umax = nullptr;
    QLabel* c_umax = nullptr;
    IndicatorShape* zp_uasm = nullptr;
    IndicatorShape* sh_uasm = nullptr;
    QLabel* c_uasm = nullptr;
    IndicatorShape* Sh_z = nullptr;
    QLabel* st_blkz = nullptr;
    IndicatorShape* zp_ihol = nullptr;
    IndicatorShape* sh_ihol = nullptr;
    QLabel* c_ihol = nullptr;
    IndicatorShape* zp_ivtz = nullptr;
    IndicatorShape* Sh_ivtz = nullptr;
    QLabel* c_ivtz = nullptr;
    IndicatorShape* zp_iasm = nullptr;
    IndicatorShape* sh_iasm = nullptr;
    QLabel* c_iasm = nullptr;
    IndicatorShape* zp_zakl = nullptr;
    IndicatorShape* sh_zakl = nullptr;
    QLabel* c_izakl = nullptr;
    IndicatorShape* zp_idif = nullptr;
    IndicatorShape* sh_idif = nullptr;
    QLabel* c_idif = nullptr;
    QLabel* st_ikrp = nullptr;

    // The unit's clock
    QCheckBox* rstop = nullptr;
    QCheckBox* tavto = nullptr;
    QSpinBox* rcal = nullptr;
    QLabel* ttime = nullptr;
    QLabel* tDATE = nullptr;
    QPushButton* Button11 = nullptr;

    // "Статистика": requests sent and responses received
    QLabel* st_txd = nullptr;
    QLabel* st_rxd = nullptr;
    QPushButton* btn_traffic = nullptr; // opens the "Обмен" window

    // Totals line
    QLabel* st_wa = nullptr;
    QLabel* st_moto = nullptr;

    QPushButton* diagnos = nullptr;
    QPushButton* btn_monitor = nullptr;

    // Keeps every framed value text at the size the layout gave it, once the page has been
    // shown; false while it never was.
    bool keepLiveTextSizes();

    // Greys the unit's values (measurements, lamps, countdowns, clock, energy, running time)
    // while they are no longer current: the line was lost or the unit stopped answering during
    // the poll. The next snapshot shows them current again.
    void showValuesStale(bool stale);
    bool valuesStale() const { return valuesStale_; }

private:
    QLayout* buildConnectionBar();
    QWidget* buildChart();
    QLayout* buildChartTools();
    QWidget* buildMeasurements();
    QWidget* buildProtectionState();
    QWidget* buildClock();
    QWidget* buildStatistics();
    QLayout* buildBottomLine();

    bool valuesStale_ = false;
};

} // namespace torl7
