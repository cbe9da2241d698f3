// Writing the configuration record (kind 3, sub-mode 0), the unit's acknowledgement, then the
// record read back and compared with what was sent. With a history, the unit's record is read
// and kept there first, and nothing is written when that read or keeping fails.
//
// A write whose acknowledgement does not come may still have been taken: the unit stores the
// record and the answer is lost on the way back. The record is then read back all the same, and
// the report says which it is: the unit holds the record sent, still holds the one kept before
// the write, holds neither, or did not answer the read-back either. The operation still ends
// with the timeout: the unit did not confirm the write.
#pragma once

#include "documents/settings_file.hpp"
#include "protocol/codecs/config_record_codec.hpp"
#include "session/config_history.hpp"
#include "session/operations/read_configuration.hpp"

#include <vector>

namespace torl7 {

struct WriteReport {
    // Why the read-back did not happen although the write was taken.
    enum class Stop { LineReserved };
    // What the read-back after a lost acknowledgement found.
    enum class Found {
        NewRecord, // the record sent: only the acknowledgement was lost
        OldRecord, // the record kept before the write: the write did not reach the unit
        Neither,   // something else
        Unknown,   // the read-back was not answered either
    };

    bool acknowledged = false;
    std::optional<ConfigRecord> readBack;
    // Equal in every byte to the record sent; else the fields that differ (which may be none
    // when only bytes no field shows differ).
    bool identical = false;
    std::vector<FieldDifference> differences;
    std::optional<Stop> stop;
    // With a history: where the unit's record before the write was kept, or could not be (then
    // nothing was written).
    std::optional<ConfigHistory::Kept> kept;
    // When the acknowledgement did not come.
    std::optional<Found> afterLostAcknowledgement;
};

class WriteConfiguration : public Operation<WriteReport> {
public:
    enum class Step { Idle, ReadingBefore, Writing, ReadingBack, Done };

    // Without a history the write goes out at once.
    explicit WriteConfiguration(UnitSession& session, const ConfigHistory* history = nullptr);

    // `acknowledged` runs when the unit took the write; the read-back follows when it returns.
    void start(const ConfigRecord& record, std::function<void()> acknowledged = {});
    Step step() const { return step_; }

private:
    void cancelParts() override { read_.cancel(); }
    void keepBefore(const ConfigRecord& unitRecord);
    void write();
    void written(const Answer& answer);
    void readBack();
    void readBackEnded(const Outcome<ConfigRecord>& outcome);

    ReadConfiguration read_;
    const ConfigHistory* history_;
    Step step_ = Step::Idle;
    ConfigRecord sent_;
    std::optional<ConfigRecord> before_;
    std::optional<SessionError> writeError_;
    std::function<void()> acknowledged_;
    WriteReport report_;
};

} // namespace torl7
