#include "session/operations/read_configuration.hpp"

namespace torl7 {

void ReadConfiguration::start(Finished finished) {
    const int run = ++run_;
    step_ = Step::Reading;
    session_.request(
        kind::ConfigRead, {},
        [this, run, finished = std::move(finished)](const Answer& answer) {
            if (run != run_) {
                return;
            }
            step_ = Step::Done;
            if (!answer) {
                finished(Result{std::nullopt, answer.error});
                return;
            }
            finished(Result{decodeConfigRecord(answer.frame->payload()), std::nullopt});
        },
        true);
}

} // namespace torl7
