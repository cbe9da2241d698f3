// Why a serial port that exists did not open, as far as the system shows it: the user has no
// rights to the device (on Debian and Ubuntu: is not in the group "dialout" that owns serial
// ports, or joined it after logging in), or another program holds the port (a lock file
// beside those of other serial programs may name its process). The window and torl7-cli put
// what to do about it after the system's own words.
#pragma once

#include <QString>

#include <cstdint>

namespace torl7 {

struct PortRefusal {
    enum class Kind : std::uint8_t {
        Unknown,      // the system's reason stands alone
        NoPermission, // the user may not read and write the device
        InUse,        // another program has the port open
    };
    Kind kind = Kind::Unknown;
    QString device;
    QString group;            // NoPermission: the group the device belongs to
    bool joinedLater = false; // NoPermission: the user is in that group since after the login
    bool groupMayUse = false; // NoPermission: members of the group may read and write it
    qint64 holder = 0;        // InUse: the process the port's lock file names; 0 when none
};

// `systemReason` is what the port said when it did not open.
PortRefusal whyPortRefused(const QString& device, const QString& systemReason);

// What to do, in Russian for the window or in English for torl7-cli; empty for Unknown.
QString portRefusalHint(const PortRefusal& refusal, bool russian);

} // namespace torl7
