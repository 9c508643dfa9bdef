#include "stringconverter.h"

#include "document/namebytes.h"

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
    if (request.wantEucKr || request.wantAll)
        reply.eucKr = show(convertNameString(cut, request.from, namecodec::Encoding::Cp949));
    if (request.wantPunycode || request.wantAll)
        reply.punycode = show(convertNameString(cut, request.from, namecodec::Encoding::Punycode));
    reply.outcome = Outcome::Converted;
    return reply;
}
