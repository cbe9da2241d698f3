// COMTRADE records come from other devices and other people's disks: whatever the bytes, the
// reader ends with a whole record or a refusal that names the file and says why, and a record
// it takes is consistent: one value per sample in every channel, as many samples as the
// configuration says. The first byte picks the form: even, a .cfg and a .dat split at the
// first zero byte; odd, a 2013 .cff.
#include "fuzz_target.hpp"

#include "documents/comtrade_reader.hpp"
#include "documents/waveform_export.hpp"

#include <string_view>

using namespace torl7;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) {
        return 0;
    }
    const std::string_view text(reinterpret_cast<const char*>(data) + 1, size - 1);
    ComtradeRead read;
    if (data[0] % 2 == 1) {
        read = readComtradeCff(text, "x.cff");
    } else {
        const std::size_t split = std::min(text.find('\0'), text.size());
        read = readComtrade(text.substr(0, split), text.substr(std::min(split + 1, text.size())));
    }
    if (!read.record) {
        FUZZ_CHECK(!read.error.file.empty());
        FUZZ_CHECK(!read.error.reason.empty() && !read.error.reasonRussian.empty());
        FUZZ_CHECK(read.error.line >= 0);
        return 0;
    }
    const ComtradeRecord& r = *read.record;
    FUZZ_CHECK(r.analogs.size() == static_cast<std::size_t>(r.analogCount));
    FUZZ_CHECK(r.samples.size() == r.analogs.size());
    FUZZ_CHECK(r.total == r.analogCount + r.digitalCount);
    FUZZ_CHECK(r.stamps.size() == r.numbers.size());
    for (const auto& channel : r.samples) {
        FUZZ_CHECK(channel.size() == r.numbers.size());
    }
    if (!r.rates.empty()) {
        FUZZ_CHECK(static_cast<long>(r.numbers.size()) == r.rates.back().second);
    }
    return 0;
}

std::vector<std::vector<std::uint8_t>> fuzzSeeds() {
    WaveformExport record;
    record.station = "КНС-2";
    record.deviceId = "600";
    record.phases = {1, 2, 3};
    record.sampleRate = 2000;
    for (std::size_t p = 0; p < 3; ++p) {
        for (std::size_t i = 0; i < kWaveformSamples; ++i) {
            record.samples.voltage[p][i] = static_cast<int>((i * 7 + p * 50) % 256);
            record.samples.current[p][i] = static_cast<int>((i * 3 + p * 11) % 256);
        }
    }
    std::vector<std::vector<std::uint8_t>> seeds;
    const auto add = [&seeds](char form, const std::string& bytes) {
        std::vector<std::uint8_t> seed{static_cast<std::uint8_t>(form)};
        seed.insert(seed.end(), bytes.begin(), bytes.end());
        seeds.push_back(std::move(seed));
    };
    for (const ComtradeFormat format : {ComtradeFormat::Ascii1999, ComtradeFormat::Binary1999}) {
        const ComtradeFiles files = comtradeFiles(record, format);
        add(0, files.cfg + std::string(1, '\0') + files.dat);
    }
    add(1, comtradeFiles(record, ComtradeFormat::Cff2013).cff);
    return seeds;
}
