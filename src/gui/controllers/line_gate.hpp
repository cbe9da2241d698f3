// While the RS485 speed change holds the line, the controls that would talk to the unit (or
// open a dialog that does) do nothing at all: no question, no box, no dialog, as if not
// pressed. Every such control is connected through this one gate, so no handler asks.
#pragma once

#include "session/unit_session.hpp"

#include <QObject>

namespace torl7 {

template <typename Sender, typename Signal, typename Receiver>
void connectWhenLineFree(const UnitSession& session, Sender* sender, Signal signal,
                         Receiver* receiver, void (Receiver::*handler)()) {
    QObject::connect(sender, signal, receiver, [&session, receiver, handler] {
        if (!session.lineHeld()) {
            (receiver->*handler)();
        }
    });
}

} // namespace torl7
