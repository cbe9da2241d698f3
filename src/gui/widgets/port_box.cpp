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

// The item of `port`, by its text or the device it opens; added to both boxes when new.
int portIndex(QComboBox& box, QComboBox& other, const QString& port) {
    int index = box.findText(port);
    if (index < 0) {
        index = box.findData(port);
    }
    if (index < 0) {
        for (QComboBox* each : {&box, &other}) {
            each->addItem(port, port);
        }
        index = box.count() - 1;
    }
    return index;
}

void choose(QComboBox& box, int index) {
    if (index == box.currentIndex()) {
        box.setEditText(box.itemText(index));
        return; // the port chosen already: nothing changes
    }
    box.setCurrentIndex(index);
    emit box.activated(index);
}

void commit(QComboBox& typedIn, QComboBox& other) {
    const QString text = typedIn.currentText().trimmed();
    if (text.isEmpty()) {
        typedIn.setEditText(typedIn.itemText(typedIn.currentIndex()));
        return;
    }
    choose(typedIn, portIndex(typedIn, other, text));
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

void pointPortBox(QComboBox& box, QComboBox& other, const QString& port) {
    choose(box, portIndex(box, other, port));
}

} // namespace torl7
