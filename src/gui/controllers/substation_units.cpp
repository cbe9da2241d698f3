#include "gui/controllers/substation_units.hpp"

#include "documents/file_output.hpp"
#include "documents/report_template.hpp"
#include "documents/text_file.hpp"
#include "gui/controllers/archive_feed.hpp"
#include "gui/controllers/line_gate.hpp"
#include "gui/controllers/report_writer.hpp"
#include "gui/dialogs/collect_dialog.hpp"
#include "gui/dialogs/search_dialog.hpp"
#include "gui/dialogs/unit_dialog.hpp"
#include "gui/main_window.hpp"
#include "gui/message_boxes.hpp"
#include "gui/pages/diag_page.hpp"
#include "gui/pages/units_page.hpp"
#include "gui/widgets/port_box.hpp"
#include "protocol/line_speed.hpp"
#include "session/connection_doctor.hpp"
#include "session/operations/unit_sweep.hpp"
#include "session/port_access.hpp"
#include "session/port_line.hpp"

#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSpinBox>
#include <QStandardPaths>
#include <QTabWidget>
#include <QTableWidget>

namespace torl7 {

namespace {

QString text(const std::string& utf8) {
    return QString::fromStdString(utf8);
}

void setCell(QTableWidget& table, int row, int column, const QString& value,
             const QString& tip = {}) {
    QTableWidgetItem* item = table.item(row, column);
    if (!item) {
        item = new QTableWidgetItem;
        table.setItem(row, column, item);
    }
    item->setText(value);
    item->setToolTip(tip);
}

} // namespace

SubstationUnits::SubstationUnits(MainWindow& window, ReportWriter& report, ArchiveFeed& archive)
    : QObject(&window), window_(window), report_(report), archive_(archive),
      page_(*window.TabSheet4) {
    setObjectName(QStringLiteral("SubstationUnits"));
    const QString filter = QStringLiteral("Файлы подстанции (*.json);;Все файлы (*)");
    const auto documents = [] {
        return QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    };
    askOpenPath = [this, filter, documents] {
        return QFileDialog::getOpenFileName(&window_, QStringLiteral("Открыть файл подстанции"),
                                            path_.isEmpty() ? documents() : path_, filter);
    };
    askSavePath = [this, filter, documents] {
        return QFileDialog::getSaveFileName(
            &window_, QStringLiteral("Сохранить файл подстанции"),
            path_.isEmpty() ? QDir(documents()).filePath(QStringLiteral("подстанция.json")) : path_,
            filter);
    };
    askFolder = [this, documents] {
        return QFileDialog::getExistingDirectory(&window_, QStringLiteral("Собрать всё: папка"),
                                                 documents());
    };
    askUnit = [this](int editing) -> std::optional<Substation> {
        QStringList ports;
        const QComboBox& box = *window_.TabSheet2->cmbPorts;
        for (int i = 0; i < box.count(); ++i) {
            ports << (box.itemData(i).isValid() ? box.itemData(i).toString() : box.itemText(i));
        }
        UnitDialog dialog(&window_, substation_, editing, ports, window_.boxes());
        if (dialog.exec() != QDialog::Accepted) {
            return std::nullopt;
        }
        return dialog.result();
    };
    askSweep = [this] { return askSweepInDialog(); };

    connect(page_.btn_units_open, &QPushButton::clicked, this, &SubstationUnits::openFile);
    connect(page_.btn_units_save, &QPushButton::clicked, this, &SubstationUnits::saveFile);
    connect(page_.btn_unit_add, &QPushButton::clicked, this, &SubstationUnits::addUnit);
    connect(page_.btn_unit_edit, &QPushButton::clicked, this, &SubstationUnits::editChosenUnit);
    connect(page_.btn_unit_remove, &QPushButton::clicked, this, &SubstationUnits::removeChosenUnit);
    connectWhenLineFree(window.session(), page_.btn_collect_all, &QPushButton::clicked, this,
                        &SubstationUnits::collectAll);
    connect(page_.btn_units_sweep, &QPushButton::clicked, this, &SubstationUnits::sweepLine);
    connectWhenLineFree(window.session(), page_.tbl_units, &QTableWidget::cellDoubleClicked, this,
                        &SubstationUnits::pointPagesAtChosen);
    connect(page_.tbl_units, &QTableWidget::itemSelectionChanged, this, [this] {
        showDetail();
        updateState();
    });
    connect(page_.ed_substation_name, &QLineEdit::textEdited, this, [this](const QString& name) {
        substation_.name = name.toStdString();
        modified_ = true;
        updateState();
    });
    updateState();
}

// The sweep's session goes before the line it runs on.
SubstationUnits::~SubstationUnits() = default;

CollectDialog* SubstationUnits::progress() const {
    return progress_;
}

bool SubstationUnits::mayDropEdits() {
    return !modified_ ||
           window_.boxes().question(
               QStringLiteral("Изменения в файле подстанции не сохранены. Продолжить без них?"),
               kCaptionTool) == MessageBoxes::Answer::Yes;
}

void SubstationUnits::openFile() {
    if (state_ != State::Idle || !mayDropEdits()) {
        return;
    }
    if (const QString path = askOpenPath(); !path.isEmpty()) {
        open(path);
    }
}

bool SubstationUnits::open(const QString& path) {
    const TextFileRead file = readTextFile(path.toStdString());
    const SubstationRead read =
        file.text ? readSubstationFile(*file.text) : SubstationRead{{}, {}, file.errorRussian};
    if (!read.substation) {
        window_.boxes().error(QStringLiteral("Файл подстанции не открыт: %1 %2")
                                  .arg(QDir::toNativeSeparators(path), text(read.errorRussian)),
                              kCaptionTool);
        return false;
    }
    substation_ = *read.substation;
    path_ = path;
    modified_ = false;
    seen_.clear(); // another substation: what was seen belongs to the units of the last one
    page_.ed_substation_name->setText(text(substation_.name));
    fillTable();
    updateState();
    askArchive();
    return true;
}

void SubstationUnits::askArchive() {
    archive_.askLastSeen([this](const std::vector<UnitSeen>& seen) { archiveSaw(seen); });
}

void SubstationUnits::archiveSaw(const std::vector<UnitSeen>& seen) {
    for (const UnitSeen& s : seen) {
        const SubstationUnit* unit = substation_.unit(s.unit);
        if (!unit) {
            continue;
        }
        Seen& known = seen_[s.unit];
        // What this run found is newer than the archive's answer, which may have been asked
        // before it.
        if (known.lastAnswer.isNull() || known.lastAnswer < s.readAt) {
            known.lastAnswer = s.readAt;
        }
        if (known.firmware.isEmpty()) {
            known.firmware = text(s.firmware);
        }
        fillRow(static_cast<int>(unit - substation_.units.data())); // the selection stays
    }
}

void SubstationUnits::saveFile() {
    if (state_ != State::Idle) {
        return;
    }
    const QString path = askSavePath();
    if (path.isEmpty()) {
        return;
    }
    std::string error;
    if (!writeFileWhole(path.toStdString(), writeSubstationFile(substation_), error)) {
        window_.boxes().error(text(error), kCaptionTool);
        return;
    }
    path_ = path;
    modified_ = false;
    updateState();
}

void SubstationUnits::addUnit() {
    edit(0);
}

void SubstationUnits::editChosenUnit() {
    if (const int row = chosenRow(); row >= 0) {
        edit(substation_.units[static_cast<std::size_t>(row)].number);
    }
}

void SubstationUnits::edit(int number) {
    if (state_ != State::Idle) {
        return;
    }
    const std::optional<Substation> changed = askUnit(number);
    if (!changed || *changed == substation_) {
        return;
    }
    const int row = number == 0 ? static_cast<int>(changed->units.size()) - 1 : chosenRow();
    const int newNumber = changed->units[static_cast<std::size_t>(row)].number;
    if (number != 0 && newNumber != number) {
        seen_.erase(number); // what was seen belongs to the unit that had the number
    }
    substation_ = *changed;
    modified_ = true;
    fillTable();
    page_.tbl_units->selectRow(row);
    updateState();
    askArchive(); // a unit added or renumbered may have been read before
}

void SubstationUnits::removeChosenUnit() {
    const int row = chosenRow();
    if (state_ != State::Idle || row < 0) {
        return;
    }
    const int number = substation_.units[static_cast<std::size_t>(row)].number;
    if (window_.boxes().question(
            QStringLiteral("Удалить устройство № %1 из файла подстанции?").arg(number),
            kCaptionTool) != MessageBoxes::Answer::Yes) {
        return;
    }
    removeUnit(substation_, number);
    seen_.erase(number);
    modified_ = true;
    fillTable();
    updateState();
}

void SubstationUnits::pointPagesAtChosen() {
    const int row = chosenRow();
    if (state_ != State::Idle || row < 0) {
        return;
    }
    const SubstationUnit& unit = substation_.units[static_cast<std::size_t>(row)];
    const SubstationLine* line = substation_.line(unit.line);
    DiagPage& diag = *window_.TabSheet2;
    // The number first: its change sets the speed by the number (units below 600 at 14400),
    // which the line's own speed then overrides.
    diag.frm1_zn->setValue(unit.number);
    if (line) {
        pointPortBox(*diag.cmbPorts, *window_.searchDialog()->cmbPorts, text(line->port));
        if (const int speed = indexForBaud(line->baud); speed >= 0) {
            diag.cb_speed->setCurrentIndex(speed);
        }
    }
    window_.PageControl1->setCurrentWidget(window_.TabSheet2);
}

void SubstationUnits::fillTable() {
    QTableWidget& table = *page_.tbl_units;
    const int chosen = chosenRow();
    table.setRowCount(static_cast<int>(substation_.units.size()));
    for (int row = 0; row < table.rowCount(); ++row) {
        fillRow(row);
    }
    if (chosen >= table.rowCount()) {
        table.clearSelection();
    }
    showDetail();
}

void SubstationUnits::fillRow(int row) {
    const SubstationUnit& unit = substation_.units[static_cast<std::size_t>(row)];
    const auto found = seen_.find(unit.number);
    const Seen seen = found == seen_.end() ? Seen{} : found->second;
    QString line = text(unit.line);
    if (const SubstationLine* l = substation_.line(unit.line)) {
        line += QStringLiteral(": %1, %2").arg(text(l->port)).arg(l->baud);
    }
    QTableWidget& table = *page_.tbl_units;
    setCell(table, row, UnitsPage::Number, QString::number(unit.number));
    const QString names = text(Substation::title(unit));
    setCell(table, row, UnitsPage::Names, names, names); // the whole of it, where it is cut
    setCell(table, row, UnitsPage::Line, line);
    setCell(table, row, UnitsPage::LastSeen,
            seen.lastAnswer.isNull()
                ? QString()
                : seen.lastAnswer.toString(QStringLiteral("dd.MM.yyyy hh:mm:ss")));
    setCell(table, row, UnitsPage::Firmware, seen.firmware);
    setCell(table, row, UnitsPage::Result, seen.result, seen.detail);
}

void SubstationUnits::showDetail() {
    const int row = chosenRow();
    QString detail;
    if (row >= 0) {
        const auto found = seen_.find(substation_.units[static_cast<std::size_t>(row)].number);
        detail = found == seen_.end() ? QString() : found->second.detail;
    }
    page_.st_unit_detail->setText(detail);
}

int SubstationUnits::chosenRow() const {
    const QList<QTableWidgetItem*> chosen = page_.tbl_units->selectedItems();
    const int row = chosen.isEmpty() ? -1 : chosen.front()->row();
    return row < static_cast<int>(substation_.units.size()) ? row : -1;
}

void SubstationUnits::updateState() {
    const bool idle = state_ == State::Idle;
    const bool chosen = chosenRow() >= 0;
    const bool units = !substation_.units.empty();
    page_.btn_units_open->setEnabled(idle);
    page_.btn_units_save->setEnabled(idle && (units || !path_.isEmpty()));
    page_.btn_unit_add->setEnabled(idle);
    page_.btn_unit_edit->setEnabled(idle && chosen);
    page_.btn_unit_remove->setEnabled(idle && chosen);
    page_.btn_collect_all->setEnabled(idle && units);
    page_.btn_units_sweep->setEnabled(idle);
    page_.ed_substation_name->setEnabled(idle);
    page_.st_substation_file->setText(
        path_.isEmpty() ? QStringLiteral("не открыт")
                        : QDir::toNativeSeparators(path_) +
                              (modified_ ? QStringLiteral(" (изменён)") : QString()));
    if (progress_) {
        progress_->btn_collect_cancel->setEnabled(state_ == State::Collecting ||
                                                  state_ == State::Sweeping);
        if (state_ == State::Cancelling && !sweep_) {
            progress_->lbl_collect->setText(
                QStringLiteral("Отмена: дописываются файлы устройств, чтение которых закончено…"));
        }
    }
}

} // namespace torl7
