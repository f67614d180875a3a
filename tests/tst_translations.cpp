// Translations: every text the program shows has a finished German translation, a German
// locale shows them, Qt's own buttons included, and English needs none: it is the source.
#include "tests/windowfixture.h"

#include "app/translations.h"

#include <QDialogButtonBox>
#include <QFile>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QTemporaryDir>

class TestTranslations : public QObject {
    Q_OBJECT

private slots:
    void init() { freshPedalSet(); }

    // lupdate brings a copy of the German catalogue up to the sources, marking texts with no
    // translation unfinished. A translation keeps its source's placeholders and end blank.
    void everyTextHasAFinishedTranslation() {
#ifdef Q_OS_WIN
        QSKIP("lupdate runs on the build host: the Linux suite checks the texts");
#endif
        QTemporaryDir dir;
        const QString copy = dir.filePath("vexo_de.ts");
        QVERIFY(QFile::copy(VEXO_SOURCE_DIR "/translations/vexo_de.ts", copy));
        QProcess lupdate;
        lupdate.setWorkingDirectory(VEXO_SOURCE_DIR);
        lupdate.start(VEXO_LUPDATE, {"-silent", "-locations", "none", "app", "device", "inputs",
                                     "profiles", "firmware", "-ts", copy});
        QVERIFY(lupdate.waitForFinished(60000));
        QCOMPARE(lupdate.exitCode(), 0);
        QFile catalogue(copy);
        QVERIFY(catalogue.open(QIODevice::ReadOnly));
        static const QRegularExpression placeholder("%\\d"),
            message("<source>(.*?)</source>.*?<translation( type=\"(\\w+)\")?>(.*?)</translation>",
                    QRegularExpression::DotMatchesEverythingOption);
        int finished = 0;
        for (const auto& m : message.globalMatch(QString::fromUtf8(catalogue.readAll()))) {
            const QString source = m.captured(1), type = m.captured(3), text = m.captured(4);
            QVERIFY2(type != "unfinished", qPrintable(source));
            finished += type.isEmpty(); // not a text the sources no longer have
            QVERIFY2(source.count(placeholder) == text.count(placeholder), qPrintable(source));
            QVERIFY2(source.endsWith(' ') == text.endsWith(' '), qPrintable(source));
        }
        QVERIFY(finished > 30);
    }

    // German pages; English ones need no translation.
    void pageTexts_data() {
        QTest::addColumn<QLocale>("locale");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("text");
        auto row = [](QLocale::Language language, const char* name, const char* text) {
            QTest::addRow("%s %s", qPrintable(QLocale::languageToCode(language)), name)
                << QLocale(language) << QString(name) << QString::fromUtf8(text);
        };
        row(QLocale::German, "pbSavePro0", "SPEICHERN ");
        row(QLocale::German, "lbVersion", "Firmware-Version:\tMar  4 2023,09:15");
        row(QLocale::English, "pbSavePro0", "SAVE ");
        row(QLocale::English, "lbVersion", "Firmware Version:\tMar  4 2023,09:15");
    }

    void pageTexts() {
        QFETCH(QLocale, locale);
        QFETCH(QString, name);
        QCOMPARE(Translations::install(locale), locale.language() == QLocale::German);
        auto w = openWindow();
        QTEST(widget(*w, qPrintable(name))->property("text").toString(), "text");
    }

    // Texts the program sets as it runs, and Qt's standard buttons.
    void germanAtRunTime() {
        QVERIFY(Translations::install(QLocale(QLocale::German)));
        auto w = openWindow();
        MessageBoxAnswerer answerer;
        QTest::mouseClick(widget<QPushButton>(*w, "pbSave1"), Qt::LeftButton);
        QTest::mouseClick(widget<QPushButton>(*w, "pbSave2"), Qt::LeftButton);
        QCOMPARE(answerer.seen, QStringList{"Hinweis|Bitte speichern Sie zuerst die Kalibrierung "
                                            "des anderen Kanals."});
        PedalSim::unplug();
        QTRY_COMPARE(headText(*w), QStringLiteral("WARTE AUF GERÄT..."));
        QDialogButtonBox buttons(QDialogButtonBox::Cancel | QDialogButtonBox::Yes);
        QCOMPARE(buttons.button(QDialogButtonBox::Cancel)->text(), "Abbrechen");
        QCOMPARE(buttons.button(QDialogButtonBox::Yes)->text(), "&Ja");
    }
};

QTEST_MAIN(TestTranslations)
#include "tst_translations.moc"
