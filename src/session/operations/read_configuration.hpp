// Reading the unit's configuration record (request kind 2).
#pragma once

#include "protocol/codecs/config_record_codec.hpp"
#include "session/operations/operation.hpp"

namespace torl7 {

class ReadConfiguration : public Operation<ConfigRecord> {
public:
    enum class Step { Idle, Reading, Done };

    explicit ReadConfiguration(UnitSession& session, PortUse portUse = PortUse::OwnRun)
        : Operation(session, portUse) {}

    void start();
    Step step() const { return step_; }

private:
    Step step_ = Step::Idle;
};

} // namespace torl7
