// Shapes of the number texts the tool shows, checked by the codec fuzz targets: never empty,
// the comma as the only decimal separator, the digits each pattern promises.
#pragma once

#include <cstddef>
#include <string_view>

namespace torl7::fuzzing {

inline bool allDigits(std::string_view text) {
    if (text.empty()) {
        return false;
    }
    for (char c : text) {
        if (c < '0' || c > '9') {
            return false;
        }
    }
    return true;
}

// Optional minus, at least `minWhole` integer digits, then a comma and exactly `decimals`
// digits (no comma at all when `decimals` is 0).
inline bool isNumberText(std::string_view text, std::size_t minWhole, std::size_t decimals) {
    if (!text.empty() && text.front() == '-') {
        text.remove_prefix(1);
    }
    if (decimals == 0) {
        return allDigits(text) && text.size() >= minWhole;
    }
    const std::size_t comma = text.find(',');
    if (comma == std::string_view::npos) {
        return false;
    }
    const std::string_view whole = text.substr(0, comma);
    const std::string_view fraction = text.substr(comma + 1);
    return allDigits(whole) && whole.size() >= minWhole && allDigits(fraction) &&
           fraction.size() == decimals;
}

// A current: one decimal, or a whole number from 100 up.
inline bool isCurrentText(std::string_view text) {
    return isNumberText(text, 1, 1) || (isNumberText(text, 3, 0) && text.front() != '0');
}

// Hours with at least five digits, then minutes and seconds below 60.
inline bool isRunningTimeText(std::string_view text) {
    if (text.size() < 11 || text[text.size() - 3] != ':' || text[text.size() - 6] != ':') {
        return false;
    }
    const std::string_view hours = text.substr(0, text.size() - 6);
    const std::string_view minutes = text.substr(text.size() - 5, 2);
    const std::string_view seconds = text.substr(text.size() - 2);
    return allDigits(hours) && hours.size() >= 5 && allDigits(minutes) && minutes[0] < '6' &&
           allDigits(seconds) && seconds[0] < '6';
}

} // namespace torl7::fuzzing
