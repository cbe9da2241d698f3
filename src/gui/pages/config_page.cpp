#include "gui/pages/config_page.hpp"

#include "gui/widgets/accessibility.hpp"
#include "gui/widgets/control_factory.hpp"
#include "gui/widgets/step_buttons.hpp"
#include "protocol/config_fields.hpp"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSpinBox>
#include <QStyle>
#include <QVBoxLayout>

#include <algorithm>
#include <initializer_list>

namespace torl7 {

namespace {

// Widest text a delay field shows: a tenths byte tops out at 25,5 s.
const QString kWidestDelay = QStringLiteral("25,5");
// The value edits of the protection rows take at most five characters.
const QString kWidestValue = QStringLiteral("00000");

const QStringList kPhaseSets{"A/B/C", "   A/B", "   A/C", "       A"};

// Gives every control of a column the width of the widest one, so that the column lines up.
// A control whose width is already fixed counts with that width, not its size hint.
void equalWidths(std::initializer_list<QWidget*> controls) {
    int width = 0;
    for (QWidget* control : controls) {
        const bool fixed = control->minimumWidth() == control->maximumWidth();
        width = std::max(width, fixed ? control->minimumWidth() : control->sizeHint().width());
    }
    for (QWidget* control : controls)
        control->setFixedWidth(width);
}

// A spin edit over the limits of its field of the configuration record.
QSpinBox* spinEdit(QWidget* parent, const QString& name, const ConfigField& field, int value) {
    return makeSpinEdit(parent, name, field.min, field.max, value);
}

QGridLayout* tightGrid(QWidget* owner) {
    auto* grid = new QGridLayout(owner);
    grid->setHorizontalSpacing(6);
    grid->setVerticalSpacing(4);
    return grid;
}

// The protection rows: one grid whose columns line every row's parts up under each other.
// A field without a caption of its own is named by its row's check box ("Umin, В"); a delay
// is "<row>, задержка", its step buttons "<row>, задержка: больше" and "...: меньше".
struct ProtectionGrid {
    // Columns: enable box, inner caption, value, unit, delay text, step buttons, "Сек".
    enum Column { Enable, Inner, Value, Unit, Delay, Step, Seconds };

    explicit ProtectionGrid(QGridLayout* layout) : grid(layout) {}

    void addEnable(int row, QCheckBox* enable) {
        subject = spokenCaption(enable->text());
        grid->addWidget(enable, row, Enable);
    }
    void addValue(int row, QWidget* value, const QString& unit) {
        if (spokenName(value).isEmpty())
            setSpokenName(value, subject);
        grid->addWidget(value, row, Value);
        grid->addWidget(makeCaption(unit, value), row, Unit);
    }
    void addDelay(int row, QWidget* delay, StepButtons* step) {
        const QString delayName = subject + QStringLiteral(", задержка");
        setSpokenName(delay, delayName);
        if (step) {
            step->setSubject(delayName);
            grid->addWidget(delay, row, Delay);
            grid->addWidget(step, row, Step);
        } else {
            grid->addWidget(delay, row, Delay, 1, 2); // an edit of its own, over both columns
        }
        grid->addWidget(makeCaption("Сек", delay), row, Seconds);
    }

    QGridLayout* grid;
    QString subject;
};

} // namespace

ConfigPage::ConfigPage(QWidget* parent) : QWidget(parent) {
    auto* left = new QVBoxLayout;
    left->addWidget(buildInformation());
    left->addWidget(buildPhaseMonitoring());
    left->addWidget(buildRs485());
    left->addStretch(1);

    auto* columns = new QHBoxLayout;
    columns->addLayout(left);
    columns->addWidget(buildProtection(), 0, Qt::AlignTop);
    columns->addWidget(buildCalibration(), 0, Qt::AlignTop);

    Button12 = makeButton(this, "Button12", "Версия программы МК");
    st_vpmk = makeStaticText(this, "st_vpmk", QString(), "ТОРЛ-7 МК v00.00");
    btn_read_konf = makeButton(this, "btn_read_konf", "Считать конфигурацию");
    btn_write_konf = makeButton(this, "btn_write_konf", "Записать конфигурацию");
    btn_compare_konf = makeButton(this, "btn_compare_konf", "Сравнить с устройством");
    btn_save_settings = makeButton(this, "btn_save_settings", "Сохранить настройки…");
    btn_load_settings = makeButton(this, "btn_load_settings", "Загрузить настройки…");

    // Two rows of buttons: the settings file's pair in one column, the unit's read and its
    // comparison in the next, the write at the right.
    enum Column { Version, VersionText, Gap, SettingsFile, ReadUnit, WriteUnit };
    auto* bottom = new QGridLayout;
    bottom->addWidget(Button12, 0, Version);
    bottom->addWidget(st_vpmk, 0, VersionText);
    bottom->setColumnStretch(Gap, 1);
    bottom->addWidget(btn_save_settings, 0, SettingsFile);
    bottom->addWidget(btn_load_settings, 1, SettingsFile);
    bottom->addWidget(btn_read_konf, 0, ReadUnit);
    bottom->addWidget(btn_compare_konf, 1, ReadUnit);
    bottom->addWidget(btn_write_konf, 0, WriteUnit);

    auto* page = new QVBoxLayout(this);
    page->addLayout(columns);
    page->addStretch(1);
    page->addLayout(bottom);
    orderTabsByLayout(this);
}

QWidget* ConfigPage::buildInformation() {
    auto* group = new QGroupBox("Информация", this);
    tipo_text = makeTextEdit(group, "tipo_text", QString(), 16);
    oust_text = makeTextEdit(group, "oust_text", QString(), 16);
    fitWidthTo(tipo_text, "ЖЖЖЖЖЖЖЖЖЖЖЖЖЖЖ");
    fitWidthTo(oust_text, "ЖЖЖЖЖЖЖЖЖЖЖЖЖЖЖ");

    auto* grid = tightGrid(group);
    grid->addWidget(makeCaption("Тип оборудования:", tipo_text), 0, 0);
    grid->addWidget(tipo_text, 0, 1);
    grid->addWidget(makeCaption("Объек/установка:", oust_text), 1, 0);
    grid->addWidget(oust_text, 1, 1);
    return group;
}

QWidget* ConfigPage::buildPhaseMonitoring() {
    auto* group = new QGroupBox("Параметры контроля", this);
    p_uf_c = makeDropDown(group, "p_uf_c", kPhaseSets, 0);
    p_if_c = makeDropDown(group, "p_if_c", kPhaseSets, 0);

    auto* grid = tightGrid(group);
    grid->addWidget(makeCaption("Контроль Uфаз:", p_uf_c), 0, 0);
    grid->addWidget(p_uf_c, 0, 1);
    grid->addWidget(makeCaption("Контроль Iфаз:", p_if_c), 1, 0);
    grid->addWidget(p_if_c, 1, 1);
    grid->setColumnStretch(2, 1);
    return group;
}

QWidget* ConfigPage::buildRs485() {
    // The bus settings form a group without a heading of its own.
    auto* group = new QGroupBox(this);
    cb_rs485 = makeDropDown(group, "cb_rs485",
                            {"   300", "   600", "  1200", "  2400", "  4800", "  9600", " 14400",
                             " 19200", " 38400", " 57600", "115200"},
                            5);
    cb_rs485->setToolTip("Скорость RS485");
    cb_uprotbus = makeDropDown(group, "cb_uprotbus", {"RURUDE", "ZEVERE"}, 0);
    cb_uprotbus->setToolTip("Протокол передачи данных");
    cb_uprotbus->setAccessibleName(cb_uprotbus->toolTip()); // it has no caption
    sp_uaddr = spinEdit(group, "sp_uaddr", configField("rs485", "address"), 1);
    sp_uaddr->setToolTip("Сетевой адрес устройства");
    sp_utb = spinEdit(group, "sp_utb", configField("rs485", "tb_ms"), 5);
    sp_utb->setToolTip("Время тишины между сообщениями");
    sp_ute = spinEdit(group, "sp_ute", configField("rs485", "te_ms"), 3);
    sp_ute->setToolTip("Время окончания сообщения");
    equalWidths({cb_rs485, cb_uprotbus, sp_uaddr, sp_utb, sp_ute});

    auto* tbLabel = makeCaption("Tb:", sp_utb);
    tbLabel->setToolTip(sp_utb->toolTip());
    auto* teLabel = makeCaption("Te:", sp_ute);
    teLabel->setToolTip(sp_ute->toolTip());

    auto* grid = tightGrid(group);
    grid->addWidget(makeCaption("RS485:", cb_rs485), 0, 0);
    grid->addWidget(cb_rs485, 0, 1);
    grid->addWidget(makeCaption("бод/сек", cb_rs485), 0, 2);
    grid->addWidget(cb_uprotbus, 1, 1);
    grid->addWidget(makeCaption("Адрес:", sp_uaddr), 2, 0);
    grid->addWidget(sp_uaddr, 2, 1);
    grid->addWidget(tbLabel, 3, 0);
    grid->addWidget(sp_utb, 3, 1);
    grid->addWidget(makeCaption("мСек", sp_utb), 3, 2);
    grid->addWidget(teLabel, 4, 0);
    grid->addWidget(sp_ute, 4, 1);
    grid->addWidget(makeCaption("мСек", sp_ute), 4, 2);
    grid->setColumnStretch(3, 1);
    return group;
}

QWidget* ConfigPage::buildProtection() {
    auto* group = new QGroupBox("Установки защиты", this);

    blok_z = makeCheckBox(group, "blok_z", "Блокировка защиты", false);
    blok_z->setToolTip("Ограничение повторных пусков после срабатывания защиты");
    sp_bsz = spinEdit(group, "sp_bsz", configField("protection_block", "reset_lock_s"), 1);
    sp_bsz->setToolTip("Время блокировки сброса защиты");

    z_umin_ok = makeCheckBox(group, "z_umin_ok", "Umin:", false);
    z_umin_v = spinEdit(group, "z_umin_v", configField("umin", "threshold_v"), 170);
    st_zumin_t = makeStaticText(group, "st_zumin_t", "10,0", kWidestDelay);
    spb_zumin = new StepButtons("spb_zumin", group);

    z_umax_ok = makeCheckBox(group, "z_umax_ok", "Umax:", false);
    z_umax_v = spinEdit(group, "z_umax_v", configField("umax", "threshold_v"), 250);
    st_zumax_t = makeStaticText(group, "st_zumax_t", "10,0", kWidestDelay);
    SpinButton1 = new StepButtons("SpinButton1", group);

    z_uasm_ok = makeCheckBox(group, "z_uasm_ok", "Uасм:", true);
    z_uasm = spinEdit(group, "z_uasm", configField("u_asymmetry", "threshold_percent"), 30);
    st_zuasm_t = makeStaticText(group, "st_zuasm_t", "15,0", kWidestDelay);
    SpinButton2 = new StepButtons("SpinButton2", group);

    z_iasm_ok = makeCheckBox(group, "z_iasm_ok", "Iасм:", true);
    z_iasm = spinEdit(group, "z_iasm", configField("i_asymmetry", "threshold_percent"), 25);
    st_ziasm_t = makeStaticText(group, "st_ziasm_t", "5,0", kWidestDelay);
    SpinButton5 = new StepButtons("SpinButton5", group);

    z_ivtz_ok = makeCheckBox(group, "z_ivtz_ok", "Перегруз:", true);
    z_vtz_t = spinEdit(group, "z_vtz_t", configField("overload", "time_s"), 300);
    z_inom_a = makeTextEdit(group, "z_inom_a", "15", 5);
    Button9 = makeButton(group, "Button9", "График ВТЗ");

    z_iso_ok = makeCheckBox(group, "z_iso_ok", "Изоляция:", true);
    z_iso_r = makeDropDown(group, "z_iso_r", {"50", "100", "250", "500"}, 3);

    z_zakl_ok = makeCheckBox(group, "z_zakl_ok", "Заклинивание", true);
    z_izkl_a = makeTextEdit(group, "z_izkl_a", "45", 5);
    st_zizakl_t = makeStaticText(group, "st_zizakl_t", "3,0", kWidestDelay);
    SpinButton4 = new StepButtons("SpinButton4", group);

    z_idif_ok = makeCheckBox(group, "z_idif_ok", "Iут:", true);
    z_idif_a = makeTextEdit(group, "z_idif_a", "1", 5);
    st_zidif_t = makeStaticText(group, "st_zidif_t", "0,5", kWidestDelay);
    SpinButton3 = new StepButtons("SpinButton3", group);

    z_ihol_ok = makeCheckBox(group, "z_ihol_ok", "Iхол:", false);
    z_ihol_a = makeTextEdit(group, "z_ihol_a", "0", 5);
    z_ihol_t = spinEdit(group, "z_ihol_t", configField("idle_current", "delay_s"), 60);

    for (QLineEdit* edit : {z_inom_a, z_izkl_a, z_idif_a, z_ihol_a})
        fitWidthTo(edit, kWidestValue);
    equalWidths({sp_bsz, z_umin_v, z_umax_v, z_uasm, z_iasm, z_vtz_t, z_inom_a, z_iso_r, z_izkl_a,
                 z_idif_a, z_ihol_a});

    layOutProtection(group);
    return group;
}

void ConfigPage::layOutProtection(QGroupBox* group) {
    ProtectionGrid rows(tightGrid(group));
    QGridLayout* grid = rows.grid;
    using enum ProtectionGrid::Column;

    int row = 0;
    grid->addWidget(blok_z, row, Enable, 1, Seconds + 1);
    ++row;
    grid->addWidget(makeCaption("Блокировка сброса:", sp_bsz), row, Enable, 1, 2);
    rows.addValue(row, sp_bsz, "Сек");
    ++row;
    rows.addEnable(row, z_umin_ok);
    rows.addValue(row, z_umin_v, "В");
    rows.addDelay(row, st_zumin_t, spb_zumin);
    ++row;
    rows.addEnable(row, z_umax_ok);
    rows.addValue(row, z_umax_v, "В");
    rows.addDelay(row, st_zumax_t, SpinButton1);
    ++row;
    rows.addEnable(row, z_uasm_ok);
    rows.addValue(row, z_uasm, "%");
    rows.addDelay(row, st_zuasm_t, SpinButton2);
    ++row;
    rows.addEnable(row, z_iasm_ok);
    rows.addValue(row, z_iasm, "%");
    rows.addDelay(row, st_ziasm_t, SpinButton5);
    ++row;
    rows.addEnable(row, z_ivtz_ok);
    grid->addWidget(makeCaption("ВТЗ:", z_vtz_t), row, Inner);
    rows.addValue(row, z_vtz_t, "Сек");
    ++row;
    grid->addWidget(makeCaption("Iном:", z_inom_a), row, Inner);
    rows.addValue(row, z_inom_a, "А");
    grid->addWidget(Button9, row, Delay, 1, 3);
    ++row;
    rows.addEnable(row, z_iso_ok);
    rows.addValue(row, z_iso_r, "кОм");
    ++row;
    // The locked-rotor caption takes two lines; the second is indented under the first
    // line's text, past the check box indicator.
    auto* rotor = makeCaption("ротора", z_zakl_ok);
    const QStyle* style = z_zakl_ok->style();
    rotor->setIndent(style->pixelMetric(QStyle::PM_IndicatorWidth) +
                     style->pixelMetric(QStyle::PM_CheckBoxLabelSpacing));
    auto* rotorCaption = new QVBoxLayout;
    rotorCaption->setSpacing(0);
    rotorCaption->addWidget(z_zakl_ok);
    rotorCaption->addWidget(rotor);
    grid->addLayout(rotorCaption, row, Enable);
    rows.subject = spokenCaption(z_zakl_ok->accessibleName());
    grid->addWidget(makeCaption("Iзкл:", z_izkl_a), row, Inner);
    rows.addValue(row, z_izkl_a, "А");
    rows.addDelay(row, st_zizakl_t, SpinButton4);
    ++row;
    rows.addEnable(row, z_idif_ok);
    rows.addValue(row, z_idif_a, "A");
    rows.addDelay(row, st_zidif_t, SpinButton3);
    ++row;
    rows.addEnable(row, z_ihol_ok);
    rows.addValue(row, z_ihol_a, "A");
    rows.addDelay(row, z_ihol_t, nullptr);
}

QWidget* ConfigPage::buildCalibration() {
    auto* group = new QGroupBox("Калибровка", this);

    st_kua = makeTextEdit(group, "st_kua", "570");
    st_kub = makeTextEdit(group, "st_kub", "570");
    st_kuc = makeTextEdit(group, "st_kuc", "570");
    st_kia = makeTextEdit(group, "st_kia", "200");
    st_kib = makeTextEdit(group, "st_kib", "200");
    st_kic = makeTextEdit(group, "st_kic", "200");
    pcosf = spinEdit(group, "pcosf", configField("calibration", "cos_f_correction"), 0);
    st_kidif = makeTextEdit(group, "st_kidif", "5000");
    for (QLineEdit* edit : {st_kua, st_kub, st_kuc, st_kia, st_kib, st_kic, st_kidif})
        fitWidthTo(edit, kWidestValue);
    equalWidths({st_kua, st_kub, st_kuc, st_kia, st_kib, st_kic, pcosf, st_kidif});

    auto* coefficients = new QGridLayout;
    coefficients->setHorizontalSpacing(6);
    coefficients->setVerticalSpacing(4);
    auto addCoefficient = [coefficients](int row, int column, const QString& caption,
                                         QWidget* edit) {
        coefficients->addWidget(makeCaption(caption, edit), row, column, Qt::AlignRight);
        coefficients->addWidget(edit, row, column + 1);
        edit->setAccessibleName(QStringLiteral("Коэффициент ") + spokenCaption(caption));
    };
    addCoefficient(0, 0, "Ua:", st_kua);
    addCoefficient(1, 0, "Ub:", st_kub);
    addCoefficient(2, 0, "Uc:", st_kuc);
    addCoefficient(3, 0, "COSf:", pcosf);
    addCoefficient(0, 2, "Ia:", st_kia);
    addCoefficient(1, 2, "Ib:", st_kib);
    addCoefficient(2, 2, "Ic:", st_kic);
    addCoefficient(3, 2, "Iут:", st_kidif);
    coefficients->setColumnMinimumWidth(2, 40);

    // Auto-calibration: the reference value applied to each ticked input.
    auto* autoBox = new QGroupBox(group);
    auto* references = tightGrid(autoBox);
    struct Channel {
        QCheckBox*& box;
        QLineEdit*& reference;
        const char* boxName;
        const char* referenceName;
        const char* caption;
        const char* unit;
    };
    const Channel channels[] = {
        {CB_uak, ua_k, "CB_uak", "ua_k", "Ua:", "В"},
        {CB_ubk, ub_k, "CB_ubk", "ub_k", "Ub:", "В"},
        {CB_uck, uc_k, "CB_uck", "uc_k", "Uc:", "В"},
        {CB_iak, ia_k, "CB_iak", "ia_k", "Ia:", "A"},
        {CB_ibk, ib_k, "CB_ibk", "ib_k", "Ib:", "A"},
        {CB_ick, ic_k, "CB_ick", "ic_k", "Ic:", "A"},
        {CB_idifk, idif_k, "CB_idifk", "idif_k", "Iут:", "A"},
    };
    int row = 0;
    for (const Channel& channel : channels) {
        channel.box = makeCheckBox(autoBox, channel.boxName, channel.caption, false);
        channel.reference = makeTextEdit(autoBox, channel.referenceName, "0");
        fitWidthTo(channel.reference, "000,00");
        const QString input = spokenCaption(channel.caption);
        channel.box->setAccessibleName(QStringLiteral("Калибровать ") + input);
        channel.reference->setAccessibleName(input + QStringLiteral(", эталон"));
        references->addWidget(channel.box, row, 0);
        references->addWidget(channel.reference, row, 1);
        references->addWidget(makeCaption(channel.unit, channel.reference), row, 2);
        ++row;
    }
    PBk = makeProgressBar(autoBox, "PBk", 0, 11);
    PBk->setFixedHeight(14);
    Button5 = makeButton(autoBox, "Button5", "Авто-калибровка");
    references->addWidget(PBk, row++, 0, 1, 3);
    references->addWidget(Button5, row, 0, 1, 3);

    auto* column = new QVBoxLayout(group);
    column->addLayout(coefficients);
    column->addWidget(autoBox);
    return group;
}

} // namespace torl7
