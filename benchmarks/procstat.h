#pragma once
#include <QByteArray>
#include <QFile>
#include <QList>
#include <QString>
#include <unistd.h>

// What /proc says of another process the benchmark started.
namespace procstat {

// User and system CPU time used so far, in seconds; 0 when the process is gone.
inline double cpuSeconds(qint64 pid)
{
    QFile f(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!f.open(QIODevice::ReadOnly))
        return 0;
    // The command name may hold spaces; the fields after it are fixed.
    const QByteArray stat = f.readAll();
    const QList<QByteArray> fields = stat.mid(stat.lastIndexOf(')') + 2).split(' ');
    if (fields.size() < 13)
        return 0;
    return double(fields[11].toLongLong() + fields[12].toLongLong()) / double(sysconf(_SC_CLK_TCK));
}

// The resident set's high-water mark (VmHWM), in KiB; 0 when the process is gone.
inline qint64 peakMemoryKiB(qint64 pid)
{
    QFile f(QStringLiteral("/proc/%1/status").arg(pid));
    if (!f.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray &line : f.readAll().split('\n')) {
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').value(0).toLongLong();
    }
    return 0;
}

} // namespace procstat
