#include "session/operations/write_configuration.hpp"

namespace torl7 {

WriteConfiguration::WriteConfiguration(UnitSession& session, const AsFoundKeeper* history)
    : Operation(session), read_(session, PortUse::Part), history_(history) {
    read_.onFinished([this](const Outcome<ConfigRecord>& outcome) {
        if (!running()) {
            return;
        }
        if (step_ == Step::ReadingBefore) {
            if (!outcome) {
                step_ = Step::Done;
                fail(*outcome.error, report_);
                return;
            }
            keepBefore(*outcome.result);
            return;
        }
        readBackEnded(outcome);
    });
}

void WriteConfiguration::start(const ConfigRecord& record, std::function<void()> acknowledged) {
    if (!begin()) {
        return;
    }
    sent_ = record;
    acknowledged_ = std::move(acknowledged);
    report_ = WriteReport{};
    before_.reset();
    writeError_.reset();
    if (history_) {
        step_ = Step::ReadingBefore;
        read_.start();
    } else {
        write();
    }
}

void WriteConfiguration::keepBefore(const ConfigRecord& unitRecord) {
    before_ = unitRecord;
    report_.kept = history_->keep(session_.factoryNumber(), unitRecord);
    if (!*report_.kept) {
        step_ = Step::Done;
        succeed(report_); // nothing was written
        return;
    }
    write();
}

void WriteConfiguration::write() {
    step_ = Step::Writing;
    ask(kind::Write, configWritePayload(sent_), [this](const Answer& answer) { written(answer); });
}

void WriteConfiguration::written(const Answer& answer) {
    if (!answer) {
        if (answer.error->kind != SessionError::Kind::Timeout) {
            step_ = Step::Done;
            fail(*answer.error, report_);
            return;
        }
        // Taken or not, the unit tells by what it now holds.
        writeError_ = answer.error;
        readBack();
        return;
    }
    report_.acknowledged = true;
    if (acknowledged_) {
        acknowledged_();
    }
    if (!running()) {
        return; // the owner ended the run meanwhile
    }
    // The speed change may have taken the line while the owner dwelt on the acknowledgement.
    if (session_.lineHeld()) {
        report_.stop = WriteReport::Stop::LineReserved;
        step_ = Step::Done;
        succeed(report_);
        return;
    }
    readBack();
}

void WriteConfiguration::readBack() {
    step_ = Step::ReadingBack;
    read_.start();
}

void WriteConfiguration::readBackEnded(const Outcome<ConfigRecord>& outcome) {
    step_ = Step::Done;
    if (outcome) {
        report_.readBack = outcome.result;
        report_.identical = encodeConfigRecord(*outcome.result) == encodeConfigRecord(sent_);
        report_.differences = compareSettings(sent_, *outcome.result);
    }
    if (writeError_) {
        using Found = WriteReport::Found;
        const auto same = [](const ConfigRecord& a, const ConfigRecord& b) {
            return encodeConfigRecord(a) == encodeConfigRecord(b);
        };
        report_.afterLostAcknowledgement = !outcome            ? Found::Unknown
                                           : report_.identical ? Found::NewRecord
                                           : before_ && same(*before_, *outcome.result)
                                               ? Found::OldRecord
                                               : Found::Neither;
        fail(*writeError_, report_);
        return;
    }
    if (!outcome) {
        fail(*outcome.error, report_);
        return;
    }
    succeed(report_);
}

} // namespace torl7
