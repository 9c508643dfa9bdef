#include "platform/qttranslation.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QTranslator>

#include <memory>

QTranslator *installQtTranslation(QCoreApplication &app)
{
    // Korean whatever the session's locale: every text of the program is
    // Korean, and dialogs half in another language would be worse.
    auto translator = std::make_unique<QTranslator>();
    if (!translator->load(QStringLiteral("qtbase_ko"), QLibraryInfo::path(QLibraryInfo::TranslationsPath))
        || !QCoreApplication::installTranslator(translator.get()))
        return nullptr;
    // Installed: from here on the application owns it and outlives every use.
    translator->setParent(&app);
    return translator.release();
}
