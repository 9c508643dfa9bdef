#pragma once

#include <QByteArrayView>
#include <QList>
#include <QString>

#include <limits>

// A small reader for the rich text a word processor writes, enough for the
// update notes: paragraphs, bold, italic, underline, font size and
// alignment. Bytes are read in the document's code page (\ansicpgN, or the
// charset of the font in use: code page 949 through libnamecodec, 1252,
// UTF-8), \uN escapes with their fallback skipped; font and colour tables,
// pictures, fields' instructions and every ignorable destination are
// skipped. Any input gives a result: unbalanced groups, truncated escapes
// and stray bytes are read as far as they make sense. A text that does not
// start like RTF is taken as plain text.
//
// What is kept can be limited: reading stops at the first paragraph, run or
// character beyond the limits, and what was kept is the start of what an
// unlimited read gives, so a file of a million paragraphs, or of one
// endless one, costs what the limits allow and no more.
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
    // The input went on past the limits; what it held up to them is kept.
    bool truncated = false;

    QString plainText() const; // paragraphs joined by '\n'
};

struct Limits {
    qsizetype paragraphs = std::numeric_limits<qsizetype>::max();
    // UTF-16 units of text in all paragraphs together; breaks between
    // paragraphs are not counted.
    qsizetype characters = std::numeric_limits<qsizetype>::max();
    // Runs in all paragraphs together, and in any one paragraph: a rich
    // text box pays for every change of format, and more than linearly
    // for many of them in one paragraph.
    qsizetype runs = std::numeric_limits<qsizetype>::max();
    qsizetype runsPerParagraph = std::numeric_limits<qsizetype>::max();
};

Document read(QByteArrayView bytes, const Limits &limits = {});

} // namespace rtf
