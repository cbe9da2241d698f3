// The "Обмен" window: the traffic log as a live table (time, direction, kind, length, sum,
// fate, decoded summary) with pause, clear, save as text or CSV, and the counters. The table
// takes the log's new entries on a timer, a batch at a time, so a fast poll costs it one
// update a tick however many frames went by; closed, it costs nothing.
#pragma once

#include "session/traffic_log.hpp"

#include <QAbstractTableModel>
#include <QDialog>

#include <deque>

class QLabel;
class QPushButton;
class QTableView;
class QTimer;

namespace torl7 {

class MessageBoxes;

// The rows of the table: a copy of the log's entries as of the last take, no more than the
// log keeps. Texts are made only for the rows drawn.
class TrafficModel : public QAbstractTableModel {
    Q_OBJECT
public:
    explicit TrafficModel(const TrafficLog& log, QObject* parent = nullptr);

    // Appends what the log gained since the last take; the oldest rows go beyond its capacity.
    void takeNew();
    // Forgets every row; the next take starts from what the log gains afterwards.
    void clearRows();
    const std::deque<TrafficEntry>& entries() const { return entries_; }

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

private:
    const TrafficLog& log_;
    std::deque<TrafficEntry> entries_;
    std::uint64_t taken_ = 0;
    // The texts of the row last drawn: a row's cells are drawn one after another.
    mutable int cachedRow_ = -1;
    mutable TrafficRow cached_;
};

class TrafficDialog : public QDialog {
    Q_OBJECT
public:
    static constexpr int kRefreshMs = 250;

    TrafficDialog(TrafficLog& log, QWidget* parent = nullptr);

    QTableView* table = nullptr;
    QLabel* lbl_counters = nullptr;
    QPushButton* btn_pause = nullptr;
    QPushButton* btn_clear = nullptr;
    QPushButton* btn_save = nullptr;
    QTimer* refresh = nullptr; // runs while the window is shown

    TrafficModel& model() { return *model_; }
    bool paused() const { return paused_; }

    // One tick: the new entries (unless paused) and the counters.
    void refreshTick();
    void pauseClick();
    void clearClick();
    void saveClick();
    // Writes the rows shown: CSV for a name ending in .csv, else text lines. False when the
    // file cannot be written, with the writer's message in `error`.
    bool saveTo(const QString& path, QString* error = nullptr) const;
    // Where saveClick says that the file was not written.
    MessageBoxes* boxes = nullptr;

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    TrafficLog& log_;
    TrafficModel* model_;
    bool paused_ = false;
};

} // namespace torl7
