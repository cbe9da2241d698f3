#include "gui/dialogs/traffic_dialog.hpp"

#include "documents/file_output.hpp"
#include "gui/message_boxes.hpp"
#include "gui/widgets/control_factory.hpp"

#include <QDir>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QScrollBar>
#include <QTableView>
#include <QTextStream>
#include <QTimer>
#include <QVBoxLayout>

namespace torl7 {

TrafficModel::TrafficModel(const TrafficLog& log, QObject* parent)
    : QAbstractTableModel(parent), log_(log) {
    // taken_ starts at 0: what the log already holds when the window first opens is shown too.
}

void TrafficModel::takeNew() {
    if (log_.added() < taken_) {
        taken_ = 0; // the log was cleared behind us
    }
    const std::size_t fresh =
        static_cast<std::size_t>(std::min<std::uint64_t>(log_.added() - taken_, log_.size()));
    taken_ = log_.added();
    if (fresh == 0) {
        return;
    }
    cachedRow_ = -1;
    const std::size_t keep = log_.capacity();
    if (entries_.size() + fresh > keep) {
        const std::size_t drop = std::min(entries_.size(), entries_.size() + fresh - keep);
        if (drop > 0) {
            beginRemoveRows({}, 0, static_cast<int>(drop) - 1);
            entries_.erase(entries_.begin(), entries_.begin() + static_cast<long>(drop));
            endRemoveRows();
        }
    }
    const int first = static_cast<int>(entries_.size());
    beginInsertRows({}, first, first + static_cast<int>(fresh) - 1);
    for (std::size_t i = log_.size() - fresh; i < log_.size(); ++i) {
        entries_.push_back(log_.at(i));
    }
    endInsertRows();
}

void TrafficModel::clearRows() {
    beginResetModel();
    entries_.clear();
    cachedRow_ = -1;
    taken_ = log_.added();
    endResetModel();
}

int TrafficModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(entries_.size());
}

int TrafficModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(kTrafficHeader.size());
}

QVariant TrafficModel::data(const QModelIndex& index, int role) const {
    if (role != Qt::DisplayRole || !index.isValid() || index.row() >= rowCount()) {
        return {};
    }
    if (cachedRow_ != index.row()) {
        cached_ = trafficRow(entries_[static_cast<std::size_t>(index.row())], log_.origin());
        cachedRow_ = index.row();
    }
    return cached_[static_cast<std::size_t>(index.column())];
}

QVariant TrafficModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (role != Qt::DisplayRole || orientation != Qt::Horizontal || section < 0 ||
        section >= columnCount()) {
        return {};
    }
    return kTrafficHeader[static_cast<std::size_t>(section)];
}

TrafficDialog::TrafficDialog(TrafficLog& log, QWidget* parent)
    : QDialog(parent, Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowMinMaxButtonsHint | Qt::WindowCloseButtonHint),
      log_(log), model_(new TrafficModel(log, this)) {
    setObjectName("TrafficDialog");
    setWindowTitle("Обмен");

    table = new QTableView(this);
    table->setObjectName("table");
    table->setModel(model_);
    table->setSelectionBehavior(QAbstractItemView::SelectRows);
    table->setWordWrap(false);
    table->verticalHeader()->setVisible(false);
    table->verticalHeader()->setDefaultSectionSize(table->fontMetrics().height() + 4);
    table->horizontalHeader()->setStretchLastSection(true);
    const int widths[] = {70, 100, 95, 50, 70, 85};
    for (int column = 0; column < 6; ++column) {
        table->setColumnWidth(column, widths[column]);
    }

    lbl_counters = new QLabel(this);
    lbl_counters->setObjectName("lbl_counters");
    btn_pause = makeButton(this, "btn_pause", "Пауза");
    btn_clear = makeButton(this, "btn_clear", "Очистить");
    btn_save = makeButton(this, "btn_save", "Сохранить...");

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(btn_pause);
    buttons->addWidget(btn_clear);
    buttons->addWidget(btn_save);
    buttons->addStretch(1);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(buttons);
    layout->addWidget(table, 1);
    layout->addWidget(lbl_counters);
    resize(900, 420);

    refresh = new QTimer(this);
    refresh->setInterval(kRefreshMs);
    connect(refresh, &QTimer::timeout, this, &TrafficDialog::refreshTick);
    connect(btn_pause, &QPushButton::clicked, this, &TrafficDialog::pauseClick);
    connect(btn_clear, &QPushButton::clicked, this, &TrafficDialog::clearClick);
    connect(btn_save, &QPushButton::clicked, this, &TrafficDialog::saveClick);
    connect(&log_, &TrafficLog::cleared, model_, &TrafficModel::clearRows);
    refreshTick();
}

void TrafficDialog::refreshTick() {
    lbl_counters->setText(log_.countersText());
    if (paused_) {
        return;
    }
    const QScrollBar* bar = table->verticalScrollBar();
    const bool atEnd = bar->value() == bar->maximum();
    model_->takeNew();
    if (atEnd) {
        table->scrollToBottom(); // follows the line unless the user scrolled up to read
    }
}

void TrafficDialog::pauseClick() {
    paused_ = !paused_;
    btn_pause->setText(paused_ ? "Продолжить" : "Пауза");
    if (!paused_) {
        refreshTick();
    }
}

void TrafficDialog::clearClick() {
    log_.clear();
    refreshTick();
}

void TrafficDialog::saveClick() {
    const QString path = QFileDialog::getSaveFileName(this, "Сохранить обмен", QString(),
                                                      "Текст (*.txt);;CSV (*.csv)");
    QString error;
    if (!path.isEmpty() && !saveTo(path, &error) && boxes != nullptr) {
        boxes->error(error, kCaptionTool, this);
    }
}

bool TrafficDialog::saveTo(const QString& path, QString* error) const {
    const bool csv = path.endsWith(".csv", Qt::CaseInsensitive);
    QString text;
    QTextStream out(&text);
    if (csv) {
        out << trafficCsvHeader() << '\n';
    }
    for (const TrafficEntry& entry : model_->entries()) {
        out << (csv ? trafficCsvLine(entry, log_.origin()) : trafficLine(entry, log_.origin()))
            << '\n';
    }
    out.flush();
    std::string message;
    if (!writeFileWhole(QDir::toNativeSeparators(path).toStdString(), text.toStdString(),
                        message)) {
        if (error != nullptr) {
            *error = QString::fromStdString(message);
        }
        return false;
    }
    return true;
}

void TrafficDialog::showEvent(QShowEvent* event) {
    refreshTick();
    refresh->start();
    QDialog::showEvent(event);
}

void TrafficDialog::hideEvent(QHideEvent* event) {
    refresh->stop();
    QDialog::hideEvent(event);
}

} // namespace torl7
