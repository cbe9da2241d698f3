// A report with believable texts, as the main window would hand them over: used by the
// tests, the benchmark and the sample-report program that the rendering check opens.
#pragma once

#include "documents/report_content.hpp"
#include "protocol/encodings.hpp"

#include <string>

namespace torl7::testing {

inline ReportData makeSampleReport(int eventCount) {
    static const char* const protections[] = {
        "", "Umin", "Umax", "Uасм", "Iхол", "Iасм", "Перегруз", "Заклинивание", "Утечка тока"};
    ReportData data;
    data.factoryNumber = "600";
    for (int i = 0; i < eventCount; ++i) {
        const int day = 1 + i % 28;
        const int month = 1 + (i / 28) % 12;
        data.events.push_back({
            twoDigits(day) + "." + twoDigits(month) + ".16  " + twoDigits(i % 24) + ":" +
                twoDigits((i * 7) % 60) + ":" + twoDigits((i * 13) % 60) + ":" +
                std::to_string(i % 10),
            i % 3 == 0 ? "Выкл." : "Вкл.",
            i % 2 == 0 ? "Вкл." : "Выкл.",
            protections[i % 9],
            std::to_string(215 + i % 10),
            std::to_string(220 + i % 7),
            std::to_string(218 + i % 5),
            formatTenths(120 + i),
            formatTenths(121 + i),
            formatTenthsWhole(995 + i * 3),
            formatTenths(i % 10),
            i % 4 == 0 ? "1,00" : (i % 2 == 0 ? "-0,85" : "0,9" + std::to_string(i % 10)),
        });
    }
    const char* const settings[kSettingsRows] = {
        "",     "НЕТ", "ДА",   "180",  "5,0",  "ДА",    "250",    "1,0",     "ДА", "15",   "3,0",
        "НЕТ",  "2,5", "10",   "ДА",   "20",   "5,0",   "ДА",     "12,5",    "30", "ДА",   "75,0",
        "1,5",  "ДА",  "0,5",  "0,3",  "ДА",   "  500", " Да",    " Да",     "",   "1024", "1031",
        "1017", "998", "1002", "1010", "1000", "0",     "  9600", " Modbus", "1",  "4",    "4"};
    for (std::size_t i = 0; i < kSettingsRows; ++i) {
        data.settingsValues[i] = settings[i];
    }
    data.accountingValues = {"05.03.2016г/14:05:09", "00001:02:05", "12", "3", "000123,4"};
    return data;
}

} // namespace torl7::testing
