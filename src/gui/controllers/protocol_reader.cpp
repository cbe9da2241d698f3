#include "gui/controllers/protocol_reader.hpp"

#include "gui/controllers/archive_feed.hpp"
#include "gui/controllers/line_gate.hpp"
#include "gui/main_window.hpp"
#include "gui/message_boxes.hpp"
#include "gui/pages/protocol_page.hpp"

#include <QProgressBar>
#include <QPushButton>
#include <QTableWidget>

namespace torl7 {

void fillEventGrid(const EventRows& rows, QTableWidget& grid) {
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

EventRows eventGridRows(const QTableWidget& grid) {
    constexpr int kMaxEventRows = 100;
    EventRows rows;
    for (int row = 0; row < grid.rowCount() && row < kMaxEventRows; ++row) {
        const QTableWidgetItem* numberCell = grid.item(row, 0);
        if (!numberCell || numberCell->text().isEmpty()) {
            break;
        }
        EventRow cells;
        for (int column = 1; column <= static_cast<int>(cells.size()); ++column) {
            const QTableWidgetItem* cell = grid.item(row, column);
            cells[static_cast<std::size_t>(column - 1)] =
                cell ? cell->text().toStdString() : std::string();
        }
        rows.push_back(std::move(cells));
    }
    return rows;
}

ProtocolReader::ProtocolReader(MainWindow& window, ArchiveFeed& archive)
    : QObject(&window), window_(window), archive_(archive), session_(window.session()),
      page_(*window.TabSheet3), read_(window.session(), table_) {
    setObjectName(QStringLiteral("ProtocolReader"));
    connectWhenLineFree(session_, page_.Button1, &QPushButton::clicked, this,
                        &ProtocolReader::Button1Click);
    read_.onProgress([this](Progress blocks) { page_.pb_prot->setValue(blocks.done); });
    read_.onFinished([this](const Outcome<EventRows>& outcome) { finishRead(outcome); });
}

void ProtocolReader::Button1Click() {
    page_.pb_prot->setValue(0);
    read_.start();
}

void ProtocolReader::finishRead(const Outcome<EventRows>& outcome) {
    if (!outcome) {
        sayFailure(*outcome.error, window_.boxes());
        return;
    }
    ArchiveReading reading = archive_.reading("read-events");
    reading.events = table_.lastReadSlots();
    archive_.store(std::move(reading));
    fillEventGrid(*outcome.result, *page_.StGr_prot);
    window_.boxes().information(QStringLiteral("Протокол считан!"),
                                QStringLiteral("Считывание протокола"));
}

} // namespace torl7
