#include "gui/pages/units_page.hpp"

#include "gui/widgets/accessibility.hpp"
#include "gui/widgets/control_factory.hpp"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

#include <algorithm>

namespace torl7 {

const QStringList UnitsPage::kColumns{QStringLiteral("Зав. №"),   QStringLiteral("Присоединение"),
                                      QStringLiteral("Линия"),    QStringLiteral("Последний ответ"),
                                      QStringLiteral("Прошивка"), QStringLiteral("Результат")};

UnitsPage::UnitsPage(QWidget* parent) : QWidget(parent) {
    auto* page = new QVBoxLayout(this);
    page->addLayout(buildFileRow());
    page->addWidget(buildTable(), 1);
    st_unit_detail = new QLabel(this);
    st_unit_detail->setObjectName(QStringLiteral("st_unit_detail"));
    st_unit_detail->setTextFormat(Qt::PlainText);
    st_unit_detail->setWordWrap(true);
    st_unit_detail->setTextInteractionFlags(Qt::TextSelectableByMouse);
    // Two lines of room: a folder's path or the line's hint, so the layout does not jump.
    st_unit_detail->setMinimumHeight(2 * st_unit_detail->fontMetrics().lineSpacing() + 4);
    st_unit_detail->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    page->addWidget(st_unit_detail);
    page->addLayout(buildButtons());
    orderTabsByLayout(this);
}

QLayout* UnitsPage::buildFileRow() {
    st_substation_file =
        makeStaticText(this, QStringLiteral("st_substation_file"), QString(), QString());
    st_substation_file->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    st_substation_file->setTextInteractionFlags(Qt::TextSelectableByMouse);
    ed_substation_name = makeTextEdit(this, QStringLiteral("ed_substation_name"), QString());
    fitWidthTo(ed_substation_name, QStringLiteral("ПС 110/35/6 кВ Северная-2"));

    auto* row = new QHBoxLayout;
    row->addWidget(makeCaption(QStringLiteral("Файл:"), st_substation_file));
    row->addWidget(st_substation_file, 1);
    row->addWidget(makeCaption(QStringLiteral("Подстанция:"), ed_substation_name));
    row->addWidget(ed_substation_name);
    return row;
}

QWidget* UnitsPage::buildTable() {
    tbl_units = new QTableWidget(0, ColumnCount, this);
    tbl_units->setObjectName(QStringLiteral("tbl_units"));
    tbl_units->setAccessibleName(QStringLiteral("Устройства подстанции"));
    tbl_units->setHorizontalHeaderLabels(kColumns);
    tbl_units->verticalHeader()->setVisible(false);
    tbl_units->setEditTriggers(QAbstractItemView::NoEditTriggers);
    tbl_units->setSelectionBehavior(QAbstractItemView::SelectRows);
    tbl_units->setSelectionMode(QAbstractItemView::SingleSelection);
    tbl_units->setAlternatingRowColors(true);
    tbl_units->setWordWrap(false);
    tbl_units->verticalHeader()->setDefaultSectionSize(tbl_units->fontMetrics().height() + 6);
    // Room for the widest usual content of each column; the result takes what is left.
    const QStringList widest{QStringLiteral("65535"), QStringLiteral("КРУ-6 кВ, яч. 14, Насос 12"),
                             QStringLiteral("bus1: rfc2217://10.0.0.5:4001, 115200"),
                             QStringLiteral("00.00.0000 00:00:00"),
                             QStringLiteral("ТОРЛ-7 v16.9 00")};
    for (int column = 0; column < widest.size(); ++column) {
        const int width = std::max(
            tbl_units->fontMetrics().horizontalAdvance(widest[column]),
            tbl_units->horizontalHeader()->fontMetrics().horizontalAdvance(kColumns[column]));
        tbl_units->setColumnWidth(column, width + 14);
    }
    tbl_units->horizontalHeader()->setStretchLastSection(true);
    return tbl_units;
}

QLayout* UnitsPage::buildButtons() {
    btn_units_open = makeButton(this, QStringLiteral("btn_units_open"), QStringLiteral("Открыть…"));
    btn_units_save =
        makeButton(this, QStringLiteral("btn_units_save"), QStringLiteral("Сохранить…"));
    btn_unit_add = makeButton(this, QStringLiteral("btn_unit_add"), QStringLiteral("Добавить…"));
    btn_unit_edit = makeButton(this, QStringLiteral("btn_unit_edit"), QStringLiteral("Изменить…"));
    btn_unit_remove =
        makeButton(this, QStringLiteral("btn_unit_remove"), QStringLiteral("Удалить"));
    btn_collect_all =
        makeButton(this, QStringLiteral("btn_collect_all"), QStringLiteral("Собрать всё"));
    // "Открыть…" alone does not say what it opens to a screen reader.
    btn_units_open->setAccessibleName(QStringLiteral("Открыть файл подстанции"));
    btn_units_save->setAccessibleName(QStringLiteral("Сохранить файл подстанции"));
    btn_unit_add->setAccessibleName(QStringLiteral("Добавить устройство"));
    btn_unit_edit->setAccessibleName(QStringLiteral("Изменить устройство"));
    btn_unit_remove->setAccessibleName(QStringLiteral("Удалить устройство"));
    btn_collect_all->setAccessibleName(QStringLiteral("Собрать всё: прочитать все устройства"));

    auto* row = new QHBoxLayout;
    for (QPushButton* button :
         {btn_units_open, btn_units_save, btn_unit_add, btn_unit_edit, btn_unit_remove}) {
        row->addWidget(button);
    }
    row->addStretch(1);
    row->addWidget(btn_collect_all);
    return row;
}

} // namespace torl7
