#pragma once

#include <QDir>
#include <QFileInfo>
#include <QStringList>

// Lock files in the system's lock folders that name the device or the device
// it leads to, whole paths with '/' made '_'.
inline QStringList LocksFor(const QString& device) {
    QString mangled = device;
    mangled.replace('/', '_');
    const QString target = QFileInfo(device).canonicalFilePath().replace('/', '_');
    QStringList found;
    for (const QString& folder : {QStringLiteral("/var/lock"), QStringLiteral("/run/lock")}) {
        for (const QString& name : QDir(folder).entryList(QDir::Files | QDir::System)) {
            if (name.endsWith(mangled) || (!target.isEmpty() && name.endsWith(target))) {
                found << folder + "/" + name;
            }
        }
    }
    return found;
}
