// The device link: report layouts byte for byte, the operations against the virtual
// pedal set, what a failed or missing transfer does, and the input reader thread.
#include "device/deviceaccess.h"
#include "device/devicehandle.h"
#include "device/devicelink.h"
#include "device/protocol.h"
#include "device/vexoevent.h"
#include "sim/pedalsim.h"

#include <QLoggingCategory>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QTest>

#include <atomic>
#include <functional>
#include <thread>

using namespace Protocol;

class TestDevice : public QObject {
    Q_OBJECT

    using Ending = std::function<void(VexoEvent&)>;
    enum Op { VERSION_TEXT, SELECTION, KEEP_MODE, PROFILE, BLOCK_WRITE, BLOCK_QUERY };
    enum Fault { NONE, NO_DEVICE, UNPLUGGED, SHORT_REPLY, LOST_QUERY, LOST_CURVE, LOST_REPLY };

    static QByteArray hx(const char* hex) { return QByteArray::fromHex(hex); }
    static QString n(qint64 value) { return QString::number(value); }

    // The report that starts with head; its other bytes hold fill.
    static FeatureReport report(const QByteArray& head, quint8 fill = 0) {
        FeatureReport r;
        r.fill(fill);
        std::copy(head.begin(), head.end(), r.begin());
        return r;
    }

    static QString hex(const FeatureReport& r) {
        return PedalSim::hex(QByteArray(reinterpret_cast<const char*>(r.data()), REPORT_SIZE));
    }

    // A row of what a protocol function made, and what it must make.
    static void row(const QByteArray& name, const QString& made, const QString& expected) {
        QTest::newRow(name.constData()) << made << expected;
    }

    static QString runOp(Op op) {
        bool ok = true;
        QString read;
        FeatureReport buffer = report({}, 0x55), fresh{};
        if (op == VERSION_TEXT)
            read = DeviceLink::readVersion(&ok);
        if (op == SELECTION)
            read = QString::number(DeviceLink::readSetting(VEXIE_PROFILE_SELECT, &ok), 16);
        if (op == KEEP_MODE)
            ok = DeviceLink::sendSetting(VEXIE_PEDAL_MODE, 0, true) == REPORT_SIZE;
        if (op == PROFILE)
            ok = DeviceLink::writeProfileReports(3, "ABC", hx("03020019324B64"), fresh);
        if (op == BLOCK_WRITE)
            ok = DeviceLink::writeBlock(deadzoneBlockReport({0, 1, 2, 3, 4, 5})) == REPORT_SIZE;
        if (op == BLOCK_QUERY) {
            ok = DeviceLink::query(ITEM_BLOCK, DEADZONE_BLOCK, buffer);
            read = hex(buffer);
        }
        return (ok ? "ok " : "failed ") + read;
    }

    // The window's stop request lands as the reader, past its check, waits for the lock to
    // find no handle (too short a pause lets it stop at its check: that passes too).
    static void stopAsTheHandleGoes(VexoEvent& reader) {
        static std::atomic<int> stage;
        connect( // after the next sample, on the reader's thread
            &reader, &VexoEvent::eventTrigger, &reader,
            [] {
                DeviceHandle::close();
                for (stage = 1; stage != 2;)
                    std::this_thread::yield();
            },
            Qt::DirectConnection);
        PedalSim::pushInput(1, 2, 3);
        QTRY_COMPARE(stage.load(), 1);
        std::lock_guard<std::mutex> held(DeviceHandle::lock());
        stage = 2;
        QTest::qSleep(50);
        reader.requestInterruption();
    }

private slots:
    void init() {
        DeviceHandle::close();
        PedalSim::reset();
    }

    // What the protocol's functions make. Reports are built over buffers that held other
    // bytes: fills touch only their own.
    void conversions_data() {
        QTest::addColumn<QString>("made");
        QTest::addColumn<QString>("expected");
        const FeatureReport preview =
            settingWriteReport(VEXIE_PROFILE_SELECT, packSelection(2, 0, 7, false), false);
        row("slots 2, 0, 7 previewed", hex(preview), hex(report(hx("020C0F02000700"))));
        FeatureReport buffer = report({}, 0xAA);
        fillProfileNameReport(buffer, 3, "ABC");
        row("name", hex(buffer), hex(report(hx("02030341424300"), 0xAA)));
        const QByteArray image = hx("000102030405060708090A0B0C0D0E0F10111213");
        fillFirmwareChunk(buffer, image, 0);
        row("piece", hex(buffer), hex(report(hx("02800010000102030405060708090A0B0C0D0E0F"))));
        fillFirmwareChunk(buffer, image, 16);
        row("last piece", hex(buffer), hex(report(hx("02800104101112130405060708090A0B0C0D0E0F"))));
        markFirmwareEnd(buffer);
        row("closing", hex(buffer), hex(report(hx("02100104101112130405060708090A0B0C0D0E0F"))));
        // Replies read back.
        row("kept selection", n(selectionIsStored(0xEF070002)), "1");
        row("marked otherwise", n(selectionIsStored(0x01070002)), "0");
        row("erased slot", n(isFreeSlot(report(hx("020303"), 0xFF))), "1");
        row("UTF-8, 17 bytes", decodeProfileName(report(hx("020303") + "ÄÖÜÄÖÜÄÖ!")), "ÄÖÜÄÖÜÄÖ!");
        row("record", profileRecord(report(hx("020405020019324B6477"))).toHex(), "05020019324b64");
        row("18-byte version, one colon dropped",
            decodeVersionText(report(hx("0209") + "V1.2 2023-03-14 ::")), "V1.2 2023-03-14 :");
        row("progress, 16 of 100 bytes", n(firmwareProgress(16, 100)), "15");
        row("progress, last piece", n(firmwareProgress(0x37FF0, 0x38000)), "95");
        // Names: UTF-8, at most 16 bytes, never cut inside a character.
        const char* names[][2] = {{"ABCDEFGHIJKLMNOP", "ABCDEFGHIJKLMNOP fits"},
                                  {"ABCDEFGHIJKLMNOPQ", "ABCDEFGHIJKLMNOP"},
                                  {"ABCDEFGHIJKLMNOÄ", "ABCDEFGHIJKLMNO"}};
        for (const auto& [name, expected] : names)
            row(name, encodeProfileName(name) + (profileNameFits(name) ? " fits" : ""), expected);
        // A percent's two values and the percents they show: lower ones count from 0, upper
        // ones from the top, rounded; no wrapping.
        const int cases[][4] = {{0, 0, 65535, 0},     {5, 3277, 62258, 5},  {21, 13762, 51773, 21},
                                {100, 65535, 0, 100}, {130, 65535, 0, 100}, {-5, 0, 65535, 0}};
        for (const auto& [p, low, high, shown] : cases)
            row(QByteArray::number(p) + " %",
                QString::asprintf("%d %d, %d %d", percentToDeadzoneLow(p), percentToDeadzoneHigh(p),
                                  deadzoneLowToPercent(low), deadzoneHighToPercent(high)),
                QString::asprintf("%d %d, %d %d", low, high, shown, shown));
    }

    void conversions() {
        QFETCH(QString, made);
        QTEST(made, "expected");
    }

    // What each operation answers and sends (up to trailing zeros). A short or lost reply is no
    // reply; after a report that did not go out, or without a device, nothing goes out.
    void link_data() {
        QTest::addColumn<Op>("op");
        QTest::addColumn<Fault>("fault");
        QTest::addColumn<QString>("outcome");
        QTest::addColumn<QString>("sent");
        auto add = [](const char* name, Op op, Fault fault, QString outcome, const char* sent) {
            QTest::newRow(name) << op << fault << outcome << QString(sent);
        };
        const QString untouched = hex(report({}, 0x55));
        add("version", VERSION_TEXT, NONE, "ok \tMar  4 2023,09:15", "020B09");
        add("selection", SELECTION, NONE, "ok ef070002", "020B0C0F");
        add("keep pedal mode", KEEP_MODE, NONE, "ok ", "020C0700000000EF");
        add("profile", PROFILE, NONE, "ok ", "020303414243 02040302EF0019324B64");
        add("block", BLOCK_WRITE, NONE, "ok ", "02050101EF0000010002000300040005");
        add("query", BLOCK_QUERY, NONE,
            "ok " + hex(report(hx("02050101000000FFFF0000FFFF0000FFFF"))), "020B0501");
        add("no device: query", BLOCK_QUERY, NO_DEVICE, "failed " + untouched, "");
        add("unplugged", SELECTION, UNPLUGGED, "failed 0", "");
        add("short reply", BLOCK_QUERY, SHORT_REPLY, "failed 02 05 01 01" + untouched.mid(11),
            "020B0501");
        add("lost setting reply", SELECTION, LOST_REPLY, "failed 0", "020B0C0F");
        add("lost version reply", VERSION_TEXT, LOST_REPLY, "failed ", "020B09");
        add("query not sent", BLOCK_QUERY, LOST_QUERY, "failed " + untouched, "");
        add("name not sent", PROFILE, LOST_QUERY, "failed ", "");
        add("curve not sent", PROFILE, LOST_CURVE, "failed ", "020303414243");
    }

    // Also: opening again leaves one handle; a device that is gone cannot be opened.
    void link() {
        QFETCH(Op, op);
        QFETCH(Fault, fault);
        PedalSim::setSetting(VEXIE_PROFILE_SELECT, 0xEF070002);
        if (fault != NO_DEVICE)
            QVERIFY(DeviceHandle::open() && DeviceHandle::open());
        if (fault == UNPLUGGED)
            PedalSim::unplug();
        PedalSim::setReplyLength(fault == SHORT_REPLY ? 4 : 0);
        PedalSim::failSend(fault == LOST_QUERY ? 1 : fault == LOST_CURVE ? 2 : 0);
        PedalSim::failGet(fault == LOST_REPLY ? 1 : 0);
        QTEST(runOp(op), "outcome");
        QStringList wire;
        for (const QByteArray& b : PedalSim::sentReports())
            wire << QString(b.toHex().toUpper()).remove(QRegularExpression("(00)+$"));
        QTEST(wire.join(' '), "sent");
        QCOMPARE(DeviceHandle::open(), fault != UNPLUGGED);
        QCOMPARE(PedalSim::openHandles(), int(fault != UNPLUGGED));
    }

    // Absent, refused or opened, attempt after attempt: listed means refused while no open
    // succeeds, and the user is told at the first refusal of each plug-in only.
    void access_data() {
        QTest::addColumn<QString>("attempts"); // u unplugged, r refused, o opens
        QTest::addColumn<QString>("told");
        QTest::newRow("refused from the start") << "rrr"
                                                << "1..";
        QTest::newRow("plugged in again") << "rrurru"
                                          << "1..1..";
        QTest::newRow("opened, then refused") << "orrr"
                                              << ".1..";
        QTest::newRow("never refused") << "uouo"
                                       << "....";
    }
    void access() {
        QFETCH(QString, attempts);
        DeviceAccess::RefusalWatch watch;
        QString told;
        for (QChar c : attempts) {
            PedalSim::unplug();
            if (c != 'u')
                PedalSim::plug();
            PedalSim::refuseAccess(c == 'r');
            const bool opened = DeviceHandle::open();
            QCOMPARE(opened, c == 'o');
            QCOMPARE(DeviceHandle::isListed(), c != 'u');
            using A = DeviceAccess::Attempt;
            told += watch.record(opened     ? A::Opened
                                 : c == 'r' ? A::Refused
                                            : A::Absent)
                        ? '1'
                        : '.';
            QCOMPARE(watch.isRefused(), c == 'r');
            DeviceHandle::close();
        }
        QTEST(told, "told");
    }

    // What stands in the way and the fix, per platform; the rule installed as root.
    void accessHint() {
        using DeviceAccess::Platform;
        const QString onLinux = DeviceAccess::hint(Platform::Linux, false);
        QCOMPARE(onLinux,
                 "The pedal set is plugged in, but this user may not open it: Linux lets only "
                 "root open it until a udev rule gives access.\n\nInstall the rule from the "
                 "source folder with these two commands:\nsudo cp "
                 "packaging/linux/70-vexo-px7.rules /etc/udev/rules.d/\nsudo udevadm control "
                 "--reload-rules && sudo udevadm trigger\n\nThe program connects by itself once "
                 "it may.");
        QCOMPARE(DeviceAccess::hint(Platform::Linux, true),
                 onLinux + "\n\nInstall the rule now? You will be asked for an administrator's "
                           "password.");
        QVERIFY(
            DeviceAccess::hint(Platform::Other, true)
                .startsWith(
                    "The pedal set is plugged in, but it could not be opened. Another program"));
    }

    // Samples go out, and no feature report; then the reader ends: quietly on a requested
    // stop, and on a lost device with the handle closed before it says so.
    void readerEnding_data() {
        QTest::addColumn<Ending>("ending");
        QTest::addColumn<int>("lost");
        QTest::newRow("stop") << Ending([](VexoEvent& r) { r.requestInterruption(); }) << 0;
        QTest::newRow("unplugged") << Ending([](auto&) { PedalSim::unplug(); }) << 1;
        QTest::newRow("bad read") << Ending([](auto&) { PedalSim::failInputRead(1); }) << 1;
        QTest::newRow("closed elsewhere") << Ending([](auto&) { DeviceHandle::close(); }) << 1;
        QTest::newRow("stop as the handle goes") << Ending(stopAsTheHandleGoes) << 0;
    }

    void readerEnding() {
        QFETCH(Ending, ending);
        QVERIFY(DeviceHandle::open());
        PedalSim::pushInput(7, 7, 7, 6); // too short for the three values: dropped
        PedalSim::pushInput(1, 65535, 32768);
        VexoEvent reader;
        QList<QByteArray> samples; // queued to this thread, as the window gets them
        std::atomic<int> lost{0};  // on the reader's thread; told with the handle open, 100
        QObject receiver;          // samples still queued when the test ends die with it
        connect(&reader, &VexoEvent::eventTrigger, &receiver, [&](QByteArray s) { samples << s; });
        connect(
            &reader, &VexoEvent::deviceDisconnect, &reader,
            [&] { lost += DeviceHandle::isOpen() ? 100 : 1; }, Qt::DirectConnection);
        const auto stopped = qScopeGuard([&] { reader.requestInterruption(), reader.wait(); });
        reader.start();
        QTRY_COMPARE(samples, QList{hx("0100FFFF0080")});
        ending(reader);
        QVERIFY(reader.wait(5000));
        QTEST(lost.load(), "lost");
        QCOMPARE(PedalSim::openHandles(), 0);
        QCOMPARE(PedalSim::closedHandleUses(), 0);
        QCOMPARE(PedalSim::featureCalls(), 0);
    }

    // A read waiting for input holds no report up: queries and writes are answered while it
    // waits, and a report that arrives ends its wait at once.
    void readWaitsBeside() {
        QVERIFY(DeviceHandle::open());
        VexoEvent reader;
        reader.readTimeoutMs = 600000; // only a report or the device's end can end the wait
        QList<QByteArray> samples;
        QObject receiver; // samples still queued when the test ends die with it
        connect(&reader, &VexoEvent::eventTrigger, &receiver, [&](QByteArray s) { samples << s; });
        const auto stopped =
            qScopeGuard([&] { reader.requestInterruption(), PedalSim::unplug(), reader.wait(); });
        reader.start();
        QTRY_COMPARE(PedalSim::readersWaiting(), 1);
        bool answered = false;
        QCOMPARE(DeviceLink::readVersion(&answered), QString("\tMar  4 2023,09:15"));
        QVERIFY(answered && DeviceLink::sendSetting(VEXIE_PROFILE_SELECT, 0, false) > 0);
        QCOMPARE(PedalSim::readersWaiting(), 1); // still the same wait
        PedalSim::pushInput(1, 2, 3);
        QTRY_COMPARE(samples, QList{hx("010002000300")});
        QTRY_COMPARE(PedalSim::readersWaiting(), 1);
        QCOMPARE(PedalSim::closedHandleUses(), 0);
    }

    // The reader, queries from this thread and a closer on a third thread race; no call
    // may ever reach a handle that another thread has closed.
    void handleRace() {
        QLoggingCategory::setFilterRules("default.debug=false"); // thousands of readers' last words
        PedalSim::setLogging(false, false);
        std::atomic<bool> stop{false};
        std::thread closer([&] {
            for (; !stop; DeviceHandle::open()) {
                DeviceHandle::close();
                std::this_thread::yield();
            }
        });
        // Feeds input apart from the lock: a reopened handle blocks in its reads.
        std::thread feeder([&] {
            for (; !stop; std::this_thread::sleep_for(std::chrono::microseconds(200)))
                PedalSim::pushInput(1, 2, 3);
        });
        for (int round = 0; round < 3000; ++round) {
            VexoEvent reader;
            reader.start();
            DeviceLink::readSetting(VEXIE_PEDAL_MODE);
            DeviceLink::writeSetting(VEXIE_PROFILE_SELECT, 0, false);
            DeviceLink::sendFirmwareReport(emptyReport());
            reader.requestInterruption();
            reader.wait();
        }
        stop = true;
        closer.join();
        feeder.join();
        QCOMPARE(PedalSim::closedHandleUses(), 0);
    }
};

QTEST_GUILESS_MAIN(TestDevice)
#include "tst_device.moc"
