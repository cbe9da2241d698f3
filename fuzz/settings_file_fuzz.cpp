// Settings files are typed and edited by people: whatever the text, reading must end with a
// record or a named fault, a record that reads is one the configuration page can hold, and
// writing it again gives a file that reads back to the same record and provenance.
#include "fuzz_target.hpp"

#include "documents/settings_file.hpp"

#include <string_view>

using namespace torl7;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const SettingsReadResult read = readSettingsFile(text);
    if (!read.file) {
        FUZZ_CHECK(!read.error.empty());
        return 0;
    }
    const ConfigRecord& record = read.file->record;
    FUZZ_CHECK(asPageHolds(record) == record);
    const SettingsReadResult again =
        readSettingsFile(writeSettingsFile(record, read.file->provenance));
    FUZZ_CHECK(again.file.has_value());
    FUZZ_CHECK(again.file->record == record);
    FUZZ_CHECK(again.file->provenance == read.file->provenance);
    return 0;
}

std::vector<std::vector<std::uint8_t>> fuzzSeeds() {
    ConfigRecord other;
    other.rs485SpeedIndex = 200;
    other.busProtocolIndex = 1;
    other.equipmentType = unitText16("Насос \"№3\"\\");
    other.cosCorrectionByte = encodeCosCorrection(-7);
    std::vector<std::vector<std::uint8_t>> seeds;
    for (const std::string& text :
         {writeSettingsFile(ConfigRecord{}, {}),
          writeSettingsFile(other, {600, "2026-12-08T21:05:00", "ТОРЛ-7 v1.02", "0.1.0"}),
          std::string("{\"a\": [1, -2.5e3, true, false, null, \"\\u0416\\ud83d\\ude00\"]}")}) {
        seeds.emplace_back(text.begin(), text.end());
    }
    return seeds;
}
