// The window as a screen reader and a keyboard reach it: names, indicator states, keys, tab
// order; and the search dialog's own factory number and boxes.
#include "app/control_expectations.hpp" // readable Qt strings in failures
#include "gui/controllers/device_search.hpp"
#include "gui/dialogs/collect_dialog.hpp"
#include "gui/dialogs/unit_dialog.hpp"
#include "gui/pages/units_page.hpp"
#include "gui/widgets/indicator_shape.hpp"
#include "gui/widgets/step_buttons.hpp"
#include "support/window_fixture.hpp"

#include <QAccessible>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTableWidget>
#include <QTest>
#include <QToolButton>

using namespace torl7;
using namespace torl7::test;

namespace {

QString accessible(QWidget* widget, QAccessible::Text kind = QAccessible::Name) {
    QAccessibleInterface* face = QAccessible::queryAccessibleInterface(widget);
    return face == nullptr ? QString() : face->text(kind);
}

// The name a screen reader is given. On Linux Qt reports a drop-down list's shown item as its
// name (and its caption as a relation), so the list's own accessible name is what counts.
QString nameOf(QWidget* control) {
    if (qobject_cast<QComboBox*>(control) != nullptr)
        return control->accessibleName();
    return accessible(control);
}

// Controls the user can Tab to; the inner parts of a control (a spin box's editor, "qt_...",
// an editable list's text, whose focus goes to the list) are reached through their control.
bool tabStop(const QWidget* widget) {
    return (widget->focusPolicy() & Qt::TabFocus) != 0 &&
           !widget->objectName().startsWith(QLatin1String("qt_")) && !widget->focusProxy();
}

// The next `count` tab stops after `from` in the focus chain, by objectName.
QStringList tabsAfter(QWidget* from, int count) {
    QStringList names;
    for (QWidget* next = from->nextInFocusChain(); names.size() < count && next != from;
         next = next->nextInFocusChain()) {
        if (tabStop(next))
            names << next->objectName();
    }
    return names;
}

class AccessibilityTest : public WindowFixture {};

} // namespace

TEST_F(AccessibilityTest, everyFocusableControlOfEveryPageAndDialogHasAName) {
    int walked = 0;
    QStringList nameless;
    UnitDialog unitDialog(window.get(), Substation{}, 0, {}, boxes);
    CollectDialog collectDialog(window.get());
    for (QWidget* root :
         {static_cast<QWidget*>(window.get()), static_cast<QWidget*>(w().searchDialog()),
          static_cast<QWidget*>(w().tccDialog()), static_cast<QWidget*>(&unitDialog),
          static_cast<QWidget*>(&collectDialog)}) {
        for (QWidget* control : root->findChildren<QWidget*>()) {
            if (control->window() != root || !tabStop(control))
                continue;
            ++walked;
            if (nameOf(control).trimmed().isEmpty())
                nameless << control->objectName() + " (" + control->metaObject()->className() + ")";
        }
    }
    EXPECT_TRUE(nameless.isEmpty()) << "without a name: " << nameless.join(", ").toStdString();
    EXPECT_GT(walked, 90) << "the walk reached the controls of all three pages and dialogs";
}

TEST_F(AccessibilityTest, controlsAreNamedByCaptionAndUnitOrByWhatTheyStep) {
    const std::pair<QWidget*, QString> names[] = {
        {config().spb_zumin->upButton(), "Umin, задержка: больше"},
        {config().spb_zumin->downButton(), "Umin, задержка: меньше"},
        {config().SpinButton4->upButton(), "Заклинивание ротора, задержка: больше"},
        {config().z_umin_v, "Umin, В"},
        {config().st_zumin_t, "Umin, задержка, Сек: 10,0"}, // with the value it shows
        {config().z_ihol_t, "Iхол, задержка, Сек"},
        {config().z_inom_a, "Iном, А"},
        {config().sp_utb, "Tb, мСек"},
        {config().cb_rs485, "RS485, бод/сек"},
        {config().cb_uprotbus, "Протокол передачи данных"},
        {config().ua_k, "Ua, эталон, В"},
        {diag().cb_speed, "Скорость линии, бод/сек"},
        {diag().frm1_zn, "Зав. №"},
        {w().tccDialog()->g_vtz_t, "Время срабатывания, Сек"},
    };
    for (const auto& [control, name] : names) {
        EXPECT_EQ(nameOf(control), name) << control->objectName().toStdString();
    }
}

TEST_F(AccessibilityTest, everyValueFieldSaysItsCaptionWithItsValueAndAnnouncesEachNewOne) {
    const std::pair<QLabel*, QString> fields[] = {
        {diag().st_ua, "Ua, В"},
        {diag().st_ub, "Ub, В"},
        {diag().st_uc, "Uc, В"},
        {diag().st_uasm, "Uasm, %"},
        {diag().st_cos, "cos f"},
        {diag().st_pa, "Р, кВт"},
        {diag().st_ia, "Ia, А"},
        {diag().st_ib, "Ib, А"},
        {diag().st_ic, "Ic, А"},
        {diag().st_iasm, "Iasm, %"},
        {diag().st_idif, "Iут, А"},
        {diag().c_umin, "Umin, осталось, сек"},
        {diag().c_umax, "Umax, осталось, сек"},
        {diag().c_uasm, "Uасм, осталось, сек"},
        {diag().st_blkz, "Защита, осталось, сек"},
        {diag().c_ihol, "Холостой ход, осталось, сек"},
        {diag().c_ivtz, "Iвтз, осталось, сек"},
        {diag().c_iasm, "Iасм, осталось, сек"},
        {diag().c_izakl, "Заклинивание, осталось, сек"},
        {diag().c_idif, "Iут, осталось, сек"},
        {diag().st_ikrp, "Кр.перег."},
        {diag().ttime, "Время устройства"},
        {diag().tDATE, "Дата устройства"},
        {diag().st_wa, "Wа, кВтч"},
        {diag().st_moto, "Наработка об., (ч:м:с)"},
        {protocol().st_nuh, "Начало учета"},
        {protocol().st_nwa, "Wа, кВтч"},
        {protocol().st_tdv, "Наработка об., (ч:м:с)"},
        {protocol().st_kvdv, "К-во включений оборуд."},
        {protocol().st_kzdv, "К-во сработан. защит"},
    };
    int next = 220;
    for (const auto& [field, caption] : fields) {
        const QString value = QString::number(next++);
        field->setText(value); // as the pages' controllers set them
        // What the bus hands a screen reader.
        QAccessibleInterface* face = QAccessible::queryAccessibleInterface(field);
        EXPECT_EQ(face->text(QAccessible::Name), caption + ": " + value);
        EXPECT_EQ(face->text(QAccessible::Value), value);
        // QLabel announces a new text (as a change of its name) only while it has no accessible
        // name of its own; no bus reaches an offscreen test to hear it.
        EXPECT_TRUE(field->accessibleName().isEmpty()) << caption.toStdString() << ": announced";
    }
}

TEST_F(AccessibilityTest, indicatorsSayTheirStateInWordsAsItChanges) {
    const QColor red(255, 0, 0), silver(192, 192, 192), green(0, 255, 0);
    EXPECT_EQ(accessible(diag().sh_umin), "Umin: нет данных");
    struct Case {
        IndicatorShape* lamp;
        QColor color;
        QString said;
    };
    const Case cases[] = {
        {diag().sh_umax, silver, "Umax: норма"}, // the first state is the colour it starts in
        {diag().sh_umin, red, "Umin: сработала"},
        {diag().sh_umin, silver, "Umin: норма"},
        {diag().zp_umin, red, "Umin, функция: включена"},
        {diag().zp_ihol, silver, "Холостой ход, функция: выключена"},
        {diag().sh_iso, green, "Изоляция: норма"},
        {diag().sh_iso, red, "Изоляция: сработала"},
        {diag().sh_dv, red, "Оборудование: включено"},
        {diag().Sh_z, silver, "Защита: выключена"},
    };
    for (const Case& c : cases) {
        c.lamp->setFillColor(c.color);
        EXPECT_EQ(accessible(c.lamp), c.said) << c.lamp->objectName().toStdString();
        EXPECT_EQ(QAccessible::queryAccessibleInterface(c.lamp)->role(), QAccessible::Indicator);
    }
}

TEST_F(AccessibilityTest, enterPressesTheFocusedButtonAndEscapeClosesTheDialogs) {
    w().PageControl1->setCurrentIndex(0);
    window->show();
    QApplication::processEvents();
    config().spb_zumin->upButton()->setFocus();
    QTest::keyClick(config().spb_zumin->upButton(), Qt::Key_Return);
    EXPECT_EQ(config().st_zumin_t->text(), "10,1");
    config().btn_read_konf->setFocus();
    QTest::keyClick(config().btn_read_konf, Qt::Key_Enter, Qt::KeypadModifier);
    EXPECT_EQ(line.writes.size(), 1u) << "the read request went out";

    for (QDialog* dialog :
         {static_cast<QDialog*>(w().searchDialog()), static_cast<QDialog*>(w().tccDialog())}) {
        dialog->show();
        QApplication::processEvents();
        QWidget* focused = dialog->focusWidget() ? dialog->focusWidget() : dialog;
        QTest::keyClick(focused, Qt::Key_Escape);
        EXPECT_FALSE(dialog->isVisible()) << dialog->objectName().toStdString();
    }
}

TEST_F(AccessibilityTest, tabOrderFollowsTheLayoutOfEachPageAndDialog) {
    UnitDialog unitDialog(window.get(), Substation{}, 0, {}, boxes);
    const std::pair<QWidget*, QStringList> chains[] = {
        {diag().frm1_zn, {"cmbPorts", "cb_speed", "Button6", "cmb_m"}},
        {diag().diagnos, {"btn_monitor"}},
        {config().z_umin_ok, {"z_umin_v", "spb_zumin_up", "spb_zumin_down", "z_umax_ok"}},
        {config().Button12,
         {"btn_save_settings", "btn_read_konf", "btn_write_konf", "btn_load_settings",
          "btn_compare_konf"}},
        {config().st_kuc, {"st_kic", "pcosf", "st_kidif", "CB_uak"}},
        {protocol().StGr_prot, {"Button7", "Button8", "Button1", "btn_save_prot"}},
        {w().searchDialog()->frm2_zn, {"cmbPorts", "Button1"}},
        {w().TabSheet4->ed_substation_name,
         {"tbl_units", "btn_units_open", "btn_units_save", "btn_unit_add", "btn_unit_edit",
          "btn_unit_remove", "btn_collect_all"}},
        {unitDialog.frm_unit_number,
         {"ed_switchgear", "ed_bay", "ed_motor", "cmb_unit_line", "cmb_line_port",
          "cb_line_speed"}},
    };
    for (const auto& [from, expected] : chains) {
        EXPECT_EQ(tabsAfter(from, static_cast<int>(expected.size())).join(' '), expected.join(' '))
            << "after " << from->objectName().toStdString();
    }
}

TEST_F(AccessibilityTest, searchDialogStartsWithTheWindowsNumberAndItsBoxesStandOverIt) {
    EXPECT_EQ(w().searchDialog()->frm2_zn->value(), diag().frm1_zn->value());
    EXPECT_EQ(w().searchDialog()->frm2_zn->value(), 600);

    DeviceSearch& search = *w().findChild<DeviceSearch*>();
    search.Button1Click(); // start
    search.Button1Click(); // stop: the box says so
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0].text, "Процесс поиска остановлен!");
    EXPECT_EQ(boxes.shown[0].over, w().searchDialog());
}
