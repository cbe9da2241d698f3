#include "gui/pages/protocol_page.hpp"

#include "documents/events_csv.hpp"
#include "gui/widgets/accessibility.hpp"
#include "gui/widgets/control_factory.hpp"

#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>


namespace torl7 {

const QStringList ProtocolPage::kEventColumns = [] {
    QStringList titles{QStringLiteral("№ п/п")};
    for (const std::string_view title : kEventColumnTitles) {
        titles << QString::fromUtf8(title.data(), static_cast<qsizetype>(title.size()));
    }
    return titles;
}();

// Widest content of each grid column (row number, date/time with order digit, states,
// longest protection name, values), so that a full protocol needs no column resizing.
const QStringList ProtocolPage::kWidestCells{"100",          "00.00.00  00:00:00:15",
                                             "Выкл.",        "Выкл.",
                                             "Заклинивание", "00000",
                                             "00000",        "00000",
                                             "0000",         "0000",
                                             "0000",         "0000",
                                             "-0,00"};

ProtocolPage::ProtocolPage(QWidget* parent) : QWidget(parent) {
    // The grid comes first in the focus chain as on the page: a control with parts of its own
    // (the grid's headers and scroll bars) cannot be moved ahead of others afterwards.
    QWidget* events = buildEventGrid();
    auto* bottom = new QHBoxLayout;
    bottom->addWidget(buildAccounting(), 1);
    bottom->addWidget(buildProtocol(), 0, Qt::AlignBottom);

    auto* page = new QVBoxLayout(this);
    page->addWidget(events, 1);
    page->addLayout(bottom);
    orderTabsByLayout(this);
}

QWidget* ProtocolPage::buildEventGrid() {
    StGr_prot = new QTableWidget(0, static_cast<int>(kEventColumns.size()), this);
    StGr_prot->setObjectName("StGr_prot");
    StGr_prot->setAccessibleName("Протокол событий");
    StGr_prot->setHorizontalHeaderLabels(kEventColumns);
    setUpEventGrid(StGr_prot, kWidestCells);
    return StGr_prot;
}

QWidget* ProtocolPage::buildAccounting() {
    // The accounting group has no heading of its own.
    auto* group = new QGroupBox(this);
    st_nuh = makeStaticText(group, "st_nuh", QString(), "00.00.2000г/00:00:00");
    st_nwa = makeStaticText(group, "st_nwa", QString(), "0000000,0");
    st_tdv = makeStaticText(group, "st_tdv", QString(), "0000000:00:00");
    st_kvdv = makeStaticText(group, "st_kvdv", QString(), "00000");
    st_kzdv = makeStaticText(group, "st_kzdv", QString(), "00000");
    Button7 = makeButton(group, "Button7", "Считать учетную запись");
    Button8 = makeButton(group, "Button8", "Обнулить учетную запись");

    auto* grid = new QGridLayout(group);
    grid->setHorizontalSpacing(6);
    grid->setVerticalSpacing(4);
    grid->addWidget(makeCaption("Начало учета:", st_nuh), 0, 0);
    grid->addWidget(st_nuh, 0, 1);
    grid->addWidget(makeCaption("Wа:", st_nwa), 1, 0);
    grid->addWidget(st_nwa, 1, 1);
    grid->addWidget(makeCaption("кВтч", st_nwa), 1, 2);
    grid->addWidget(makeCaption("Наработка об., (ч:м:с):", st_tdv), 0, 3);
    grid->addWidget(st_tdv, 0, 4);
    grid->addWidget(makeCaption("К-во включений оборуд.:", st_kvdv), 1, 3);
    grid->addWidget(st_kvdv, 1, 4);
    grid->addWidget(makeCaption("К-во сработан. защит:", st_kzdv), 2, 3);
    grid->addWidget(st_kzdv, 2, 4);
    grid->setColumnMinimumWidth(2, 40);
    grid->setColumnStretch(5, 1);

    auto* buttons = new QHBoxLayout;
    buttons->setSpacing(6);
    buttons->addWidget(Button7);
    buttons->addWidget(Button8);
    buttons->addStretch(1);
    grid->addLayout(buttons, 3, 0, 1, 5);
    return group;
}

QWidget* ProtocolPage::buildProtocol() {
    // The protocol group has no heading of its own.
    auto* group = new QGroupBox(this);
    pb_prot = makeProgressBar(group, "pb_prot", 0, 10);
    Button1 = makeButton(group, "Button1", "Считать протокол");
    btn_save_prot = makeButton(group, "btn_save_prot", "Сохранить протокол");
    btn_save_csv = makeButton(group, "btn_save_csv", "Сохранить CSV…");
    btn_save_all = makeButton(group, "btn_save_all", "Сохранить всё…");

    auto* column = new QVBoxLayout(group);
    column->addWidget(pb_prot);
    column->addWidget(Button1);
    column->addWidget(btn_save_prot);
    column->addWidget(btn_save_csv);
    column->addWidget(btn_save_all);
    return group;
}

} // namespace torl7
