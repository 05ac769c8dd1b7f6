// What every benchmark measures with: wall and processor time, medians, and the process's memory as
// Linux reports it in /proc (0 elsewhere), so that each benchmark prints its peak beside its time.
#pragma once

#include <QElapsedTimer>
#include <QFile>
#include <QStringList>

#include <algorithm>
#include <ctime>
#include <functional>
#include <vector>

namespace bench {

inline double median(std::vector<double> values) {
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    const size_t middle = values.size() / 2;
    return values.size() % 2 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

// Milliseconds that work takes.
inline double timed(const std::function<void()>& work) {
    QElapsedTimer timer;
    timer.start();
    work();
    return double(timer.nsecsElapsed()) / 1e6;
}

inline double cpuMilliseconds() {
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return double(now.tv_sec) * 1e3 + double(now.tv_nsec) / 1e6;
}

// The machine's load over the last minute: times taken on a busy machine are read with it.
inline double loadAverage() {
    QFile load(QStringLiteral("/proc/loadavg"));
    return load.open(QIODevice::ReadOnly) ? load.readAll().split(' ').first().toDouble() : 0;
}

// A field of a file of /proc/self: "rchar:" of "io" (bytes read so far), "VmRSS:" of "status" (kB now).
inline qint64 procField(const char* file, const char* field) {
    QFile figures(QStringLiteral("/proc/self/") + QLatin1String(file));
    if (!figures.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray& line : figures.readAll().split('\n'))
        if (line.startsWith(field))
            return line.mid(qstrlen(field)).trimmed().split(' ').first().toLongLong();
    return 0;
}

// A field of /proc/self/status in kB: "VmRSS:" now, "VmHWM:" at its highest since the last reset.
inline qint64 statusKb(const char* field) {
    return procField("status", field);
}

// The value of --megabytes N among the program's arguments, or the default.
inline qint64 megabytesArgument(const QStringList& args, qint64 byDefault) {
    const qsizetype at = args.indexOf(QStringLiteral("--megabytes"));
    return at >= 0 && at + 1 < args.size() ? std::max<qint64>(1, args.at(at + 1).toLongLong()) : byDefault;
}

inline double statusMegabytes(const char* field) {
    return double(statusKb(field)) / 1024.0;
}

// Starts a new peak (VmHWM) from the resident size now.
inline void resetPeakMemory() {
    QFile refs(QStringLiteral("/proc/self/clear_refs"));
    if (refs.open(QIODevice::WriteOnly))
        refs.write("5");
}

// The peak resident size of work above the size before it, in MB.
inline double peakAbove(const std::function<void()>& work) {
    resetPeakMemory();
    const double before = statusMegabytes("VmRSS:");
    work();
    return statusMegabytes("VmHWM:") - before;
}

} // namespace bench
