#include "document/textbuffer.h"

#include "document/memorypolicy.h"

#include <QByteArray>

#include <algorithm>
#include <cstring>
#include <functional>
#include <iterator>
#include <utility>

#ifdef __GLIBC__
#include <malloc.h>
#endif

// One undo step: the edits it made in order. An edit block holds several
// parts; a plain or merged edit holds one.
struct TextBuffer::Step {
    struct Part {
        int position = 0;
        QString removed;
        QString inserted;
        // States of the breaks in `removed`, in order, so that undo gives
        // joined lines back their own endings.
        std::vector<int> removedStates;
    };
    std::vector<Part> parts;
    TextSelection before;
    TextSelection after;
    // A typed insertion or a single-character deletion the next one may join.
    bool typing = false;

    static bool continueTyping(Part &last, const Part &next);
};

namespace {

const QString &noLine()
{
    static const QString empty;
    return empty;
}

// Whether the character (or surrogate pair) ending right before `index` is a
// letter or digit.
bool wordCharacterBefore(const QString &line, qsizetype index)
{
    if (index <= 0 || index > line.size())
        return false;
    const QChar c = line.at(index - 1);
    if (c.isLowSurrogate() && index >= 2 && line.at(index - 2).isHighSurrogate())
        return QChar::isLetterOrNumber(QChar::surrogateToUcs4(line.at(index - 2), c));
    return c.isLetterOrNumber();
}

// Whether the character (or surrogate pair) starting at `index` is a letter
// or digit.
bool wordCharacterAt(const QString &line, qsizetype index)
{
    if (index < 0 || index >= line.size())
        return false;
    const QChar c = line.at(index);
    if (c.isHighSurrogate() && index + 1 < line.size() && line.at(index + 1).isLowSurrogate())
        return QChar::isLetterOrNumber(QChar::surrogateToUcs4(c, line.at(index + 1)));
    return c.isLetterOrNumber();
}

} // namespace

// Folds `next` into `last` when it continues typing or deleting at the same
// caret; insertions and deletions never mix.
bool TextBuffer::Step::continueTyping(Part &last, const Part &next)
{
    if (next.removed.isEmpty()) {
        if (last.inserted.isEmpty() || next.inserted.contains(u'\n')
            || next.position != last.position + last.inserted.size())
            return false;
        last.inserted += next.inserted;
        return true;
    }
    if (!next.inserted.isEmpty() || next.removed.size() != 1 || !last.inserted.isEmpty()
        || last.removed.isEmpty())
        return false;
    if (next.position + 1 == last.position) { // backspace
        last.removed.prepend(next.removed);
        last.removedStates.insert(
            last.removedStates.begin(), next.removedStates.begin(), next.removedStates.end());
        last.position = next.position;
        return true;
    }
    if (next.position == last.position) { // delete
        last.removed += next.removed;
        last.removedStates.insert(
            last.removedStates.end(), next.removedStates.begin(), next.removedStates.end());
        return true;
    }
    return false;
}

TextBuffer::TextBuffer(QObject *parent)
    : QObject(parent)
    , m_lines(1)
{
}

TextBuffer::~TextBuffer() = default;

void TextBuffer::splitLines(QStringView text)
{
    // Counting the breaks first lets both arrays be allocated once; the
    // starts are known while splitting, so the GUI thread never computes them.
    const qsizetype lineTotal = text.count(u'\n') + 1;
    std::vector<Line> lines;
    lines.reserve(lineTotal);
    std::vector<int> starts;
    starts.reserve(lineTotal);
    const QChar *data = text.constData();
    qsizetype start = 0;
    for (;;) {
        const qsizetype lineBreak = text.indexOf(u'\n', start);
        const qsizetype end = lineBreak < 0 ? text.size() : lineBreak;
        starts.push_back(static_cast<int>(start));
        lines.push_back(Line {QString(data + start, end - start), -1});
        if (lineBreak < 0)
            break;
        start = lineBreak + 1;
    }

    m_lines.swap(lines);
    m_starts.swap(starts);
    m_validStarts = static_cast<int>(m_lines.size());
    m_length = static_cast<int>(text.size());
}

void TextBuffer::pack()
{
    if (isPacked())
        return;
    std::vector<Line> lines;
    lines.swap(m_lines);
    m_starts = {};
    m_validStarts = 0;
    const int length = m_length;
    m_packed = std::async(std::launch::async, [lines = std::move(lines), length]() mutable {
        QString joined(length, Qt::Uninitialized);
        QChar *to = joined.data();
        adviseHugePages(to, static_cast<std::size_t>(length) * sizeof(QChar));
        std::vector<int> states(lines.size(), -1);
        bool anyState = false;
        for (std::size_t i = 0; i < lines.size(); ++i) {
            if (i > 0)
                *to++ = u'\n';
            const QString &text = lines[i].text;
            std::memcpy(static_cast<void *>(to), text.constData(), sizeof(QChar) * text.size());
            to += text.size();
            states[i] = lines[i].state;
            anyState = anyState || states[i] != -1;
        }
        // The lines are the bulk of the memory: gone before compressing.
        lines = {};
        PackedLines packed;
        // The fastest level: a zone file still shrinks several times, and
        // undoing a conversion should not wait on a better ratio.
        packed.characters = qCompress(reinterpret_cast<const uchar *>(joined.constData()),
            joined.size() * static_cast<qsizetype>(sizeof(QChar)), 1);
        if (packed.characters.isEmpty()) // beyond what zlib takes in one piece: kept whole, never lost
            packed.plain = std::move(joined);
        if (anyState)
            packed.states = qCompress(reinterpret_cast<const uchar *>(states.data()),
                static_cast<qsizetype>(states.size() * sizeof(int)), 1);
#ifdef __GLIBC__
        // The freed lines are a million small blocks among live ones; unless
        // asked, the allocator keeps their pages and packing saves nothing.
        malloc_trim(0);
#endif
        return packed;
    });
}

void TextBuffer::unpack()
{
    if (!isPacked())
        return;
    const PackedLines packed = m_packed.get();
    if (packed.characters.isEmpty()) {
        splitLines(packed.plain);
    } else {
        const QByteArray units = qUncompress(packed.characters);
        splitLines(QStringView(reinterpret_cast<const QChar *>(units.constData()),
            units.size() / static_cast<qsizetype>(sizeof(QChar))));
    }
    if (packed.states.isEmpty())
        return;
    const QByteArray states = qUncompress(packed.states);
    const auto *state = reinterpret_cast<const int *>(states.constData());
    const std::size_t count = std::min(m_lines.size(), static_cast<std::size_t>(states.size()) / sizeof(int));
    for (std::size_t i = 0; i < count; ++i)
        m_lines[i].state = state[i];
}

// Every way of putting a whole new text in: the history goes, and one
// change covers everything.
void TextBuffer::resetText(const std::function<void()> &fill)
{
    const int oldLength = m_length;
    const int oldLines = lineCount();
    const bool hadUndo = isUndoAvailable();
    const bool hadRedo = isRedoAvailable();
    const bool wasModified = isModified();

    if (isPacked())
        m_packed = {}; // waits for the compressing thread; its result is not needed
    fill();
    m_steps.clear();
    m_done = 0;
    m_cleanAt = 0;
    m_openBlockAdded = false;

    emit changed(TextChange {0, oldLength, m_length, 0, oldLines, lineCount()});
    emit contentsChanged();
    emitStackSignals(hadUndo, hadRedo, wasModified);
}

void TextBuffer::setLines(std::vector<QString> &&lines)
{
    std::vector<std::vector<QString>> pieces;
    pieces.push_back(std::move(lines));
    setLinePieces(std::move(pieces));
}

void TextBuffer::setLinePieces(std::vector<std::vector<QString>> &&pieces)
{
    std::size_t total = 0;
    for (const auto &piece : pieces)
        total += piece.size();
    LineList made;
    made.reserve(std::max<std::size_t>(total, 1));
    for (auto &piece : pieces) {
        for (QString &line : piece)
            made.push_back(std::move(line));
        piece = {};
    }
    setLines(std::move(made));
}

void TextBuffer::LineList::reserve(std::size_t lines)
{
    m_lines.reserve(lines);
    adviseHugePages(m_lines.data(), m_lines.capacity() * sizeof(Line));
}

void TextBuffer::setLines(LineList &&lines)
{
    resetText([&] {
        std::vector<Line> made;
        made.swap(lines.m_lines);
        if (made.empty())
            made.emplace_back();
        std::vector<int> starts;
        starts.reserve(made.size());
        adviseHugePages(starts.data(), starts.capacity() * sizeof(int));
        qsizetype start = 0;
        for (const Line &line : made) {
            starts.push_back(static_cast<int>(start));
            start += line.text.size() + 1;
        }
        m_lines.swap(made);
        m_starts.swap(starts);
        m_validStarts = static_cast<int>(m_lines.size());
        m_length = static_cast<int>(start - 1);
    });
}

void TextBuffer::setPlainText(QStringView text)
{
    resetText([&] { splitLines(text); });
}

QString TextBuffer::toPlainText() const
{
    QString out(m_length, Qt::Uninitialized);
    QChar *to = out.data();
    for (std::size_t i = 0; i < m_lines.size(); ++i) {
        if (i > 0)
            *to++ = u'\n';
        const QString &text = m_lines[i].text;
        std::memcpy(static_cast<void *>(to), text.constData(), sizeof(QChar) * text.size());
        to += text.size();
    }
    return out;
}

QStringList TextBuffer::lineList() const
{
    QStringList lines;
    lines.reserve(static_cast<qsizetype>(m_lines.size()));
    for (const Line &line : m_lines)
        lines.append(line.text);
    return lines;
}

int TextBuffer::length() const
{
    return m_length;
}

int TextBuffer::lineCount() const
{
    return static_cast<int>(m_lines.size());
}

const QString &TextBuffer::line(int number) const
{
    if (number < 0 || number >= lineCount())
        return noLine();
    return m_lines[number].text;
}

int TextBuffer::lineState(int number) const
{
    if (number < 0 || number >= lineCount())
        return -1;
    return m_lines[number].state;
}

void TextBuffer::setLineState(int number, int state)
{
    if (number < 0 || number >= lineCount())
        return;
    m_lines[number].state = state;
}

void TextBuffer::ensureStarts(int upToLine) const
{
    if (upToLine < m_validStarts)
        return;
    if (m_starts.size() != m_lines.size())
        m_starts.resize(m_lines.size());
    int line = m_validStarts;
    int position = line == 0 ? 0 : m_starts[line - 1] + static_cast<int>(m_lines[line - 1].text.size()) + 1;
    for (; line <= upToLine; ++line) {
        m_starts[line] = position;
        position += static_cast<int>(m_lines[line].text.size()) + 1;
    }
    m_validStarts = upToLine + 1;
}

int TextBuffer::lineStart(int number) const
{
    if (number <= 0)
        return 0;
    if (number >= lineCount())
        return m_length;
    ensureStarts(number);
    return m_starts[number];
}

int TextBuffer::lineOf(int position) const
{
    position = std::clamp(position, 0, m_length);
    if (m_validStarts > 0) {
        const int last = m_validStarts - 1;
        if (position <= m_starts[last] + m_lines[last].text.size()) {
            const auto begin = m_starts.begin();
            return static_cast<int>(std::upper_bound(begin, begin + m_validStarts, position) - begin) - 1;
        }
    }
    // Past the known starts: extend them only as far as this position, so an
    // edit near the top followed by a look at the lines on screen stays cheap.
    if (m_starts.size() != m_lines.size())
        m_starts.resize(m_lines.size());
    const int count = lineCount();
    int line = m_validStarts;
    int start = line == 0 ? 0 : m_starts[line - 1] + static_cast<int>(m_lines[line - 1].text.size()) + 1;
    for (; line < count; ++line) {
        m_starts[line] = start;
        const int end = start + static_cast<int>(m_lines[line].text.size());
        if (position <= end)
            break;
        start = end + 1;
    }
    line = std::min(line, count - 1);
    m_validStarts = std::max(m_validStarts, line + 1);
    return line;
}

QString TextBuffer::text(int from, int to) const
{
    from = std::clamp(from, 0, m_length);
    to = std::clamp(to, 0, m_length);
    if (from > to)
        std::swap(from, to);
    if (from == to)
        return {};
    int line = lineOf(from);
    qsizetype column = from - lineStart(line);
    qsizetype remaining = to - from;
    QString out;
    out.reserve(remaining);
    const int count = lineCount();
    while (remaining > 0 && line < count) {
        const QString &text = m_lines[line].text;
        const qsizetype take = std::min(remaining, text.size() - column);
        out.append(QStringView(text).mid(column, take));
        remaining -= take;
        if (remaining > 0) {
            out.append(u'\n');
            --remaining;
        }
        ++line;
        column = 0;
    }
    return out;
}

QChar TextBuffer::characterAt(int position) const
{
    if (position < 0 || position >= m_length)
        return {};
    const int line = lineOf(position);
    const qsizetype column = position - lineStart(line);
    const QString &text = m_lines[line].text;
    return column < text.size() ? text.at(column) : QChar(u'\n');
}

int TextBuffer::find(const QString &what, int from, FindFlags flags) const
{
    if (what.isEmpty())
        return -1;
    const Qt::CaseSensitivity cs
        = flags.testFlag(FindCaseSensitively) ? Qt::CaseSensitive : Qt::CaseInsensitive;
    const bool wholeWords = flags.testFlag(FindWholeWords);
    const qsizetype size = what.size();
    const auto isMatch = [&](const QString &text, qsizetype index) {
        return !wholeWords || (!wordCharacterBefore(text, index) && !wordCharacterAt(text, index + size));
    };

    from = std::clamp(from, 0, m_length);
    const int first = lineOf(from);
    const qsizetype firstColumn = from - lineStart(first);
    const int count = lineCount();

    if (!flags.testFlag(FindBackward)) {
        qsizetype column = firstColumn;
        for (int line = first; line < count; ++line, column = 0) {
            const QString &text = m_lines[line].text;
            if (text.size() - column < size)
                continue;
            for (qsizetype at = text.indexOf(what, column, cs); at >= 0;
                 at = text.indexOf(what, at + 1, cs)) {
                if (isMatch(text, at))
                    return lineStart(line) + static_cast<int>(at);
            }
        }
        return -1;
    }

    // lastIndexOf() reads a negative start as counted from the end, so a line
    // too short for a match is skipped before asking it.
    for (int line = first; line >= 0; --line) {
        const QString &text = m_lines[line].text;
        const qsizetype lastStart = (line == first ? firstColumn : text.size()) - size;
        if (lastStart < 0)
            continue;
        for (qsizetype at = text.lastIndexOf(what, lastStart, cs); at >= 0;
             at = at > 0 ? text.lastIndexOf(what, at - 1, cs) : -1) {
            if (isMatch(text, at))
                return lineStart(line) + static_cast<int>(at);
        }
    }
    return -1;
}

QString TextBuffer::apply(int from, int to, const QString &text, std::vector<int> *removedStates,
    const std::vector<int> *addedStates)
{
    const int first = lineOf(from);
    const int last = lineOf(to);
    const qsizetype firstColumn = from - lineStart(first);
    const qsizetype lastColumn = to - lineStart(last);
    QString removed = this->text(from, to);
    // A state belongs to the break that ends its line. The breaks inside
    // the replaced range go (undo keeps their states); the break after `to`
    // stays with the text after it, wherever that lands.
    if (removedStates) {
        removedStates->clear();
        for (int line = first; line < last; ++line)
            removedStates->push_back(m_lines[line].state);
    }
    const int tailState = m_lines[last].state;
    const auto addedState = [addedStates](std::size_t breakIndex) {
        return addedStates && breakIndex < addedStates->size() ? (*addedStates)[breakIndex] : -1;
    };

    const qsizetype firstBreak = text.indexOf(u'\n');
    int addedLines = 1;
    if (firstBreak < 0) {
        if (first == last) {
            m_lines[first].text.replace(firstColumn, lastColumn - firstColumn, text);
        } else {
            QString &head = m_lines[first].text;
            head.truncate(firstColumn);
            head.append(text);
            head.append(QStringView(m_lines[last].text).mid(lastColumn));
            m_lines[first].state = tailState;
            m_lines.erase(m_lines.begin() + first + 1, m_lines.begin() + last + 1);
        }
    } else {
        const QString tail = m_lines[last].text.mid(lastColumn);
        QString &head = m_lines[first].text;
        head.truncate(firstColumn);
        head.append(QStringView(text).left(firstBreak));
        m_lines[first].state = addedState(0);

        std::vector<Line> added;
        qsizetype start = firstBreak + 1;
        for (;;) {
            const qsizetype lineBreak = text.indexOf(u'\n', start);
            if (lineBreak < 0) {
                QString lastLine;
                lastLine.reserve(text.size() - start + tail.size());
                lastLine.append(QStringView(text).mid(start));
                lastLine.append(tail);
                added.push_back(Line {std::move(lastLine), tailState});
                break;
            }
            added.push_back(Line {text.mid(start, lineBreak - start), addedState(added.size() + 1)});
            start = lineBreak + 1;
        }
        addedLines += static_cast<int>(added.size());

        // Lines first+1..last give way to the added ones: reuse their slots,
        // then move the rest of the text once.
        const auto at = m_lines.begin() + first + 1;
        const std::ptrdiff_t oldCount = last - first;
        const std::ptrdiff_t newCount = static_cast<std::ptrdiff_t>(added.size());
        const std::ptrdiff_t common = std::min(oldCount, newCount);
        std::move(added.begin(), added.begin() + common, at);
        if (oldCount > newCount)
            m_lines.erase(at + common, at + oldCount);
        else
            m_lines.insert(at + common, std::make_move_iterator(added.begin() + common),
                std::make_move_iterator(added.end()));
    }

    m_length += static_cast<int>(text.size()) - (to - from);
    m_validStarts = std::min(m_validStarts, first + 1);

    emit changed(
        TextChange {from, to - from, static_cast<int>(text.size()), first, last - first + 1, addedLines});
    return removed;
}

bool TextBuffer::record(std::unique_ptr<Step> step, bool mergeTyping)
{
    // Joining the top step is only safe while it is not the clean point:
    // otherwise the text would change while the history still says clean.
    Step *top = m_done > 0 && m_done == static_cast<int>(m_steps.size()) && m_cleanAt != m_done
        ? m_steps.back().get()
        : nullptr;
    if (top && m_blockDepth > 0 && m_openBlockAdded) {
        top->parts.push_back(std::move(step->parts.front()));
        top->after = step->after;
        return false;
    }
    if (top && m_blockDepth == 0 && mergeTyping && top->typing && top->parts.size() == 1
        && Step::continueTyping(top->parts.front(), step->parts.front())) {
        top->after = step->after;
        return false;
    }

    if (m_done < static_cast<int>(m_steps.size())) {
        if (m_cleanAt > m_done)
            m_cleanAt = -1;
        m_steps.erase(m_steps.begin() + m_done, m_steps.end());
    }
    step->typing = mergeTyping && m_blockDepth == 0;
    m_steps.push_back(std::move(step));
    m_done = static_cast<int>(m_steps.size());
    m_openBlockAdded = m_blockDepth > 0;
    return true;
}

void TextBuffer::replace(int from, int to, const QString &text, TextSelection before, bool mergeTyping)
{
    from = std::clamp(from, 0, m_length);
    to = std::clamp(to, 0, m_length);
    if (from > to)
        std::swap(from, to);
    if (from == to && text.isEmpty())
        return;
    const bool hadUndo = isUndoAvailable();
    const bool hadRedo = isRedoAvailable();
    const bool wasModified = isModified();

    auto step = std::make_unique<Step>();
    step->before = before;
    const int end = from + static_cast<int>(text.size());
    step->after = TextSelection {end, end};
    Step::Part part;
    part.position = from;
    // `text` may be one of our own lines, which the edit moves or frees; the
    // shared copy stays valid.
    part.inserted = text;
    part.removed = apply(from, to, part.inserted, &part.removedStates);
    step->parts.push_back(std::move(part));
    const bool added = record(std::move(step), mergeTyping);

    emit contentsChanged();
    emitStackSignals(hadUndo, hadRedo, wasModified);
    if (added)
        emit undoCommandAdded();
}

void TextBuffer::beginEditBlock()
{
    if (m_blockDepth++ == 0)
        m_openBlockAdded = false;
}

void TextBuffer::endEditBlock()
{
    Q_ASSERT(m_blockDepth > 0);
    if (m_blockDepth > 0 && --m_blockDepth == 0)
        m_openBlockAdded = false;
}

bool TextBuffer::isUndoAvailable() const
{
    return m_done > 0;
}

bool TextBuffer::isRedoAvailable() const
{
    return m_done < static_cast<int>(m_steps.size());
}

TextSelection TextBuffer::undo()
{
    if (!isUndoAvailable())
        return {};
    const bool hadRedo = isRedoAvailable();
    const bool wasModified = isModified();
    // An edit block left open across an undo starts a new step afterwards.
    m_openBlockAdded = false;
    // A copy (the strings are shared) stays valid whatever a slot does to the history.
    const Step &step = *m_steps[--m_done];
    const TextSelection selection = step.before;
    const std::vector<Step::Part> parts = step.parts;
    for (auto part = parts.rbegin(); part != parts.rend(); ++part)
        apply(part->position, part->position + static_cast<int>(part->inserted.size()), part->removed,
            nullptr, &part->removedStates);
    emit contentsChanged();
    emitStackSignals(true, hadRedo, wasModified);
    return selection;
}

TextSelection TextBuffer::redo()
{
    if (!isRedoAvailable())
        return {};
    const bool hadUndo = isUndoAvailable();
    const bool wasModified = isModified();
    m_openBlockAdded = false;
    const Step &step = *m_steps[m_done++];
    const TextSelection selection = step.after;
    const std::vector<Step::Part> parts = step.parts;
    for (const Step::Part &part : parts)
        apply(part.position, part.position + static_cast<int>(part.removed.size()), part.inserted);
    emit contentsChanged();
    emitStackSignals(hadUndo, true, wasModified);
    return selection;
}

void TextBuffer::clearUndoRedoStacks(Stacks which)
{
    const bool hadUndo = isUndoAvailable();
    const bool hadRedo = isRedoAvailable();
    const bool wasModified = isModified();
    m_openBlockAdded = false;
    if (which & RedoStack) {
        if (m_cleanAt > m_done)
            m_cleanAt = -1;
        m_steps.erase(m_steps.begin() + m_done, m_steps.end());
    }
    if (which & UndoStack) {
        if (m_cleanAt >= m_done)
            m_cleanAt -= m_done;
        else
            m_cleanAt = -1;
        m_steps.erase(m_steps.begin(), m_steps.begin() + m_done);
        m_done = 0;
    }
    emitStackSignals(hadUndo, hadRedo, wasModified);
}

bool TextBuffer::isModified() const
{
    return m_cleanAt != m_done;
}

void TextBuffer::setModified(bool modified)
{
    const bool wasModified = isModified();
    m_cleanAt = modified ? -1 : m_done;
    if (wasModified != isModified())
        emit modificationChanged(isModified());
}

void TextBuffer::emitStackSignals(bool hadUndo, bool hadRedo, bool wasModified)
{
    if (hadUndo != isUndoAvailable())
        emit undoAvailable(isUndoAvailable());
    if (hadRedo != isRedoAvailable())
        emit redoAvailable(isRedoAvailable());
    if (wasModified != isModified())
        emit modificationChanged(isModified());
}
