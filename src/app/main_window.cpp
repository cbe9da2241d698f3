#include "app/main_window.hpp"

#include "app/config_page.hpp"
#include "app/diag_page.hpp"
#include "app/message_boxes.hpp"
#include "app/protocol_page.hpp"
#include "app/subsystems.hpp"
#include "search/search_dialog.hpp"
#include "tcc/tcc_dialog.hpp"

#include <QCloseEvent>
#include <QComboBox>
#include <QLabel>
#include <QLayout>
#include <QPushButton>
#include <QSpinBox>
#include <QTabWidget>

namespace torl7 {

MainWindow::MainWindow(SerialLine& line, MessageBoxes& boxes, const QList<PortEntry>& ports,
                       QWidget* parent)
    : QMainWindow(parent), boxes_(boxes) {
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(kTitle);
    // System menu and minimise only: the pages have a fixed layout.
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);

    PageControl1 = new QTabWidget(this);
    PageControl1->setObjectName(QStringLiteral("PageControl1"));
    TabSheet1 = new ConfigPage;
    TabSheet2 = new DiagPage;
    TabSheet3 = new ProtocolPage;
    TabSheet1->setObjectName(QStringLiteral("TabSheet1"));
    TabSheet2->setObjectName(QStringLiteral("TabSheet2"));
    TabSheet3->setObjectName(QStringLiteral("TabSheet3"));
    PageControl1->addTab(TabSheet1, QStringLiteral("Конфигурация"));
    PageControl1->addTab(TabSheet2, QStringLiteral("Диагностика"));
    PageControl1->addTab(TabSheet3, QStringLiteral("Протокол"));
    PageControl1->setCurrentIndex(1);
    setCentralWidget(PageControl1);
    layout()->setSizeConstraint(QLayout::SetFixedSize);

    DiagPage& diag = *TabSheet2;
    link_ = std::make_unique<Link>(
        line, boxes_,
        Link::Controls{diag.frm1_zn, diag.cb_speed, diag.cmbPorts, diag.st_txd, diag.st_rxd}, this);

    // The dialogs come after the window: the search dialog's creation fills both port lists.
    Form2 = new SearchDialog(this);
    Form3 = new TccDialog(this);
    fillPortLists(ports);

    connect(PageControl1, &QTabWidget::currentChanged, this, &MainWindow::PageControl1Change);
    connect(diag.Button6, &QPushButton::clicked, this, &MainWindow::Button6Click);
    connect(diag.frm1_zn, &QSpinBox::valueChanged, this, &MainWindow::frm1_znChange);
    connect(diag.cmbPorts, &QComboBox::activated, this, &MainWindow::cmbPortsChange);
    connect(diag.cb_speed, &QComboBox::activated, this, &MainWindow::cb_speedChange);
    connect(link_.get(), &Link::portIndexUsed, Form2->cmbPorts, &QComboBox::setCurrentIndex);

    installSubsystems(*this);
}

MainWindow::~MainWindow() = default;

void MainWindow::fillPortLists(const QList<PortEntry>& ports) {
    for (QComboBox* list : {Form2->cmbPorts, TabSheet2->cmbPorts}) {
        const QSignalBlocker quiet(list);
        list->clear();
        for (const PortEntry& port : ports) {
            list->addItem(port.name, port.device);
        }
        list->setCurrentIndex(ports.isEmpty() ? -1 : 0);
    }
    if (ports.isEmpty()) {
        boxes_.error(QStringLiteral("Не найден СОМ-порт!"), kCaptionPort);
    }
}

void MainWindow::stopPolling() {
    TabSheet2->diagnos->setText(kDiagnosStopped);
}

void MainWindow::PageControl1Change() {
    stopPolling();
    link_->comclose();
}

void MainWindow::Button6Click() {
    if (link_->reserved()) {
        return;
    }
    link_->searchState = 0;
    stopPolling();
    Form2->exec();
}

void MainWindow::frm1_znChange() {
    DiagPage& diag = *TabSheet2;
    Form2->frm2_zn->setValue(diag.frm1_zn->value());
    // Units numbered below 600 are the older ones, which talk at 14400 baud.
    diag.cb_speed->setCurrentIndex(diag.frm1_zn->value() >= 600 ? 10 : 6);
    link_->Comspeed();
}

void MainWindow::cmbPortsChange() {
    stopPolling();
    link_->comclose();
    Form2->cmbPorts->setCurrentIndex(TabSheet2->cmbPorts->currentIndex());
}

void MainWindow::cb_speedChange() {
    stopPolling();
    link_->Comspeed();
}

void MainWindow::FormClose() {
    link_->line().close();
}

void MainWindow::closeEvent(QCloseEvent* event) {
    FormClose();
    event->accept();
}

} // namespace torl7
