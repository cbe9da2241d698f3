// Table-driven checks of a window's controls: each row names a control and states what it
// must be at start (kind, texts, limits, items, captions, hint). Controls are found by
// objectName, as handlers and later tests find them.
#pragma once

#include <QAbstractButton>
#include <QCheckBox>
#include <QComboBox>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSpinBox>
#include <QString>
#include <QStringList>
#include <gtest/gtest.h>

#include <ostream>
#include <utility>
#include <vector>

// Readable failure messages for Qt strings.
inline void PrintTo(const QString& text, std::ostream* out) {
    *out << '"' << text.toStdString() << '"';
}

namespace torl7::testing {

// The one widget of type T named `name` under `root`, or nullptr (with a failure) when there
// is none, more than one, or one of another kind.
template <class T> T* findControl(QWidget* root, const QString& name) {
    const auto named = root->findChildren<QObject*>(name);
    EXPECT_EQ(named.size(), 1) << "controls named " << name.toStdString();
    if (named.size() != 1)
        return nullptr;
    T* control = qobject_cast<T*>(named.front());
    EXPECT_NE(control, nullptr) << name.toStdString() << " is a "
                                << named.front()->metaObject()->className();
    return control;
}

// Texts of the labels that belong to `control` (its caption and unit), sorted.
inline QStringList captionsOf(QWidget* root, QWidget* control) {
    QStringList texts;
    for (QLabel* label : root->findChildren<QLabel*>())
        if (label->buddy() == control)
            texts.append(label->text());
    texts.sort();
    return texts;
}

inline QStringList sorted(QStringList texts) {
    texts.sort();
    return texts;
}

struct SpinEdit {
    const char* name;
    int minimum;
    int maximum;
    int value;
    QStringList captions;
    QString hint = {};
};

struct DropDown {
    const char* name;
    QStringList items;
    int index;
    QStringList captions;
    QString hint = {};
    bool editable = false;
};

// maxLength 0: no limit of its own.
struct TextEdit {
    const char* name;
    QString text;
    int maxLength;
    QStringList captions;
    bool enabled = true;
};

struct StaticText {
    const char* name;
    QString text;
    QStringList captions;
};

struct CheckBox {
    const char* name;
    QString caption;
    bool checked;
    QStringList captions = {};
    QString hint = {};
};

struct Button {
    const char* name;
    QString caption;
};

struct ProgressBar {
    const char* name;
    int minimum;
    int maximum;
};

inline void expectControl(QWidget* root, const SpinEdit& row) {
    SCOPED_TRACE(row.name);
    auto* spin = findControl<QSpinBox>(root, row.name);
    if (!spin)
        return;
    EXPECT_EQ(spin->minimum(), row.minimum);
    EXPECT_EQ(spin->maximum(), row.maximum);
    EXPECT_EQ(spin->value(), row.value);
    EXPECT_EQ(captionsOf(root, spin), sorted(row.captions));
    EXPECT_EQ(spin->toolTip(), row.hint);
}

inline void expectControl(QWidget* root, const DropDown& row) {
    SCOPED_TRACE(row.name);
    auto* list = findControl<QComboBox>(root, row.name);
    if (!list)
        return;
    EXPECT_EQ(list->isEditable(), row.editable);
    QStringList items;
    for (int index = 0; index < list->count(); ++index)
        items.append(list->itemText(index));
    EXPECT_EQ(items, row.items);
    EXPECT_EQ(list->currentIndex(), row.index);
    EXPECT_EQ(captionsOf(root, list), sorted(row.captions));
    EXPECT_EQ(list->toolTip(), row.hint);
}

inline void expectControl(QWidget* root, const TextEdit& row) {
    SCOPED_TRACE(row.name);
    auto* edit = findControl<QLineEdit>(root, row.name);
    if (!edit)
        return;
    EXPECT_EQ(edit->text(), row.text);
    EXPECT_EQ(edit->maxLength(), row.maxLength > 0 ? row.maxLength : QLineEdit().maxLength());
    EXPECT_FALSE(edit->isReadOnly());
    EXPECT_EQ(edit->isEnabled(), row.enabled);
    EXPECT_EQ(captionsOf(root, edit), sorted(row.captions));
}

inline void expectControl(QWidget* root, const StaticText& row) {
    SCOPED_TRACE(row.name);
    auto* label = findControl<QLabel>(root, row.name);
    if (!label)
        return;
    EXPECT_EQ(label->text(), row.text);
    EXPECT_EQ(label->frameShadow(), QFrame::Sunken);
    EXPECT_NE(label->frameShape(), QFrame::NoFrame);
    EXPECT_EQ(label->textFormat(), Qt::PlainText) << "texts from the unit are shown as they are";
    EXPECT_EQ(captionsOf(root, label), sorted(row.captions));
}

inline void expectControl(QWidget* root, const CheckBox& row) {
    SCOPED_TRACE(row.name);
    auto* box = findControl<QCheckBox>(root, row.name);
    if (!box)
        return;
    EXPECT_EQ(box->text(), row.caption);
    EXPECT_EQ(box->isChecked(), row.checked);
    EXPECT_EQ(captionsOf(root, box), sorted(row.captions));
    EXPECT_EQ(box->toolTip(), row.hint);
}

inline void expectControl(QWidget* root, const Button& row) {
    SCOPED_TRACE(row.name);
    auto* button = findControl<QPushButton>(root, row.name);
    if (!button)
        return;
    EXPECT_EQ(button->text(), row.caption);
}

inline void expectControl(QWidget* root, const ProgressBar& row) {
    SCOPED_TRACE(row.name);
    auto* bar = findControl<QProgressBar>(root, row.name);
    if (!bar)
        return;
    EXPECT_EQ(bar->minimum(), row.minimum);
    EXPECT_EQ(bar->maximum(), row.maximum);
    EXPECT_EQ(bar->value(), 0);
}

template <class Row> void expectControls(QWidget* root, const std::vector<Row>& rows) {
    for (const Row& row : rows)
        expectControl(root, row);
}

// Public members that handlers use, each with the name it must carry: a member that points
// at another control than its name says would send or show the wrong value.
using Members = std::vector<std::pair<const char*, const QObject*>>;
#define TORL7_MEMBER(owner, member) std::pair<const char*, const QObject*>(#member, (owner).member)

inline void expectMembersNamed(const Members& members) {
    for (const auto& [name, object] : members) {
        SCOPED_TRACE(name);
        ASSERT_NE(object, nullptr);
        EXPECT_EQ(object->objectName(), QString::fromLatin1(name));
    }
}

// Shows `window` at its preferred size and checks that no two controls overlap and that every
// label, check box and button has room for its whole text.
void expectNothingClippedOrOverlapping(QWidget* window);

} // namespace torl7::testing
