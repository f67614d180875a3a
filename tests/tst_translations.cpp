// Translations: every text the program shows has a finished German translation, and a
// German locale shows German on the pages, in message boxes and on Qt's own buttons.
#include "tests/windowfixture.h"

#include "app/translations.h"

#include <QDialogButtonBox>
#include <QFile>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QXmlStreamReader>

#include <map>

namespace {

// context + '|' + source -> translation (empty when unfinished)
using Catalogue = std::map<QString, QString>;

Catalogue readTs(const QString& path) {
    Catalogue entries;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        qFatal("cannot read %s", qPrintable(path));
    QXmlStreamReader xml(&file);
    QString context, source, translation;
    bool finished = true;
    while (!xml.atEnd()) {
        xml.readNext();
        if (!xml.isStartElement())
            continue;
        if (xml.name() == QLatin1String("name")) {
            context = xml.readElementText();
        } else if (xml.name() == QLatin1String("source")) {
            source = xml.readElementText();
        } else if (xml.name() == QLatin1String("translation")) {
            finished = xml.attributes().value(QLatin1String("type")).isEmpty();
            translation = xml.readElementText();
            entries[context + QLatin1Char('|') + source] = finished ? translation : QString();
        }
    }
    if (xml.hasError())
        qFatal("%s: %s", qPrintable(path), qPrintable(xml.errorString()));
    return entries;
}

int placeholders(const QString& text) {
    return int(text.count(QRegularExpression(QStringLiteral("%\\d"))));
}

} // namespace

class TestTranslations : public QObject {
    Q_OBJECT

private slots:
    void init() { freshPedalSet(); }

    void cleanup() {
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
        Translations::install(QLocale());
    }

    // Extracts the texts from the sources as they are now and finds each one translated.
    void everyTextHasAFinishedTranslation() {
        QTemporaryDir dir;
        const QString extracted = dir.filePath(QStringLiteral("extracted.ts"));
        QProcess lupdate;
        lupdate.setWorkingDirectory(QStringLiteral(VEXO_SOURCE_DIR));
        lupdate.start(QStringLiteral(VEXO_LUPDATE),
                      {QStringLiteral("-silent"), QStringLiteral("-locations"),
                       QStringLiteral("none"), QStringLiteral("app"), QStringLiteral("device"),
                       QStringLiteral("inputs"), QStringLiteral("profiles"),
                       QStringLiteral("firmware"), QStringLiteral("-ts"), extracted});
        QVERIFY(lupdate.waitForFinished(60000));
        QCOMPARE(lupdate.exitCode(), 0);

        const Catalogue sources = readTs(extracted);
        const Catalogue german = readTs(QStringLiteral(VEXO_SOURCE_DIR "/translations/vexo_de.ts"));
        QVERIFY(sources.size() > 30);
        QStringList untranslated;
        for (const auto& [key, unused] : sources) {
            const auto found = german.find(key);
            if (found == german.end() || found->second.isEmpty())
                untranslated << key;
        }
        QVERIFY2(untranslated.isEmpty(), qPrintable(untranslated.join(QStringLiteral("\n"))));

        // A translation keeps the source's placeholders and its trailing blank.
        for (const auto& [key, text] : german) {
            const QString source = key.section(QLatin1Char('|'), 1);
            QVERIFY2(placeholders(source) == placeholders(text), qPrintable(key));
            QVERIFY2(source.endsWith(QLatin1Char(' ')) == text.endsWith(QLatin1Char(' ')),
                     qPrintable(key));
        }
    }

    void germanWindow() {
        QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
        QVERIFY(Translations::install(QLocale()));

        auto w = openWindow();
        const struct {
            const char* name;
            const char* text;
        } texts[] = {
            {"pbS1", "EINGÄNGE"},
            {"pbS2", "KALIBRIERUNG"},
            {"pbS3", "PROFILE"},
            {"pbS4", "GERÄT"},
            {"pbS5", "INFO"},
            {"cbClutch", "KUPPLUNG AKTIV"},
            {"pbSave1", "KALIBRIEREN"},
            {"label_5", "BREMSE"},
            {"pbSavePro0", "SPEICHERN "},
            {"pbDelPro2", "ENTFERNEN"},
            {"pbImport", "IMPORTIEREN"},
            {"pbExport", "EXPORTIEREN"},
            {"pbUpgrade", "MANUELLES UPDATE"},
            {"pbClearFlash", "FLASH LÖSCHEN"},
        };
        for (const auto& t : texts) {
            const QWidget* found = widget(*w, t.name);
            const QString shown = found->property("text").toString();
            QVERIFY2(shown == QString::fromUtf8(t.text),
                     qPrintable(QString::fromUtf8(t.name) + ": " + shown));
        }
        QVERIFY(widget<QLabel>(*w, "lbVersion")
                    ->text()
                    .startsWith(QStringLiteral("Firmware-Version:")));
        QCOMPARE(w->windowTitle(), QStringLiteral("Vexo Setting"));

        // A calibration under way, and the refusal to start a second one, in German.
        auto* brake = widget<QPushButton>(*w, "pbSave1");
        QTest::mouseClick(brake, Qt::LeftButton);
        QCOMPARE(brake->text(), QStringLiteral("SPEICHERN"));
        {
            MessageBoxAnswerer answerer;
            QTest::mouseClick(widget<QPushButton>(*w, "pbSave2"), Qt::LeftButton);
            QCOMPARE(
                answerer.seen,
                QStringList{QStringLiteral(
                    "Hinweis|Bitte speichern Sie zuerst die Kalibrierung des anderen Kanals.")});
        }
        {
            // Nothing measured yet: the calibration goes on.
            MessageBoxAnswerer answerer;
            QTest::mouseClick(brake, Qt::LeftButton);
            QCOMPARE(answerer.seen,
                     QStringList{QStringLiteral(
                         "Hinweis|Es wurde keine Pedalbewegung gemessen. Bitte bewegen Sie das "
                         "Pedal über seinen ganzen Weg und drücken Sie dann SPEICHERN.")});
            QCOMPARE(brake->text(), QStringLiteral("SPEICHERN"));
        }
        QTest::qWait(700);
        PedalSim::pushInput(0, 3000, 0);
        PedalSim::pushInput(0, 60000, 0);
        QTRY_COMPARE(widget<QLabel>(*w, "lbAdc1")->text(), QStringLiteral("60000"));
        QTest::mouseClick(brake, Qt::LeftButton);
        QCOMPARE(brake->text(), QStringLiteral("KALIBRIEREN"));

        PedalSim::unplug();
        QTRY_COMPARE(headText(*w), QStringLiteral("WARTE AUF GERÄT..."));

        // Qt's own standard buttons follow the locale too.
        QDialogButtonBox buttons(QDialogButtonBox::Cancel | QDialogButtonBox::Yes);
        QCOMPARE(buttons.button(QDialogButtonBox::Cancel)->text(), QStringLiteral("Abbrechen"));
        QCOMPARE(buttons.button(QDialogButtonBox::Yes)->text(), QStringLiteral("&Ja"));
    }

    void englishIsTheSource() {
        QVERIFY(!Translations::install(QLocale(QLocale::English, QLocale::UnitedKingdom)));
        auto w = openWindow();
        QCOMPARE(widget<QPushButton>(*w, "pbS1")->text(), QStringLiteral("INPUTS"));
        QCOMPARE(widget<QPushButton>(*w, "pbSavePro0")->text(), QStringLiteral("SAVE "));
    }
};

QTEST_MAIN(TestTranslations)
#include "tst_translations.moc"
