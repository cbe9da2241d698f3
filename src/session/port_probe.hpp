// Which serial ports the tool offers: the ports of this machine that exist and can be opened,
// after any ports given on the command line (a pseudo-terminal, the simulated unit's port).
#pragma once

#include <QList>
#include <QString>
#include <QStringList>

namespace torl7 {

struct PortEntry {
    QString name;   // shown in the port lists
    QString device; // what is opened
};

// The machine's ports. On Windows COM1 to COM9; elsewhere the serial devices (ttyS*, ttyUSB*,
// ttyACM*). A port held by another program cannot be opened and is not offered.
QList<PortEntry> probeMachinePorts();

// The given devices first, in order, then the machine's ports not already listed.
QList<PortEntry> portList(const QStringList& extraDevices, bool probeMachine);

} // namespace torl7
