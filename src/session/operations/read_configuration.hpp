// Reading the unit's configuration record (request kind 2). The port must be open.
#pragma once

#include "protocol/codecs/config_record_codec.hpp"
#include "session/unit_session.hpp"

namespace torl7 {

class ReadConfiguration {
public:
    enum class Step { Idle, Reading, Done };
    struct Result {
        std::optional<ConfigRecord> record;
        std::optional<SessionError> error;
    };
    using Finished = std::function<void(const Result&)>;

    explicit ReadConfiguration(UnitSession& session) : session_(session) {}

    // Sends the read; `finished` gets the record or why there is none, exactly once.
    void start(Finished finished);
    Step step() const { return step_; }

private:
    UnitSession& session_;
    Step step_ = Step::Idle;
    int run_ = 0; // a reply of an earlier run is not this run's answer
};

} // namespace torl7
