#include "gui/controllers/device_search.hpp"

#include "gui/dialogs/search_dialog.hpp"
#include "gui/main_window.hpp"
#include "gui/message_boxes.hpp"
#include "gui/pages/diag_page.hpp"
#include "gui/widgets/lenient_spin_box.hpp"

#include <QComboBox>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QSpinBox>
#include <QTimer>

#include <algorithm>

namespace torl7 {

namespace {

const QString kStart = QStringLiteral("Начать поиск");
const QString kStop = QStringLiteral("Остановить поиск");
// The search's messages carry no caption.
const QString kNoCaption;

} // namespace

DeviceSearch::DeviceSearch(MainWindow& window)
    : QObject(&window), window_(window), dialog_(*window.searchDialog()),
      session_(window.session()), search_(window.session(), window.searchDialog()->Timer1, this) {
    setObjectName(QStringLiteral("DeviceSearch"));
    connect(dialog_.frm2_zn, &LenientSpinBox::shownTextChanged, this, &DeviceSearch::frm2_znChange);
    connect(dialog_.cmbPorts, &QComboBox::activated, this, &DeviceSearch::cmbPortsChange);
    connect(dialog_.Button1, &QPushButton::clicked, this, &DeviceSearch::Button1Click);
    // The dialog's timer ticks this controller, which hands the typed number to the search.
    disconnect(dialog_.Timer1, &QTimer::timeout, &search_, &UnitSearch::Timer1Timer);
    connect(dialog_.Timer1, &QTimer::timeout, this, &DeviceSearch::Timer1Timer);
    connect(&search_, &UnitSearch::speedTried, this,
            [this](int speedIndex) { window_.TabSheet2->cb_speed->setCurrentIndex(speedIndex); });
    connect(&search_, &UnitSearch::stepTaken, this, [this](int, int retry) { showStep(retry); });
    connect(&search_, &UnitSearch::finished, this, &DeviceSearch::finish);
}

void DeviceSearch::frm2_znChange() {
    // The main window's own change handler writes its number back here. A half-typed number
    // outside the limits ("5" on the way to "5000") would come back as the nearest limit and
    // overwrite the digits being typed, so such a text waits until the field is left.
    const LenientSpinBox& number = *dialog_.frm2_zn;
    const std::optional<int> typed = number.typedInteger();
    if (typed && *typed >= number.minimum() && *typed <= number.maximum()) {
        window_.TabSheet2->frm1_zn->setValue(*typed);
    }
}

void DeviceSearch::frm2_znExit() {
    // The field has brought its text to the nearest limit by now (an empty text to the lower).
    window_.TabSheet2->frm1_zn->setValue(dialog_.frm2_zn->value());
}

void DeviceSearch::cmbPortsChange() {
    session_.comclose();
    // The port itself is opened from the main window's list at the next request.
    window_.TabSheet2->cmbPorts->setCurrentIndex(dialog_.cmbPorts->currentIndex());
}

std::uint16_t DeviceSearch::typedFactoryNumber() const {
    // The number as typed, within the field's limits (a half-typed number is still in the
    // field while the search runs).
    const LenientSpinBox& number = *dialog_.frm2_zn;
    return static_cast<std::uint16_t>(
        std::clamp(number.typedValue(), number.minimum(), number.maximum()));
}

void DeviceSearch::Button1Click() {
    if (session_.reserved()) {
        return;
    }
    if (dialog_.Button1->text() != kStart) {
        session_.comclose();
        dialog_.Button1->setText(kStart);
        search_.stop();
        window_.boxes().information(QStringLiteral("Процесс поиска остановлен!"), kNoCaption,
                                    &dialog_);
        dialog_.pb_search->setValue(SearchDialog::kProgressMax);
        return;
    }
    if (!openPort(session_, window_.boxes(), &dialog_)) {
        return; // no port listed: said so, nothing to search on
    }
    dialog_.Button1->setText(kStop);
    dialog_.pb_search->setValue(0);
    search_.start(typedFactoryNumber());
    dialog_.lser->setText(QStringLiteral("Процесс:... "));
}

void DeviceSearch::Timer1Timer() {
    search_.setFactoryNumber(typedFactoryNumber());
    search_.Timer1Timer();
    if (!dialog_.isVisible()) {
        // Closed during the search: the ping of this tick has gone out, nothing more will.
        dialog_.Button1->setText(kStart);
        search_.stop();
    }
}

void DeviceSearch::showStep(int retry) {
    dialog_.pb_search->setValue(dialog_.pb_search->value() + 1);
    dialog_.lser->setText(QStringLiteral("Процесс: %1 бод/сек   повтор №%2")
                              .arg(window_.TabSheet2->cb_speed->currentText())
                              .arg(retry));
}

void DeviceSearch::finish(bool found) {
    dialog_.pb_search->setValue(SearchDialog::kProgressMax);
    dialog_.Button1->setText(kStart);
    if (search_.step() == UnitSearch::Step::LineLost) {
        return; // the main window has said that the adapter went away
    }
    // The port stays open at the speed reached, found or not.
    if (found) {
        window_.boxes().information(QStringLiteral("Процесс поиска завершен! Устройство найдено!"),
                                    kNoCaption, &dialog_);
        dialog_.lser->setText(QStringLiteral("Найдено устройство: скорость %1 бод/сек")
                                  .arg(window_.TabSheet2->cb_speed->currentText()));
    } else {
        window_.boxes().information(
            QStringLiteral("Процесс поиска завершен! Устройство не обнаружено!"), kNoCaption,
            &dialog_);
    }
}

} // namespace torl7
