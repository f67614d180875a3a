// The program's own translation and Qt's (standard dialog buttons) for a locale.
#pragma once

class QLocale;

namespace Translations {

// Replaces whatever an earlier call installed; English needs none: it is the source text.
// Returns whether the program's own translation for the locale was found.
bool install(const QLocale& locale);

} // namespace Translations
