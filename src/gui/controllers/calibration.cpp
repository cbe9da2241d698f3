#include "gui/controllers/calibration.hpp"

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
      boxes_(window.boxes()) {
    session_.setWriteBuilder(kWriteSubModeCoefficients, [this] { return coefficientPayload(); });
    session_.setHandler(kind::Diagnostics, kCalibrationSelector,
                        [this](const Frame& answer) { sampleReceived(answer); });
    session_.setHandler(kind::Write, kWriteSubModeCoefficients,
                        [this](const Frame& answer) { coefficientsAcknowledged(answer); });
    connect(page_.Button5, &QPushButton::clicked, this, &Calibration::Button5Click);
}

void Calibration::Button5Click() {
    if (session_.reserved()) {
        return;
    }
    if (boxes_.question(kQuestionCalibrate, kCaptionTool) != MessageBoxes::Answer::Yes) {
        boxes_.information(kCancelled, kCaptionCalibration);
        return;
    }
    sums_.fill(0);
    progressCount_ = 1;
    collecting_ = true;
    page_.PBk->setValue(0);
    session_.payload[0] = kCalibrationSelector;
    session_.requestKind = kind::Diagnostics;
    if (!openPort(session_, boxes_)) {
        collecting_ = false;
        return;
    }
    session_.TXD();
}

void Calibration::sampleReceived(const Frame& answer) {
    if (!collecting_) {
        return;
    }
    const CalibrationSample sample = decodeCalibrationSample(answer.payload());
    for (std::size_t i = 0; i < kCoefficientCount; ++i) {
        // Ten 24-bit readings stay far below 2^31.
        sums_[i] += static_cast<CalibrationSum>(sample.readings[i]);
    }
    page_.PBk->setValue(progressCount_);
    if (progressCount_ < kCalibrationSampleCount) {
        ++progressCount_;
        session_.payload[0] = kCalibrationSelector;
        session_.TXD();
        return;
    }
    collecting_ = false;
    if (!computeTickedCoefficients()) {
        return;
    }
    session_.requestKind = kind::Write;
    session_.payload[0] = kWriteSubModeCoefficients;
    session_.TXD();
}

bool Calibration::computeTickedCoefficients() {
    const struct {
        const QCheckBox* ticked;
        const QLineEdit* reference;
        QLineEdit* coefficient;
    } channels[kCoefficientCount] = {
        {page_.CB_uak, page_.ua_k, page_.st_kua},       {page_.CB_ubk, page_.ub_k, page_.st_kub},
        {page_.CB_uck, page_.uc_k, page_.st_kuc},       {page_.CB_iak, page_.ia_k, page_.st_kia},
        {page_.CB_ibk, page_.ib_k, page_.st_kib},       {page_.CB_ick, page_.ic_k, page_.st_kic},
        {page_.CB_idifk, page_.idif_k, page_.st_kidif},
    };
    std::array<std::optional<std::int64_t>, kCoefficientCount> computed;
    for (std::size_t i = 0; i < kCoefficientCount; ++i) {
        if (!channels[i].ticked->isChecked()) {
            continue;
        }
        const QString typed = channels[i].reference->text();
        const auto reference = parseDecimal(typed.toStdString());
        if (!reference) {
            boxes_.conversionError(notANumberText(typed));
            return false;
        }
        if (*reference == 0) {
            boxes_.error(QStringLiteral("Деление на ноль: опорное значение %1 равно 0. "
                                        "Калибровка прервана.")
                             .arg(channelName(i)),
                         kCaptionTool);
            return false;
        }
        const auto coefficient = computeCoefficient(static_cast<Channel>(i), sums_[i], *reference);
        if (!coefficient) {
            boxes_.error(QStringLiteral("Коэффициент %1 слишком велик (опорное значение %2). "
                                        "Калибровка прервана.")
                             .arg(channelName(i), typed),
                         kCaptionTool);
            return false;
        }
        if (*coefficient < 0 || *coefficient > kMaxWord) {
            boxes_.error(coefficientOutOfRange(i, *coefficient), kCaptionTool);
            return false;
        }
        computed[i] = coefficient;
    }
    for (std::size_t i = 0; i < kCoefficientCount; ++i) {
        if (computed[i]) {
            channels[i].coefficient->setText(QString::number(*computed[i]));
        }
    }
    return true;
}

std::optional<Bytes> Calibration::coefficientPayload() {
    const QLineEdit* edits[kCoefficientCount] = {page_.st_kua,  page_.st_kub, page_.st_kuc,
                                                 page_.st_kia,  page_.st_kib, page_.st_kic,
                                                 page_.st_kidif};
    std::array<std::int64_t, kCoefficientCount> coefficients{};
    for (std::size_t i = 0; i < kCoefficientCount; ++i) {
        const auto value = parseInteger(edits[i]->text().toStdString());
        if (!value) {
            boxes_.conversionError(notAnIntegerText(edits[i]->text()));
            return std::nullopt;
        }
        if (*value < 0 || *value > kMaxWord) {
            boxes_.error(coefficientOutOfRange(i, *value), kCaptionTool);
            return std::nullopt;
        }
        coefficients[i] = *value;
    }
    auto payload = coefficientWritePayload(coefficients);
    if (payload) {
        ++progressCount_;
        page_.PBk->setValue(progressCount_);
    }
    return payload;
}

void Calibration::coefficientsAcknowledged(const Frame& answer) {
    session_.comclose();
    const CoefficientAck ack = decodeCoefficientAck(answer.payload());
    QLineEdit* edits[kCoefficientCount] = {page_.st_kua, page_.st_kub, page_.st_kuc,  page_.st_kia,
                                           page_.st_kib, page_.st_kic, page_.st_kidif};
    for (std::size_t i = 0; i < kCoefficientCount; ++i) {
        edits[i]->setText(QString::number(ack.coefficients[i]));
    }
    page_.blok_z->setChecked(ack.protectionBlocked);
    boxes_.information(kDone, kCaptionCalibration);
}

} // namespace torl7
