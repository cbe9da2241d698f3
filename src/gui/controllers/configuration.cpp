#include "gui/controllers/configuration.hpp"

#include "gui/main_window.hpp"
#include "gui/message_boxes.hpp"
#include "gui/pages/config_page.hpp"
#include "gui/widgets/step_buttons.hpp"
#include "session/unit_session.hpp"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>

namespace torl7 {

namespace {

const QString kQuestionWrite =
    QStringLiteral("Внимание данные конфигурации будут изменены! Продолжить?");
const QString kWriteCancelled = QStringLiteral("Запись конфигурации отменена");
// The cancellation caption has always been spelt this way; the acknowledgement's is not.
const QString kCaptionWriteCancelled = QStringLiteral("Запись конфиурации");
const QString kBadCoefficients =
    QStringLiteral("Запись конфигурации отменена! Калибровочные коэффициенты не корректны!");
const QString kWritten = QStringLiteral("Конфигурация записана");
const QString kCaptionWritten = QStringLiteral("Запись конфигурации");
const QString kRead = QStringLiteral("Конфигурация считана");
const QString kCaptionRead = QStringLiteral("Считывание конфигурации");

// A tenths byte carries at most 25.5 s; stepping down stops at 0.2 s.
constexpr std::int64_t kMaxDelayTenths = 255;
constexpr std::int64_t kMinSteppedDelayTenths = 2;
constexpr std::int64_t kMaxByte = 255;

// Dynamic property of a list that received an index naming none of its items.
constexpr const char* kUnlistedIndex = "unlistedIndex";

// A received RS485 index above this selects 9600 baud.
constexpr int kMaxRs485Index = 11;
constexpr int kRs485Fallback = 5;

QString text(const std::string& utf8) {
    return QString::fromStdString(utf8);
}

QString outOfRange(const QString& field, const QString& value, const QString& lowest,
                   const QString& highest) {
    return QStringLiteral("%1: значение %2 не помещается в запись конфигурации (допустимо от %3 "
                          "до %4). Запись отменена.")
        .arg(field, value, lowest, highest);
}

// The value a spin edit stands for: its minimum while its text is not an integer.
int spinValue(const QSpinBox* spin) {
    return spin->hasAcceptableInput() ? spin->value() : spin->minimum();
}

// The item index to send; an index kept from the unit when nothing is selected; and as a
// last resort the low 8 bits of "no selection".
std::uint8_t listIndex(const QComboBox* list) {
    if (list->currentIndex() >= 0) {
        return static_cast<std::uint8_t>(list->currentIndex());
    }
    const QVariant kept = list->property(kUnlistedIndex);
    return static_cast<std::uint8_t>(kept.isValid() ? kept.toInt() : -1);
}

// A received value is shown whole: the edit's length limit is meant for typing, and a cut
// text would be written back as another value.
void showWhole(QLineEdit* edit, const QString& value) {
    if (value.size() > edit->maxLength()) {
        edit->setMaxLength(static_cast<int>(value.size()));
    }
    edit->setText(value);
}

void showListIndex(QComboBox* list, int index) {
    const QSignalBlocker quiet(list);
    if (index < list->count()) {
        list->setCurrentIndex(index);
        list->setProperty(kUnlistedIndex, QVariant());
    } else {
        list->setCurrentIndex(-1);
        list->setProperty(kUnlistedIndex, index);
    }
}

// Reads fields for the record and stops at the first one that does not convert or fit,
// after telling the user.
class FieldReader {
public:
    explicit FieldReader(MessageBoxes& boxes) : boxes_(boxes) {}

    std::optional<std::int64_t> tenths(const QString& typed, const QString& field,
                                       std::int64_t maxTenths) {
        const auto value = parseTenths(typed.toStdString());
        if (!value) {
            boxes_.conversionError(notANumberText(typed));
            return std::nullopt;
        }
        if (*value < 0 || *value > maxTenths) {
            boxes_.error(outOfRange(field, text(formatTenths(*value)), text(formatTenths(0)),
                                    text(formatTenths(maxTenths))),
                         kCaptionTool);
            return std::nullopt;
        }
        return value;
    }

    std::optional<std::uint16_t> coefficient(const QLineEdit* edit, const QString& field) {
        const auto value = parseInteger(edit->text().toStdString());
        if (!value) {
            boxes_.conversionError(notAnIntegerText(edit->text()));
            return std::nullopt;
        }
        if (*value < 0 || *value > kMaxWord) {
            boxes_.error(outOfRange(field, QString::number(*value), QStringLiteral("0"),
                                    QString::number(kMaxWord)),
                         kCaptionTool);
            return std::nullopt;
        }
        return static_cast<std::uint16_t>(*value);
    }

private:
    MessageBoxes& boxes_;
};

} // namespace

std::optional<ConfigRecord> recordFromPage(const ConfigPage& page, MessageBoxes& boxes) {
    FieldReader read(boxes);
    ConfigRecord r;
    const auto delay = [&](const QLabel* delayText, const QString& field,
                           std::uint8_t& out) -> bool {
        const auto value = read.tenths(delayText->text(), field, kMaxDelayTenths);
        if (value) {
            out = static_cast<std::uint8_t>(*value);
        }
        return value.has_value();
    };
    const auto current = [&](const QLineEdit* edit, const QString& field,
                             std::uint16_t& out) -> bool {
        const auto value = read.tenths(edit->text(), field, kMaxWord);
        if (value) {
            out = static_cast<std::uint16_t>(*value);
        }
        return value.has_value();
    };
    const auto byteOf = [](int value) { return static_cast<std::uint8_t>(value & 0xFF); };
    const auto wordOf = [](int value) { return static_cast<std::uint16_t>(value & 0xFFFF); };

    r.rs485SpeedIndex = listIndex(page.cb_rs485);
    r.uminVolts = wordOf(spinValue(page.z_umin_v));
    if (!delay(page.st_zumin_t, QStringLiteral("Задержка Umin"), r.uminDelayTenths))
        return std::nullopt;
    r.umaxVolts = wordOf(spinValue(page.z_umax_v));
    if (!delay(page.st_zumax_t, QStringLiteral("Задержка Umax"), r.umaxDelayTenths))
        return std::nullopt;
    r.uAsymPercent = byteOf(spinValue(page.z_uasm));
    if (!delay(page.st_zuasm_t, QStringLiteral("Задержка Uасм"), r.uAsymDelayTenths))
        return std::nullopt;
    if (!current(page.z_ihol_a, QStringLiteral("Iхол"), r.iholTenths))
        return std::nullopt;
    r.iholDelayTenthsOfSecond = wordOf(spinValue(page.z_ihol_t) * 10);
    r.iAsymPercent = byteOf(spinValue(page.z_iasm));
    if (!delay(page.st_ziasm_t, QStringLiteral("Задержка Iасм"), r.iAsymDelayTenths))
        return std::nullopt;
    if (!current(page.z_inom_a, QStringLiteral("Iном"), r.inomTenths))
        return std::nullopt;
    r.vtzTenthsOfSecond = wordOf(spinValue(page.z_vtz_t) * 10);
    if (!current(page.z_izkl_a, QStringLiteral("Iзкл"), r.izklTenths))
        return std::nullopt;
    if (!delay(page.st_zizakl_t, QStringLiteral("Задержка заклинивания"), r.izklDelayTenths))
        return std::nullopt;
    if (!current(page.z_idif_a, QStringLiteral("Iут"), r.idifTenths))
        return std::nullopt;
    if (!delay(page.st_zidif_t, QStringLiteral("Задержка Iут"), r.idifDelayTenths))
        return std::nullopt;

    r.controlByte = composeControlByte(page.z_iso_r->currentIndex(), page.z_iso_ok->isChecked(),
                                       page.p_uf_c->currentIndex(), page.p_if_c->currentIndex(),
                                       page.blok_z->isChecked());
    const QCheckBox* enables[] = {page.z_umin_ok, page.z_umax_ok, page.z_uasm_ok, page.z_ihol_ok,
                                  page.z_iasm_ok, page.z_ivtz_ok, page.z_zakl_ok, page.z_idif_ok};
    r.enableByte = 0;
    for (int bit = 0; bit < 8; ++bit) {
        if (enables[bit]->isChecked()) {
            r.enableByte = static_cast<std::uint8_t>(r.enableByte | (1 << bit));
        }
    }
    r.cosCorrectionByte = encodeCosCorrection(page.pcosf->value());

    const struct {
        const QLineEdit* edit;
        const char* field;
    } coefficients[kCoefficientCount] = {
        {page.st_kua, "Коэффициент Ua"},    {page.st_kub, "Коэффициент Ub"},
        {page.st_kuc, "Коэффициент Uc"},    {page.st_kia, "Коэффициент Ia"},
        {page.st_kib, "Коэффициент Ib"},    {page.st_kic, "Коэффициент Ic"},
        {page.st_kidif, "Коэффициент Iут"},
    };
    for (std::size_t i = 0; i < kCoefficientCount; ++i) {
        const auto value =
            read.coefficient(coefficients[i].edit, QString::fromUtf8(coefficients[i].field));
        if (!value) {
            return std::nullopt;
        }
        r.coefficients[i] = *value;
    }

    r.equipmentType = unitText16(page.tipo_text->text().toStdString());
    r.installation = unitText16(page.oust_text->text().toStdString());
    r.busProtocolIndex = listIndex(page.cb_uprotbus);
    r.busAddress = byteOf(spinValue(page.sp_uaddr));
    r.tbMs = byteOf(spinValue(page.sp_utb));
    r.teMs = byteOf(spinValue(page.sp_ute));
    r.resetLockSeconds = wordOf(spinValue(page.sp_bsz));
    return r;
}

void applyRecordToPage(const ConfigRecord& r, ConfigPage& page) {
    // Setting the index is no user choice: the speed change reacts to the user only.
    showListIndex(page.cb_rs485,
                  r.rs485SpeedIndex > kMaxRs485Index ? kRs485Fallback : r.rs485SpeedIndex);
    page.z_umin_v->setValue(r.uminVolts);
    page.st_zumin_t->setText(text(formatTenths(r.uminDelayTenths)));
    page.z_umax_v->setValue(r.umaxVolts);
    page.st_zumax_t->setText(text(formatTenths(r.umaxDelayTenths)));
    page.z_uasm->setValue(r.uAsymPercent);
    page.st_zuasm_t->setText(text(formatTenths(r.uAsymDelayTenths)));
    showWhole(page.z_ihol_a, text(formatTenths(r.iholTenths)));
    page.z_ihol_t->setValue(r.iholDelayTenthsOfSecond / 10);
    page.z_iasm->setValue(r.iAsymPercent);
    page.st_ziasm_t->setText(text(formatTenths(r.iAsymDelayTenths)));
    showWhole(page.z_inom_a, text(formatTenths(r.inomTenths)));
    page.z_vtz_t->setValue(r.vtzTenthsOfSecond / 10);
    showWhole(page.z_izkl_a, text(formatTenths(r.izklTenths)));
    page.st_zizakl_t->setText(text(formatTenths(r.izklDelayTenths)));
    showWhole(page.z_idif_a, text(formatTenths(r.idifTenths)));
    page.st_zidif_t->setText(text(formatTenths(r.idifDelayTenths)));

    const ControlFields control = decomposeControlByte(r.controlByte);
    page.z_iso_r->setCurrentIndex(control.isoIndex);
    page.z_iso_ok->setChecked(control.isoOn);
    page.p_uf_c->setCurrentIndex(control.voltageItem);
    page.p_if_c->setCurrentIndex(control.currentItem);
    page.blok_z->setChecked(control.blockOn);

    QCheckBox* enables[] = {page.z_umin_ok, page.z_umax_ok, page.z_uasm_ok, page.z_ihol_ok,
                            page.z_iasm_ok, page.z_ivtz_ok, page.z_zakl_ok, page.z_idif_ok};
    for (int bit = 0; bit < 8; ++bit) {
        enables[bit]->setChecked((r.enableByte >> bit) & 1);
    }
    page.pcosf->setValue(decodeCosCorrection(r.cosCorrectionByte));

    QLineEdit* coefficients[kCoefficientCount] = {page.st_kua,  page.st_kub, page.st_kuc,
                                                  page.st_kia,  page.st_kib, page.st_kic,
                                                  page.st_kidif};
    for (std::size_t i = 0; i < kCoefficientCount; ++i) {
        coefficients[i]->setText(QString::number(r.coefficients[i]));
    }

    showWhole(page.tipo_text, text(unitTextFrom16(r.equipmentType)));
    showWhole(page.oust_text, text(unitTextFrom16(r.installation)));
    showListIndex(page.cb_uprotbus, r.busProtocolIndex);
    page.sp_uaddr->setValue(r.busAddress);
    page.sp_utb->setValue(r.tbMs);
    page.sp_ute->setValue(r.teMs);
    page.sp_bsz->setValue(r.resetLockSeconds);
}

Configuration::Configuration(MainWindow& window)
    : QObject(&window), page_(*window.TabSheet1), session_(window.session()),
      boxes_(window.boxes()) {
    session_.setWriteBuilder(kWriteSubModeConfig, [this]() -> std::optional<Bytes> {
        const auto record = recordFromPage(page_, boxes_);
        if (!record) {
            return std::nullopt;
        }
        return configWritePayload(*record);
    });
    session_.setHandler(kind::ConfigRead, [this](const Frame& answer) { recordReceived(answer); });
    session_.setHandler(kind::Write, kWriteSubModeConfig,
                        [this](const Frame& answer) { writeAcknowledged(answer); });

    connect(page_.btn_read_konf, &QPushButton::clicked, this, &Configuration::btn_read_konfClick);
    connect(page_.btn_write_konf, &QPushButton::clicked, this, &Configuration::btn_write_konfClick);

    // A user's choice replaces an index kept from the unit.
    for (QComboBox* list : {page_.cb_rs485, page_.cb_uprotbus}) {
        connect(list, &QComboBox::activated, list,
                [list] { list->setProperty(kUnlistedIndex, QVariant()); });
    }

    const struct {
        StepButtons* buttons;
        void (Configuration::*up)();
        void (Configuration::*down)();
    } steps[] = {
        {page_.spb_zumin, &Configuration::spb_zuminUpClick, &Configuration::spb_zuminDownClick},
        {page_.SpinButton1, &Configuration::SpinButton1UpClick,
         &Configuration::SpinButton1DownClick},
        {page_.SpinButton2, &Configuration::SpinButton2UpClick,
         &Configuration::SpinButton2DownClick},
        {page_.SpinButton3, &Configuration::SpinButton3UpClick,
         &Configuration::SpinButton3DownClick},
        {page_.SpinButton4, &Configuration::SpinButton4UpClick,
         &Configuration::SpinButton4DownClick},
        {page_.SpinButton5, &Configuration::SpinButton5UpClick,
         &Configuration::SpinButton5DownClick},
    };
    for (const auto& step : steps) {
        connect(step.buttons, &StepButtons::upClicked, this, step.up);
        connect(step.buttons, &StepButtons::downClicked, this, step.down);
    }
}

void Configuration::btn_read_konfClick() {
    if (session_.reserved() || !openPort(session_, boxes_)) {
        return;
    }
    session_.requestKind = kind::ConfigRead;
    session_.TXD();
}

void Configuration::btn_write_konfClick() {
    if (session_.reserved()) {
        return;
    }
    if (boxes_.question(kQuestionWrite, kCaptionTool) != MessageBoxes::Answer::Yes) {
        boxes_.information(kWriteCancelled, kCaptionWriteCancelled);
        return;
    }
    if (!coefficientsPlausible()) {
        return;
    }
    session_.payload[0] = kWriteSubModeConfig;
    session_.requestKind = kind::Write;
    if (!openPort(session_, boxes_)) {
        return;
    }
    session_.TXD();
}

bool Configuration::coefficientsPlausible() {
    // Checked in this order, voltage and current of each phase in turn.
    for (const QLineEdit* edit : {page_.st_kua, page_.st_kia, page_.st_kub, page_.st_kib,
                                  page_.st_kuc, page_.st_kic, page_.st_kidif}) {
        const auto value = parseDecimal(edit->text().toStdString());
        if (!value) {
            boxes_.conversionError(notANumberText(edit->text()));
            return false;
        }
        if (*value == 0) {
            boxes_.error(kBadCoefficients, kCaptionTool);
            return false;
        }
    }
    return true;
}

void Configuration::recordReceived(const Frame& answer) {
    applyRecordToPage(decodeConfigRecord(answer.payload()), page_);
    session_.comclose();
    boxes_.information(kRead, kCaptionRead);
}

void Configuration::writeAcknowledged(const Frame&) {
    boxes_.information(kWritten, kCaptionWritten);
    // The read-back shows what the unit stored. The user may have kept the message open past
    // the idle close, or started the speed change meanwhile.
    if (session_.reserved()) {
        return;
    }
    if (!session_.line().isOpen() && !openPort(session_, boxes_)) {
        return;
    }
    session_.requestKind = kind::ConfigRead;
    session_.TXD();
}

void Configuration::stepUp(QLabel* delay) {
    const auto tenths = parseTenths(delay->text().toStdString());
    if (!tenths) {
        boxes_.conversionError(notANumberText(delay->text()));
        return;
    }
    const std::int64_t next = *tenths >= kMaxDelayTenths ? *tenths : *tenths + 1;
    delay->setText(text(formatTenths(next)));
}

void Configuration::stepDown(QLabel* delay) {
    const auto tenths = parseTenths(delay->text().toStdString());
    if (!tenths) {
        boxes_.conversionError(notANumberText(delay->text()));
        return;
    }
    const std::int64_t next = *tenths <= kMinSteppedDelayTenths ? *tenths : *tenths - 1;
    delay->setText(text(formatTenths(next)));
}

void Configuration::spb_zuminUpClick() {
    stepUp(page_.st_zumin_t);
}
void Configuration::spb_zuminDownClick() {
    stepDown(page_.st_zumin_t);
}
void Configuration::SpinButton1UpClick() {
    stepUp(page_.st_zumax_t);
}
void Configuration::SpinButton1DownClick() {
    stepDown(page_.st_zumax_t);
}
void Configuration::SpinButton2UpClick() {
    stepUp(page_.st_zuasm_t);
}
void Configuration::SpinButton2DownClick() {
    stepDown(page_.st_zuasm_t);
}
void Configuration::SpinButton3UpClick() {
    stepUp(page_.st_zidif_t);
}
void Configuration::SpinButton3DownClick() {
    stepDown(page_.st_zidif_t);
}
void Configuration::SpinButton4UpClick() {
    stepUp(page_.st_zizakl_t);
}
void Configuration::SpinButton4DownClick() {
    stepDown(page_.st_zizakl_t);
}
void Configuration::SpinButton5UpClick() {
    stepUp(page_.st_ziasm_t);
}
void Configuration::SpinButton5DownClick() {
    stepDown(page_.st_ziasm_t);
}

} // namespace torl7
