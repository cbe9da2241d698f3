#include "documents/settings_values.hpp"

#include "documents/settings_file.hpp"

#include <string_view>

namespace torl7 {

namespace {

// Item texts of the page's lists, leading blanks included.
constexpr std::array<std::string_view, 11> kRs485Items = {"   300", "   600", "  1200", "  2400",
                                                          "  4800", "  9600", " 14400", " 19200",
                                                          " 38400", " 57600", "115200"};
constexpr std::array<std::string_view, 2> kProtocolItems = {"RURUDE", "ZEVERE"};
constexpr std::array<std::string_view, 4> kIsoItems = {"50", "100", "250", "500"};
constexpr std::array<std::string_view, 4> kPhaseSetItems = {"A/B/C", "   A/B", "   A/C",
                                                            "       A"};
// The current edits hold at most five characters; a longer text is cut as the edit cuts it.
constexpr std::size_t kCurrentEditLength = 5;

template <std::size_t N>
std::string itemText(const std::array<std::string_view, N>& items, int index) {
    // A list whose index names no item shows nothing.
    return index >= 0 && index < static_cast<int>(N)
               ? std::string(items[static_cast<std::size_t>(index)])
               : std::string();
}

std::string yesNo(bool on) {
    return on ? "ДА" : "НЕТ";
}

std::string currentText(std::uint16_t tenths) {
    return formatTenths(tenths).substr(0, kCurrentEditLength);
}

} // namespace

std::array<std::string, kSettingsRows> settingsValuesFor(const ConfigRecord& unitRecord) {
    const ConfigRecord r = asPageHolds(unitRecord);
    const ControlFields control = decomposeControlByte(r.controlByte);
    auto enabled = [&r](int bit) { return yesNo((r.enableByte >> bit) & 1); };
    auto n = [](std::int64_t v) { return std::to_string(v); };
    return {
        "",
        yesNo(control.blockOn),
        enabled(0),
        n(r.uminVolts),
        formatTenths(r.uminDelayTenths),
        enabled(1),
        n(r.umaxVolts),
        formatTenths(r.umaxDelayTenths),
        enabled(2),
        n(r.uAsymPercent),
        formatTenths(r.uAsymDelayTenths),
        enabled(3),
        currentText(r.iholTenths),
        n(r.iholDelayTenthsOfSecond / 10),
        enabled(4),
        n(r.iAsymPercent),
        formatTenths(r.iAsymDelayTenths),
        enabled(5),
        currentText(r.inomTenths),
        n(r.vtzTenthsOfSecond / 10),
        enabled(6),
        currentText(r.izklTenths),
        formatTenths(r.izklDelayTenths),
        enabled(7),
        currentText(r.idifTenths),
        formatTenths(r.idifDelayTenths),
        yesNo(control.isoOn),
        itemText(kIsoItems, control.isoIndex),
        itemText(kPhaseSetItems, control.voltageItem),
        itemText(kPhaseSetItems, control.currentItem),
        "",
        n(r.coefficients[0]),
        n(r.coefficients[1]),
        n(r.coefficients[2]),
        n(r.coefficients[3]),
        n(r.coefficients[4]),
        n(r.coefficients[5]),
        n(r.coefficients[6]),
        n(decodeCosCorrection(r.cosCorrectionByte)),
        itemText(kRs485Items, r.rs485SpeedIndex),
        itemText(kProtocolItems, r.busProtocolIndex),
        n(r.busAddress),
        n(r.tbMs),
        n(r.teMs),
    };
}

ReportData reportDataFor(int factoryNumber, const ConfigRecord& record,
                         const AccountingRecord& accounting,
                         const std::vector<std::array<std::string, kEventCells>>& events,
                         std::time_t made) {
    ReportData data;
    data.factoryNumber = std::to_string(factoryNumber);
    data.events = events;
    data.settingsValues = settingsValuesFor(record);
    const AccountingTexts texts = formatAccounting(accounting);
    data.accountingValues = {texts.st_nuh, texts.st_tdv, texts.st_kvdv, texts.st_kzdv,
                             texts.st_nwa};
    data.made = made;
    return data;
}

} // namespace torl7
