#pragma once

#include "editor/texthighlighter.h"

#include <namecodec/marker.h>

#include <QObject>
#include <QPalette>
#include <QTextCharFormat>

#include <map>
#include <optional>

class TextBuffer;
struct TextChange;

// Colours a zone file, named.conf or a web server's configuration by its
// syntax (comments, strings, directives, record types, TTL and class,
// section tags, variables), and marks what a conversion would do to its
// names: a name that becomes ACE underlined, an xn-- label dotted with its
// Hangul form as a tool tip, a name the conversion would refuse waved in
// red with the reason, a Hangul host inside a rule (which the conversion
// leaves, so the rule stops matching) dashed in orange with its ACE form. The marks come from the conversion
// library's own scanner for the kind, so the editor shows exactly what a conversion does.
//
// Only the lines shown are looked at. What crosses lines (a block comment,
// a record in parentheses) is carried by a copy of the scanner kept every
// few hundred lines, so a line far down costs at most that many lines.
class NameHighlighter : public QObject, public TextHighlighter {
    Q_OBJECT
public:
    NameHighlighter(const TextBuffer *buffer, namecodec::FileKind kind, QObject *parent = nullptr);
    ~NameHighlighter() override;

    namecodec::FileKind kind() const { return m_kind; }
    // Colours for a light or a dark base.
    void setPalette(const QPalette &palette);

    QList<QTextLayout::FormatRange> formats(int line, const QString &text) override;
    QString toolTip(int line, const QString &text, int column) override;

    // Lines between the kept scanners.
    static constexpr int kCheckpointLines = 256;
    // A line longer than this (a dump, a minified configuration) is shown
    // plain, and the scanners pass over it: reading millions of characters
    // again on every keystroke in it would make typing there crawl.
    static constexpr int kLongestMarkedLine = 64 * 1024;

private:
    // What a line's colours depend on from the lines above it.
    struct State {
        namecodec::NameMarker marker;
        bool inBlockComment = false;
    };
    struct Styles {
        QTextCharFormat comment, string, keyword, type, number, variable, tag;
        QTextCharFormat converted, ace, refused, leftInRule;
    };

    void onChange(const TextChange &change);
    const QTextCharFormat &styleOf(namecodec::NameMarkKind kind) const;
    // The state before line `line`, taken from the nearest kept one.
    State &stateBefore(int line);
    QList<QTextLayout::FormatRange> syntax(const QString &text, State &state) const;
    void zoneSyntax(const QString &text, QList<QTextLayout::FormatRange> &ranges) const;
    void statementSyntax(const QString &text, State &state, QList<QTextLayout::FormatRange> &ranges) const;

    const TextBuffer *m_buffer;
    namecodec::FileKind m_kind;
    Styles m_styles;
    // The state before every kCheckpointLines-th line, as far down as read.
    std::map<int, State> m_checkpoints;
    // The state before m_nextLine, where reading in order goes on.
    std::optional<State> m_current;
    int m_nextLine = 0;
};
