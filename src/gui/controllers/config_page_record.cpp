// The configuration record and the page's controls: the record the controls hold, and a
// received record shown in them.
#include "gui/controllers/configuration.hpp"

#include "gui/message_boxes.hpp"
#include "gui/pages/config_page.hpp"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QSpinBox>

namespace torl7 {

namespace {

constexpr std::int64_t kMaxByte = 255;

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

// The seven coefficients, each a whole number that fits a word.
bool readCoefficients(const ConfigPage& page, FieldReader& read, ConfigRecord& r) {
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
            return false;
        }
        r.coefficients[i] = *value;
    }
    return true;
}

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

    if (!readCoefficients(page, read, r)) {
        return std::nullopt;
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

} // namespace torl7
