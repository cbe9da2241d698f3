#include "session/port_access.hpp"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstring>
#include <grp.h>
#include <pwd.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace torl7 {

namespace {

// Where serial programs leave "LCK..<name>" with the process number on its first line; the
// name is the device's path below /dev with '/' as '_' (/dev/pts/3: "LCK..pts_3").
const char* const kLockFolders[] = {"/var/lock",        "/run/lock",        "/etc/locks",
                                    "/var/spool/locks", "/var/spool/uucp",  "/tmp",
                                    "/var/tmp",         "/var/lock/lockdev"};

qint64 lockHolder(const QString& device) {
    QString name = QFileInfo(device).absoluteFilePath();
    if (name.startsWith(QLatin1String("/dev/"))) {
        name = name.mid(5);
    }
    name.replace(QLatin1Char('/'), QLatin1Char('_'));
    for (const char* folder : kLockFolders) {
        QFile lock(QDir(QString::fromLatin1(folder)).filePath(QStringLiteral("LCK..") + name));
        if (!lock.open(QIODevice::ReadOnly)) {
            continue;
        }
        bool number = false;
        const qint64 pid = QString::fromLatin1(lock.readLine(32)).trimmed().toLongLong(&number);
        // A lock of a process that has ended holds nothing; our own process holds none either.
        if (number && pid > 0 && pid != ::getpid() &&
            (::kill(static_cast<pid_t>(pid), 0) == 0 || errno == EPERM)) {
            return pid;
        }
    }
    return 0;
}

// Whether the user's entry in the group database names `gid`, which this login lacks.
bool inGroupAfterLogin(gid_t gid) {
    const passwd* user = ::getpwuid(::getuid());
    if (user == nullptr) {
        return false;
    }
    int count = 64;
    std::vector<gid_t> groups(static_cast<std::size_t>(count));
    if (::getgrouplist(user->pw_name, user->pw_gid, groups.data(), &count) < 0) {
        groups.resize(static_cast<std::size_t>(count));
        ::getgrouplist(user->pw_name, user->pw_gid, groups.data(), &count);
    }
    groups.resize(static_cast<std::size_t>(count));
    bool listed = false;
    for (const gid_t g : groups) {
        listed = listed || g == gid;
    }
    std::vector<gid_t> now(static_cast<std::size_t>(::getgroups(0, nullptr)));
    now.resize(static_cast<std::size_t>(::getgroups(static_cast<int>(now.size()), now.data())));
    for (const gid_t g : now) {
        if (g == gid) {
            return false;
        }
    }
    return listed && ::getgid() != gid;
}

} // namespace

PortRefusal whyPortRefused(const QString& device, const QString& systemReason) {
    PortRefusal refusal;
    refusal.device = device;
    const QByteArray path = QFile::encodeName(device);
    struct stat info {};
    if (device.isEmpty() || ::stat(path.constData(), &info) != 0) {
        return refusal; // a port that is not there: the system's reason says so
    }
    if ((refusal.holder = lockHolder(device)) != 0 ||
        systemReason == QString::fromLocal8Bit(std::strerror(EBUSY))) {
        refusal.kind = PortRefusal::Kind::InUse;
        return refusal;
    }
    if (::access(path.constData(), R_OK | W_OK) != 0 && errno == EACCES) {
        refusal.kind = PortRefusal::Kind::NoPermission;
        const group* owner = ::getgrgid(info.st_gid);
        refusal.group = owner != nullptr ? QString::fromLocal8Bit(owner->gr_name)
                                         : QString::number(info.st_gid);
        refusal.groupMayUse = (info.st_mode & (S_IRGRP | S_IWGRP)) == (S_IRGRP | S_IWGRP);
        refusal.joinedLater = refusal.groupMayUse && inGroupAfterLogin(info.st_gid);
    }
    return refusal;
}

QString portRefusalHint(const PortRefusal& r, bool russian) {
    switch (r.kind) {
    case PortRefusal::Kind::Unknown:
        break;
    case PortRefusal::Kind::InUse: {
        const QString pid = r.holder != 0 ? QStringLiteral(" (PID %1)").arg(r.holder) : QString();
        return russian ? QStringLiteral("Порт занят другой программой%1: закройте её и повторите.")
                             .arg(pid)
                       : QStringLiteral("the port is in use by another program%1").arg(pid);
    }
    case PortRefusal::Kind::NoPermission:
        if (r.joinedLater) {
            return russian ? QStringLiteral("Нет прав на порт %1. Вы в группе %2, но вошли в "
                                            "систему до того: выйдите и войдите снова.")
                                 .arg(r.device, r.group)
                           : QStringLiteral("permission denied: you joined the group %1 after "
                                            "this login began; log out and in again")
                                 .arg(r.group);
        }
        if (!r.groupMayUse) {
            return russian ? QStringLiteral("Нет прав на порт %1: открыть его может только его "
                                            "владелец.")
                                 .arg(r.device)
                           : QStringLiteral("permission denied: only the owner of %1 may open it")
                                 .arg(r.device);
        }
        return russian
                   ? QStringLiteral("Нет прав на порт %1: он доступен группе %2. Добавьте себя в "
                                    "неё командой\nsudo usermod -aG %2 $USER\nи войдите в систему "
                                    "заново (группа действует с нового входа).")
                         .arg(r.device, r.group)
                   : QStringLiteral("permission denied: %1 belongs to the group %2; join it with "
                                    "'sudo usermod -aG %2 $USER', then log out and in again (the "
                                    "group takes effect at a new login)")
                         .arg(r.device, r.group);
    }
    return {};
}

} // namespace torl7
