#include "gui/pages/config_page.hpp"

#include "app/control_expectations.hpp"
#include "gui/widgets/step_buttons.hpp"
#include "protocol/config_fields.hpp"

#include <QLabel>
#include <QSignalSpy>
#include <QToolButton>

#include <map>

using namespace torl7;
using namespace torl7::testing;

namespace {

class ConfigPageTest : public ::testing::Test {
protected:
    ConfigPage page;
};

const QStringList kPhaseSets{"A/B/C", "   A/B", "   A/C", "       A"};

TEST_F(ConfigPageTest, spinEditsStartWithTheirRangesValuesCaptionsAndHints) {
    expectControls<SpinEdit>(
        &page,
        {
            {"sp_uaddr", 1, 247, 1, {"Адрес:"}, "Сетевой адрес устройства"},
            {"sp_utb", 3, 200, 5, {"Tb:", "мСек"}, "Время тишины между сообщениями"},
            {"sp_ute", 2, 99, 3, {"Te:", "мСек"}, "Время окончания сообщения"},
            {"sp_bsz", 1, 999, 1, {"Блокировка сброса:", "Сек"}, "Время блокировки сброса защиты"},
            {"z_umin_v", 100, 6000, 170, {"В"}},
            {"z_umax_v", 100, 7000, 250, {"В"}},
            {"z_uasm", 1, 99, 30, {"%"}},
            {"z_iasm", 1, 99, 25, {"%"}},
            {"z_vtz_t", 1, 999, 300, {"ВТЗ:", "Сек"}},
            {"z_ihol_t", 1, 999, 60, {"Сек"}},
            {"pcosf", -75, 75, 0, {"COSf:"}},
        });
}

TEST_F(ConfigPageTest, dropDownsHoldTheirItemsWithLeadingBlanksAndStartSelection) {
    expectControls<DropDown>(
        &page, {
                   {"p_uf_c", kPhaseSets, 0, {"Контроль Uфаз:"}},
                   {"p_if_c", kPhaseSets, 0, {"Контроль Iфаз:"}},
                   {"cb_rs485",
                    {"   300", "   600", "  1200", "  2400", "  4800", "  9600", " 14400", " 19200",
                     " 38400", " 57600", "115200"},
                    5,
                    {"RS485:", "бод/сек"},
                    "Скорость RS485"},
                   {"cb_uprotbus", {"RURUDE", "ZEVERE"}, 0, {}, "Протокол передачи данных"},
                   {"z_iso_r", {"50", "100", "250", "500"}, 3, {"кОм"}},
               });
}

TEST_F(ConfigPageTest, textEditsStartWithTheirTextsAndLengthLimits) {
    expectControls<TextEdit>(&page, {
                                        {"tipo_text", "", 16, {"Тип оборудования:"}},
                                        {"oust_text", "", 16, {"Объек/установка:"}},
                                        {"z_inom_a", "15", 5, {"Iном:", "А"}},
                                        {"z_izkl_a", "45", 5, {"Iзкл:", "А"}},
                                        {"z_idif_a", "1", 5, {"A"}},
                                        {"z_ihol_a", "0", 5, {"A"}},
                                        {"st_kua", "570", 0, {"Ua:"}},
                                        {"st_kub", "570", 0, {"Ub:"}},
                                        {"st_kuc", "570", 0, {"Uc:"}},
                                        {"st_kia", "200", 0, {"Ia:"}},
                                        {"st_kib", "200", 0, {"Ib:"}},
                                        {"st_kic", "200", 0, {"Ic:"}},
                                        {"st_kidif", "5000", 0, {"Iут:"}},
                                        {"ua_k", "0", 0, {"В"}},
                                        {"ub_k", "0", 0, {"В"}},
                                        {"uc_k", "0", 0, {"В"}},
                                        {"ia_k", "0", 0, {"A"}},
                                        {"ib_k", "0", 0, {"A"}},
                                        {"ic_k", "0", 0, {"A"}},
                                        {"idif_k", "0", 0, {"A"}},
                                    });
}

TEST_F(ConfigPageTest, delayTextsAreReadOnlyWithCommaDecimalsAndSeconds) {
    expectControls<StaticText>(&page, {
                                          {"st_zumin_t", "10,0", {"Сек"}},
                                          {"st_zumax_t", "10,0", {"Сек"}},
                                          {"st_zuasm_t", "15,0", {"Сек"}},
                                          {"st_ziasm_t", "5,0", {"Сек"}},
                                          {"st_zizakl_t", "3,0", {"Сек"}},
                                          {"st_zidif_t", "0,5", {"Сек"}},
                                          {"st_vpmk", "", {}},
                                      });
    auto* version = findControl<QLabel>(&page, "st_vpmk");
    ASSERT_NE(version, nullptr);
    EXPECT_EQ(version->alignment() & Qt::AlignHorizontal_Mask, Qt::AlignHCenter);
}

TEST_F(ConfigPageTest, checkBoxesStartWithTheirCaptionsAndStates) {
    expectControls<CheckBox>(&page, {
                                        {"blok_z",
                                         "Блокировка защиты",
                                         false,
                                         {},
                                         "Ограничение повторных пусков после срабатывания защиты"},
                                        {"z_umin_ok", "Umin:", false},
                                        {"z_umax_ok", "Umax:", false},
                                        {"z_uasm_ok", "Uасм:", true},
                                        {"z_iasm_ok", "Iасм:", true},
                                        {"z_ivtz_ok", "Перегруз:", true},
                                        {"z_iso_ok", "Изоляция:", true},
                                        {"z_zakl_ok", "Заклинивание", true, {"ротора"}},
                                        {"z_idif_ok", "Iут:", true},
                                        {"z_ihol_ok", "Iхол:", false},
                                        {"CB_uak", "Ua:", false},
                                        {"CB_ubk", "Ub:", false},
                                        {"CB_uck", "Uc:", false},
                                        {"CB_iak", "Ia:", false},
                                        {"CB_ibk", "Ib:", false},
                                        {"CB_ick", "Ic:", false},
                                        {"CB_idifk", "Iут:", false},
                                    });
}

TEST_F(ConfigPageTest, buttonsAndCalibrationProgressAreInPlace) {
    expectControls<Button>(&page, {
                                      {"Button9", "График ВТЗ"},
                                      {"Button5", "Авто-калибровка"},
                                      {"Button12", "Версия программы МК"},
                                      {"btn_read_konf", "Считать конфигурацию"},
                                      {"btn_write_konf", "Записать конфигурацию"},
                                      {"btn_compare_konf", "Сравнить с устройством"},
                                  });
    expectControls<ProgressBar>(&page, {{"PBk", 0, 11}});
}

TEST_F(ConfigPageTest, bothBusTimingCaptionsCarryTheirControlsHint) {
    for (const char* name : {"sp_utb", "sp_ute"}) {
        SCOPED_TRACE(name);
        auto* spin = findControl<QSpinBox>(&page, name);
        ASSERT_NE(spin, nullptr);
        const QString label = QString(name) == "sp_utb" ? "Tb:" : "Te:";
        bool found = false;
        for (QLabel* caption : page.findChildren<QLabel*>())
            if (caption->buddy() == spin && caption->text() == label) {
                EXPECT_EQ(caption->toolTip(), spin->toolTip());
                found = true;
            }
        EXPECT_TRUE(found);
    }
}

TEST_F(ConfigPageTest, eachDelayTextHasItsOwnStepPairThatReportsEachDirection) {
    const std::pair<StepButtons*, const char*> pairs[] = {
        {page.spb_zumin, "spb_zumin"},     {page.SpinButton1, "SpinButton1"},
        {page.SpinButton2, "SpinButton2"}, {page.SpinButton3, "SpinButton3"},
        {page.SpinButton4, "SpinButton4"}, {page.SpinButton5, "SpinButton5"},
    };
    for (const auto& [pair, name] : pairs) {
        SCOPED_TRACE(name);
        ASSERT_EQ(findControl<StepButtons>(&page, name), pair);
        auto* up = findControl<QToolButton>(pair, QString(name) + "_up");
        auto* down = findControl<QToolButton>(pair, QString(name) + "_down");
        ASSERT_TRUE(up && down);
        QSignalSpy ups(pair, &StepButtons::upClicked);
        QSignalSpy downs(pair, &StepButtons::downClicked);
        up->click();
        EXPECT_EQ(ups.count(), 1);
        EXPECT_EQ(downs.count(), 0);
        down->click();
        EXPECT_EQ(ups.count(), 1);
        EXPECT_EQ(downs.count(), 1);
    }
}

TEST_F(ConfigPageTest, everyFieldOfTheRecordHasAControlOfItsKind) {
    const std::map<PageControl, const char*> classOfKind = {
        {PageControl::SpinEdit, "QSpinBox"},     {PageControl::DelayText, "QLabel"},
        {PageControl::CurrentEdit, "QLineEdit"}, {PageControl::CoefficientEdit, "QLineEdit"},
        {PageControl::CheckBox, "QCheckBox"},    {PageControl::DropDown, "QComboBox"},
        {PageControl::TextEdit, "QLineEdit"},
    };
    for (const ConfigField& f : kConfigFields) {
        const QWidget* control = page.fieldControl(f.controlName);
        ASSERT_NE(control, nullptr) << f.path() << ": no control " << f.controlName;
        EXPECT_TRUE(control->inherits(classOfKind.at(f.control))) << f.path();
    }
}

TEST_F(ConfigPageTest, membersPointAtTheControlsOfTheirNames) {
    expectMembersNamed({
        TORL7_MEMBER(page, tipo_text),     TORL7_MEMBER(page, oust_text),
        TORL7_MEMBER(page, p_uf_c),        TORL7_MEMBER(page, p_if_c),
        TORL7_MEMBER(page, cb_rs485),      TORL7_MEMBER(page, cb_uprotbus),
        TORL7_MEMBER(page, sp_uaddr),      TORL7_MEMBER(page, sp_utb),
        TORL7_MEMBER(page, sp_ute),        TORL7_MEMBER(page, blok_z),
        TORL7_MEMBER(page, sp_bsz),        TORL7_MEMBER(page, z_umin_ok),
        TORL7_MEMBER(page, z_umin_v),      TORL7_MEMBER(page, st_zumin_t),
        TORL7_MEMBER(page, spb_zumin),     TORL7_MEMBER(page, z_umax_ok),
        TORL7_MEMBER(page, z_umax_v),      TORL7_MEMBER(page, st_zumax_t),
        TORL7_MEMBER(page, SpinButton1),   TORL7_MEMBER(page, z_uasm_ok),
        TORL7_MEMBER(page, z_uasm),        TORL7_MEMBER(page, st_zuasm_t),
        TORL7_MEMBER(page, SpinButton2),   TORL7_MEMBER(page, z_iasm_ok),
        TORL7_MEMBER(page, z_iasm),        TORL7_MEMBER(page, st_ziasm_t),
        TORL7_MEMBER(page, SpinButton5),   TORL7_MEMBER(page, z_ivtz_ok),
        TORL7_MEMBER(page, z_vtz_t),       TORL7_MEMBER(page, z_inom_a),
        TORL7_MEMBER(page, Button9),       TORL7_MEMBER(page, z_iso_ok),
        TORL7_MEMBER(page, z_iso_r),       TORL7_MEMBER(page, z_zakl_ok),
        TORL7_MEMBER(page, z_izkl_a),      TORL7_MEMBER(page, st_zizakl_t),
        TORL7_MEMBER(page, SpinButton4),   TORL7_MEMBER(page, z_idif_ok),
        TORL7_MEMBER(page, z_idif_a),      TORL7_MEMBER(page, st_zidif_t),
        TORL7_MEMBER(page, SpinButton3),   TORL7_MEMBER(page, z_ihol_ok),
        TORL7_MEMBER(page, z_ihol_a),      TORL7_MEMBER(page, z_ihol_t),
        TORL7_MEMBER(page, st_kua),        TORL7_MEMBER(page, st_kub),
        TORL7_MEMBER(page, st_kuc),        TORL7_MEMBER(page, st_kia),
        TORL7_MEMBER(page, st_kib),        TORL7_MEMBER(page, st_kic),
        TORL7_MEMBER(page, pcosf),         TORL7_MEMBER(page, st_kidif),
        TORL7_MEMBER(page, CB_uak),        TORL7_MEMBER(page, ua_k),
        TORL7_MEMBER(page, CB_ubk),        TORL7_MEMBER(page, ub_k),
        TORL7_MEMBER(page, CB_uck),        TORL7_MEMBER(page, uc_k),
        TORL7_MEMBER(page, CB_iak),        TORL7_MEMBER(page, ia_k),
        TORL7_MEMBER(page, CB_ibk),        TORL7_MEMBER(page, ib_k),
        TORL7_MEMBER(page, CB_ick),        TORL7_MEMBER(page, ic_k),
        TORL7_MEMBER(page, CB_idifk),      TORL7_MEMBER(page, idif_k),
        TORL7_MEMBER(page, PBk),           TORL7_MEMBER(page, Button5),
        TORL7_MEMBER(page, Button12),      TORL7_MEMBER(page, st_vpmk),
        TORL7_MEMBER(page, btn_read_konf), TORL7_MEMBER(page, btn_write_konf),
    });
}

TEST_F(ConfigPageTest, pageFitsAServiceLaptopScreenWithNothingCutOrOverlapping) {
    const QSize preferred = page.sizeHint();
    EXPECT_LE(preferred.width(), 1000);
    EXPECT_LE(preferred.height(), 700);
    expectNothingClippedOrOverlapping(&page);
}

} // namespace
