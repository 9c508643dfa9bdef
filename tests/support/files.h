#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>
#include <QStringList>

#include <ostream>

#include <stdexcept>
#include <string>

#include "namecodec/codec.h"

inline void writeBytes(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        throw std::runtime_error("cannot write " + path.toStdString());
    f.write(bytes);
}

inline QByteArray readBytes(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return f.readAll();
}

// Code page 949 bytes of a UTF-8 literal, through the project's own codec.
inline QByteArray cp949(const char *utf8)
{
    const QString text = QString::fromUtf8(utf8);
    auto bytes
        = namecodec::encodeText(std::u16string_view(reinterpret_cast<const char16_t *>(text.constData()),
                                    static_cast<std::size_t>(text.size())),
            namecodec::Encoding::Cp949);
    if (!bytes)
        throw std::runtime_error("not code page 949: " + std::string(utf8));
    return QByteArray::fromStdString(*bytes);
}

// Readable failure messages for Qt strings.
inline void PrintTo(const QString &s, std::ostream *os)
{
    *os << '"' << s.toStdString() << '"';
}
inline void PrintTo(const QStringList &l, std::ostream *os)
{
    *os << '{';
    for (const QString &s : l)
        *os << " \"" << s.toStdString() << '"';
    *os << " }";
}
