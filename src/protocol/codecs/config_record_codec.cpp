#include "protocol/codecs/config_record_codec.hpp"

#include "protocol/cp1251.hpp"

#include <algorithm>
#include <cstddef>

namespace torl7 {

namespace {

// Record offsets of the fields that are not simply next to each other in the code below.
constexpr std::size_t kCoefficientsOffset = 28;
constexpr std::size_t kEquipmentTypeOffset = 42;
constexpr std::size_t kInstallationOffset = 58;
constexpr std::size_t kBusProtocolOffset = 74;

// Fills the record front to back, in the order of its fields.
class RecordWriter {
public:
    void byte(std::uint8_t value) { out_[pos_++] = value; }
    void word(std::uint16_t value) {
        byte(static_cast<std::uint8_t>(value >> 8));
        byte(static_cast<std::uint8_t>(value & 0xFF));
    }
    void text(const UnitText& text) {
        std::copy(text.begin(), text.end(), out_.begin() + static_cast<std::ptrdiff_t>(pos_));
        pos_ += text.size();
    }
    const std::array<std::uint8_t, kConfigRecordSize>& bytes() const { return out_; }

private:
    std::array<std::uint8_t, kConfigRecordSize> out_{};
    std::size_t pos_ = 0;
};

UnitText readText(const PayloadReader& in, std::size_t offset) {
    UnitText text{};
    for (std::size_t i = 0; i < text.size(); ++i) {
        text[i] = in.byte(offset + i);
    }
    return text;
}

// Two-bit field value of each phase-set list item.
constexpr std::array<int, 4> kPhaseSetValues = {3, 1, 2, 0};

} // namespace

std::array<std::uint8_t, kConfigRecordSize> encodeConfigRecord(const ConfigRecord& r) {
    RecordWriter out;
    out.byte(r.rs485SpeedIndex);
    out.word(r.uminVolts);
    out.byte(r.uminDelayTenths);
    out.word(r.umaxVolts);
    out.byte(r.umaxDelayTenths);
    out.byte(r.uAsymPercent);
    out.byte(r.uAsymDelayTenths);
    out.word(r.iholTenths);
    out.word(r.iholDelayTenthsOfSecond);
    out.byte(r.iAsymPercent);
    out.byte(r.iAsymDelayTenths);
    out.word(r.inomTenths);
    out.word(r.vtzTenthsOfSecond);
    out.word(r.izklTenths);
    out.byte(r.izklDelayTenths);
    out.word(r.idifTenths);
    out.byte(r.idifDelayTenths);
    out.byte(r.controlByte);
    out.byte(r.enableByte);
    out.byte(r.cosCorrectionByte);
    for (std::uint16_t coefficient : r.coefficients) {
        out.word(coefficient);
    }
    out.text(r.equipmentType);
    out.text(r.installation);
    out.byte(r.busProtocolIndex);
    out.byte(r.busAddress);
    out.byte(r.tbMs);
    out.byte(r.teMs);
    out.word(r.resetLockSeconds);
    return out.bytes();
}

ConfigRecord decodeConfigRecord(ByteSpan recordBytes) {
    const PayloadReader in(recordBytes);
    ConfigRecord r;
    r.rs485SpeedIndex = in.byte(0);
    r.uminVolts = in.word(1);
    r.uminDelayTenths = in.byte(3);
    r.umaxVolts = in.word(4);
    r.umaxDelayTenths = in.byte(6);
    r.uAsymPercent = in.byte(7);
    r.uAsymDelayTenths = in.byte(8);
    r.iholTenths = in.word(9);
    r.iholDelayTenthsOfSecond = in.word(11);
    r.iAsymPercent = in.byte(13);
    r.iAsymDelayTenths = in.byte(14);
    r.inomTenths = in.word(15);
    r.vtzTenthsOfSecond = in.word(17);
    r.izklTenths = in.word(19);
    r.izklDelayTenths = in.byte(21);
    r.idifTenths = in.word(22);
    r.idifDelayTenths = in.byte(24);
    r.controlByte = in.byte(25);
    r.enableByte = in.byte(26);
    r.cosCorrectionByte = in.byte(27);
    for (std::size_t i = 0; i < r.coefficients.size(); ++i) {
        r.coefficients[i] = in.word(kCoefficientsOffset + 2 * i);
    }
    r.equipmentType = readText(in, kEquipmentTypeOffset);
    r.installation = readText(in, kInstallationOffset);
    r.busProtocolIndex = in.byte(kBusProtocolOffset);
    r.busAddress = in.byte(75);
    r.tbMs = in.byte(76);
    r.teMs = in.byte(77);
    r.resetLockSeconds = in.word(78);
    return r;
}

Bytes configWritePayload(const ConfigRecord& record) {
    const auto bytes = encodeConfigRecord(record);
    Bytes payload;
    payload.reserve(bytes.size() + 1);
    payload.push_back(kWriteSubModeConfig);
    payload.insert(payload.end(), bytes.begin(), bytes.end());
    return payload;
}

int phaseSetValue(int itemIndex) {
    if (itemIndex < 0 || itemIndex >= static_cast<int>(kPhaseSetValues.size())) {
        return 0;
    }
    return kPhaseSetValues[static_cast<std::size_t>(itemIndex)];
}

int phaseSetItem(int fieldValue) {
    const int value = fieldValue & 3;
    const auto it = std::find(kPhaseSetValues.begin(), kPhaseSetValues.end(), value);
    return static_cast<int>(it - kPhaseSetValues.begin());
}

std::uint8_t composeControlByte(int isoIndex, bool isoOn, int voltageItem, int currentItem,
                                bool blockOn) {
    const int iso = isoIndex >= 0 && isoIndex <= 3 ? isoIndex : 0;
    return static_cast<std::uint8_t>(iso + (isoOn ? 4 : 0) + 8 * phaseSetValue(voltageItem) +
                                     32 * phaseSetValue(currentItem) + (blockOn ? 128 : 0));
}

ControlFields decomposeControlByte(std::uint8_t controlByte) {
    ControlFields fields;
    fields.isoIndex = controlByte & 3;
    fields.isoOn = (controlByte & 4) != 0;
    fields.voltageItem = phaseSetItem(controlByte >> 3);
    fields.currentItem = phaseSetItem(controlByte >> 5);
    fields.blockOn = (controlByte & 128) != 0;
    return fields;
}

std::uint8_t encodeCosCorrection(int value) {
    const int v = std::clamp(value, -127, 127);
    return static_cast<std::uint8_t>(v >= 0 ? 128 + v : -v);
}

int decodeCosCorrection(std::uint8_t byte) {
    return (byte & 0x80) != 0 ? byte & 0x7F : -static_cast<int>(byte);
}

UnitText unitText16(std::string_view utf8) {
    const Bytes encoded = encodeCp1251(utf8);
    UnitText text = kBlankUnitText;
    std::copy_n(encoded.begin(), std::min(encoded.size(), text.size()), text.begin());
    return text;
}

std::string unitTextFrom16(std::span<const std::uint8_t, kUnitTextSize> bytes) {
    return decodeCp1251(ByteSpan(bytes));
}

} // namespace torl7
