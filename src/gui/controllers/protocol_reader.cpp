#include "gui/controllers/protocol_reader.hpp"

#include "gui/main_window.hpp"
#include "gui/message_boxes.hpp"
#include "gui/pages/protocol_page.hpp"

#include <QProgressBar>
#include <QPushButton>
#include <QTableWidget>

#include <algorithm>

namespace torl7 {

namespace {

// The report chain's last step: the protocol read that ends in the report.
constexpr int kReportChainProtocolRead = 22;

} // namespace

ProtocolReader::ProtocolReader(MainWindow& window)
    : QObject(&window), window_(window), session_(window.session()), page_(*window.TabSheet3) {
    setObjectName(QStringLiteral("ProtocolReader"));
    connect(page_.Button1, &QPushButton::clicked, this, &ProtocolReader::Button1Click);
    session_.setHandler(kind::EventBlock,
                        [this](const Frame& frame) { eventBlockReceived(frame); });
}

void ProtocolReader::Button1Click() {
    if (session_.reserved()) {
        return;
    }
    page_.pb_prot->setValue(0);
    session_.requestKind = kind::EventBlock;
    session_.payload[0] = 0;
    if (!openPort(session_, window_.boxes())) {
        return;
    }
    session_.TXD();
}

void ProtocolReader::eventBlockReceived(const Frame& frame) {
    const EventBlock block = decodeEventBlock(frame.payload());
    table_.storeBlock(block);
    page_.pb_prot->setValue(std::min<int>(block.index + 1, page_.pb_prot->maximum()));
    if (block.index + 1 < static_cast<int>(kEventBlocks)) {
        session_.payload[0] = static_cast<std::uint8_t>(block.index + 1);
        session_.TXD();
        return;
    }
    finishRead();
}

void ProtocolReader::finishRead() {
    fillGrid(table_.finish());
    session_.comclose();
    if (session_.searchState == kReportChainProtocolRead) {
        page_.pb_prot->setValue(0);
        session_.searchState = 0;
        if (window_.prot_save) {
            window_.prot_save();
        }
        return;
    }
    window_.boxes().information(QStringLiteral("Протокол считан!"),
                                QStringLiteral("Считывание протокола"));
}

void ProtocolReader::fillGrid(const std::vector<EventRow>& rows) {
    QTableWidget& grid = *page_.StGr_prot;
    grid.setUpdatesEnabled(false);
    grid.clearContents();
    grid.setRowCount(static_cast<int>(rows.size()));
    for (int r = 0; r < static_cast<int>(rows.size()); ++r) {
        grid.setItem(r, 0, new QTableWidgetItem(QString::number(r + 1)));
        const EventRow& texts = rows[static_cast<std::size_t>(r)];
        for (int column = 1; column <= static_cast<int>(texts.size()); ++column) {
            grid.setItem(r, column,
                         new QTableWidgetItem(
                             QString::fromStdString(texts[static_cast<std::size_t>(column - 1)])));
        }
    }
    grid.setUpdatesEnabled(true);
}

} // namespace torl7
