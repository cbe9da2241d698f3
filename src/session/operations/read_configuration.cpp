#include "session/operations/read_configuration.hpp"

namespace torl7 {

void ReadConfiguration::start() {
    if (!begin()) {
        return;
    }
    step_ = Step::Reading;
    ask(kind::ConfigRead, {}, [this](const Answer& answer) {
        step_ = Step::Done;
        if (!answer) {
            fail(*answer.error);
            return;
        }
        succeed(decodeConfigRecord(answer.frame->payload()));
    });
}

} // namespace torl7
