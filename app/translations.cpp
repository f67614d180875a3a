#include "app/translations.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

#include <memory>
#include <vector>

namespace Translations {

namespace {
std::vector<std::unique_ptr<QTranslator>>& installed() {
    static std::vector<std::unique_ptr<QTranslator>> translators;
    return translators;
}

bool add(const QLocale& locale, const QString& name, const QString& directory) {
    auto translator = std::make_unique<QTranslator>();
    if (!translator->load(locale, name, QStringLiteral("_"), directory))
        return false;
    QCoreApplication::installTranslator(translator.get());
    installed().push_back(std::move(translator));
    return true;
}
} // namespace

bool install(const QLocale& locale) {
    for (const auto& translator : installed())
        QCoreApplication::removeTranslator(translator.get());
    installed().clear();

    const bool own = add(locale, QStringLiteral("vexo"), QStringLiteral(":/i18n"));
    if (own)
        add(locale, QStringLiteral("qtbase"), QLibraryInfo::path(QLibraryInfo::TranslationsPath));
    return own;
}

} // namespace Translations
