#include "platform/logging.h"

Q_LOGGING_CATEGORY(lcApp, "quorel.app", QtWarningMsg)
Q_LOGGING_CATEGORY(lcDocument, "quorel.document", QtWarningMsg)
Q_LOGGING_CATEGORY(lcConversion, "quorel.conversion", QtWarningMsg)
Q_LOGGING_CATEGORY(lcEditor, "quorel.editor", QtWarningMsg)
Q_LOGGING_CATEGORY(lcFtp, "quorel.ftp", QtWarningMsg)
Q_LOGGING_CATEGORY(lcWizard, "quorel.wizard", QtWarningMsg)
Q_LOGGING_CATEGORY(lcSettings, "quorel.settings", QtWarningMsg)
Q_LOGGING_CATEGORY(lcPrompt, "quorel.prompt", QtWarningMsg)

void enableVerboseLogging()
{
    QLoggingCategory::setFilterRules(QStringLiteral("quorel.*=true"));
}

QString oneLine(const QString &text)
{
    QString out = text;
    out.replace(QStringLiteral("\r\n"), QStringLiteral(" / "));
    out.replace(QLatin1Char('\n'), QStringLiteral(" / "));
    return out;
}
