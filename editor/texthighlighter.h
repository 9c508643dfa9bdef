#pragma once

#include <QList>
#include <QString>
#include <QTextLayout>

#include <functional>

// Colours and styles for the lines of a TextView, asked for one line at a
// time and only for lines the view lays out, so that a million-line file
// costs a highlighter no more than the screenful it shows.
//
// Installed with TextView::setHighlighter(); it must outlive its time there.
class TextHighlighter {
public:
    virtual ~TextHighlighter() = default;

    // The formats of line `line`, whose text is `text`, in columns of `text`.
    virtual QList<QTextLayout::FormatRange> formats(int line, const QString &text) = 0;
    // What the pointer resting on `column` of line `line` is told; none by default.
    virtual QString toolTip(int line, const QString &text, int column)
    {
        Q_UNUSED(line);
        Q_UNUSED(text);
        Q_UNUSED(column);
        return {};
    }

protected:
    // Lines `first` to `last` (inclusive) look different now, for a reason
    // only the highlighter knows (a comment opened above them, a setting):
    // the view asks again when it next shows them.
    void rehighlight(int first, int last)
    {
        if (m_linesChanged)
            m_linesChanged(first, last);
    }

private:
    friend class TextView;
    std::function<void(int, int)> m_linesChanged;
};
