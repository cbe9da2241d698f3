// The port box of the main window and of the search dialog: the ports found at start-up, and
// any port typed into it (a device path, tcp://HOST:PORT or rfc2217://HOST:PORT). A port typed
// in one box joins both, after the ports of the machine, and is chosen as if picked from the
// list. Typed ports live as long as the program: the tool keeps nothing between runs.
#pragma once

class QComboBox;
class QString;
class QWidget;

namespace torl7 {

// The drop-down named "cmbPorts", empty, open for typing.
QComboBox* makePortBox(QWidget* parent);

// A text committed in either box (Enter, or leaving the box) picks the port of that text,
// adding it to both boxes first when it is new. Choosing it emits `activated`, as a pick
// from the list does; a text of blanks puts back the port chosen before.
void shareTypedPorts(QComboBox& first, QComboBox& second);

// Picks the port `port` names (a listed device, or a port typed before) in `box`, adding it to
// both boxes first when neither lists it; a new choice emits `activated`, as a pick does.
void pointPortBox(QComboBox& box, QComboBox& other, const QString& port);

} // namespace torl7
