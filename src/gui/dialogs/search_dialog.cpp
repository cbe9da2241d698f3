#include "gui/dialogs/search_dialog.hpp"

#include "gui/widgets/accessibility.hpp"
#include "gui/widgets/control_factory.hpp"
#include "gui/widgets/lenient_spin_box.hpp"
#include "gui/widgets/port_box.hpp"

#include <QComboBox>
#include <QGridLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

namespace torl7 {

SearchDialog::SearchDialog(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint) {
    setObjectName("TForm2");
    setWindowTitle("   Поиск устройства");

    frm2_zn = makeLenientSpinEdit(this, "frm2_zn", 100, 65535, 100);
    // Filled with the ports found at start-up; a port may be typed.
    cmbPorts = makePortBox(this);

    lser = new QLabel("Процесс...", this);
    lser->setObjectName("lser");
    lser->setTextFormat(Qt::PlainText);
    // Room for the longest status line, so the fixed-size dialog never cuts it:
    // the found-speed line with the widest speed item.
    lser->setMinimumWidth(
        lser->fontMetrics().horizontalAdvance("Найдено устройство: скорость 115200 бод/сек") + 8);

    pb_search = makeProgressBar(this, "pb_search", 0, kProgressMax);
    Button1 = makeButton(this, "Button1", "Начать поиск");

    Timer1 = new QTimer(this);
    Timer1->setObjectName("Timer1");
    Timer1->setInterval(kFirstStepMs);

    auto* fields = new QGridLayout;
    fields->addWidget(makeCaption("Зав. №:", frm2_zn), 0, 0);
    fields->addWidget(frm2_zn, 0, 1);
    fields->addWidget(makeCaption("COM-порт", cmbPorts), 1, 0);
    fields->addWidget(cmbPorts, 1, 1);
    fields->setColumnStretch(2, 1);

    auto* column = new QVBoxLayout(this);
    column->setSizeConstraint(QLayout::SetFixedSize);
    column->addLayout(fields);
    column->addWidget(lser);
    column->addWidget(pb_search);
    column->addWidget(Button1, 0, Qt::AlignHCenter);
    orderTabsByLayout(this);
}

} // namespace torl7
