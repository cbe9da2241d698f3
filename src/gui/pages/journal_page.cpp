#include "gui/pages/journal_page.hpp"

#include "gui/pages/protocol_page.hpp"
#include "gui/widgets/accessibility.hpp"
#include "gui/widgets/control_factory.hpp"
#include "protocol/codecs/event_codec.hpp"

#include <QCheckBox>
#include <QComboBox>
#include <QDateTimeEdit>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QTableView>
#include <QVBoxLayout>

namespace torl7 {

namespace {

QString fromUtf8(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

constexpr int kUnitColumns = 2;

} // namespace

void JournalModel::setRows(std::vector<UnitEventRow> rows) {
    beginResetModel();
    rows_ = std::move(rows);
    endResetModel();
}

int JournalModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

int JournalModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : kUnitColumns + static_cast<int>(kEventColumnTitles.size());
}

QVariant JournalModel::data(const QModelIndex& index, int role) const {
    if (role != Qt::DisplayRole || !index.isValid()) {
        return {};
    }
    const UnitEventRow& row = rows_[static_cast<std::size_t>(index.row())];
    switch (index.column()) {
    case 0:
        return QString::number(row.unit);
    case 1:
        return QString::fromStdString(row.title);
    default:
        return QString::fromStdString(
            row.row[static_cast<std::size_t>(index.column() - kUnitColumns)]);
    }
}

QVariant JournalModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (role != Qt::DisplayRole || orientation != Qt::Horizontal || section < 0 ||
        section >= columnCount()) {
        return QAbstractTableModel::headerData(section, orientation, role);
    }
    if (section == 0) {
        return fromUtf8(kUnitColumnTitle);
    }
    if (section == 1) {
        return fromUtf8(kUnitNamesColumnTitle);
    }
    return fromUtf8(kEventColumnTitles[static_cast<std::size_t>(section - kUnitColumns)]);
}

JournalPage::JournalPage(QWidget* parent) : QWidget(parent) {
    QWidget* filters = buildFilters();

    model = new JournalModel(this);
    tv_journal = new QTableView(this);
    tv_journal->setObjectName(QStringLiteral("tv_journal"));
    tv_journal->setAccessibleName(QStringLiteral("События всех устройств из архива"));
    tv_journal->setModel(model);
    setUpEventGrid(tv_journal, QStringList{"65535", "КРУ-6 кВ, яч. 12, Вентилятор 2"} +
                                   ProtocolPage::kWidestCells.mid(1));

    st_journal = makeStaticText(this, "st_journal", QString(), QString());
    setSpokenName(st_journal, QStringLiteral("Состояние журнала"));
    st_journal->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    // A long reason must not widen the window, whose size its pages fix.
    st_journal->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
    btn_journal_refresh = makeButton(this, "btn_journal_refresh", "Обновить");
    btn_journal_csv = makeButton(this, "btn_journal_csv", "Экспорт CSV…");
    auto* bottom = new QHBoxLayout;
    bottom->addWidget(st_journal, 1);
    bottom->addWidget(btn_journal_refresh);
    bottom->addWidget(btn_journal_csv);

    auto* page = new QVBoxLayout(this);
    page->addWidget(filters);
    page->addWidget(tv_journal, 1);
    page->addLayout(bottom);
    orderTabsByLayout(this);
}

QWidget* JournalPage::buildFilters() {
    auto* group = new QGroupBox(QStringLiteral("Отбор"), this);
    cb_journal_unit = makeDropDown(group, "cb_journal_unit", {QStringLiteral("Все устройства")}, 0);
    // Units' titles come later, from the archive; they must not widen the window.
    cb_journal_unit->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    cb_journal_unit->setMinimumContentsLength(24);
    QStringList protections{QStringLiteral("Все защиты")};
    for (const std::string_view name : kProtectionNames) {
        protections << fromUtf8(name);
    }
    cb_journal_protection = makeDropDown(group, "cb_journal_protection", protections, 0);
    for (int bit = 0; bit < static_cast<int>(kProtectionNames.size()); ++bit) {
        cb_journal_protection->setItemData(bit + 1, 1 << bit);
    }
    const auto moment = [group](const char* name) {
        auto* edit = new QDateTimeEdit(QDate::currentDate().startOfDay(), group);
        edit->setObjectName(QLatin1String(name));
        edit->setDisplayFormat(QStringLiteral("dd.MM.yyyy HH:mm"));
        edit->setCalendarPopup(true);
        edit->setEnabled(false);
        return edit;
    };
    chk_journal_from = makeCheckBox(group, "chk_journal_from", "с", false);
    dt_journal_from = moment("dt_journal_from");
    chk_journal_to = makeCheckBox(group, "chk_journal_to", "по", false);
    dt_journal_to = moment("dt_journal_to");
    // The check box says whether the bound applies; the edit is named by the same words.
    setSpokenName(chk_journal_from, QStringLiteral("События с"));
    setSpokenName(dt_journal_from, QStringLiteral("Начало отбора, дата и время"));
    setSpokenName(chk_journal_to, QStringLiteral("События по"));
    setSpokenName(dt_journal_to, QStringLiteral("Конец отбора, дата и время, включительно"));

    auto* row = new QHBoxLayout(group);
    row->addWidget(makeCaption("Устройство:", cb_journal_unit));
    row->addWidget(cb_journal_unit, 1);
    row->addWidget(makeCaption("Защита:", cb_journal_protection));
    row->addWidget(cb_journal_protection);
    row->addSpacing(8);
    row->addWidget(chk_journal_from);
    row->addWidget(dt_journal_from);
    row->addWidget(chk_journal_to);
    row->addWidget(dt_journal_to);
    return group;
}

} // namespace torl7
