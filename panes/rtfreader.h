#pragma once

#include <QByteArrayView>
#include <QList>
#include <QString>

// A small reader for the rich text a word processor writes, enough for the
// update notes: paragraphs, bold, italic, underline, font size and
// alignment. Bytes are read in the document's code page (\ansicpgN, or the
// charset of the font in use: code page 949 through libnamecodec, 1252,
// UTF-8), \uN escapes with their fallback skipped; font and colour tables,
// pictures, fields' instructions and every ignorable destination are
// skipped. Any input gives a result: unbalanced groups, truncated escapes
// and stray bytes are read as far as they make sense. A text that does not
// start like RTF is taken as plain text.
namespace rtf {

struct Run {
    QString text;
    bool bold = false;
    bool italic = false;
    bool underline = false;
    int halfPoints = 0; // \fsN; 0 is the reader's default size

    bool sameFormat(const Run &other) const
    {
        return bold == other.bold && italic == other.italic && underline == other.underline
            && halfPoints == other.halfPoints;
    }
};

enum class Alignment { Left, Center, Right, Justify };

struct Paragraph {
    QList<Run> runs;
    Alignment alignment = Alignment::Left;

    QString text() const;
};

struct Document {
    QList<Paragraph> paragraphs;

    QString plainText() const; // paragraphs joined by '\n'
};

Document read(QByteArrayView bytes);

} // namespace rtf
