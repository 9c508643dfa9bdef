#include "stringconverter.h"

#include "document/namebytes.h"

#include <algorithm>
#include <string>

bool CheckLabelLength(const QByteArray &name)
{
    constexpr qsizetype kMaxLabelBytes = 34;
    qsizetype start = 0;
    while (true) {
        const qsizetype dot = name.indexOf('.', start);
        const qsizetype end = dot < 0 ? name.size() : dot;
        if (end - start > kMaxLabelBytes)
            return false;
        if (dot < 0)
            return true;
        start = dot + 1;
    }
}

QString StringConverter::labelTooLongMessage()
{
    return QStringLiteral("도메인을 구성하는 라벨의 길이가 한글17(영문34)자를 넘어섭니다.");
}

QString StringConverter::unencodableMessage()
{
    return QStringLiteral("EUC-KR로 나타낼 수 없는 문자가 들어 있어 변환할 수 없습니다.");
}

QString StringConverter::refusalReason(
    const QByteArray &input, namecodec::Encoding from, namecodec::Encoding to)
{
    const std::string_view text(input.constData(), static_cast<std::size_t>(input.size()));
    // The C entry point reads the input as a list of names; the same
    // reading through the C++ API says which name failed and why.
    namecodec::ConvertOptions options;
    options.from = from;
    options.to = to;
    options.kind = namecodec::FileKind::General;
    options.maxErrors = 1;
    namecodec::ConvertReport report;
    (void)namecodec::convertText(text, options, report);
    std::string reason = report.ok() ? std::string() : report.errors.front().message;
    // A lone label is no name to the general reader: ask about it as a name.
    if (reason.empty()) {
        const bool hasNonAscii = std::any_of(
            input.cbegin(), input.cend(), [](char c) { return static_cast<unsigned char>(c) >= 0x80; });
        const auto checked = hasNonAscii ? namecodec::toAscii(text, namecodec::Encoding::Cp949)
                                         : namecodec::toUnicode(text, namecodec::Encoding::Cp949);
        if (!checked)
            reason = checked.error().message;
    }
    if (reason.empty())
        return QStringLiteral("라이브러리가 이 문자열을 변환하지 못했습니다.");
    return QString::fromStdString(reason);
}

void StringConverter::open()
{
    m_list = m_history;
}

void StringConverter::close()
{
    m_history.clear();
    for (const QString &item : std::as_const(m_list)) {
        if (m_history.size() == kHistorySlots)
            break;
        // A name too long for its slot is not kept: a cut name would be
        // another name.
        const auto bytes = encodeNameText(item, namecodec::Encoding::Cp949);
        if (bytes && bytes->size() < kSlotBytes)
            m_history.append(item);
    }
}

StringConverter::Reply StringConverter::convert(const Request &request)
{
    Reply reply;
    const QString input = request.input.trimmed();
    if (input.isEmpty())
        return reply;

    const auto bytes = encodeNameText(input, namecodec::Encoding::Cp949);
    if (!bytes) {
        reply.outcome = Outcome::Unencodable;
        return reply;
    }
    if (!CheckLabelLength(*bytes)) {
        reply.outcome = Outcome::LabelTooLong;
        return reply;
    }

    reply.historyIndex = static_cast<int>(m_list.indexOf(input));
    if (reply.historyIndex < 0) {
        m_list.prepend(input);
        reply.historyIndex = 0;
    }

    const QByteArray cut = cutToBytes(*bytes, kMaxInputBytes, namecodec::Encoding::Cp949);
    // A refused conversion is not reported here: the box shows what the
    // library left in the buffer, which is empty.
    auto show = [](const StringConversion &conversion) {
        return decodeNameText(conversion.output, namecodec::Encoding::Cp949).value_or(QString());
    };
    auto convert = [&](namecodec::Encoding to) {
        const StringConversion conversion = convertNameString(cut, request.from, to);
        if (!conversion.ok() && reply.reason.isEmpty())
            reply.reason = refusalReason(cut, request.from, to);
        return show(conversion);
    };
    if (request.wantEucKr || request.wantAll)
        reply.eucKr = convert(namecodec::Encoding::Cp949);
    if (request.wantPunycode || request.wantAll)
        reply.punycode = convert(namecodec::Encoding::Punycode);
    reply.outcome = Outcome::Converted;
    return reply;
}
