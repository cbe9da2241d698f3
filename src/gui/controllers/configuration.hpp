// The configuration record on the "Конфигурация" page: building it from the controls when the
// unit is written, applying the unit's record to the controls when it is read
// (config_page_record.cpp), the read, compare and write buttons, which run ReadConfiguration
// and WriteConfiguration (keeping the unit's settings before it in the history, then its
// read-back), and the step buttons of the six delays.
#pragma once

#include "documents/report_content.hpp"
#include "protocol/codecs/config_record_codec.hpp"
#include "records/archive_keeper.hpp"
#include "session/operations/write_configuration.hpp"

#include <QObject>

#include <optional>

class QLabel;

namespace torl7 {

class ArchiveFeed;
class ConfigPage;
class Frame;
class UnitSession;
class MainWindow;
class MessageBoxes;

// A tenths byte carries at most 25.5 s.
inline constexpr std::int64_t kMaxDelayTenths = 255;
// Dynamic property of a list that received an index naming none of its items.
inline constexpr const char* kUnlistedIndex = "unlistedIndex";

// The record as the controls hold it at this moment. Nothing when a current or coefficient
// edit does not hold a number (the general error box says so) or a value does not fit its
// field (an error box names the field); then nothing may be sent.
std::optional<ConfigRecord> recordFromPage(const ConfigPage& page, MessageBoxes& boxes);

// Writes every control from a received record. Spin edits clamp; an RS485 index above 11
// shows 9600 baud; an RS485 or bus-protocol index that names no list item leaves the list
// without a selection and is kept, so that a later write sends it back unchanged unless the
// user picks an item.
void applyRecordToPage(const ConfigRecord& record, ConfigPage& page);

// The value column of the report's settings table as the controls show it at this moment.
std::array<std::string, kSettingsRows> settingsValuesOnPage(const ConfigPage& page);

// Reads and writes of the record, and the delay steps. Lives as a child of the window.
class Configuration : public QObject {
    Q_OBJECT
public:
    // Every record read, and every write with the settings found before it, is kept in
    // `archive`; the settings found go there before the write goes out.
    Configuration(MainWindow& window, ArchiveFeed& archive);

    void btn_read_konfClick();
    void btn_write_konfClick();
    // "Сравнить с устройством": reads the unit and lists the fields that differ from the page,
    // leaving the page as it is.
    void btn_compare_konfClick();

    // One up and one down handler per delay text, 0.1 s a step, between 0.2 and 25.5 s.
    void spb_zuminUpClick();
    void spb_zuminDownClick();
    void SpinButton1UpClick();
    void SpinButton1DownClick();
    void SpinButton2UpClick();
    void SpinButton2DownClick();
    void SpinButton3UpClick();
    void SpinButton3DownClick();
    void SpinButton4UpClick();
    void SpinButton4DownClick();
    void SpinButton5UpClick();
    void SpinButton5DownClick();

    const ReadConfiguration& reading() const { return read_; }
    const WriteConfiguration& writing() const { return write_; }

private:
    void showRecord(const ConfigRecord& record);
    // Keeps a record the unit gave in the archive.
    void keepRead(const char* kind, const ConfigRecord& record);
    void showReadFailure(const SessionError& error);
    void compared(const Outcome<ConfigRecord>& outcome);
    void writeFinished(const Outcome<WriteReport>& outcome);
    void stepUp(QLabel* delay);
    void stepDown(QLabel* delay);
    // The first coefficient that is 0 fails the write; a text that is no number at all too.
    bool coefficientsPlausible();

    ConfigPage& page_;
    UnitSession& session_;
    MessageBoxes& boxes_;
    ArchiveFeed& archive_;
    ArchiveKeeper asFound_;
    ConfigRecord written_;
    ReadConfiguration read_;
    ReadConfiguration compare_;
    ConfigRecord pageToCompare_;
    WriteConfiguration write_;
};

} // namespace torl7
