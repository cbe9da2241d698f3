// The configuration record decoder against any answer: every byte of the record must be
// carried back unchanged by the encoder (so a read-then-write never alters what the user did
// not touch), and the field helpers must stay consistent on whatever the unit sent.
#include "fuzz_target.hpp"

#include "protocol/codecs/config_record_codec.hpp"
#include "protocol/cp1251.hpp"

using namespace torl7;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const ByteSpan payload(data, size);
    const ConfigRecord record = decodeConfigRecord(payload);
    const auto encoded = encodeConfigRecord(record);
    for (std::size_t i = 0; i < kConfigRecordSize; ++i) {
        FUZZ_CHECK(encoded[i] == (i < size ? data[i] : 0));
    }
    FUZZ_CHECK(decodeConfigRecord(encoded) == record);

    const Bytes write = configWritePayload(record);
    FUZZ_CHECK(write.size() == kConfigRecordSize + 1 && write[0] == kWriteSubModeConfig);

    const ControlFields fields = decomposeControlByte(record.controlByte);
    FUZZ_CHECK(fields.voltageItem >= 0 && fields.voltageItem <= 3);
    FUZZ_CHECK(fields.currentItem >= 0 && fields.currentItem <= 3);
    FUZZ_CHECK(composeControlByte(fields.isoIndex, fields.isoOn, fields.voltageItem,
                                  fields.currentItem, fields.blockOn) == record.controlByte);

    const int cos = decodeCosCorrection(record.cosCorrectionByte);
    FUZZ_CHECK(cos >= -127 && cos <= 127);
    FUZZ_CHECK(decodeCosCorrection(encodeCosCorrection(cos)) == cos);

    // A text shown in an edit and written back unedited reaches the unit byte for byte.
    for (const UnitText& text : {record.equipmentType, record.installation}) {
        const std::string shown = unitTextFrom16(text);
        FUZZ_CHECK(utf8Length(shown) == kUnitTextSize);
        FUZZ_CHECK(unitText16(shown) == text);
    }
    // Any typed text, broken UTF-8 included, gives exactly 16 bytes that read back as 16.
    FUZZ_CHECK(utf8Length(unitTextFrom16(unitText16(
                   std::string_view(reinterpret_cast<const char*>(data), size)))) == kUnitTextSize);
    return 0;
}

std::vector<std::vector<std::uint8_t>> fuzzSeeds() {
    const auto start = encodeConfigRecord(ConfigRecord{});
    ConfigRecord texts;
    texts.equipmentType = unitText16("Насос №1");
    texts.installation = unitText16("ЦПУ-2 ввод");
    texts.controlByte = 0x28;
    texts.cosCorrectionByte = 0x01;
    const auto withTexts = encodeConfigRecord(texts);
    const Bytes head(start.begin(), start.begin() + 30);
    return {Bytes(start.begin(), start.end()), Bytes(withTexts.begin(), withTexts.end()), head,
            Bytes(kConfigRecordSize, 0xFF)};
}
