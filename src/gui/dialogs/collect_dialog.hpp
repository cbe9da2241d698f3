// The progress of "Собрать всё": which unit is being read and how far, a bar over the units, and
// "Отмена". Closing the dialog (Escape, the title bar) asks for the cancel as the button does;
// the dialog goes when its controller closes it, once every line has ended.
#pragma once

#include <QDialog>

class QLabel;
class QProgressBar;
class QPushButton;

namespace torl7 {

class CollectDialog : public QDialog {
    Q_OBJECT
public:
    explicit CollectDialog(QWidget* parent);

    QLabel* lbl_collect = nullptr;
    QProgressBar* pb_collect = nullptr;
    QPushButton* btn_collect_cancel = nullptr;

    void reject() override;

signals:
    void cancelAsked();

protected:
    void closeEvent(QCloseEvent* event) override;
};

} // namespace torl7
