// Small measuring helpers shared by the benchmarks. Linux only: they read /proc.
#pragma once

#include <QDir>
#include <QFile>
#include <QString>
#include <QStringList>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <vector>

#include <unistd.h>

namespace Bench {

using Clock = std::chrono::steady_clock;

inline double msSince(Clock::time_point start, Clock::time_point end = Clock::now()) {
    return std::chrono::duration<double, std::milli>(end - start).count();
}

inline QByteArray readProc(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

inline QStringList threadIds() {
    return QDir(QStringLiteral("/proc/self/task")).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
}

// The id of the first thread of this process with that name ("" when there is none).
inline QString threadNamed(const QString& name) {
    for (const QString& tid : threadIds())
        if (QString::fromLatin1(readProc("/proc/self/task/" + tid + "/comm")).trimmed() == name)
            return tid;
    return QString();
}

inline QString currentThreadId() {
    return QString::number(long(gettid()));
}

// Nanoseconds a thread of this process has run on a CPU.
inline long long threadCpuNs(const QString& tid) {
    const QByteArray line = readProc("/proc/self/task/" + tid + "/schedstat");
    return line.isEmpty() ? 0 : line.split(' ').value(0).toLongLong();
}

inline long long processCpuNs() {
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return ts.tv_sec * 1000000000LL + ts.tv_nsec;
}

// Voluntary and involuntary context switches of one thread: how often it was woken.
inline long long threadSwitches(const QString& tid) {
    long long n = 0;
    for (const QByteArray& line : readProc("/proc/self/task/" + tid + "/status").split('\n'))
        if (line.contains("ctxt_switches:"))
            n += line.mid(line.indexOf(':') + 1).trimmed().toLongLong();
    return n;
}

inline long long processSwitches() {
    long long n = 0;
    for (const QString& tid : threadIds())
        n += threadSwitches(tid);
    return n;
}

inline long long residentKb() {
    for (const QByteArray& line : readProc(QStringLiteral("/proc/self/status")).split('\n'))
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toLongLong();
    return 0;
}

// The q-quantile (0..1) of the values, nearest rank.
inline double quantile(std::vector<double> values, double q) {
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    const size_t rank = size_t(q * double(values.size() - 1) + 0.5);
    return values[std::min(rank, values.size() - 1)];
}

// One row of the table scripts/bench.sh prints: benchmark, figure, value, goal.
inline void row(const QString& bench, const QString& figure, const QString& value,
                const QString& goal = QString()) {
    std::printf("ROW\t%s\t%s\t%s\t%s\n", qPrintable(bench), qPrintable(figure), qPrintable(value),
                qPrintable(goal));
    std::fflush(stdout);
}

inline QString fixed(double v, int decimals = 1) {
    return QString::number(v, 'f', decimals);
}

} // namespace Bench
