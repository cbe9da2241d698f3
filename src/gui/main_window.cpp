#include "gui/main_window.hpp"

#include "gui/controllers/diagnostics.hpp"
#include "gui/controllers/line_gate.hpp"
#include "gui/controllers/substation_units.hpp"
#include "gui/dialogs/search_dialog.hpp"
#include "gui/dialogs/tcc_dialog.hpp"
#include "gui/dialogs/traffic_dialog.hpp"
#include "gui/message_boxes.hpp"
#include "gui/pages/config_page.hpp"
#include "gui/pages/diag_page.hpp"
#include "gui/pages/protocol_page.hpp"
#include "gui/pages/units_page.hpp"
#include "gui/subsystems.hpp"
#include "gui/widgets/port_box.hpp"
#include "protocol/line_speed.hpp"
#include "session/connection_doctor.hpp"
#include "session/traffic_log.hpp"

#include <QCloseEvent>
#include <QComboBox>
#include <QLabel>
#include <QLayout>
#include <QPushButton>
#include <QSpinBox>
#include <QTabBar>
#include <QTabWidget>
#include <QTimer>

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
    TabSheet4 = new UnitsPage;
    TabSheet1->setObjectName(QStringLiteral("TabSheet1"));
    TabSheet2->setObjectName(QStringLiteral("TabSheet2"));
    TabSheet3->setObjectName(QStringLiteral("TabSheet3"));
    TabSheet4->setObjectName(QStringLiteral("TabSheet4"));
    PageControl1->addTab(TabSheet1, QStringLiteral("Конфигурация"));
    PageControl1->addTab(TabSheet2, QStringLiteral("Диагностика"));
    PageControl1->addTab(TabSheet3, QStringLiteral("Протокол"));
    // A tab rather than a dock: the window keeps the fixed size its pages give it.
    PageControl1->addTab(TabSheet4, QStringLiteral("Подстанция"));
    PageControl1->setCurrentIndex(1);
    PageControl1->setAccessibleName(QStringLiteral("Страницы"));
    PageControl1->tabBar()->setAccessibleName(QStringLiteral("Вкладки страниц"));
    setCentralWidget(PageControl1);
    layout()->setSizeConstraint(QLayout::SetFixedSize);

    DiagPage& diag = *TabSheet2;
    session_ = std::make_unique<UnitSession>(line, this);

    // The dialogs come after the window: the search dialog's creation fills both port lists.
    searchDialog_ = new SearchDialog(this);
    tccDialog_ = new TccDialog(this);
    fillPortLists(ports);
    shareTypedPorts(*diag.cmbPorts, *searchDialog_->cmbPorts);
    // The search pings the unit the window works with until another number is typed there.
    searchDialog_->frm2_zn->setValue(diag.frm1_zn->value());
    followTraffic();

    connect(PageControl1, &QTabWidget::currentChanged, this, &MainWindow::PageControl1Change);
    connectWhenLineFree(*session_, diag.Button6, &QPushButton::clicked, this,
                        &MainWindow::Button6Click);
    connect(diag.btn_traffic, &QPushButton::clicked, this, &MainWindow::btn_trafficClick);
    connect(diag.frm1_zn, &QSpinBox::valueChanged, this, &MainWindow::frm1_znChange);
    connect(diag.cmbPorts, &QComboBox::activated, this, &MainWindow::cmbPortsChange);
    connect(diag.cb_speed, &QComboBox::activated, this, &MainWindow::cb_speedChange);
    followControls();

    subsystems_ = installSubsystems(*this);
}

MainWindow::~MainWindow() {
    boxes_.lineHint = nullptr; // the boxes outlive the window
}

// The log keeps what went over the line; when the unit leaves a request unanswered, the box
// says what the line showed and leads to "Поиск устройства" with the number to look for.
void MainWindow::followTraffic() {
    trafficLog_ = new TrafficLog(TrafficLog::kCapacity, this);
    trafficLog_->listenTo(*session_);
    trafficDialog_ = new TrafficDialog(*trafficLog_, this);
    trafficDialog_->boxes = &boxes_;
    boxes_.lineHint = [this] {
        LineDiagnosis diagnosis = diagnoseNoAnswer(trafficLog_->lastExchange());
        diagnosis.line = lineKind(session_->portName().toStdString());
        MessageBoxes::LineHint hint{QString::fromStdString(noAnswerHint(diagnosis)), {}};
        if (hintSuggestsSearch(diagnosis)) {
            hint.search = [this, diagnosis] {
                // After the box has closed and the failed operation has ended.
                QTimer::singleShot(0, this, [this, diagnosis] {
                    if (diagnosis.cause == LineDiagnosis::Cause::ForeignNumber) {
                        TabSheet2->frm1_zn->setValue(diagnosis.foreignNumber);
                    }
                    Button6Click();
                });
            };
        }
        return hint;
    };
}

// The session never reads a control: it is handed the factory number, the speed and the port
// whenever they change, and its counters and failures come back here.
void MainWindow::followControls() {
    DiagPage& diag = *TabSheet2;
    const auto port = [this, &diag] {
        const int index = diag.cmbPorts->currentIndex();
        if (index < 0) {
            session_->clearPort();
            return;
        }
        const QVariant device = diag.cmbPorts->itemData(index);
        const QString name = diag.cmbPorts->itemText(index);
        session_->setPort(device.isValid() ? device.toString() : name, name);
    };
    port();
    session_->setFactoryNumber(static_cast<std::uint16_t>(diag.frm1_zn->value()));
    session_->setLineSpeed(diag.cb_speed->currentIndex());
    connect(diag.cmbPorts, &QComboBox::currentIndexChanged, this, port);
    connect(diag.frm1_zn, &QSpinBox::valueChanged, this,
            [this](int value) { session_->setFactoryNumber(static_cast<std::uint16_t>(value)); });
    connect(diag.cb_speed, &QComboBox::currentIndexChanged, this,
            [this](int index) { session_->setLineSpeed(index); });
    connect(session_.get(), &UnitSession::countersChanged, this, [this, &diag] {
        diag.st_txd->setText(QString::number(session_->requestsSent()));
        diag.st_rxd->setText(QString::number(session_->answersVerified()));
    });
    // The port opened is the one of the main window's list: the search dialog shows the same.
    connect(session_.get(), &UnitSession::portOpened, this, [this, &diag] {
        searchDialog()->cmbPorts->setCurrentIndex(diag.cmbPorts->currentIndex());
    });
    connect(session_.get(), &UnitSession::lineLost, this, [this](const QString& reason) {
        // The poll ends before the box opens: its watchdog, still ticking under the box, would
        // try the port again and add a box of its own. What it showed is no longer current.
        stopPolling();
        TabSheet2->showValuesStale(true);
        sayLineLost(session_->portName(), reason, boxes_);
    });
}

void MainWindow::fillPortLists(const QList<PortEntry>& ports) {
    for (QComboBox* list : {searchDialog()->cmbPorts, TabSheet2->cmbPorts}) {
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
    if (subsystems_.diagnostics) {
        subsystems_.diagnostics->stop();
    }
}

void MainWindow::PageControl1Change() {
    stopPolling();
    session_->closePort();
}

void MainWindow::Button6Click() {
    stopPolling();
    searchDialog()->exec();
}

void MainWindow::btn_trafficClick() {
    trafficDialog_->show();
    trafficDialog_->raise();
    trafficDialog_->activateWindow();
}

void MainWindow::frm1_znChange() {
    DiagPage& diag = *TabSheet2;
    searchDialog()->frm2_zn->setValue(diag.frm1_zn->value());
    // The speed list's change hands the speed to the session, which applies it.
    diag.cb_speed->setCurrentIndex(speedIndexForUnit(diag.frm1_zn->value()));
}

void MainWindow::cmbPortsChange() {
    stopPolling();
    session_->closePort();
    searchDialog()->cmbPorts->setCurrentIndex(TabSheet2->cmbPorts->currentIndex());
}

void MainWindow::cb_speedChange() {
    stopPolling();
    session_->setLineSpeed(TabSheet2->cb_speed->currentIndex());
}

void MainWindow::FormClose() {
    session_->line().close();
}

void MainWindow::closeEvent(QCloseEvent* event) {
    // Edits of the substation file not saved yet are not lost without a word.
    if (subsystems_.units && !subsystems_.units->mayDropEdits()) {
        event->ignore();
        return;
    }
    FormClose();
    event->accept();
}

} // namespace torl7
