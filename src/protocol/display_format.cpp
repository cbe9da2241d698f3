#include "protocol/display_format.hpp"

#include "protocol/encodings.hpp"

namespace torl7 {

namespace {

std::string zeroPadded(std::uint64_t value, std::size_t width) {
    std::string digits = std::to_string(value);
    if (digits.size() < width) {
        digits.insert(0, width - digits.size(), '0');
    }
    return digits;
}

} // namespace

std::string formatRunningTime(std::uint32_t seconds) {
    const std::uint32_t hours = seconds / 3600;
    const auto minutes = static_cast<int>(seconds % 3600 / 60);
    return zeroPadded(hours, 5) + ":" + twoDigits(minutes) + ":" +
           twoDigits(static_cast<int>(seconds % 60));
}

std::string formatCosF(std::uint8_t byte) {
    const int hundredths = byte & 0x7F;
    if (hundredths == 100) {
        return "1,00";
    }
    const bool negative = (byte & 0x80) == 0 && hundredths != 0;
    return (negative ? "-" : "") + std::to_string(hundredths / 100) + "," +
           zeroPadded(static_cast<std::uint64_t>(hundredths % 100), 2);
}

double cosFValue(std::uint8_t byte) {
    const int hundredths = byte & 0x7F;
    const bool negative = (byte & 0x80) == 0 && hundredths != 100;
    return (negative ? -hundredths : hundredths) / 100.0;
}

std::string formatCurrentTenths(std::uint16_t tenths) {
    return tenths < 1000 ? formatTenths(tenths) : formatTenthsWhole(tenths);
}

std::string formatEnergyKwh(std::uint64_t millionths) {
    const std::uint64_t thousandths = millionths / 1000 + (millionths % 1000 >= 500 ? 1 : 0);
    return zeroPadded(thousandths / 1000, 6) + "," + zeroPadded(thousandths % 1000, 3);
}

std::string formatAccountingEnergy(std::uint64_t millionths) {
    const std::uint64_t tenths = millionths / 100000;
    return zeroPadded(tenths / 10, 6) + "," + std::to_string(tenths % 10);
}

} // namespace torl7
