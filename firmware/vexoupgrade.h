// Writes a firmware image file into the pedal set: 16-byte pieces, one closing report,
// then four seconds while the device writes its flash.
#pragma once

#include <QString>
#include <QThread>

#include <atomic>

class VexoUpgrade : public QThread {
    Q_OBJECT
public:
    // How the last transfer ended; meaningful once finished() has been delivered.
    enum class Outcome {
        NotRun,
        NoDevice,   // nothing sent
        Unreadable, // the file could not be opened or read; nothing sent
        TooLarge,   // the file grew past the limit after it was checked; nothing sent
        SendFailed, // a report failed; the device was not told to write
        Written,    // every report arrived and the device has had its time to write
    };

    explicit VexoUpgrade(QObject* parent = nullptr);

    Outcome outcome() const { return lastOutcome.load(); }

    // Set by the owner before start(); not changed while the thread runs.
    QString firmwarePath;
    // Each of the four steps the device takes to write the image into its flash.
    int writingStepMs = 1000;

signals:
    // 0..95: share sent in 96ths; negative: hidapi's failed result; 97..100: writing.
    void progress(int);

protected:
    void run() override;

private:
    std::atomic<Outcome> lastOutcome{Outcome::NotRun};
};
