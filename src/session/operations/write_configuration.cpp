#include "session/operations/write_configuration.hpp"

namespace torl7 {

void WriteConfiguration::start(const ConfigRecord& record, Callbacks callbacks) {
    const int run = ++run_;
    sent_ = record;
    callbacks_ = std::move(callbacks);
    result_ = Result{};
    if (history_) {
        keepBefore(run);
    } else {
        write(run);
    }
}

void WriteConfiguration::keepBefore(int run) {
    step_ = Step::ReadingBefore;
    read_.start([this, run](const ReadConfiguration::Result& read) {
        if (run != run_) {
            return;
        }
        if (!read.record) {
            result_.error = read.error;
            finish();
            return;
        }
        result_.kept = history_->keep(session_.factoryNumber(), *read.record);
        if (!*result_.kept) {
            finish();
            return;
        }
        write(run);
    });
}

void WriteConfiguration::write(int run) {
    step_ = Step::Writing;
    session_.request(kind::Write, configWritePayload(sent_), [this, run](const Answer& answer) {
        if (run != run_) {
            return;
        }
        if (!answer) {
            result_.error = answer.error;
            finish();
            return;
        }
        acknowledged();
    });
}

void WriteConfiguration::acknowledged() {
    const int run = run_;
    result_.acknowledged = true;
    if (callbacks_.acknowledged) {
        callbacks_.acknowledged();
    }
    if (run != run_) {
        return; // the caller started another write meanwhile
    }
    // The speed change may have taken the line while the caller dwelt on the acknowledgement.
    if (session_.reserved()) {
        result_.stop = Stop::LineReserved;
        finish();
        return;
    }
    if (!session_.isOpen()) {
        if (auto error = session_.comopen()) {
            result_.error = std::move(error);
            finish();
            return;
        }
    }
    step_ = Step::ReadingBack;
    read_.start([this, run](const ReadConfiguration::Result& read) {
        if (run != run_) {
            return;
        }
        result_.error = read.error;
        result_.readBack = read.record;
        if (read.record) {
            result_.identical = encodeConfigRecord(*read.record) == encodeConfigRecord(sent_);
            result_.differences = compareSettings(sent_, *read.record);
        }
        finish();
    });
}

void WriteConfiguration::finish() {
    step_ = Step::Done;
    if (callbacks_.finished) {
        callbacks_.finished(result_);
    }
}

} // namespace torl7
