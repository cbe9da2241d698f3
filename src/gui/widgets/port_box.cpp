#include "gui/widgets/port_box.hpp"

#include "gui/widgets/control_factory.hpp"

#include <QAbstractItemView>
#include <QComboBox>
#include <QLineEdit>
#include <QStyle>

namespace torl7 {

QComboBox* makePortBox(QWidget* parent) {
    QComboBox* box = makeDropDown(parent, QStringLiteral("cmbPorts"), {}, -1);
    box->setEditable(true);
    // Typed text is taken by shareTypedPorts, into both boxes at once.
    box->setInsertPolicy(QComboBox::NoInsert);
    box->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    // The page has no room for more; a longer address shows whole in the open list.
    box->setMinimumContentsLength(12);
    box->lineEdit()->setPlaceholderText(QStringLiteral("tcp://узел:порт"));
    // The open list shows a server's address whole, however narrow the box.
    box->view()->setMinimumWidth(
        box->fontMetrics().horizontalAdvance(QStringLiteral("rfc2217://255.255.255.255:65535")) +
        box->style()->pixelMetric(QStyle::PM_ScrollBarExtent) + 16);
    return box;
}

namespace {

void commit(QComboBox& typedIn, QComboBox& other) {
    const QString text = typedIn.currentText().trimmed();
    const int before = typedIn.currentIndex();
    if (text.isEmpty()) {
        typedIn.setEditText(typedIn.itemText(before));
        return;
    }
    int index = typedIn.findText(text);
    if (index < 0) {
        for (QComboBox* box : {&typedIn, &other}) {
            box->addItem(text, text);
        }
        index = typedIn.count() - 1;
    } else if (index == before) {
        typedIn.setEditText(text);
        return; // the port chosen already: nothing changes
    }
    typedIn.setCurrentIndex(index);
    emit typedIn.activated(index);
}

void follow(QComboBox& typedIn, QComboBox& other) {
    QObject::connect(typedIn.lineEdit(), &QLineEdit::editingFinished, &typedIn,
                     [&typedIn, &other] { commit(typedIn, other); });
}

} // namespace

void shareTypedPorts(QComboBox& first, QComboBox& second) {
    follow(first, second);
    follow(second, first);
}

} // namespace torl7
