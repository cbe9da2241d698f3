#include "gui/dialogs/collect_dialog.hpp"

#include "gui/widgets/accessibility.hpp"
#include "gui/widgets/control_factory.hpp"

#include <QCloseEvent>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

namespace torl7 {

CollectDialog::CollectDialog(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint) {
    setObjectName(QStringLiteral("CollectDialog"));
    setWindowTitle(QStringLiteral("Собрать всё"));
    lbl_collect = new QLabel(this);
    lbl_collect->setObjectName(QStringLiteral("lbl_collect"));
    lbl_collect->setTextFormat(Qt::PlainText);
    // Room for a long step line ("[12/30] №61500 КРУ-6 кВ, яч. 14, Насос 12: события 10/10"),
    // so the fixed-size dialog does not change its width with every step.
    lbl_collect->setFixedWidth(lbl_collect->fontMetrics().horizontalAdvance(
                                   QStringLiteral("[30/30] №65535 КРУ-6 кВ, яч. 14, Насос 12: "
                                                  "события 10/10")) +
                               8);
    pb_collect = makeProgressBar(this, QStringLiteral("pb_collect"), 0, 1);
    pb_collect->setTextVisible(true);
    pb_collect->setFormat(QStringLiteral("%v из %m"));
    btn_collect_cancel =
        makeButton(this, QStringLiteral("btn_collect_cancel"), QStringLiteral("Отмена"));
    btn_collect_cancel->setAccessibleName(QStringLiteral("Отменить сбор"));
    connect(btn_collect_cancel, &QPushButton::clicked, this, &CollectDialog::cancelAsked);

    auto* column = new QVBoxLayout(this);
    column->setSizeConstraint(QLayout::SetFixedSize);
    column->addWidget(lbl_collect);
    column->addWidget(pb_collect);
    column->addWidget(btn_collect_cancel, 0, Qt::AlignHCenter);
}

void CollectDialog::reject() {
    emit cancelAsked();
}

void CollectDialog::closeEvent(QCloseEvent* event) {
    // Closed by its controller (hide, delete); the user's close is a cancel.
    event->ignore();
    emit cancelAsked();
}

} // namespace torl7
