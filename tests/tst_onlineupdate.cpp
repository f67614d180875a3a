// The online update through the window, against a local HTTPS server.
#include "tests/firmwarefixture.h"
#include "tests/webserver.h"

#include <QLineEdit>
#include <QNetworkReply>
#include <QTemporaryDir>

class TestOnlineUpdate : public QObject {
    Q_OBJECT

    QTemporaryDir base;
    WebServer server;

    // Clicks CHECK UPDATE with version.json answered so; the boxes seen until the page rests.
    QStringList check(MainWindow& w, MessageBoxAnswerer& answerer, const QByteArray& versionFile) {
        server.routes[VERSION_PATH] = versionFile;
        answerer.seen.clear();
        button(w, "pbAutoUpgrade")->click();
        const bool rest = QTest::qWaitFor([&] { return pageAtRest(w); }, 10000);
        return rest ? answerer.seen : QStringList{"the page did not come to rest"};
    }

private slots:
    void initTestCase() {
        SKIP_UNDER_WINE();
        QVERIFY(server.start("trusted"));
    }

    void onlineUpdate() {
        const QString temporaryCopy = useTemporaryFolder(base.path());
        server.trust();
        const QString offer = QStringLiteral("Update|A new firmware is available, update now?");
        const QByteArray image = imageBytes(1000), big = imageBytes(MAX_IMAGE + 1, 3);
        const QString md5 = Firmware::md5Hex(image).toUpper();
        server.routes[IMAGE_PATH] = answer(image);
        WindowOptions options = testOptions();
        options.updateBaseUrl = server.base();
        auto w = openDevicePage(options);
        auto* path = widget<QLineEdit>(*w, "lePath");
        MessageBoxAnswerer answerer(QMessageBox::Yes);
        QStringList page; // as the last box came up
        answerer.inspect = [&] {
            page = {widget<QLabel>(*w, "lbUpgrade")->text(),
                    widget<QLabel>(*w, "lbCurVersion")->text(),
                    widget<QLabel>(*w, "lbCurMd5")->text(), button(*w, "pbAutoUpgrade")->text()};
        };
        const QStringList updated = check(*w, answerer, answer(versionJson(md5)));
        QCOMPARE(updated, (QStringList{offer, success()})); // and no question of its own
        QCOMPARE(path->text(), temporaryCopy);
        QCOMPARE(server.requests, (QStringList{VERSION_PATH, IMAGE_PATH}));
        QVERIFY(sentHex() == transferReports(image));
        QTRY_VERIFY(w->session().firmware().isIdle() && !QFileInfo::exists(temporaryCopy));

        answerer.answer = QMessageBox::No;
        QCOMPARE(check(*w, answerer, answer(versionJson(md5))), QStringList{offer});
        QCOMPARE(check(*w, answerer, answer(versionJson(md5, "Mar 4 2023,09:15"))),
                 QStringList{"Update|Your firmware is already up to date."});
        QCOMPARE(check(*w, answerer, answer(versionJson(md5, "March 4 2023,09:16"))),
                 QStringList{"Update|No valid device."});
        QCOMPARE(check(*w, answerer, answer("[1,2]")), QStringList());
        const QStringList unreachable =
            check(*w, answerer, answer("", "500 Internal Server Error"));
        QCOMPARE(unreachable.size(), 1);
        QVERIFY2(unreachable[0].startsWith("Update|Can not reach the update server.\nError "
                                           "transferring https://127.0.0.1:") &&
                     unreachable[0].endsWith("server replied: Internal Server Error"),
                 qPrintable(unreachable[0]));
        answerer.answer = QMessageBox::Yes;
        QCOMPARE(check(*w, answerer, answer(versionJson(Firmware::md5Hex("other")))),
                 (QStringList{offer, "Error|Download file fail."}));
        QCOMPARE(page, (QStringList{"Downloading ...", "Version: Mar 4 2023,09:16",
                                    "MD5: " + Firmware::md5Hex("other"), "Checking ..."}));
        QVERIFY(QDir().mkpath(temporaryCopy + "/x"));
        QCOMPARE(check(*w, answerer, answer(versionJson(md5))),
                 (QStringList{offer, "Error|Can not write to temp."}));
        QVERIFY(QDir(temporaryCopy).removeRecursively());
        server.routes[IMAGE_PATH] = answer(big);
        QCOMPARE(check(*w, answerer, answer(versionJson(Firmware::md5Hex(big)))),
                 (QStringList{offer, "Error|Not a valid firmware."}));
        w->onNetProgress(50, 200);
        QCOMPARE(widget<QProgressBar>(*w, "pgUpgrade")->value(), 25);

        // The device goes away before the downloaded image can be sent; the copy stays.
        server.routes[IMAGE_PATH] = answer(image);
        PedalSim::unplug();
        QTRY_COMPARE(headText(*w), QStringLiteral("WAITING FOR DEVICE..."));
        QCOMPARE(check(*w, answerer, answer(versionJson(md5))),
                 (QStringList{offer, "Error|No device is connected. The firmware was not sent."}));
        QVERIFY(QFile::remove(temporaryCopy));
        QCOMPARE(sentHex(), transferReports(image));
        QTRY_VERIFY(w->findChildren<QNetworkReply*>().isEmpty()); // every reply released
        checkDeviceUse();
    }
};

QTEST_MAIN(TestOnlineUpdate)
#include "tst_onlineupdate.moc"
