// The "Журнал" page: the events of every unit kept in the archive, in time order, filtered by
// unit, protection and time, and written as CSV. The rows live in a model rather than in cells
// of their own: a substation's years are thousands of events.
#pragma once

#include "documents/events_csv.hpp"

#include <QAbstractTableModel>
#include <QWidget>

#include <vector>

class QCheckBox;
class QComboBox;
class QDateTimeEdit;
class QLabel;
class QPushButton;
class QTableView;

namespace torl7 {

// The unit's number and title, then the grid's twelve texts: the columns of the CSV file.
class JournalModel final : public QAbstractTableModel {
    Q_OBJECT
public:
    using QAbstractTableModel::QAbstractTableModel;

    void setRows(std::vector<UnitEventRow> rows);
    const std::vector<UnitEventRow>& rows() const { return rows_; }

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

private:
    std::vector<UnitEventRow> rows_;
};

class JournalPage : public QWidget {
    Q_OBJECT
public:
    explicit JournalPage(QWidget* parent = nullptr);

    // Filters. The lists' first item is "all"; the others carry the factory number or the
    // protection's bit as their data.
    QComboBox* cb_journal_unit = nullptr;
    QComboBox* cb_journal_protection = nullptr;
    QCheckBox* chk_journal_from = nullptr;
    QDateTimeEdit* dt_journal_from = nullptr;
    QCheckBox* chk_journal_to = nullptr;
    QDateTimeEdit* dt_journal_to = nullptr;

    QTableView* tv_journal = nullptr;
    JournalModel* model = nullptr;
    // How many events are shown, or why none can be.
    QLabel* st_journal = nullptr;
    QPushButton* btn_journal_refresh = nullptr;
    QPushButton* btn_journal_csv = nullptr;

private:
    QWidget* buildFilters();
};

} // namespace torl7
