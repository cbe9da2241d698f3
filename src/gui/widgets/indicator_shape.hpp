// A state lamp of the protection panel: a rounded square or a circle filled with one colour.
// A circle may sit inside a square as its child; the square keeps it centred.
#pragma once

#include <QColor>
#include <QWidget>

namespace torl7 {

class IndicatorShape : public QWidget {
    Q_OBJECT
public:
    enum class Form { RoundedSquare, Circle };

    // Every lamp starts silver: no state has been received yet.
    static inline const QColor kInitialColor{192, 192, 192};

    IndicatorShape(Form form, const QString& name, QWidget* parent = nullptr);

    Form form() const { return form_; }
    QColor fillColor() const { return fill_; }
    // Repaints only when the colour differs: the poll sets every lamp on every snapshot.
    void setFillColor(const QColor& color);

    // What the lamp tells a screen reader, as its accessible name: "<subject>: <state>",
    // `whenRed` while it is red and `otherwise` in any other colour; "нет данных" until the
    // first state is received.
    void describe(const QString& subject, const QString& whenRed, const QString& otherwise);

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void centreChildren();
    void sayState();

    Form form_;
    QColor fill_ = kInitialColor;
    bool stateReceived_ = false;
    QString subject_;
    QString whenRed_;
    QString otherwise_;
};

} // namespace torl7
