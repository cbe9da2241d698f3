#include "gui/controllers/settings_transfer.hpp"

#include "documents/file_output.hpp"
#include "documents/settings_file.hpp"
#include "documents/text_file.hpp"
#include "gui/controllers/configuration.hpp"
#include "gui/controllers/line_gate.hpp"
#include "gui/main_window.hpp"
#include "gui/message_boxes.hpp"
#include "gui/pages/config_page.hpp"
#include "gui/pages/diag_page.hpp"

#include <QDir>
#include <QFileDialog>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
#include <QStandardPaths>

namespace torl7 {

namespace {

const QString kFilter = QStringLiteral("Настройки ТОРЛ-7 (*.json);;Все файлы (*)");

// The field a fault of the file names, by its caption and its key: "Значение Umin, В
// (umin.threshold_v): ".
QString faultPlace(const std::string& path) {
    if (path.empty()) {
        return {};
    }
    const ConfigField* field = configFieldAt(path);
    const QString key = QString::fromStdString(path);
    return field ? QStringLiteral("%1 (%2): ")
                       .arg(QString::fromStdString(std::string(field->caption)), key)
                 : key + QStringLiteral(": ");
}

} // namespace

SettingsTransfer::SettingsTransfer(MainWindow& window) : QObject(&window), window_(window) {
    const auto folder = [] {
        return QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    };
    askSaveName = [this, folder](const QString& defaultName) {
        return QFileDialog::getSaveFileName(&window_, QStringLiteral("Сохранить настройки"),
                                            QDir(folder()).filePath(defaultName), kFilter);
    };
    askOpenName = [this, folder] {
        return QFileDialog::getOpenFileName(&window_, QStringLiteral("Загрузить настройки"),
                                            folder(), kFilter);
    };
    connectWhenLineFree(window.session(), window.TabSheet1->btn_save_settings,
                        &QPushButton::clicked, this, &SettingsTransfer::btn_save_settingsClick);
    connectWhenLineFree(window.session(), window.TabSheet1->btn_load_settings,
                        &QPushButton::clicked, this, &SettingsTransfer::btn_load_settingsClick);
}

std::string SettingsTransfer::settingsText(const std::optional<QString>& firmwareRead) const {
    const auto record = recordFromPage(*window_.TabSheet1, window_.boxes());
    if (!record) {
        return {};
    }
    // The firmware text the unit gave last.
    const QString firmware = firmwareRead.value_or(window_.TabSheet1->st_vpmk->text());
    return writeSettingsFile(*record, provenanceOf(window_.TabSheet2->frm1_zn->value(),
                                                   now().toString(Qt::ISODate).toStdString(),
                                                   firmware.toStdString()));
}

void SettingsTransfer::btn_save_settingsClick() {
    const std::string text = settingsText();
    if (text.empty()) {
        return;
    }
    const QString defaultName =
        QStringLiteral("ТОРЛ_№%1_настройки.json").arg(window_.TabSheet2->frm1_zn->value());
    const QString path = askSaveName(defaultName);
    if (path.isEmpty()) {
        return;
    }
    std::string error;
    if (!writeFileWhole(QDir::toNativeSeparators(path).toStdString(), text, error)) {
        // The established line, then what the writer says: the folder and the system's reason.
        window_.boxes().error(
            QStringLiteral("Настройки не сохранены: файл %1 не записан\n%2")
                .arg(QDir::toNativeSeparators(path), QString::fromStdString(error)),
            kCaptionTool);
        return;
    }
    window_.boxes().information(QStringLiteral("Настройки сохранены !"), kCaptionTool);
}

void SettingsTransfer::btn_load_settingsClick() {
    const QString path = askOpenName();
    if (path.isEmpty()) {
        return;
    }
    const TextFileRead text = readTextFile(QDir::toNativeSeparators(path).toStdString());
    if (!text.text) {
        // The established box, with what is wrong with the file after the name.
        window_.boxes().error(
            QStringLiteral("Файл настроек не открыт: %1 %2")
                .arg(QDir::toNativeSeparators(path), QString::fromStdString(text.errorRussian)),
            kCaptionTool);
        return;
    }
    const SettingsReadResult read = readSettingsFile(*text.text);
    if (!read.file) {
        window_.boxes().error(
            QStringLiteral("Файл настроек не загружен. %1%2")
                .arg(faultPlace(read.field), QString::fromStdString(read.errorRussian)),
            kCaptionTool);
        return;
    }
    // A file that reads is complete and within every limit: the page takes all of it, but
    // for the calibration and bus settings of another unit, unless the user wants them.
    ConfigRecord record = read.file->record;
    const int unit = window_.TabSheet2->frm1_zn->value();
    if (read.file->provenance.unit && *read.file->provenance.unit != unit) {
        const auto onPage = recordFromPage(*window_.TabSheet1, window_.boxes());
        if (!onPage) {
            return;
        }
        const QString question =
            QStringLiteral("Файл настроек сделан для устройства №%1, выбрано устройство №%2.\n"
                           "Взять из файла калибровочные коэффициенты, поправку cos f, сетевой "
                           "адрес и скорость RS485?\nНет: эти значения на странице останутся.")
                .arg(*read.file->provenance.unit)
                .arg(unit);
        if (window_.boxes().question(question, kCaptionTool) != MessageBoxes::Answer::Yes) {
            record = withUnitSpecificOf(record, *onPage);
        }
    }
    applyRecordToPage(record, *window_.TabSheet1);
}

} // namespace torl7
