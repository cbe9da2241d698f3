#include "documents/report_content.hpp"

#include "protocol/encodings.hpp"

#include <algorithm>

namespace torl7 {

// Labels exactly as the report has always printed them: four blanks, a hyphen and two blanks
// before each item; Latin U, I, A and the like mixed with Cyrillic as written here.
const std::array<std::string_view, kSettingsRows> kSettingsLabels = {
    "Установки контроля и параметров защит:",
    "    -  Блокировка защиты",
    "    -  Минимальное напряжение (Umin)",
    "    -  Значение Umin, В",
    "    -  Время срабатывания Umin, сек",
    "    -  Максимальное напряжение (Umax)",
    "    -  Значение Umax, В",
    "    -  Время срабатывания Umax, сек",
    "    -  Асимметрия напряжений (Uасм)",
    "    -  Значение Uасм, %",
    "    -  Время срабатывания Uасм, сек",
    "    -  Холостой ход (Iхол)",
    "    -  Значение Iхол, A",
    "    -  Время срабатывания Iхол, сек",
    "    -  Асимметрия токов (Iасм)",
    "    -  Значение Iасм, %",
    "    -  Время срабатывания Iасм, сек",
    "    -  Времятоковый перегруз (Iвтз)",
    "    -  Значение номинального тока Iном, A",
    "    -  Время срабатывания Iвтз, сек",
    "    -  Заклинивание ротора (Iзкл)",
    "    -  Значение тока заклинивания Iзкл, A",
    "    -  Время срабатывания Iзкл, сек",
    "    -  Утечка тока на \"землю\" (Iут)",
    "    -  Значение тока утечки Iут, A",
    "    -  Время срабатывания Iут, сек",
    "    -  Изоляция обмоток статора",
    "    -  Сопротивление изоляции, кОм",
    "    -  Контроль напряжений фаз:",
    "    -  Контроль токов фаз:",
    "    -  Параметры калибровки:",
    "    -  Калибровочный коэффициент Ua",
    "    -  Калибровочный коэффициент Ub",
    "    -  Калибровочный коэффициент Uc",
    "    -  Калибровочный коэффициент Ia",
    "    -  Калибровочный коэффициент Ib",
    "    -  Калибровочный коэффициент Ic",
    "    -  Калибровочный коэффициент Iут",
    "    -  Поправка cos f",
    "    -  Скорость передачи данных для RS485, бод/сек:",
    "    -  Протокол передачи данных:",
    "    -  Сетевой адрес:",
    "    -  Время тишины старта Ts, мС:",
    "    -  Время окончания сообщения Te, мС:",
};

const std::array<std::string_view, kAccountingRows> kAccountingLabels = {
    "Начало учета (дата/время):",
    "Наработка оборудования (ч:м:с):",
    "Количество включений:",
    "Количество сработанных защит:",
    "Потребленная активная энергия, кВтч:",
};

namespace {

// Turns a chain of engine calls into one result, keeping the first failure's message.
class Typist {
public:
    Typist(DocxDocument& document, std::string& error) : document_(document), error_(error) {}

    bool goTo(std::string_view bookmark) { return check(document_.goToBookmark(bookmark)); }
    bool type(std::string_view text) { return check(document_.typeText(text)); }
    bool tick() { return check(document_.typeSymbol(kTickFont, kTickCode)); }
    bool right() { return check(document_.moveRight()); }

private:
    bool check(bool ok) {
        if (!ok) {
            error_ = document_.error();
        }
        return ok;
    }

    DocxDocument& document_;
    std::string& error_;
};

bool isHeadingRow(std::size_t row) {
    return std::find(kSettingsHeadingRows.begin(), kSettingsHeadingRows.end(), row) !=
           kSettingsHeadingRows.end();
}

// Progress position reached after a settings row (0-based), or 0 for none.
int progressAfterSettingsRow(std::size_t row) {
    switch (row) {
    case 10:
        return 6;
    case 25:
        return 7;
    case 29:
        return 8;
    case 43:
        return 9;
    default:
        return 0;
    }
}

} // namespace

bool fillReport(DocxDocument& document, const ReportData& data,
                const std::function<void(int)>& progress, std::string& error) {
    const auto report = [&](int position) {
        if (progress) {
            progress(position);
        }
    };
    Typist typist(document, error);
    if (data.made) {
        document.setMadeAt(*data.made);
    }

    if (!typist.goTo("num") || !typist.type("  " + data.factoryNumber + "  ")) {
        return false;
    }

    if (!typist.goTo("tab1")) {
        return false;
    }
    report(3);
    // The bookmark sits before the first data cell: every cell is "move, then type".
    for (const auto& row : data.events) {
        for (std::size_t cell = 0; cell < kEventCells; ++cell) {
            const bool stateCell = cell == 1 || cell == 2;
            if (!typist.right()) {
                return false;
            }
            const bool typed = !stateCell             ? typist.type(row[cell])
                               : row[cell] == kOnText ? typist.tick()
                                                      : true;
            if (!typed) {
                return false;
            }
        }
    }

    report(5);
    if (!typist.goTo("tab2")) {
        return false;
    }
    for (std::size_t row = 0; row < kSettingsRows; ++row) {
        const bool last = row + 1 == kSettingsRows;
        if (!typist.type(kSettingsLabels[row]) || !typist.right()) {
            return false;
        }
        if (isHeadingRow(row)) {
            if (!typist.right()) {
                return false;
            }
        } else if (!typist.type(data.settingsValues[row]) || (!last && !typist.right())) {
            return false;
        }
        if (const int position = progressAfterSettingsRow(row)) {
            report(position);
        }
    }

    if (!typist.goTo("tab3")) {
        return false;
    }
    for (std::size_t row = 0; row < kAccountingRows; ++row) {
        const bool last = row + 1 == kAccountingRows;
        if (!typist.type(kAccountingLabels[row]) || !typist.right() ||
            !typist.type(data.accountingValues[row]) || (!last && !typist.right())) {
            return false;
        }
    }
    report(10);
    return true;
}

std::string reportBaseName(int factoryNumber, int year, int month, int day) {
    return "ТОРЛ_№" + std::to_string(factoryNumber) + "_" + twoDigits(day) + twoDigits(month) +
           "_" + twoDigits(((year % 100) + 100) % 100);
}

std::string defaultReportName(int factoryNumber, int year, int month, int day) {
    return reportBaseName(factoryNumber, year, month, day) + ".docx";
}

std::string withReportExtension(std::string utf8Path) {
    const std::size_t nameStart = utf8Path.find_last_of("/\\") + 1; // 0 when there is no folder
    const std::size_t dot = utf8Path.rfind('.');
    if (utf8Path.size() == nameStart) {
        return utf8Path; // no file name at all: the caller refuses it
    }
    if (dot == std::string::npos || dot < nameStart) {
        return utf8Path + ".docx";
    }
    if (dot + 1 == utf8Path.size()) {
        return utf8Path + "docx";
    }
    return utf8Path;
}

} // namespace torl7
