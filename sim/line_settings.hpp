// Line settings of a terminal device, through the Linux termios2 interface: the plain
// termios calls know only the fixed rates, and the tool sets 14400 baud as a custom rate.
// This file's unit is the only one that includes the kernel's terminal header, which cannot
// be mixed with <termios.h>.
#pragma once

#include <optional>

namespace torl7::sim {

// The output speed set on the terminal `fd`, custom rates included.
std::optional<int> readLineSpeedBaud(int fd);

// Sets input and output speed to `baud`, any rate the driver accepts.
bool writeLineSpeedBaud(int fd, int baud);

// Raw 8N1 without flow control and without any character processing, reads returning as soon
// as one byte is there; the speed is left as it was.
bool makeRaw(int fd);

// Waits until everything written to `fd` has been sent.
bool drainOutput(int fd);

} // namespace torl7::sim
