// The "Конфигурация" page: the unit's descriptive texts, phase monitoring, RS485 bus settings,
// protection settings, calibration coefficients and auto-calibration. These controls are the
// only copy of the configuration: the record sent to the unit is built from them and a
// received record is written into them.
#pragma once

#include <QWidget>

#include <string_view>

class QCheckBox;
class QGroupBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QSpinBox;

namespace torl7 {

class StepButtons;

class ConfigPage : public QWidget {
    Q_OBJECT
public:
    explicit ConfigPage(QWidget* parent = nullptr);

    // The control that shows a field of the configuration record, by the objectName the
    // field table gives it; nullptr for a name no control of the page carries.
    QWidget* fieldControl(std::string_view objectName) const;

    // "Информация"
    QLineEdit* tipo_text = nullptr;
    QLineEdit* oust_text = nullptr;

    // "Параметры контроля"
    QComboBox* p_uf_c = nullptr;
    QComboBox* p_if_c = nullptr;

    // RS485 bus port of the unit
    QComboBox* cb_rs485 = nullptr;
    QComboBox* cb_uprotbus = nullptr;
    QSpinBox* sp_uaddr = nullptr;
    QSpinBox* sp_utb = nullptr;
    QSpinBox* sp_ute = nullptr;

    // "Установки защиты", row by row
    QCheckBox* blok_z = nullptr;
    QSpinBox* sp_bsz = nullptr;
    QCheckBox* z_umin_ok = nullptr;
    QSpinBox* z_umin_v = nullptr;
    QLabel* st_zumin_t = nullptr;
    StepButtons* spb_zumin = nullptr;
    QCheckBox* z_umax_ok = nullptr;
    QSpinBox* z_umax_v = nullptr;
    QLabel* st_zumax_t = nullptr;
    StepButtons* SpinButton1 = nullptr;
    QCheckBox* z_uasm_ok = nullptr;
    QSpinBox* z_uasm = nullptr;
    QLabel* st_zuasm_t = nullptr;
    StepButtons* SpinButton2 = nullptr;
    QCheckBox* z_iasm_ok = nullptr;
    QSpinBox* z_iasm = nullptr;
    QLabel* st_ziasm_t = nullptr;
    StepButtons* SpinButton5 = nullptr;
    QCheckBox* z_ivtz_ok = nullptr;
    QSpinBox* z_vtz_t = nullptr;
    QLineEdit* z_inom_a = nullptr;
    QPushButton* Button9 = nullptr;
    QCheckBox* z_iso_ok = nullptr;
    QComboBox* z_iso_r = nullptr;
    QCheckBox* z_zakl_ok = nullptr;
    QLineEdit* z_izkl_a = nullptr;
    QLabel* st_zizakl_t = nullptr;
    StepButtons* SpinButton4 = nullptr;
    QCheckBox* z_idif_ok = nullptr;
    QLineEdit* z_idif_a = nullptr;
    QLabel* st_zidif_t = nullptr;
    StepButtons* SpinButton3 = nullptr;
    QCheckBox* z_ihol_ok = nullptr;
    QLineEdit* z_ihol_a = nullptr;
    QSpinBox* z_ihol_t = nullptr;

    // "Калибровка": coefficients
    QLineEdit* st_kua = nullptr;
    QLineEdit* st_kub = nullptr;
    QLineEdit* st_kuc = nullptr;
    QLineEdit* st_kia = nullptr;
    QLineEdit* st_kib = nullptr;
    QLineEdit* st_kic = nullptr;
    QSpinBox* pcosf = nullptr;
    QLineEdit* st_kidif = nullptr;

    // "Калибровка": auto-calibration, one check box and reference value per channel
    QCheckBox* CB_uak = nullptr;
    QLineEdit* ua_k = nullptr;
    QCheckBox* CB_ubk = nullptr;
    QLineEdit* ub_k = nullptr;
    QCheckBox* CB_uck = nullptr;
    QLineEdit* uc_k = nullptr;
    QCheckBox* CB_iak = nullptr;
    QLineEdit* ia_k = nullptr;
    QCheckBox* CB_ibk = nullptr;
    QLineEdit* ib_k = nullptr;
    QCheckBox* CB_ick = nullptr;
    QLineEdit* ic_k = nullptr;
    QCheckBox* CB_idifk = nullptr;
    QLineEdit* idif_k = nullptr;
    QProgressBar* PBk = nullptr;
    QPushButton* Button5 = nullptr;

    // Bottom of the page
    QPushButton* Button12 = nullptr;
    QLabel* st_vpmk = nullptr;
    QPushButton* btn_read_konf = nullptr;
    QPushButton* btn_write_konf = nullptr;
    QPushButton* btn_compare_konf = nullptr;
    // The page to and from a settings file; nothing is sent to the unit.
    QPushButton* btn_save_settings = nullptr;
    QPushButton* btn_load_settings = nullptr;

private:
    QWidget* buildInformation();
    QWidget* buildPhaseMonitoring();
    QWidget* buildRs485();
    QWidget* buildProtection();
    void layOutProtection(QGroupBox* group);
    QWidget* buildCalibration();
};

} // namespace torl7
