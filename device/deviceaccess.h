// A pedal set the system lists but this user may not open. Linux lets only root open a
// hidraw node unless a udev rule grants access, so a build from source or a distribution
// without the rule waits for a device that is plugged in. The user is told once per
// plug-in what stands in the way and how to fix it.
#pragma once

#include <QString>
#include <QStringList>

namespace DeviceAccess {

enum class Attempt { Opened, Absent, Refused };

// The outcome of each connection attempt, in order.
class RefusalWatch {
public:
    // True when the user should be told now: the first refusal since the pedal set was
    // absent, opened, or never tried.
    bool record(Attempt attempt) {
        const bool first = attempt == Attempt::Refused && last != Attempt::Refused;
        last = attempt;
        return first;
    }
    bool isRefused() const { return last == Attempt::Refused; }

private:
    Attempt last = Attempt::Absent;
};

// The udev rule's file name, and the hardware database file's that marks the pedal set a
// joystick, as the package and the README install them.
extern const QString RULE_FILE_NAME;
extern const QString HWDB_FILE_NAME;

enum class Platform { Linux, Other };
constexpr Platform THIS_PLATFORM =
#ifdef Q_OS_LINUX
    Platform::Linux;
#else
    Platform::Other;
#endif

// What to tell the user; with canInstall, it ends in the question whether to install the
// rule now.
QString hint(Platform platform, bool canInstall);

// The command that installs the rule, the joystick mark or both (an empty text skips its
// file) and applies them to the pedal set, run with administrator rights by pkexec; with
// applyMark, a mark installed before (by the package) is applied as well. The texts
// themselves are arguments: root reads no file the user could change, and the password
// prompt shows what is installed.
QStringList installArguments(const QString& ruleText, const QString& hwdbText = QString(),
                             bool applyMark = false);

} // namespace DeviceAccess
