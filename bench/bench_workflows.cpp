// Device workflows with 1 ms per feature report, as on a real bus: feature reports and
// wall time of each. Connection and calibration run through the window. The profile
// save and import repeat the device traffic of those slots through DeviceLink (the
// same queries and writes in the same order) until the window carries them.
// Usage: bench_workflows LABEL
#include "bench/benchutil.h"
#include "device/devicelink.h"
#include "tests/windowfixture.h"

#include <QEventLoop>
#include <QPushButton>

using namespace Bench;
using namespace Protocol;

namespace {

constexpr quint8 PROFILE_SELECT = 0x0F;
constexpr int SLOTS = 16;

void runEventLoop(int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, Qt::PreciseTimer, &loop, &QEventLoop::quit);
    loop.exec();
}

// Runs f, then prints the feature reports (sent and read) and the wall time it took.
template <typename F> void measure(const QString& bench, const QString& what, F&& f) {
    const long long calls0 = PedalSim::featureCalls();
    const Clock::time_point start = Clock::now();
    f();
    const double ms = msSince(start);
    row(bench, what + " (feature reports / ms)",
        QStringLiteral("%1 / %2").arg(PedalSim::featureCalls() - calls0).arg(fixed(ms, 0)));
}

// The profile listing: a name per slot, a curve per listed slot, the stored selection,
// and the unmarked selection sent when each non-empty list gets its first entry.
void listProfiles() {
    bool listed[3] = {};
    for (int slot = 0; slot < SLOTS; ++slot) {
        FeatureReport reply{};
        DeviceLink::query(ITEM_PROFILE_NAME, quint8(slot), reply);
        if (isFreeSlot(reply))
            continue;
        DeviceLink::query(ITEM_PROFILE_CURVE, quint8(slot), reply);
        const int axisId = quint8(profileRecord(reply).at(1));
        if (axisId < 1 || axisId > 3)
            break;
        if (!listed[axisId - 1])
            DeviceLink::writeSetting(PROFILE_SELECT, 0, false);
        listed[axisId - 1] = true;
    }
    DeviceLink::readSetting(PROFILE_SELECT);
}

void writeProfile(quint8 slot, const QString& name, const QByteArray& record) {
    FeatureReport buffer{};
    DeviceLink::query(ITEM_PROFILE_NAME, slot, buffer);
    const QString stored = decodeProfileName(buffer);
    DeviceLink::query(ITEM_PROFILE_CURVE, slot, buffer);
    if (stored != name || profileRecord(buffer) != record)
        DeviceLink::writeProfileReports(slot, name, record, buffer);
}

void commitSelection(quint32 selection) {
    if (DeviceLink::readSetting(PROFILE_SELECT) != selection)
        DeviceLink::writeSetting(PROFILE_SELECT, selection, true);
}

QByteArray record(quint8 slot, quint8 axisId) {
    return QByteArray::fromRawData("\0\0\x11\x21\x32\x43\x53", 7)
        .replace(0, 2, QByteArray(1, char(slot)) + QByteArray(1, char(axisId)));
}

} // namespace

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    const QString bench =
        QStringLiteral("workflows 1 ms/report %1")
            .arg(argc > 1 ? QString::fromLocal8Bit(argv[1]) : QGuiApplication::platformName());
    PedalSim::reset();
    PedalSim::setLogging(true, false);
    PedalSim::setReportDelay(std::chrono::milliseconds(1));
    auto w = openWindow();
    runEventLoop(200);

    measure(bench, "connect (to the INPUTS page)", [&] {
        widget<QStackedWidget>(*w, "stackedWidget")->setCurrentIndex(4);
        QMetaObject::invokeMethod(w.get(), "onInit", Qt::DirectConnection);
        while (pageIndex(*w) != 0)
            QCoreApplication::processEvents();
    });

    const quint32 selection = packSelection(0, 1, 2, true);
    measure(bench, "save a profile (device traffic)", [&] {
        int slot = 0;
        for (; slot < SLOTS; ++slot) {
            FeatureReport reply{};
            DeviceLink::query(ITEM_PROFILE_NAME, quint8(slot), reply);
            if (isFreeSlot(reply))
                break;
        }
        writeProfile(quint8(slot), QStringLiteral("RACE"), record(quint8(slot), 2));
        commitSelection(selection);
        listProfiles();
    });

    measure(bench, "import 16 profiles (device traffic)", [&] {
        for (int slot = 0; slot < SLOTS; ++slot)
            writeProfile(quint8(slot), QString(), QByteArray(7, '\0'));
        for (int slot = 0; slot < SLOTS; ++slot)
            writeProfile(quint8(slot), QStringLiteral("PROFILE %1").arg(slot),
                         record(quint8(slot), quint8(1 + slot % 3)));
        listProfiles();
        commitSelection(selection);
    });

    auto* calibrate = widget<QPushButton>(*w, "pbSave2");
    measure(bench, "calibration start", [&] { calibrate->click(); });
    runEventLoop(600);
    PedalSim::pushInput(100, 100, 2000);
    PedalSim::pushInput(100, 100, 60000);
    runEventLoop(100);
    measure(bench, "calibration save", [&] { calibrate->click(); });

    const bool clean = PedalSim::protocolErrors().isEmpty();
    if (!clean)
        qWarning() << PedalSim::protocolErrors();
    w.reset();
    return clean ? 0 : 1;
}
