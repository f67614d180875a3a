// Start-up: from process start to the window shown, and to the INPUTS page once the pedal
// set is connected; resident memory then. The parent starts the program's start-up in a
// fresh child process several times per device delay and prints the medians.
// Usage: bench_startup RUNS LABEL
#include "app/mainwindow.h"
#include "app/translations.h"
#include "bench/benchutil.h"
#include "sim/pedalsim.h"

#include <QApplication>
#include <QLabel>
#include <QLocale>
#include <QProcess>
#include <QStackedWidget>
#include <QTimer>

#include <cstdio>

using namespace Bench;

namespace {

long long nowNs() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(Clock::now().time_since_epoch())
        .count();
}

double msSinceNs(long long startNs) {
    return double(nowNs() - startNs) / 1e6;
}

// Notes the first paint of the window.
class FirstPaint : public QObject {
public:
    explicit FirstPaint(long long startNs)
        : startNs(startNs) {}
    double shownMs = -1;
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint && shownMs < 0)
            shownMs = msSinceNs(startNs);
        return false;
    }

private:
    long long startNs;
};

// The program's own start-up, as main() does it, on the virtual pedal set.
int child(long long startNs, int delayUs, int argc, char* argv[]) {
    PedalSim::setLogging(false, false);
    PedalSim::setReportDelay(std::chrono::microseconds(delayUs));
    QApplication app(argc, argv);
    Translations::install(QLocale());
    MainWindow window;
    window.setWindowFlags(Qt::FramelessWindowHint);
    FirstPaint firstPaint(startNs);
    window.installEventFilter(&firstPaint);
    window.show();

    auto* pages = window.findChild<QStackedWidget*>(QStringLiteral("stackedWidget"));
    auto* head = window.findChild<QLabel*>(QStringLiteral("lbHead"));
    double connectedMs = -1;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (connectedMs < 0 && firstPaint.shownMs >= 0 && pages->currentIndex() == 0 &&
            head->text() == QLatin1String("VEXO PX7")) {
            connectedMs = msSinceNs(startNs);
            QTimer::singleShot(200, &app, &QApplication::quit);
        }
    });
    poll.start(1);
    QTimer::singleShot(10000, &app, &QApplication::quit);
    app.exec();
    std::printf("%.2f %.2f %lld\n", firstPaint.shownMs, connectedMs, residentKb());
    return 0;
}

} // namespace

int main(int argc, char* argv[]) {
    if (argc > 3 && QByteArray(argv[1]) == "--child")
        return child(QByteArray(argv[2]).toLongLong(), QByteArray(argv[3]).toInt(), argc, argv);

    const int runs = argc > 1 ? QByteArray(argv[1]).toInt() : 5;
    const QString platform = argc > 2 ? QString::fromLocal8Bit(argv[2])
                                      : qEnvironmentVariable("QT_QPA_PLATFORM", "default");
    for (int delayUs : {0, 1000}) {
        std::vector<double> shown, connected, rss;
        for (int run = 0; run < runs; ++run) {
            QProcess p;
            p.setProcessChannelMode(QProcess::ForwardedErrorChannel);
            const long long startNs = nowNs();
            p.start(QString::fromLocal8Bit(argv[0]),
                    {"--child", QString::number(startNs), QString::number(delayUs)});
            if (!p.waitForFinished(20000))
                qFatal("start-up child did not finish");
            const QList<QByteArray> f = p.readAllStandardOutput().trimmed().split(' ');
            shown.push_back(f.value(0).toDouble());
            connected.push_back(f.value(1).toDouble());
            rss.push_back(f.value(2).toDouble() / 1024.0);
        }
        const QString bench =
            QStringLiteral("start-up %1, %2 ms/feature report").arg(platform).arg(delayUs / 1000);
        row(bench, QStringLiteral("window shown, median of %1 (ms)").arg(runs),
            fixed(quantile(shown, 0.5)), "< 250");
        row(bench, "INPUTS page after connection (ms)", fixed(quantile(connected, 0.5)));
        row(bench, "resident memory after start (MB)", fixed(quantile(rss, 0.5)), "< 60");
    }
    return 0;
}
