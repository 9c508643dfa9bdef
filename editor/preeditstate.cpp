#include "editor/preeditstate.h"
#include "document/textbuffer.h"
#include "editor/linelayout.h"
#include "editor/textlayoutcache.h"

#include <QTextCharFormat>
#include <QTextLayout>

#include <algorithm>

PreeditState::PreeditState() = default;
PreeditState::~PreeditState() = default;

void PreeditState::update(const QInputMethodEvent &event)
{
    m_text = event.preeditString();
    m_attributes = event.attributes();
    m_cursor = static_cast<int>(m_text.size());
    m_cursorShown = true;
    for (const QInputMethodEvent::Attribute &attribute : m_attributes) {
        if (attribute.type == QInputMethodEvent::Cursor) {
            m_cursor = std::clamp(attribute.start, 0, static_cast<int>(m_text.size()));
            m_cursorShown = attribute.length != 0;
        }
    }
    m_layout.reset();
}

void PreeditState::clear()
{
    m_text.clear();
    m_attributes.clear();
    m_layout.reset();
}

LineLayout *PreeditState::layout(int line, int column, TextLayoutCache &cache)
{
    if (m_layout && m_line == line && m_column == column)
        return m_layout.get();
    const QString &text = cache.buffer()->line(line);
    const int size = static_cast<int>(m_text.size());
    // The line's own colours move aside for the composition.
    QList<QTextLayout::FormatRange> formats;
    for (QTextLayout::FormatRange range : cache.formatsFor(line)) {
        if (range.start >= column) {
            range.start += size;
        } else if (range.start + range.length > column) {
            formats.append({column + size, range.start + range.length - column, range.format});
            range.length = column - range.start;
        }
        formats.append(range);
    }
    // The composition is underlined as input methods expect, with whatever
    // formats the method asks for on top.
    QTextCharFormat underline;
    underline.setUnderlineStyle(QTextCharFormat::SingleUnderline);
    formats.append({column, size, underline});
    for (const QInputMethodEvent::Attribute &attribute : m_attributes) {
        if (attribute.type != QInputMethodEvent::TextFormat)
            continue;
        QTextCharFormat format = qvariant_cast<QTextFormat>(attribute.value).toCharFormat();
        if (!format.isValid())
            continue;
        const int start = std::clamp(attribute.start, 0, size);
        const int length = std::clamp(attribute.length, 0, size - start);
        formats.append({column + start, length, format});
    }
    m_layout
        = std::make_unique<LineLayout>(text.left(column) + m_text + text.mid(column), cache.style(), formats);
    m_line = line;
    m_column = column;
    return m_layout.get();
}
