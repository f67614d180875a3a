// The device link: report layouts byte for byte, the operations against the virtual
// pedal set, the behaviour without a device, and the input reader thread.
#include "device/devicehandle.h"
#include "device/devicelink.h"
#include "device/protocol.h"
#include "device/vexoevent.h"
#include "sim/pedalsim.h"

#include <QTest>

#include <atomic>
#include <thread>

using namespace Protocol;

namespace {

QByteArray bytes(const FeatureReport& report) {
    return QByteArray(reinterpret_cast<const char*>(report.data()), int(report.size()));
}

// "02 0B 09" followed by zeros up to 20 bytes.
QByteArray report(const char* hexPrefix) {
    QByteArray b = QByteArray::fromHex(hexPrefix);
    b.append(QByteArray(REPORT_SIZE - b.size(), '\0'));
    return b;
}

QStringList sentHex() {
    QStringList out;
    for (const QByteArray& b : PedalSim::sentReports())
        out << PedalSim::hex(b);
    return out;
}

std::atomic<int> threadDoneLines{0};
QtMessageHandler previousHandler = nullptr;

void countingHandler(QtMsgType type, const QMessageLogContext& context, const QString& message) {
    if (message == QLatin1String("joystick event thread done."))
        ++threadDoneLines; // counted, not printed: the race test ends thousands of readers
    else
        previousHandler(type, context, message);
}

// Collects the reader's signals on this thread, queued, as the window receives them (a
// QSignalSpy would record them on the reader's own thread).
struct ReaderSignals : QObject {
    explicit ReaderSignals(VexoEvent& reader) {
        connect(&reader, &VexoEvent::eventTrigger, this,
                [this](const QByteArray& sample) { samples << sample; });
        connect(&reader, &VexoEvent::deviceDisconnect, this, [this] { ++disconnects; });
    }
    QList<QByteArray> samples;
    int disconnects = 0;
};

} // namespace

class TestDevice : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { previousHandler = qInstallMessageHandler(countingHandler); }

    void init() {
        DeviceHandle::close();
        PedalSim::reset();
        threadDoneLines = 0;
    }

    void queryLayouts() {
        QCOMPARE(bytes(queryReport(ITEM_FIRMWARE_VERSION, 0)), report("020B0900"));
        QCOMPARE(bytes(queryReport(ITEM_BLOCK, DEADZONE_BLOCK)), report("020B0501"));
        QCOMPARE(bytes(queryReport(ITEM_BLOCK, CALIBRATION_BLOCK)), report("020B0500"));
        QCOMPARE(bytes(queryReport(deviceSettingRead, VEXIE_PEDAL_MODE)), report("020B0C07"));
        QCOMPARE(bytes(queryReport(deviceSettingRead, VEXIE_PROFILE_SELECT)), report("020B0C0F"));
        QCOMPARE(bytes(queryReport(ITEM_PROFILE_NAME, 5)), report("020B0305"));
        QCOMPARE(bytes(queryReport(ITEM_PROFILE_CURVE, 15)), report("020B040F"));
    }

    void settingLayouts() {
        QCOMPARE(bytes(settingWriteReport(VEXIE_PEDAL_MODE, 1, true)), report("020C0701000000EF"));
        QCOMPARE(bytes(settingWriteReport(VEXIE_PEDAL_MODE, 0, true)), report("020C0700000000EF"));
        QCOMPARE(bytes(settingWriteReport(VEXIE_CLEAR_FLASH, 0, false)), report("020C10"));

        // Slots 2 (clutch), 0 (brake), 7 (throttle): committed and previewed.
        QCOMPARE(
            bytes(settingWriteReport(VEXIE_PROFILE_SELECT, packSelection(2, 0, 7, true), true)),
            report("020C0F020007EFEF"));
        QCOMPARE(
            bytes(settingWriteReport(VEXIE_PROFILE_SELECT, packSelection(2, 0, 7, false), false)),
            report("020C0F02000700"));

        FeatureReport reply = emptyReport();
        writeU32(reply, 3, 0xEF070002u);
        QCOMPARE(settingValue(reply), 0xEF070002u);
        QVERIFY(selectionIsStored(settingValue(reply)));
        QVERIFY(!selectionIsStored(0x00070002u));
        QCOMPARE(int(selectionSlot(0xEF070002u, 0)), 2);
        QCOMPARE(int(selectionSlot(0xEF070002u, 1)), 0);
        QCOMPARE(int(selectionSlot(0xEF070002u, 2)), 7);
    }

    void blockLayouts() {
        const BlockValues values{0x0000, 0xFFFF, 0x0CCD, 0xF332, 0x35C2, 0xCA3D};
        QCOMPARE(bytes(deadzoneBlockReport(values)), report("02050101EF0000FFFFCD0C32F3C2353DCA"));
        // Sliders at 0 % everywhere: no deadzone at all.
        QCOMPARE(bytes(deadzoneBlockReport({0, 65535, 0, 65535, 0, 65535})),
                 report("02050101EF0000FFFF0000FFFF0000FFFF"));

        // A calibration block reply edited in place: only the named values change.
        FeatureReport reply{};
        const QByteArray head = report("0205000100");
        std::copy(head.begin(), head.end(), reply.begin());
        setBlockValue(reply, 4, 3100);
        setBlockValue(reply, 5, 61000);
        QCOMPARE(blockValue(reply, 4), quint16(3100));
        QCOMPARE(blockValue(reply, 5), quint16(61000));
        QCOMPARE(PedalSim::hex(bytes(reply).mid(13, 4)), QStringLiteral("1C 0C 48 EE"));
        QCOMPARE(bytes(reply).left(5), QByteArray::fromHex("0205000100"));
    }

    void profileLayouts() {
        // Slot 3 named ABC for the brake, points 0, 25, 50, 75, 100.
        FeatureReport buffer{};
        fillProfileNameReport(buffer, 3, "ABC");
        QCOMPARE(bytes(buffer).left(7), QByteArray::fromHex("02030341424300"));
        fillProfileCurveReport(buffer, QByteArray::fromHex("03020019324B64"));
        QCOMPARE(bytes(buffer).left(10), QByteArray::fromHex("02040302EF0019324B64"));

        // A 16-byte name fills bytes 3..18 and its terminator byte 19.
        FeatureReport full{};
        full.fill(0xAA);
        fillProfileNameReport(full, 15, "ABCDEFGHIJKLMNOP");
        QCOMPARE(bytes(full),
                 QByteArray::fromHex("02030F") + "ABCDEFGHIJKLMNOP" + QByteArray(1, '\0'));

        // Names are UTF-8, never longer than 16 bytes, never cut inside a character.
        QCOMPARE(encodeProfileName(QStringLiteral("RACE")), QByteArray("RACE"));
        QCOMPARE(encodeProfileName(QStringLiteral("ABCDEFGHIJKLMNOPQ")),
                 QByteArray("ABCDEFGHIJKLMNOP"));
        const QString umlauts = QStringLiteral("ÄÖÜÄÖÜÄÖÜ"); // 18 bytes in UTF-8
        QCOMPARE(encodeProfileName(umlauts).size(), 16);
        QCOMPARE(QString::fromUtf8(encodeProfileName(umlauts)), umlauts.left(8));
        QCOMPARE(encodeProfileName(QStringLiteral("ABCDEFGHIJKLMNO\u00C4")).size(), 15);
        QVERIFY(profileNameFits(QStringLiteral("ABCDEFGHIJKLMNOP")));
        QVERIFY(!profileNameFits(QStringLiteral("ABCDEFGHIJKLMNO\u00C4")));
    }

    void replyDecoding() {
        FeatureReport name = emptyReport();
        QVERIFY(isFreeSlot(name));
        name[3] = 0xFF;
        QVERIFY(isFreeSlot(name));
        std::fill(name.begin() + 3, name.end(), quint8('N'));
        // No terminator: the name ends with the report, 17 bytes at most.
        QCOMPARE(rawProfileName(name), QByteArray(17, 'N'));
        QVERIFY(!isFreeSlot(name));
        const QByteArray utf8 = QStringLiteral("Fahrer Ü").toUtf8();
        std::fill(name.begin() + 3, name.end(), quint8(0));
        std::copy(utf8.begin(), utf8.end(), name.begin() + 3);
        QCOMPARE(decodeProfileName(name), QStringLiteral("Fahrer Ü"));

        FeatureReport curve = emptyReport();
        const QByteArray record = QByteArray::fromHex("05020019324B64");
        std::copy(record.begin(), record.end(), curve.begin() + 2);
        curve[9] = 0x77; // not part of the record
        QCOMPARE(profileRecord(curve), record);

        FeatureReport version = emptyReport();
        auto setVersion = [&](const QByteArray& text) {
            std::fill(version.begin() + 2, version.end(), quint8(0));
            std::copy(text.begin(), text.end(), version.begin() + 2);
            return decodeVersionText(version);
        };
        QCOMPARE(setVersion("V1.2:"), QStringLiteral("V1.2"));
        QCOMPARE(setVersion("V1.2"), QStringLiteral("V1.2"));
        QCOMPARE(setVersion("V1.2::"), QStringLiteral("V1.2:"));
        QCOMPARE(setVersion("\tMar  4 2023,09:15"), QStringLiteral("\tMar  4 2023,09:15"));
        QCOMPARE(setVersion(""), QString());
    }

    void deadzoneConversions() {
        const struct {
            int percent;
            quint16 low, high;
        } cases[] = {{0, 0, 65535},      {5, 3277, 62258},   {10, 6554, 58982}, {20, 13107, 52428},
                     {21, 13762, 51773}, {50, 32768, 32768}, {100, 65535, 0}};
        for (const auto& c : cases) {
            QCOMPARE(percentToDeadzoneLow(c.percent), c.low);
            QCOMPARE(percentToDeadzoneHigh(c.percent), c.high);
            QCOMPARE(deadzoneLowToPercent(c.low), c.percent);
            QCOMPARE(deadzoneHighToPercent(c.high), c.percent);
        }
        for (int p = 0; p <= 100; ++p) {
            QCOMPARE(deadzoneLowToPercent(percentToDeadzoneLow(p)), p);
            QCOMPARE(deadzoneHighToPercent(percentToDeadzoneHigh(p)), p);
        }
        // Out of range never wraps.
        QCOMPARE(percentToDeadzoneLow(130), quint16(65535));
        QCOMPARE(percentToDeadzoneHigh(-5), quint16(65535));
    }

    void inputAndFirmwareLayouts() {
        const QByteArray input = QByteArray::fromHex("021027204E3075");
        const QByteArray sample = inputSample(reinterpret_cast<const quint8*>(input.constData()));
        QCOMPARE(sample, QByteArray::fromHex("1027204E3075"));
        const AxisValues values = decodeInputSample(sample);
        QCOMPARE(values[0], quint16(10000));
        QCOMPARE(values[1], quint16(20000));
        QCOMPARE(values[2], quint16(30000));

        FeatureReport chunk = emptyReport();
        fillFirmwareChunkHeader(chunk, 0, 16);
        QCOMPARE(bytes(chunk).left(4), QByteArray::fromHex("02800010"));
        fillFirmwareChunkHeader(chunk, 0x10, 1);
        QCOMPARE(bytes(chunk).left(4), QByteArray::fromHex("02800101"));
        fillFirmwareChunkHeader(chunk, 0x1230, 16);
        QCOMPARE(bytes(chunk).left(4), QByteArray::fromHex("02812310"));
        QCOMPARE(firmwareChunkOffset(chunk), 0x1230);
        fillFirmwareChunkHeader(chunk, 0x37FF0, 16);
        QCOMPARE(bytes(chunk).left(4), QByteArray::fromHex("02B7FF10"));
        QCOMPARE(firmwareChunkOffset(chunk), 0x37FF0);

        // A 100-byte image: 0, 15, 30, 46, 61, 76, 92.
        QList<int> progress;
        for (int offset = 0; offset < 100; offset += FIRMWARE_PIECE)
            progress << firmwareProgress(offset, 100);
        QCOMPARE(progress, (QList<int>{0, 15, 30, 46, 61, 76, 92}));
        QCOMPARE(firmwareProgress(0x37FF0, int(MAX_FIRMWARE_SIZE)), 95);
    }

    void linkAgainstDevice() {
        QVERIFY(DeviceHandle::open());
        PedalSim::setVersionText("V2.1:");
        QCOMPARE(DeviceLink::readVersion(), QStringLiteral("V2.1"));
        QCOMPARE(DeviceLink::readSetting(VEXIE_PEDAL_MODE), 1u);

        DeviceLink::writeSetting(VEXIE_PEDAL_MODE, 0, true);
        QCOMPARE(PedalSim::keptSetting(VEXIE_PEDAL_MODE), 0u);
        DeviceLink::writeSetting(VEXIE_PROFILE_SELECT, packSelection(2, 0, 7, false), false);
        QCOMPARE(PedalSim::keptSelection(), 0u); // a preview is not kept
        DeviceLink::writeSetting(VEXIE_PROFILE_SELECT, packSelection(2, 0, 7, true), true);
        QCOMPARE(DeviceLink::readSetting(VEXIE_PROFILE_SELECT), 0xEF070002u);

        FeatureReport buffer{};
        DeviceLink::writeProfileReports(3, QStringLiteral("ABC"),
                                        QByteArray::fromHex("03020019324B64"), buffer);
        QCOMPARE(PedalSim::profileName(3), QStringLiteral("ABC"));
        QCOMPARE(int(PedalSim::profile(3).axisId), 2);
        QCOMPARE(PedalSim::profile(3).points, (std::array<quint8, 5>{0, 25, 50, 75, 100}));

        // A calibration-style edit: a block reply sent back with bytes 0..3 unchanged.
        FeatureReport calibration{};
        DeviceLink::query(ITEM_BLOCK, CALIBRATION_BLOCK, calibration);
        const BlockValues before = blockValues(calibration);
        setBlockValue(calibration, 4, 3100);
        setBlockValue(calibration, 5, 61000);
        calibration[BLOCK_MARK_OFFSET] = STORE_MARK;
        DeviceLink::writeBlock(calibration);
        const PedalSim::Block kept = PedalSim::keptBlock(CALIBRATION_BLOCK);
        QCOMPARE(kept[4], quint16(3100));
        QCOMPARE(kept[5], quint16(61000));
        for (int k = 0; k < 4; ++k)
            QCOMPARE(kept[k], before[k]);

        DeviceLink::writeBlock(deadzoneBlockReport({0, 65535, 3277, 62258, 13762, 51773}));
        QCOMPARE(PedalSim::keptBlock(DEADZONE_BLOCK),
                 (PedalSim::Block{0, 65535, 3277, 62258, 13762, 51773}));
        FeatureReport deadzones{};
        DeviceLink::query(ITEM_BLOCK, DEADZONE_BLOCK, deadzones);
        QCOMPARE(blockValues(deadzones), (BlockValues{0, 65535, 3277, 62258, 13762, 51773}));

        QCOMPARE(sentHex(), (QStringList{
                                PedalSim::hex(report("020B0900")),
                                PedalSim::hex(report("020B0C07")),
                                PedalSim::hex(report("020C0700000000EF")),
                                PedalSim::hex(report("020C0F02000700")),
                                PedalSim::hex(report("020C0F020007EFEF")),
                                PedalSim::hex(report("020B0C0F")),
                                PedalSim::hex(report("02030341424300")),
                                PedalSim::hex(report("02040302EF0019324B64")),
                                PedalSim::hex(report("020B0500")),
                                PedalSim::hex(bytes(calibration)),
                                PedalSim::hex(report("02050101EF0000FFFFCD0C32F3C2353DCA")),
                                PedalSim::hex(report("020B0501")),
                            }));
        QCOMPARE(PedalSim::protocolErrors(), QStringList());
        QCOMPARE(PedalSim::closedHandleUses(), 0);
    }

    void longVersionAndShortReplies() {
        QVERIFY(DeviceHandle::open());
        // 18 bytes fill the reply to its end without a terminator.
        PedalSim::setVersionText("\tMar 14 2023,09:15");
        QCOMPARE(DeviceLink::readVersion(), QStringLiteral("\tMar 14 2023,09:15"));

        // A reply cut short keeps what the caller's buffer held beyond it, and is no reply.
        PedalSim::setReplyLength(4);
        FeatureReport reply{};
        reply.fill(0x55);
        QVERIFY(!DeviceLink::query(ITEM_BLOCK, DEADZONE_BLOCK, reply));
        QCOMPARE(bytes(reply).left(5), QByteArray::fromHex("0205010155"));
        bool ok = true;
        QCOMPARE(DeviceLink::readSetting(VEXIE_PEDAL_MODE, &ok), 0u);
        QVERIFY(!ok);

        // A failed read leaves the buffer as it was.
        PedalSim::setReplyLength(0);
        PedalSim::failGet(1);
        QCOMPARE(DeviceLink::readSetting(VEXIE_PEDAL_MODE, &ok), 0u);
        QVERIFY(!ok);
        QCOMPARE(DeviceLink::readSetting(VEXIE_PEDAL_MODE, &ok), 1u);
        QVERIFY(ok);

        // A query that did not go out is not followed by a read: the device would answer
        // with the reply it prepared for the query before (here the pedal mode's 1).
        PedalSim::clearLog();
        PedalSim::failSend(1);
        reply = FeatureReport{};
        QVERIFY(!DeviceLink::query(ITEM_PROFILE_NAME, 3, reply));
        QCOMPARE(bytes(reply), QByteArray(REPORT_SIZE, '\0'));
        QCOMPARE(PedalSim::log().size(), size_t(1));
        QCOMPARE(DeviceLink::readVersion(&ok), QStringLiteral("\tMar 14 2023,09:15"));
        QVERIFY(ok);
        PedalSim::failGet(1);
        DeviceLink::readVersion(&ok);
        QVERIFY(!ok);

        // Block writes tell whether the report went out.
        PedalSim::failSend(1);
        QVERIFY(DeviceLink::writeBlock(deadzoneBlockReport({0, 65535, 0, 65535, 0, 65535})) < 0);
        QCOMPARE(DeviceLink::writeBlock(deadzoneBlockReport({0, 65535, 0, 65535, 0, 65535})),
                 REPORT_SIZE);
    }

    void noDevice() {
        QVERIFY(!DeviceHandle::isOpen());
        QCOMPARE(DeviceLink::readSetting(VEXIE_PEDAL_MODE), 0u);
        QCOMPARE(DeviceLink::readVersion(), QString());
        FeatureReport reply{};
        reply.fill(0x33);
        QVERIFY(!DeviceLink::query(ITEM_BLOCK, DEADZONE_BLOCK, reply));
        QVERIFY(std::all_of(reply.begin(), reply.end(), [](quint8 b) { return b == 0x33; }));
        DeviceLink::writeSetting(VEXIE_PEDAL_MODE, 1, true);
        DeviceLink::writeBlock(deadzoneBlockReport({}));
        FeatureReport buffer{};
        DeviceLink::writeProfileReports(1, QStringLiteral("X"), QByteArray(7, '\1'), buffer);
        QCOMPARE(bytes(buffer), QByteArray(REPORT_SIZE, '\0')); // not even built
        QCOMPARE(DeviceLink::sendFirmwareReport(emptyReport()), -1);
        QVERIFY(PedalSim::log().empty());
        QCOMPARE(PedalSim::featureCalls(), 0);

        // Unplugged after opening: every call fails, nothing reports it.
        QVERIFY(DeviceHandle::open());
        PedalSim::unplug();
        QVERIFY(!DeviceHandle::open());
        QVERIFY(!DeviceHandle::isOpen());
    }

    void readerSamples() {
        QVERIFY(DeviceHandle::open());
        PedalSim::pushRawInput(QByteArray::fromHex("021027204E3075"));
        PedalSim::pushInput(1, 65535, 32768);
        PedalSim::pushInput(0xAAAA, 0xBBBB, 0xCCCC, 3); // short: bytes 3..6 keep the last report's
        VexoEvent reader;
        ReaderSignals received(reader);
        reader.start();
        QTRY_COMPARE(received.samples.count(), 3);
        QCOMPARE(received.samples[0], QByteArray::fromHex("1027204E3075"));
        QCOMPARE(received.samples[1], QByteArray::fromHex("0100FFFF0080"));
        QCOMPARE(received.samples[2], QByteArray::fromHex("AAAAFFFF0080"));

        reader.requestInterruption();
        QVERIFY(reader.wait(2000));
        QCoreApplication::processEvents();
        QCOMPARE(received.disconnects, 0);
        QVERIFY(!DeviceHandle::isOpen());
        QCOMPARE(PedalSim::openHandles(), 0);
        QCOMPARE(int(threadDoneLines), 1);
    }

    void readerUnplugged() {
        QVERIFY(DeviceHandle::open());
        VexoEvent reader;
        ReaderSignals received(reader);
        std::atomic<bool> handleGoneFirst{false};
        std::atomic<int> linesAtSignal{-1};
        connect(
            &reader, &VexoEvent::deviceDisconnect, &reader,
            [&] {
                handleGoneFirst = !DeviceHandle::isOpen();
                linesAtSignal = threadDoneLines.load();
            },
            Qt::DirectConnection);
        reader.start();
        QTest::qWait(30);
        PedalSim::unplug();
        QVERIFY(reader.wait(2000));
        QTRY_COMPARE(received.disconnects, 1);
        QVERIFY(handleGoneFirst);          // closed before the signal
        QCOMPARE(linesAtSignal.load(), 0); // and the debug line after it
        QCOMPARE(int(threadDoneLines), 1);
        QCOMPARE(PedalSim::openHandles(), 0);
    }

    void readerReadError() {
        QVERIFY(DeviceHandle::open());
        PedalSim::failInputRead(3);
        VexoEvent reader;
        ReaderSignals received(reader);
        reader.start();
        QVERIFY(reader.wait(2000));
        QTRY_COMPARE(received.disconnects, 1);
        QVERIFY(!DeviceHandle::isOpen());
        QCOMPARE(int(threadDoneLines), 1);
    }

    void readerHandleGone() {
        QVERIFY(DeviceHandle::open());
        VexoEvent reader;
        ReaderSignals received(reader);
        reader.start();
        QTest::qWait(20);
        QVERIFY(DeviceHandle::close());
        QVERIFY(reader.wait(2000));
        QTRY_COMPARE(received.disconnects, 1);
        QCOMPARE(int(threadDoneLines), 0);
        QCOMPARE(PedalSim::closedHandleUses(), 0);
    }

    void readerIdlePolling() {
        QVERIFY(DeviceHandle::open());
        PedalSim::setLogging(false, false);
        VexoEvent reader;
        reader.start();
        QTest::qWait(300);
        const long long before = PedalSim::featureCalls();
        reader.requestInterruption();
        QVERIFY(reader.wait(2000));
        // Empty polls sleep; the reader never sends a feature report.
        QCOMPARE(PedalSim::featureCalls(), before);
        QCOMPARE(before, 0);
    }

    // The reader, queries from this thread and a closer on a third thread race; no call
    // may ever reach a handle that another thread has closed.
    void handleRace() {
        PedalSim::setLogging(false, false);
        QVERIFY(DeviceHandle::open());
        std::atomic<bool> stop{false};
        std::atomic<int> reopenings{0};
        std::thread closer([&] {
            while (!stop) {
                DeviceHandle::close();
                std::this_thread::yield();
                if (DeviceHandle::open())
                    ++reopenings;
            }
        });
        std::thread feeder([&] {
            while (!stop) {
                PedalSim::pushInput(1, 2, 3);
                std::this_thread::sleep_for(std::chrono::microseconds(200));
            }
        });
        int rounds = 0;
        for (; rounds < 3000; ++rounds) {
            VexoEvent reader;
            reader.start();
            FeatureReport reply{};
            DeviceLink::query(ITEM_BLOCK, DEADZONE_BLOCK, reply);
            DeviceLink::writeSetting(VEXIE_PROFILE_SELECT, 0, false);
            DeviceLink::sendFirmwareReport(emptyReport());
            reader.requestInterruption();
            reader.wait();
        }
        stop = true;
        closer.join();
        feeder.join();
        QCOMPARE(rounds, 3000);
        QVERIFY(reopenings > 0);
        QCOMPARE(PedalSim::closedHandleUses(), 0);
    }
};

QTEST_GUILESS_MAIN(TestDevice)
#include "tst_device.moc"
