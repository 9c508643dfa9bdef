#include "conversionresult.h"

#include "document/namebytes.h"

QString ConversionResult::emptySelectionText()
{
    return QStringLiteral("선택한 문자가 없습니다.");
}

ConversionResult convertSelection(const QString &selection, namecodec::Encoding from, namecodec::Encoding to)
{
    const namecodec::Encoding textEncoding = from == namecodec::Encoding::Punycode ? to : from;
    constexpr qsizetype kMaxInputBytes = 1024;
    ConversionResult result;
    const QString input = selection.trimmed();
    if (input.isEmpty()) {
        result.display = ConversionResult::emptySelectionText();
        return result;
    }
    const auto bytes = encodeNameText(input, textEncoding);
    // Refused like a library failure: nothing shown, nothing to apply. A NUL
    // would end the library's string early and the rest would be lost.
    if (!bytes || bytes->contains('\0'))
        return result;

    const QByteArray cut = cutToBytes(*bytes, kMaxInputBytes, textEncoding);
    const StringConversion conversion = convertNameString(cut, from, to);
    const auto converted = decodeNameText(conversion.output, textEncoding);
    if (!conversion.ok() || !converted)
        return result;

    const QString shownInput = decodeNameText(cut, textEncoding).value_or(input);
    result.display = QStringLiteral("입력 코드 %1 : %2\n출력 코드 %3 : %4\n")
                         .arg(encodingName(from), shownInput, encodingName(to), *converted);
    // The selection's surrounding white space (a line break, indentation) is
    // not part of the name; applying keeps it instead of swallowing it.
    const qsizetype lead = selection.indexOf(input);
    result.output = selection.left(lead) + *converted + selection.mid(lead + input.size());
    // Only the first 1024 bytes are converted; writing that over a longer
    // selection would drop the rest of it, so a cut result is shown only.
    result.applicable = cut.size() == bytes->size();
    return result;
}

QString conversionWarningsStatus(const ConversionWarnings &warnings)
{
    if (warnings.isEmpty())
        return QString();
    QString text = QStringLiteral("변환하였습니다. ") + warnings.front().text();
    if (warnings.total() > 1)
        text += QStringLiteral(" 외 %1곳").arg(warnings.total() - 1);
    return text;
}
