// SPDX-License-Identifier: MIT
#include "gui/translations.hpp"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

namespace varnelo::gui {

bool InstallQtTranslations(QCoreApplication& app) {
    auto* translator = new QTranslator(&app);
    const QString folder = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
    if (translator->load(QLocale(), QStringLiteral("qtbase"), QStringLiteral("_"), folder) ||
        translator->load(QStringLiteral("qtbase_ja"), folder)) {
        return QCoreApplication::installTranslator(translator);
    }
    delete translator;
    return false;
}

}  // namespace varnelo::gui
