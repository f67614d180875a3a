// The game watcher's cost: the CPU one scan takes, as a share of one core at one scan every
// two seconds, over a fake proc folder of 500 processes (no game among them, 20 rules, half
// of them by Steam app id) and over this machine's own /proc.
#include "app/gamewatcher.h"
#include "bench/benchutil.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

namespace {
constexpr int PROCESSES = 500;
constexpr int RULES = 20;
constexpr int SCANS = 200;
constexpr double INTERVAL_S = 2.0;

void fakeProcesses(const QString& root) {
    for (int pid = 1; pid <= PROCESSES; ++pid) {
        const QString base = root + QStringLiteral("/%1/").arg(pid);
        QDir().mkpath(base);
        const QByteArray name = "worker" + QByteArray::number(pid);
        const QList<std::pair<const char*, QByteArray>> files = {
            {"comm", name + '\n'},
            {"cmdline", "/usr/bin/" + name + QByteArray("\0--flag\0value\0", 14)},
            {"environ", QByteArray("HOME=/home/u\0PATH=/usr/bin:/bin\0LANG=C.UTF-8\0", 46)}};
        for (const auto& [file, content] : files) {
            QFile f(base + QLatin1String(file));
            if (f.open(QIODevice::WriteOnly))
                f.write(content);
        }
    }
}

QList<GameRule> rules() {
    QList<GameRule> list;
    for (int i = 0; i < RULES; ++i)
        list << GameRule{QStringLiteral("Game %1").arg(i),
                         i % 2 ? QStringLiteral("game%1.exe").arg(i) : QString(),
                         i % 2 ? QString() : QString::number(100000 + i),
                         {QString(), QStringLiteral("RACE"), QString()}};
    return list;
}

void measure(const QString& where, const QString& root) {
    GameWatcher watcher([](const ProfileCommand&) { return CommandResult{}; }, {root, 2000});
    watcher.setRules(rules());
    const double coldStart = (Bench::processCpuNs() / 1e9);
    watcher.scan();
    const double cold = (Bench::processCpuNs() / 1e9) - coldStart;
    const double start = (Bench::processCpuNs() / 1e9);
    for (int i = 0; i < SCANS; ++i)
        watcher.scan();
    const double perScan = ((Bench::processCpuNs() / 1e9) - start) / SCANS;
    Bench::row(QStringLiteral("game watcher"), where + QStringLiteral(": first scan"),
               QStringLiteral("%1 ms").arg(cold * 1000, 0, 'f', 2), QString());
    Bench::row(QStringLiteral("game watcher"), where + QStringLiteral(": one scan"),
               QStringLiteral("%1 ms").arg(perScan * 1000, 0, 'f', 3), QString());
    Bench::row(QStringLiteral("game watcher"), where + QStringLiteral(": CPU at a scan per 2 s"),
               QStringLiteral("%1 %").arg(perScan / INTERVAL_S * 100, 0, 'f', 3),
               QStringLiteral("<= 0.1 %"));
}
} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    QTemporaryDir proc;
    fakeProcesses(proc.path());
    measure(QStringLiteral("%1 fake processes").arg(PROCESSES), proc.path());
    const int here =
        int(QDir(QStringLiteral("/proc")).entryList({QStringLiteral("[0-9]*")}, QDir::Dirs).size());
    measure(QStringLiteral("/proc (%1 processes)").arg(here), QStringLiteral("/proc"));
    return 0;
}
