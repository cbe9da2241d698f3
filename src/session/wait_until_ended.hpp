// The headless client's way to run the session's asynchronous work: start it, handing it the
// callback that ends it, and wait in a local event loop until that callback has run.
#pragma once

#include <QEventLoop>

#include <functional>
#include <optional>

namespace torl7 {

template <typename Ended>
Ended waitUntilEnded(const std::function<void(std::function<void(const Ended&)>)>& start) {
    QEventLoop loop;
    std::optional<Ended> ended;
    start([&](const Ended& value) {
        ended = value;
        loop.quit();
    });
    if (!ended) {
        loop.exec();
    }
    return *ended;
}

} // namespace torl7
