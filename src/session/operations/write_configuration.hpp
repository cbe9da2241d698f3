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
#include "session/operations/read_configuration.hpp"

#include <QString>

#include <vector>

namespace torl7 {

// Where the unit's settings as found before a write are kept, so that a write that went wrong
// can be undone: given the unit's number and its record as read, it keeps it and says where,
// or why it could not (then nothing is written).
class AsFoundKeeper {
public:
    struct Kept {
        bool written = false;
        QString path;   // what was written, or the file or folder that could not be
        QString reason; // the system's words when it could not (may be empty)
        explicit operator bool() const { return written; }
    };
    virtual ~AsFoundKeeper() = default;
    virtual Kept keep(std::uint16_t factoryNumber, const ConfigRecord& unitRecord) const = 0;
};

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
    std::optional<AsFoundKeeper::Kept> kept;
    // When the acknowledgement did not come.
    std::optional<Found> afterLostAcknowledgement;
};

class WriteConfiguration : public Operation<WriteReport> {
public:
    enum class Step { Idle, ReadingBefore, Writing, ReadingBack, Done };

    // Without a keeper the write goes out at once.
    explicit WriteConfiguration(UnitSession& session, const AsFoundKeeper* history = nullptr);

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
    const AsFoundKeeper* history_;
    Step step_ = Step::Idle;
    ConfigRecord sent_;
    std::optional<ConfigRecord> before_;
    std::optional<SessionError> writeError_;
    std::function<void()> acknowledged_;
    WriteReport report_;
};

} // namespace torl7
