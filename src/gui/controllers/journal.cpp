#include "gui/controllers/journal.hpp"

#include "gui/controllers/exports.hpp"
#include "gui/main_window.hpp"
#include "gui/pages/journal_page.hpp"
#include "records/timeline_rows.hpp"

#include <QCheckBox>
#include <QComboBox>
#include <QDateTimeEdit>
#include <QLabel>
#include <QPushButton>
#include <QSignalBlocker>
#include <QTabWidget>

namespace torl7 {

namespace {

// The unit's clock as the archive keeps it.
std::string unitClock(const QDateTime& moment) {
    return moment.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")).toStdString();
}

} // namespace

Journal::Journal(MainWindow& window, ArchiveFeed& archive, Exports& exports)
    : QObject(&window), archive_(archive), exports_(exports), page_(new JournalPage) {
    setObjectName(QStringLiteral("Journal"));
    page_->setObjectName(QStringLiteral("JournalPage"));
    // A tab rather than a dock: the window keeps the fixed size its pages give it, and the
    // timeline needs a page's room.
    window.PageControl1->addTab(page_, QStringLiteral("Журнал"));

    const auto ask = [this] { refresh(); };
    connect(page_->cb_journal_unit, &QComboBox::currentIndexChanged, this, ask);
    connect(page_->cb_journal_protection, &QComboBox::currentIndexChanged, this, ask);
    for (auto [check, edit] : {std::pair{page_->chk_journal_from, page_->dt_journal_from},
                               std::pair{page_->chk_journal_to, page_->dt_journal_to}}) {
        connect(check, &QCheckBox::toggled, edit, &QWidget::setEnabled);
        connect(check, &QCheckBox::toggled, this, ask);
        connect(edit, &QDateTimeEdit::dateTimeChanged, this, [this, check = check] {
            if (check->isChecked()) {
                refresh();
            }
        });
    }
    connect(page_->btn_journal_refresh, &QPushButton::clicked, this, ask);
    connect(page_->btn_journal_csv, &QPushButton::clicked, this, &Journal::btn_journal_csvClick);
    connect(&archive_, &ArchiveFeed::handedOver, this, ask);
    refresh();
}

TimelineFilter Journal::filter() const {
    TimelineFilter filter;
    if (const QVariant unit = page_->cb_journal_unit->currentData(); unit.isValid()) {
        filter.units.push_back(unit.toInt());
    }
    if (const QVariant bit = page_->cb_journal_protection->currentData(); bit.isValid()) {
        filter.protections = static_cast<std::uint8_t>(bit.toInt());
    }
    if (page_->chk_journal_from->isChecked()) {
        filter.from = unitClock(page_->dt_journal_from->dateTime());
    }
    // The edit shows minutes: "по 14:30" keeps the events of that minute.
    if (page_->chk_journal_to->isChecked()) {
        filter.until = unitClock(page_->dt_journal_to->dateTime().addSecs(60));
    }
    return filter;
}

void Journal::refresh() {
    state_ = State::Asking;
    updateState();
    archive_.askTimeline(filter(),
                         [this](ArchiveFeed::Timeline timeline) { answered(std::move(timeline)); });
}

void Journal::answered(ArchiveFeed::Timeline timeline) {
    if (archive_.askingTimeline()) {
        return; // a newer question is out: its answer follows
    }
    if (timeline.problem) {
        const bool missing = timeline.problem->kind == ArchiveProblem::Kind::Missing;
        state_ = missing ? State::Empty : State::Unavailable;
        problem_ = notArchivedText(*timeline.problem, archive_.shownLocation());
        page_->model->setRows({});
    } else {
        fillUnits(timeline.units);
        page_->model->setRows(std::move(timeline.rows));
        state_ = State::Shown;
    }
    updateState();
}

// The list keeps the unit chosen; a unit no longer archived leaves it on "all".
void Journal::fillUnits(const std::vector<std::pair<int, UnitNames>>& units) {
    QComboBox& list = *page_->cb_journal_unit;
    const QVariant chosen = list.currentData();
    const QSignalBlocker quiet(&list);
    while (list.count() > 1) {
        list.removeItem(1);
    }
    for (const auto& [number, names] : units) {
        const std::string title = unitTitle(number, names);
        list.addItem(title.empty()
                         ? QString::number(number)
                         : QStringLiteral("%1  %2").arg(number).arg(QString::fromStdString(title)),
                     number);
    }
    list.setCurrentIndex(std::max(0, list.findData(chosen)));
}

void Journal::updateState() {
    const int shown = page_->model->rowCount();
    switch (state_) {
    case State::Asking:
        page_->st_journal->setText(QStringLiteral("Чтение архива…"));
        break;
    case State::Shown:
        page_->st_journal->setText(QStringLiteral("Событий: %1").arg(shown));
        break;
    case State::Empty:
        page_->st_journal->setText(QStringLiteral("В архиве пока нет событий"));
        break;
    case State::Unavailable:
        page_->st_journal->setText(QStringLiteral("Архив недоступен: %1").arg(problem_));
        break;
    }
    page_->st_journal->setToolTip(page_->st_journal->text());
    page_->btn_journal_csv->setEnabled(shown > 0);
}

void Journal::btn_journal_csvClick() {
    const auto& rows = page_->model->rows();
    if (rows.empty()) {
        return;
    }
    exports_.saveCsvAs(QStringLiteral("Журнал_%1.csv")
                           .arg(QDate::currentDate().toString(QStringLiteral("yyyy-MM-dd"))),
                       unitEventsCsv(rows));
}

} // namespace torl7
