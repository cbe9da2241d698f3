// Every message the tool shows goes through this interface, so that window tests read what
// would have been shown and answer questions themselves.
#pragma once

#include <QString>

#include <functional>

class QWidget;

namespace torl7 {

class UnitSession;
struct SessionError;

// Captions the unit's tool has always used: errors found by the tool and confirmation
// questions carry one leading blank, port errors two.
inline const QString kCaptionTool = QStringLiteral(" Норвик Ltd");
inline const QString kCaptionPort = QStringLiteral("  Норвик Ltd");

// `over` is the dialog that raises the box, which the box is centred over; nullptr stands for
// the main window (or the dialog open over it).
class MessageBoxes {
public:
    enum class Answer { Yes, No };

    virtual ~MessageBoxes() = default;
    virtual void error(const QString& text, const QString& caption, QWidget* over = nullptr) = 0;
    virtual void information(const QString& text, const QString& caption,
                             QWidget* over = nullptr) = 0;
    // Yes and No, No being the default button; only Yes proceeds.
    virtual Answer question(const QString& text, const QString& caption,
                            QWidget* over = nullptr) = 0;
    // A text typed by the user that is not a number: shown in the application's general
    // error box, and the operation that read it stops before anything is sent.
    virtual void conversionError(const QString& text) = 0;
    // The error box of a request the unit left unanswered: the established text and caption,
    // and under them `detail`, what the line showed (nothing when empty). With `offerSearch`
    // the box also has a "Поиск устройства" button; true when the user pressed it.
    virtual bool noAnswer(const QString& text, const QString& caption, const QString& detail,
                          bool offerSearch, QWidget* over = nullptr) = 0;

    // What the line showed since the unanswered request, and where that leads: set by the
    // main window, which keeps the traffic log. Without it the box has no detail.
    struct LineHint {
        QString text;
        std::function<void()> search; // opens "Поиск устройства"; empty: no such button
    };
    std::function<LineHint()> lineHint;
};

// Modal QMessageBox over the dialog that raised it, else over the given window.
class QtMessageBoxes final : public MessageBoxes {
public:
    explicit QtMessageBoxes(QWidget* parent) : parent_(parent) {}
    // Boxes are centred over this window once it exists.
    void setParent(QWidget* parent) { parent_ = parent; }

    void error(const QString& text, const QString& caption, QWidget* over = nullptr) override;
    void information(const QString& text, const QString& caption, QWidget* over = nullptr) override;
    Answer question(const QString& text, const QString& caption, QWidget* over = nullptr) override;
    void conversionError(const QString& text) override;
    bool noAnswer(const QString& text, const QString& caption, const QString& detail,
                  bool offerSearch, QWidget* over = nullptr) override;

private:
    QWidget* ownerOf(QWidget* over) const;

    QWidget* parent_;
};

// The general error box's text for a field that does not hold a number.
QString notANumberText(const QString& typed);
QString notAnIntegerText(const QString& typed);

// The box for an exchange that ended without the unit's answer. A lost line is not said
// here: the main window says it once, when the port goes away (sayLineLost).
void sayFailure(const SessionError& error, MessageBoxes& boxes, QWidget* over = nullptr);
// The "no answer" box, with the line's hint under it when the window knows one. A `finding`
// (what the unit showed when asked again after a lost acknowledgement) stands in the hint's
// place: the line works, and the finding says more.
void sayNoAnswer(MessageBoxes& boxes, QWidget* over = nullptr, const QString& finding = {});
void sayLineLost(const QString& port, const QString& reason, MessageBoxes& boxes);

} // namespace torl7
