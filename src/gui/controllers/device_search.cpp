#include "gui/controllers/device_search.hpp"

#include "gui/controllers/line_gate.hpp"
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
    connectWhenLineFree(session_, dialog_.Button1, &QPushButton::clicked, this,
                        &DeviceSearch::Button1Click);
    connect(dialog_.Timer1, &QTimer::timeout, this, &DeviceSearch::Timer1Timer);
    connect(&search_, &UnitSearch::speedTried, this,
            [this](int speedIndex) { window_.TabSheet2->cb_speed->setCurrentIndex(speedIndex); });
    connect(&search_, &UnitSearch::stepTaken, this, [this](int, int retry) { showStep(retry); });
    search_.onFinished([this](const Outcome<SearchResult>& outcome) { finish(outcome); });
    setState(State::Idle);
}

void DeviceSearch::setState(State state) {
    state_ = state;
    dialog_.Button1->setText(state_ == State::Searching ? kStop : kStart);
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
    // The number typed while the search runs goes into its next ping.
    search_.setFactoryNumber(typedFactoryNumber());
}

void DeviceSearch::frm2_znExit() {
    // The field has brought its text to the nearest limit by now (an empty text to the lower).
    window_.TabSheet2->frm1_zn->setValue(dialog_.frm2_zn->value());
}

void DeviceSearch::cmbPortsChange() {
    session_.closePort();
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
    if (state_ == State::Searching) {
        setState(State::Idle);
        search_.cancel(PortAtEnd::Close);
        window_.boxes().information(QStringLiteral("Процесс поиска остановлен!"), kNoCaption,
                                    &dialog_);
        dialog_.pb_search->setValue(SearchDialog::kProgressMax);
        return;
    }
    setState(State::Searching);
    dialog_.pb_search->setValue(0);
    search_.start(typedFactoryNumber());
    if (state_ == State::Searching) {
        dialog_.lser->setText(QStringLiteral("Процесс:... "));
    }
}

void DeviceSearch::Timer1Timer() {
    search_.tick();
    if (state_ == State::Searching && !dialog_.isVisible()) {
        // Closed during the search: the ping of this tick has gone out, nothing more will.
        setState(State::Idle);
        search_.cancel();
    }
}

void DeviceSearch::showStep(int retry) {
    dialog_.pb_search->setValue(dialog_.pb_search->value() + 1);
    dialog_.lser->setText(QStringLiteral("Процесс: %1 бод/сек   повтор №%2")
                              .arg(window_.TabSheet2->cb_speed->currentText())
                              .arg(retry));
}

void DeviceSearch::finish(const Outcome<SearchResult>& outcome) {
    if (state_ == State::Idle) {
        return; // stopped by the user or by closing the dialog: said there
    }
    setState(State::Idle);
    dialog_.pb_search->setValue(SearchDialog::kProgressMax);
    if (!outcome) {
        // A port that would not open is said in its box, over the dialog; the main window has
        // said that an adapter went away.
        sayFailure(*outcome.error, window_.boxes(), &dialog_);
        return;
    }
    // The port stays open at the speed reached, found or not.
    if (outcome.result->found) {
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
