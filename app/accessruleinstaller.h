// Installs the udev rule that lets the user at the computer open the pedal set, and the
// hardware database entry that lets games see it as a joystick: pkexec asks for an
// administrator's password and runs the installation. Tests and the virtual pedal set's
// build put their own in its place.
#pragma once

#include <QObject>
#include <QString>

class QProcess;

class AccessRuleInstaller : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;
    ~AccessRuleInstaller() override;

    // ApplyMark: the joystick mark is installed but not yet applied to the pedal set.
    enum Fix { Rule = 0x1, JoystickMark = 0x2, ApplyMark = 0x4 };
    Q_DECLARE_FLAGS(Fixes, Fix)

    // Whether installing is possible here: Linux, with pkexec found.
    virtual bool isAvailable() const;
    // Starts installing what is asked for unless an installation runs; finished() follows.
    virtual void start(AccessRuleInstaller::Fixes fixes = Rule);

signals:
    // reason is empty when installed.
    void finished(bool installed, const QString& reason);

private:
    void processEnded();

    QProcess* process = nullptr;
};

Q_DECLARE_OPERATORS_FOR_FLAGS(AccessRuleInstaller::Fixes)
