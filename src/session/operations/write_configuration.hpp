// Writing the configuration record (kind 3, sub-mode 0), the unit's acknowledgement, then the
// record read back and compared with what was sent. With a history, the unit's record is read
// and kept there first, and nothing is written when that read or keeping fails. The port must
// be open at the start; the read-back reopens it when the idle close shut it while the caller
// dwelt on the acknowledgement.
#pragma once

#include "documents/settings_file.hpp"
#include "protocol/codecs/config_record_codec.hpp"
#include "session/config_history.hpp"
#include "session/operations/read_configuration.hpp"

#include <vector>

namespace torl7 {

class WriteConfiguration {
public:
    enum class Step { Idle, ReadingBefore, Writing, ReadingBack, Done };
    // Why the read-back did not happen although the write was taken.
    enum class Stop { LineReserved };
    struct Result {
        bool acknowledged = false;
        std::optional<ConfigRecord> readBack;
        // Equal in every byte to the record sent; else the fields that differ (which may be
        // none when only bytes no field shows differ).
        bool identical = false;
        std::vector<FieldDifference> differences;
        std::optional<SessionError> error;
        std::optional<Stop> stop;
        // With a history: where the unit's record before the write was kept, or could not be
        // (then nothing was written).
        std::optional<ConfigHistory::Kept> kept;
    };
    struct Callbacks {
        // The unit took the write; the read-back follows when this returns.
        std::function<void()> acknowledged;
        std::function<void(const Result&)> finished;
    };

    // Without a history the write goes out at once.
    explicit WriteConfiguration(UnitSession& session, const ConfigHistory* history = nullptr)
        : session_(session), read_(session), history_(history) {}

    void start(const ConfigRecord& record, Callbacks callbacks);
    Step step() const { return step_; }

private:
    void keepBefore(int run);
    void write(int run);
    void acknowledged();
    void finish();

    UnitSession& session_;
    ReadConfiguration read_;
    const ConfigHistory* history_;
    Step step_ = Step::Idle;
    int run_ = 0;
    ConfigRecord sent_;
    Callbacks callbacks_;
    Result result_;
};

} // namespace torl7
