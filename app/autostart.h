// The background watcher started with the user's desktop session: an entry in the user's
// autostart folder (Linux desktops) or the user's Run key (Windows) that starts the program
// with --watch.
#pragma once

#include <QString>

namespace Autostart {

bool isEnabled();
// The error, or empty.
QString setEnabled(bool enabled);
// Where the entry lives, for messages and tests.
QString location();

} // namespace Autostart
