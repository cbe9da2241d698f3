#include "gui/controllers/calibration.hpp"

#include "gui/controllers/line_gate.hpp"
#include "gui/main_window.hpp"
#include "gui/message_boxes.hpp"
#include "gui/pages/config_page.hpp"
#include "session/unit_session.hpp"

#include <QCheckBox>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>

namespace torl7 {

namespace {

const QString kQuestionCalibrate = QStringLiteral(
    "Внимание данные калибровки будут изменены! Защита будет блокирована! Продолжить?");
const QString kCancelled = QStringLiteral("Калибровка отменена");
const QString kDone = QStringLiteral("Внимание! Калибровка завершена. Защита заблокирована.");
const QString kCaptionCalibration = QStringLiteral("Автокалибровка");

const char* const kChannelNames[kCoefficientCount] = {"Ua", "Ub", "Uc", "Ia", "Ib", "Ic", "Iут"};

QString channelName(std::size_t channel) {
    return QString::fromUtf8(kChannelNames[channel]);
}

QString coefficientOutOfRange(std::size_t channel, std::int64_t value) {
    return QStringLiteral("Коэффициент %1 = %2 не помещается в слово (допустимо от 0 до %3). "
                          "Калибровка прервана.")
        .arg(channelName(channel))
        .arg(value)
        .arg(kMaxWord);
}

} // namespace

Calibration::Calibration(MainWindow& window)
    : QObject(&window), page_(*window.TabSheet1), session_(window.session()),
      boxes_(window.boxes()), run_(window.session()) {
    connectWhenLineFree(session_, page_.Button5, &QPushButton::clicked, this,
                        &Calibration::Button5Click);
    run_.onProgress([this](Progress progress) { page_.PBk->setValue(progress.done); });
    run_.onFinished([this](const Outcome<CalibrationResult>& outcome) { showResult(outcome); });
}

void Calibration::Button5Click() {
    if (boxes_.question(kQuestionCalibrate, kCaptionTool) != MessageBoxes::Answer::Yes) {
        boxes_.information(kCancelled, kCaptionCalibration);
        return;
    }
    page_.PBk->setValue(0);
    run_.start(inputsFromPage(),
               [this](const TickedCoefficients& computed) { showComputed(computed); });
}

std::array<QLineEdit*, kCoefficientCount> Calibration::coefficientEdits() const {
    return {page_.st_kua, page_.st_kub, page_.st_kuc,  page_.st_kia,
            page_.st_kib, page_.st_kic, page_.st_kidif};
}

CalibrationRun::Inputs Calibration::inputsFromPage() const {
    const struct {
        const QCheckBox* ticked;
        const QLineEdit* reference;
    } channels[kCoefficientCount] = {
        {page_.CB_uak, page_.ua_k},     {page_.CB_ubk, page_.ub_k}, {page_.CB_uck, page_.uc_k},
        {page_.CB_iak, page_.ia_k},     {page_.CB_ibk, page_.ib_k}, {page_.CB_ick, page_.ic_k},
        {page_.CB_idifk, page_.idif_k},
    };
    const auto edits = coefficientEdits();
    CalibrationRun::Inputs inputs;
    for (std::size_t i = 0; i < kCoefficientCount; ++i) {
        if (channels[i].ticked->isChecked()) {
            inputs.references[i] = channels[i].reference->text().toStdString();
        }
        inputs.kept[i] = edits[i]->text().toStdString();
    }
    // The poll watchdog covers the samples, as it covers the poll's own requests.
    inputs.sampleWait = UnitSession::Wait::SenderRepeats;
    return inputs;
}

void Calibration::showComputed(const TickedCoefficients& computed) {
    const auto edits = coefficientEdits();
    for (std::size_t i = 0; i < kCoefficientCount; ++i) {
        if (computed[i]) {
            edits[i]->setText(QString::number(*computed[i]));
        }
    }
}

void Calibration::sayFault(const CalibrationFault& fault) {
    using Kind = CalibrationFault::Kind;
    const QString typed = QString::fromStdString(fault.text);
    switch (fault.kind) {
    case Kind::ReferenceNotANumber:
        boxes_.conversionError(notANumberText(typed));
        return;
    case Kind::ZeroReference:
        boxes_.error(QStringLiteral("Деление на ноль: опорное значение %1 равно 0. "
                                    "Калибровка прервана.")
                         .arg(channelName(fault.channel)),
                     kCaptionTool);
        return;
    case Kind::ReferenceTooSmall:
        boxes_.error(QStringLiteral("Коэффициент %1 слишком велик (опорное значение %2). "
                                    "Калибровка прервана.")
                         .arg(channelName(fault.channel), typed),
                     kCaptionTool);
        return;
    case Kind::CoefficientNotAWord:
    case Kind::KeptCoefficientNotAWord:
        boxes_.error(coefficientOutOfRange(fault.channel, fault.value), kCaptionTool);
        return;
    case Kind::CoefficientNotInteger:
        boxes_.conversionError(notAnIntegerText(typed));
        return;
    }
}

void Calibration::showResult(const Outcome<CalibrationResult>& outcome) {
    if (!outcome) {
        // A lost line has its own box from the window.
        sayFailure(*outcome.error, boxes_);
        return;
    }
    const CalibrationResult& result = *outcome.result;
    if (result.fault) {
        sayFault(*result.fault);
        return;
    }
    if (!result.ack) {
        return; // a sample with another selector: another exchange's answer ended the run
    }
    const auto edits = coefficientEdits();
    for (std::size_t i = 0; i < kCoefficientCount; ++i) {
        edits[i]->setText(QString::number(result.ack->coefficients[i]));
    }
    page_.blok_z->setChecked(result.ack->protectionBlocked);
    boxes_.information(kDone, kCaptionCalibration);
}

} // namespace torl7
