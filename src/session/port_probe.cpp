#include "session/port_probe.hpp"

#include <QSerialPort>
#include <QSerialPortInfo>

namespace torl7 {

namespace {

bool canOpen(const QString& device) {
    QSerialPort port;
    port.setPortName(device);
    if (!port.open(QIODevice::ReadWrite)) {
        return false;
    }
    port.close();
    return true;
}

} // namespace

QList<PortEntry> probeMachinePorts() {
    QList<PortEntry> ports;
#ifdef Q_OS_WIN
    for (int n = 1; n <= 9; ++n) {
        const QString name = QStringLiteral("COM%1").arg(n);
        if (canOpen(name)) {
            ports.append({name, name});
        }
    }
#else
    for (const QSerialPortInfo& info : QSerialPortInfo::availablePorts()) {
        const QString name = info.portName();
        if ((name.startsWith(QLatin1String("ttyS")) || name.startsWith(QLatin1String("ttyUSB")) ||
             name.startsWith(QLatin1String("ttyACM"))) &&
            canOpen(info.systemLocation())) {
            ports.append({name, info.systemLocation()});
        }
    }
#endif
    return ports;
}

QList<PortEntry> portList(const QStringList& extraDevices, bool probeMachine) {
    QList<PortEntry> ports;
    for (const QString& device : extraDevices) {
        ports.append({device, device});
    }
    if (probeMachine) {
        for (const PortEntry& entry : probeMachinePorts()) {
            if (!extraDevices.contains(entry.device)) {
                ports.append(entry);
            }
        }
    }
    return ports;
}

} // namespace torl7
