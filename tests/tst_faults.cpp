// Every workflow, interrupted at every one of its feature reports: once by the pedal set
// being pulled out at that report, once by that report alone failing. The program must
// keep turning, never use a closed handle, never tell the device to write half an image,
// come back when the device does, and never lose a setting the user did not ask to change.
#include "tests/firmwarefixture.h"

#include "app/widgets/vexoslider.h"
#include "device/protocol.h"

#include <QCheckBox>
#include <QComboBox>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QLoggingCategory>
#include <QPixmapCache>
#include <QTemporaryDir>

#include <algorithm>
#include <functional>
#include <map>

using PedalSim::Block;
using PedalSim::ProfileSlot;

namespace {

constexpr quint8 PEDAL_MODE = 0x07;
constexpr quint8 PROFILE_SELECT = 0x0F;
constexpr int SLOTS = 16;
constexpr int FIRMWARE_REPORTS = 8; // a 100-byte image: 7 data reports and the closing one

// What the pedal set keeps in its flash.
struct Kept {
    quint32 mode = 0;
    Block calibration{}, deadzones{};
    std::array<ProfileSlot, SLOTS> profiles{};
    quint32 selection = 0;
};

bool sameSlot(const ProfileSlot& a, const ProfileSlot& b) {
    return a.name == b.name && a.axisId == b.axisId && a.points == b.points;
}

bool freeSlot(const ProfileSlot& s) {
    return s.name.isEmpty() || s.name.at(0) == '\0' || quint8(s.name.at(0)) == 0xFF;
}

Kept keptState() {
    Kept k;
    k.mode = PedalSim::keptSetting(PEDAL_MODE);
    k.calibration = PedalSim::keptBlock(0);
    k.deadzones = PedalSim::keptBlock(1);
    for (int slot = 0; slot < SLOTS; ++slot)
        k.profiles[slot] = PedalSim::profile(slot);
    k.selection = PedalSim::keptSelection();
    return k;
}

// The device a user has had for a while: clutch on, own calibration and deadzones, own
// profiles between the factory ones and a free slot, a kept choice.
void userDevice() {
    PedalSim::reset();
    PedalSim::setSetting(PEDAL_MODE, 1);
    PedalSim::setBlock(0, {1500, 62000, 1100, 63000, 1700, 61000});
    PedalSim::setBlock(1, {1311, 64224, 2622, 62913, 3933, 61602});
    PedalSim::setProfile(3, "RACE", 2, {10, 30, 50, 70, 90});
    PedalSim::setProfile(4, "WET", 3, {5, 15, 40, 60, 95});
    PedalSim::setProfile(5, "DRIFT", 1, {20, 25, 50, 75, 80});
    PedalSim::setProfile(7, "\xC3\x84pfel", 2, {1, 2, 3, 4, 5});
    PedalSim::setSetting(PROFILE_SELECT, Protocol::packSelection(5, 3, 4, true));
}

// What a workflow may change in the flash; everything else must stay byte for byte.
struct Allowed {
    bool mode = false;
    bool calibration = false;
    bool deadzones = false;
    // Slots it may write; a free slot holds nothing to lose and may always be written.
    QList<int> writable;
    bool anySlot = false;
    // Bits of the kept selection it may change.
    quint32 selectionMask = 0;
    // Clear flash: every item either as before or as the factory left it.
    bool factory = false;
};

constexpr quint32 BRAKE_SLOT_BITS = 0x0000FF00;

const Kept& factoryState() {
    static const Kept factory = [] {
        PedalSim::reset();
        return keptState();
    }();
    return factory;
}

// Empty when nothing was lost.
QStringList lostSettings(const Kept& before, const Kept& after, const Kept& reference,
                         const Allowed& allowed) {
    QStringList lost;
    const Kept& factory = factoryState();
    // Each item: unchanged, or as the fault-free run left it where the workflow may change it.
    auto check = [&](const char* what, bool may, auto b, auto a, auto r, auto f) {
        if (a == b || (may && a == r) || (allowed.factory && a == f))
            return;
        lost << QString::fromLatin1(what);
    };
    check("pedal mode", allowed.mode, before.mode, after.mode, reference.mode, factory.mode);
    check("calibration", allowed.calibration, before.calibration, after.calibration,
          reference.calibration, factory.calibration);
    check("deadzones", allowed.deadzones, before.deadzones, after.deadzones, reference.deadzones,
          factory.deadzones);
    for (int slot = 0; slot < SLOTS; ++slot) {
        const ProfileSlot& b = before.profiles[slot];
        const ProfileSlot& a = after.profiles[slot];
        if (sameSlot(a, b) || allowed.anySlot || freeSlot(b))
            continue;
        if (allowed.writable.contains(slot) &&
            (sameSlot(a, reference.profiles[slot]) || freeSlot(a)))
            continue;
        if (allowed.factory && sameSlot(a, factory.profiles[slot]))
            continue;
        lost << QStringLiteral("slot %1: %2 -> %3")
                    .arg(slot)
                    .arg(PedalSim::hex(b.name), PedalSim::hex(a.name));
    }
    const quint32 mask = allowed.selectionMask;
    // After a clear the lists show the factory curves, and closing keeps that choice.
    const bool selectionKept = (after.selection & ~mask) == (before.selection & ~mask) ||
                               (allowed.factory && (after.selection == factory.selection ||
                                                    after.selection == reference.selection));
    if (!selectionKept)
        lost << QStringLiteral("selection %1 -> %2")
                    .arg(before.selection, 8, 16, QLatin1Char('0'))
                    .arg(after.selection, 8, 16, QLatin1Char('0'));
    return lost;
}

// Like QTest::qWaitFor, in steps of a millisecond: the sweep waits thousands of times.
template <typename F> bool waitFor(F condition, int timeoutMs) {
    QElapsedTimer clock;
    for (clock.start(); !condition(); QThread::msleep(1)) {
        if (clock.elapsed() > timeoutMs)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    return true;
}

bool waiting(MainWindow& w) {
    return headText(w) == QStringLiteral("WAITING FOR DEVICE...");
}

// The window shows what the device holds: clutch mode, deadzones, the profile lists.
QStringList shownDiffers(MainWindow& w) {
    QStringList wrong;
    const bool clutch = PedalSim::setting(PEDAL_MODE) == 1;
    if (widget<QCheckBox>(w, "cbClutch")->isChecked() != clutch)
        wrong << "clutch check box";
    const Block dz = PedalSim::block(1);
    const char* tags[] = {"lbDzL0", "lbDzR0", "lbDzL1", "lbDzR1", "lbDzL2", "lbDzR2"};
    for (int k = clutch ? 0 : 2; k < 6; ++k) {
        // The axis being calibrated runs without deadzones until it is saved.
        auto* calibrate = widget<QPushButton>(w, qPrintable(QStringLiteral("pbSave%1").arg(k / 2)));
        if (calibrate->text() == QStringLiteral("SAVE"))
            continue;
        const int shown = widget<VexoSlider>(w, tags[k])->value();
        const int held =
            k % 2 ? Protocol::deadzoneHighToPercent(dz[k]) : Protocol::deadzoneLowToPercent(dz[k]);
        if (shown != held)
            wrong << QStringLiteral("%1 shows %2, device %3").arg(tags[k]).arg(shown).arg(held);
    }
    for (int axis = 0; axis < 3; ++axis) {
        auto* list = widget<QComboBox>(w, qPrintable(QStringLiteral("cbPro%1").arg(axis)));
        QStringList shown, held;
        for (int i = 0; i < list->count(); ++i)
            shown << list->itemText(i);
        for (int slot = 0; slot < SLOTS; ++slot) {
            const ProfileSlot s = PedalSim::profile(slot);
            if (!freeSlot(s) && s.axisId == axis + 1)
                held << PedalSim::profileName(slot);
        }
        if (shown != held)
            wrong << QStringLiteral("list %1 shows %2, device %3")
                         .arg(axis)
                         .arg(shown.join(','), held.join(','));
    }
    return wrong;
}

struct Workflow {
    const char* name;
    Allowed allowed;
    // Prepares the connected window; nothing it does counts.
    std::function<void(MainWindow&)> prepare;
    // The user's steps; every feature report from here on counts.
    std::function<void(MainWindow&)> run;
    bool connects = false; // the workflow is the connection itself
    bool uploads = false;
};

enum class Fault { None, Unplug, Fail };

struct RunResult {
    long long calls = 0;
    std::vector<PedalSim::Kind> kinds; // of each feature call, in order
    Kept after;
};

} // namespace

class TestFaults : public QObject {
    Q_OBJECT

    QTemporaryDir scratch;
    QString firmwareFile, iniFile;
    std::vector<Workflow> workflows;
    std::map<QString, RunResult> references;

    // Opens the window on the user's device; for the connection itself the fault is
    // armed before the window exists.
    std::unique_ptr<MainWindow> openFor(const Workflow& flow, const std::function<void()>& arm) {
        auto w = std::make_unique<MainWindow>(testOptions());
        w->setWindowFlags(Qt::FramelessWindowHint);
        if (!flow.connects) {
            w->show();
            if (!waitFor([&] { return connected(*w) && pageIndex(*w) == 0; }, 5000))
                qFatal("window did not connect");
            flow.prepare(*w);
            QCoreApplication::processEvents();
            arm();
            return w;
        }
        arm();
        w->show();
        return w;
    }

    // Waits for what the workflow started: the connection attempt, the upload.
    void settle(MainWindow& w, const Workflow& flow) {
        if (flow.connects && !waitFor([&] { return connected(w) || waiting(w); }, 5000))
            qFatal("the window neither connected nor waits");
        if (flow.uploads && !waitFor([&] { return w.session().firmware().isIdle(); }, 10000))
            qFatal("the upload does not end");
        QCoreApplication::processEvents();
    }

    // The fault-free run of a workflow, made once: the reports it sends and what it changes.
    const RunResult& reference(const Workflow& flow) {
        auto known = references.find(flow.name);
        if (known != references.end())
            return known->second;
        RunResult& result = references[flow.name];
        userDevice();
        PedalSim::setLogging(true, false);
        MessageBoxAnswerer boxes(QMessageBox::Yes);
        long long start = 0;
        auto w = openFor(flow, [&] {
            PedalSim::clearLog();
            start = PedalSim::featureCalls();
        });
        flow.run(*w);
        settle(*w, flow);
        result.calls = PedalSim::featureCalls() - start;
        for (const PedalSim::LogEntry& e : PedalSim::log())
            if (e.kind != PedalSim::Kind::InputRead)
                result.kinds.push_back(e.kind);
        w->onClose();
        w.reset();
        result.after = keptState();
        if ((flow.uploads && PedalSim::firmwareEnds() != 1) || PedalSim::closedHandleUses() != 0 ||
            !PedalSim::protocolErrors().isEmpty())
            qFatal("the fault-free run of %s went wrong", flow.name);
        return result;
    }

    // One run with the fault at feature report k; the failures found, empty when sound.
    QStringList faultyRun(const Workflow& flow, Fault fault, int k, const RunResult& ref) {
        QStringList failures;
        userDevice();
        PedalSim::setLogging(false, false);
        const Kept before = keptState();
        MessageBoxAnswerer boxes(QMessageBox::Yes);
        auto w = openFor(flow, [&] {
            if (fault == Fault::Unplug) {
                PedalSim::unplugAtFeatureReport(k);
                return;
            }
            // The k-th call counted among the calls of its own kind.
            const PedalSim::Kind kind = ref.kinds[k - 1];
            const int nth = int(std::count(ref.kinds.begin(), ref.kinds.begin() + k, kind));
            if (kind == PedalSim::Kind::FeatureSend)
                PedalSim::failSend(nth);
            else
                PedalSim::failGet(nth);
        });
        flow.run(*w);
        settle(*w, flow);

        if (!loopTurns())
            failures << "event loop stopped";
        if (fault == Fault::Unplug) {
            if (!waitFor([&] { return waiting(*w); }, 3000))
                failures << "no WAITING FOR DEVICE... but " + headText(*w);
            PedalSim::plug();
        }
        if (flow.uploads && PedalSim::firmwareEnds() != 0)
            failures << "closing report after a failed report";
        if (PedalSim::closedHandleUses() != 0)
            failures << "closed handle used";
        if (!PedalSim::protocolErrors().isEmpty())
            failures << PedalSim::protocolErrors();

        // After a failed report the device is still there: the window must show what it
        // holds, whether it stayed connected or dropped the link to connect again.
        if (fault == Fault::Unplug || waiting(*w))
            w->onInit();
        if (!waitFor([&] { return connected(*w); }, 3000))
            failures << "not connected: " + headText(*w);
        else if (fault == Fault::Fail)
            failures << shownDiffers(*w);
        // The user closes the program as it is left: the lists' choice becomes the kept one.
        w->onClose();
        w.reset();
        failures << lostSettings(before, keptState(), ref.after, flow.allowed);
        if (PedalSim::closedHandleUses() != 0)
            failures << "closed handle used while closing";
        return failures;
    }

    void sweep(Fault fault) {
        const char* mode = fault == Fault::Unplug ? "unplugged" : "failing report";
        // Every report, or (where a window costs seconds, as under Wine) every stride-th.
        const int stride = std::max(1, qEnvironmentVariableIntValue("VEXO_FAULT_STRIDE"));
        int points = 0, workflowCount = 0;
        QStringList failures;
        QElapsedTimer clock;
        clock.start();
        for (const Workflow& flow : workflows) {
            QElapsedTimer flowClock;
            flowClock.start();
            const RunResult& ref = reference(flow);
            if (QTest::currentTestFailed())
                return;
            QVERIFY2(ref.calls > 0 && ref.calls == long(ref.kinds.size()), flow.name);
            ++workflowCount;
            // The last report (a closing or committing one) is always among them.
            for (int k = 1; k <= ref.calls;
                 k = k == ref.calls ? k + 1 : std::min<int>(k + stride, int(ref.calls))) {
                ++points;
                for (const QString& f : faultyRun(flow, fault, k, ref))
                    failures << QStringLiteral("%1, %2 at report %3: %4")
                                    .arg(flow.name, mode)
                                    .arg(k)
                                    .arg(f);
                if (QTest::currentTestFailed())
                    return;
            }
            qInfo("%s: %lld feature reports, each %s (%lld ms)", flow.name, ref.calls, mode,
                  flowClock.elapsed());
        }
        qInfo("fault sweep (%s): %d workflows, %d fault points in %lld ms", mode, workflowCount,
              points, clock.elapsed());
        for (const QString& f : failures.mid(0, 60))
            qInfo().noquote() << f;
        QVERIFY2(failures.isEmpty(),
                 qPrintable(QStringLiteral("%1 findings").arg(failures.size())));
    }

private slots:
    void initTestCase() {
        // Thousands of windows come and go: their debug lines would bury the findings.
        QLoggingCategory::setFilterRules(QStringLiteral("default.debug=false\nqt.qpa.*=false"));
        // Each run opens a fresh window: its page pictures are decoded once, not per window.
        QPixmapCache::setCacheLimit(128 * 1024);
        useTemporaryFolder(scratch.path());
        firmwareFile = scratch.path() + "/small.bin";
        writeFile(firmwareFile, imageBytes(100, 3));
        iniFile = scratch.path() + "/profiles.ini";
        factoryState();

        const auto allow = [](auto change) {
            Allowed allowed;
            change(allowed);
            return allowed;
        };
        const Allowed none;
        const Allowed mode = allow([](Allowed& a) { a.mode = true; });
        const Allowed deadzones = allow([](Allowed& a) { a.deadzones = true; });
        const Allowed calibration = allow([](Allowed& a) { a.calibration = a.deadzones = true; });
        const Allowed saveBrake = allow([](Allowed& a) { a.selectionMask = BRAKE_SLOT_BITS; });
        const Allowed removeRace = allow([](Allowed& a) {
            a.writable = {3};
            a.selectionMask = BRAKE_SLOT_BITS;
        });
        const Allowed importAll = allow([](Allowed& a) {
            a.anySlot = true;
            a.selectionMask = 0xFFFFFFFF;
        });
        const Allowed factory = allow([](Allowed& a) { a.factory = true; });
        const auto nothing = [](MainWindow&) {
        };
        const auto click = [](const char* name) {
            return [name](MainWindow& w) {
                widget<QAbstractButton>(w, name)->click();
            };
        };
        workflows = {
            {"connecting", none, nothing, nothing, true, false},
            {"deadzone write", deadzones, nothing,
             [](MainWindow& w) {
                 dragTag(widget<VexoSlider>(w, "lbDzL1"), 10);
             }},
            {"clutch toggle", mode, nothing, click("cbClutch")},
            {"calibration start and save", calibration, nothing,
             [](MainWindow& w) {
                 auto* save = widget<QPushButton>(w, "pbSave1");
                 save->click();
                 // The device has settled on the full range (the wait itself, and the
                 // input path, are the calibration tests' business); the brake moves.
                 w.onCalibrateWait();
                 for (quint16 brake : {4000, 60000}) {
                     QByteArray sample(6, '\0');
                     sample[2] = char(brake & 0xFF);
                     sample[3] = char(brake >> 8);
                     w.onJoystickEvent(sample);
                 }
                 save->click();
             }},
            {"profile save", saveBrake,
             [](MainWindow& w) {
                 widget<QComboBox>(w, "cbPro1")->lineEdit()->setText(QStringLiteral("NEW"));
             },
             click("pbSavePro1")},
            {"profile remove", removeRace,
             [](MainWindow& w) {
                 auto* list = widget<QComboBox>(w, "cbPro1");
                 list->setCurrentIndex(list->findText(QStringLiteral("RACE")));
             },
             click("pbDelPro1")},
            // Export sends nothing; the file it writes is the one imported.
            {"profile export and import", importAll,
             [this](MainWindow& w) {
                 // Every run starts from the same device: one export serves them all.
                 if (QFileInfo::exists(iniFile))
                     return;
                 FileDialogAnswerer files(iniFile);
                 widget<QPushButton>(w, "pbExport")->click();
                 if (files.dialogs != 1 || !QFileInfo::exists(iniFile))
                     qFatal("export dialog not answered");
             },
             [this](MainWindow& w) {
                 FileDialogAnswerer files(iniFile);
                 widget<QPushButton>(w, "pbImport")->click();
                 if (files.dialogs != 1)
                     qFatal("import dialog not answered");
             }},
            {"clear flash", factory, nothing, click("pbClearFlash")},
            {"firmware upload", none,
             [this](MainWindow& w) {
                 widget<QPushButton>(w, "pbS4")->click();
                 widget<QLineEdit>(w, "lePath")->setText(firmwareFile);
             },
             click("pbUpgrade"), false, true},
        };
    }

    void init() { freshPedalSet(); }

    // The fault-free runs: each workflow changes what it is for.
    void referenceRuns() {
        for (const Workflow& flow : workflows)
            reference(flow);
        QCOMPARE(references["firmware upload"].calls, FIRMWARE_REPORTS);
        userDevice();
        const Kept before = keptState();
        const QList<std::pair<const char*, QStringList>> changes{
            {"connecting", {}},
            {"firmware upload", {}},
            {"profile export and import", {}},
            {"clutch toggle", {"pedal mode"}},
            {"deadzone write", {"deadzones"}},
            {"calibration start and save", {"calibration", "deadzones"}},
            {"profile save", {"selection ef040305 -> ef040605"}},
        };
        for (const auto& [name, expected] : changes)
            QCOMPARE(lostSettings(before, references[name].after, before, Allowed()), expected);
        QCOMPARE(references["profile save"].after.profiles[6].axisId, quint8(2));
        QVERIFY(freeSlot(references["profile remove"].after.profiles[3]));
        QCOMPARE(references["profile remove"].after.selection,
                 Protocol::packSelection(5, 1, 4, true));
        // Clear flash leaves the factory state; closing keeps the choice of its curves.
        Kept cleared = references["clear flash"].after;
        QCOMPARE(cleared.selection, Protocol::packSelection(0, 1, 2, true));
        cleared.selection = factoryState().selection;
        QCOMPARE(lostSettings(factoryState(), cleared, factoryState(), Allowed()), QStringList());
    }

    // However many causes ask for a connection attempt (the reader, a failed report, the
    // retry), one is pending at a time: never a second chain of retries.
    void oneRetryPending() {
        constexpr int RETRY_MS = 100;
        WindowOptions options = testOptions();
        options.retryIntervalMs = RETRY_MS;
        PedalSim::unplug();
        auto w = openWindow(options);
        const int tried = PedalSim::openAttempts();
        QElapsedTimer clock;
        clock.start();
        for (int i = 0; i < 3; ++i)
            w->onInit();
        QCOMPARE(PedalSim::openAttempts(), tried + 3);
        QTRY_VERIFY(PedalSim::openAttempts() >= tried + 6);
        QTest::qWait(5 * RETRY_MS);
        // One chain of retries: never more attempts than intervals passed, however busy.
        QVERIFY(PedalSim::openAttempts() - tried - 3 <= clock.elapsed() / RETRY_MS + 1);
        PedalSim::plug();
        QTRY_VERIFY(connected(*w));
        const int connectedAfter = PedalSim::openAttempts();
        QTest::qWait(5 * RETRY_MS);
        QCOMPARE(PedalSim::openAttempts(), connectedAfter);
        QCOMPARE(PedalSim::openHandles(), 1);
    }

    void unpluggedAtEveryReport() { sweep(Fault::Unplug); }

    void failingAtEveryReport() { sweep(Fault::Fail); }
};

QTEST_MAIN(TestFaults)
#include "tst_faults.moc"
