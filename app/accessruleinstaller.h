// Installs the udev rule that lets the user at the computer open the pedal set: pkexec
// asks for an administrator's password and runs the installation. Tests and the virtual
// pedal set's build put their own in its place.
#pragma once

#include <QObject>
#include <QString>

class QProcess;

class AccessRuleInstaller : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;
    ~AccessRuleInstaller() override;

    // Whether installing is possible here: Linux, with pkexec found.
    virtual bool isAvailable() const;
    // Starts the installation unless one runs; finished() follows.
    virtual void start();

signals:
    // reason is empty when installed.
    void finished(bool installed, const QString& reason);

private:
    void processEnded();

    QProcess* process = nullptr;
};
