#include "editor/textview.h"
#include "editor/textviewaccessible.h"

#include <QAccessible>
#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QFocusEvent>
#include <QGuiApplication>
#include <QInputMethod>
#include <QKeyEvent>
#include <QMenu>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QStyleHints>
#include <QTextLayout>

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>

namespace {

// The blank kept around the text, as QPlainTextEdit's document margin.
constexpr int kMargin = 4;
constexpr int kCaretWidth = 1;
// Lines laid out at setBuffer to guess the horizontal extent, the longest by
// characters; wider ones grow the extent when they come into view.
constexpr int kMeasuredLines = 4;
// A line longer than this is not laid out to be measured: its width is
// estimated until it is shown.
constexpr int kMeasureCharLimit = 20000;
// Layouts kept beyond the screenful before the far ones are dropped.
constexpr int kLayoutSlack = 256;
constexpr int kDragScrollInterval = 50; // ms

enum class CharClass { Space, Punct, Word };

CharClass classOf(QChar c)
{
    if (c.isLetterOrNumber() || c == QLatin1Char('_') || c.isMark() || c.isSurrogate())
        return CharClass::Word;
    if (c.isSpace())
        return CharClass::Space;
    return CharClass::Punct;
}

// What a paste or an input method hands over may carry any platform's line
// breaks; the buffer breaks lines at '\n' only.
QString normalizeBreaks(QString text)
{
    text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    text.replace(QChar::ParagraphSeparator, QLatin1Char('\n'));
    text.replace(QChar::LineSeparator, QLatin1Char('\n'));
    return text;
}

// Typed text without the control characters that some key events carry.
QString printable(const QString &text)
{
    QString out;
    for (QChar c : text) {
        if (c.category() != QChar::Other_Control && c != QChar::ParagraphSeparator
            && c != QChar::LineSeparator)
            out += c;
    }
    return out;
}

enum class Move {
    NextChar,
    PrevChar,
    NextWord,
    PrevWord,
    LineStart,
    LineEnd,
    NextLine,
    PrevLine,
    NextPage,
    PrevPage,
    DocStart,
    DocEnd
};

struct MoveKey {
    QKeySequence::StandardKey key;
    Move move;
    bool select;
};

constexpr MoveKey kMoveKeys[] = {
    {QKeySequence::MoveToNextChar, Move::NextChar, false},
    {QKeySequence::MoveToPreviousChar, Move::PrevChar, false},
    {QKeySequence::MoveToNextWord, Move::NextWord, false},
    {QKeySequence::MoveToPreviousWord, Move::PrevWord, false},
    {QKeySequence::MoveToStartOfLine, Move::LineStart, false},
    {QKeySequence::MoveToEndOfLine, Move::LineEnd, false},
    {QKeySequence::MoveToStartOfBlock, Move::LineStart, false},
    {QKeySequence::MoveToEndOfBlock, Move::LineEnd, false},
    {QKeySequence::MoveToNextLine, Move::NextLine, false},
    {QKeySequence::MoveToPreviousLine, Move::PrevLine, false},
    {QKeySequence::MoveToNextPage, Move::NextPage, false},
    {QKeySequence::MoveToPreviousPage, Move::PrevPage, false},
    {QKeySequence::MoveToStartOfDocument, Move::DocStart, false},
    {QKeySequence::MoveToEndOfDocument, Move::DocEnd, false},
    {QKeySequence::SelectNextChar, Move::NextChar, true},
    {QKeySequence::SelectPreviousChar, Move::PrevChar, true},
    {QKeySequence::SelectNextWord, Move::NextWord, true},
    {QKeySequence::SelectPreviousWord, Move::PrevWord, true},
    {QKeySequence::SelectStartOfLine, Move::LineStart, true},
    {QKeySequence::SelectEndOfLine, Move::LineEnd, true},
    {QKeySequence::SelectStartOfBlock, Move::LineStart, true},
    {QKeySequence::SelectEndOfBlock, Move::LineEnd, true},
    {QKeySequence::SelectNextLine, Move::NextLine, true},
    {QKeySequence::SelectPreviousLine, Move::PrevLine, true},
    {QKeySequence::SelectNextPage, Move::NextPage, true},
    {QKeySequence::SelectPreviousPage, Move::PrevPage, true},
    {QKeySequence::SelectStartOfDocument, Move::DocStart, true},
    {QKeySequence::SelectEndOfDocument, Move::DocEnd, true},
};

constexpr QKeySequence::StandardKey kEditKeys[] = {
    QKeySequence::Cut,
    QKeySequence::Paste,
    QKeySequence::Undo,
    QKeySequence::Redo,
    QKeySequence::Delete,
    QKeySequence::Backspace,
    QKeySequence::DeleteStartOfWord,
    QKeySequence::DeleteEndOfWord,
    QKeySequence::DeleteEndOfLine,
    QKeySequence::InsertParagraphSeparator,
    QKeySequence::InsertLineSeparator,
};

bool typesText(const QKeyEvent *event)
{
    const Qt::KeyboardModifiers mods = event->modifiers() & ~(Qt::ShiftModifier | Qt::KeypadModifier);
    // AltGr arrives as Ctrl+Alt on some platforms and types text.
    if (mods != Qt::NoModifier && mods != (Qt::ControlModifier | Qt::AltModifier))
        return false;
    return !printable(event->text()).isEmpty();
}

} // namespace

TextView::TextView(QWidget *parent)
    : QAbstractScrollArea(parent)
{
    // Assistive technology reads the view through an interface of its own.
    static const bool accessible = [] {
        QAccessible::installFactory(&TextViewAccessible::create);
        return true;
    }();
    Q_UNUSED(accessible);
    connect(this, &TextView::cursorPositionChanged, this, [this] {
        if (QAccessible::isActive()) {
            QAccessibleTextCursorEvent event(this, m_cursor.position);
            QAccessible::updateAccessibility(&event);
        }
    });
    connect(this, &TextView::selectionChanged, this, [this] {
        if (QAccessible::isActive()) {
            QAccessibleTextSelectionEvent event(this, m_cursor.start(), m_cursor.end());
            QAccessible::updateAccessibility(&event);
        }
    });
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_InputMethodEnabled);
    setInputMethodHints(Qt::ImhMultiLine);
    viewport()->setCursor(Qt::IBeamCursor);
    viewport()->setBackgroundRole(QPalette::Base);
    viewport()->setAutoFillBackground(true);
    verticalScrollBar()->setSingleStep(1);
    horizontalScrollBar()->setSingleStep(20);
    updateScrollBars();
}

TextView::~TextView()
{
    for (auto &connection : m_bufferConnections)
        disconnect(connection);
    dropLayouts();
}

void TextView::setBuffer(TextBuffer *buffer)
{
    for (auto &connection : m_bufferConnections)
        disconnect(connection);
    const bool hadSelection = m_cursor.hasSelection();
    const bool hadUndo = m_buffer && m_buffer->isUndoAvailable();
    const bool hadRedo = m_buffer && m_buffer->isRedoAvailable();
    dropLayouts();
    m_preedit.clear();
    m_preeditAttributes.clear();
    m_maxWidth = 0;
    m_wantedX = -1;
    m_dragging = false;
    m_dragScrollTimer.stop();
    m_linesPending = false;
    m_pendingLayouts.clear();
    m_cursorPending = false;
    m_buffer = buffer;
    m_cursor = TextSelection();
    if (m_buffer) {
        int i = 0;
        m_bufferConnections[i++]
            = connect(m_buffer, &TextBuffer::contentsChange, this, &TextView::onContentsChange);
        m_bufferConnections[i++]
            = connect(m_buffer, &TextBuffer::linesChanged, this, &TextView::onLinesChanged);
        m_bufferConnections[i++]
            = connect(m_buffer, &TextBuffer::contentsChanged, this, &TextView::textChanged);
        m_bufferConnections[i++]
            = connect(m_buffer, &TextBuffer::modificationChanged, this, &TextView::modificationChanged);
        m_bufferConnections[i++]
            = connect(m_buffer, &TextBuffer::undoAvailable, this, &TextView::undoAvailable);
        m_bufferConnections[i++]
            = connect(m_buffer, &TextBuffer::redoAvailable, this, &TextView::redoAvailable);
        m_bufferConnections[i++] = connect(m_buffer, &QObject::destroyed, this, [this] {
            // Shown past its life would read freed lines.
            m_buffer = nullptr;
            setBuffer(nullptr);
        });
        measureLongestLines(0, m_buffer->lineCount());
    }
    verticalScrollBar()->setValue(0);
    horizontalScrollBar()->setValue(0);
    updateScrollBars();
    viewport()->update();
    emit cursorPositionChanged();
    if (hadSelection) {
        emit selectionChanged();
        emit copyAvailable(false);
    }
    const bool hasUndo = m_buffer && m_buffer->isUndoAvailable();
    const bool hasRedo = m_buffer && m_buffer->isRedoAvailable();
    if (hasUndo != hadUndo)
        emit undoAvailable(hasUndo);
    if (hasRedo != hadRedo)
        emit redoAvailable(hasRedo);
}

void TextView::setTextCursor(const TextSelection &cursor)
{
    setCursorInternal(cursor);
    ensureCursorVisible();
}

QString TextView::selectedText() const
{
    if (!m_buffer || !m_cursor.hasSelection())
        return {};
    return m_buffer->text(m_cursor.start(), m_cursor.end());
}

// Read-only refuses the user's edits only; a caller's edits go through, as
// with Qt's own editors.
void TextView::insertText(const QString &text)
{
    if (!m_buffer)
        return;
    replaceRange(m_cursor.start(), m_cursor.end(), text, false);
}

void TextView::setReadOnly(bool readOnly)
{
    if (m_readOnly == readOnly)
        return;
    m_readOnly = readOnly;
    // An input method has nothing to compose into a text that refuses edits.
    setAttribute(Qt::WA_InputMethodEnabled, !readOnly);
    if (readOnly)
        m_preedit.clear();
    m_preeditLayout.reset();
    restartBlink();
    viewport()->update();
}

int TextView::visibleLines() const
{
    return std::max(1, (viewport()->height() - 2 * kMargin) / lineHeight());
}

int TextView::firstVisibleLine() const
{
    return verticalScrollBar()->value();
}

int TextView::lineHeight() const
{
    return std::max(1, fontMetrics().lineSpacing());
}

int TextView::lineTop(int line) const
{
    return kMargin + (line - firstVisibleLine()) * lineHeight();
}

qreal TextView::textLeft() const
{
    return kMargin - horizontalScrollBar()->value();
}

void TextView::ensureCursorVisible()
{
    if (!m_buffer)
        return;
    const int line = m_buffer->lineOf(m_cursor.position);
    const int first = firstVisibleLine();
    const int shown = visibleLines();
    if (line < first)
        verticalScrollBar()->setValue(line);
    else if (line >= first + shown)
        verticalScrollBar()->setValue(line - shown + 1);

    qreal x = caretX(m_cursor.position);
    if (!m_preedit.isEmpty()) {
        QTextLayout *layout = paintLayoutFor(line);
        x = layout->lineAt(0).cursorToX(m_buffer->columnOf(m_cursor.position) + m_preeditCursor);
    }
    updateScrollBars(); // the caret's line may be the widest seen yet
    QScrollBar *h = horizontalScrollBar();
    const int width = viewport()->width() - 2 * kMargin - kCaretWidth;
    if (x < h->value())
        h->setValue(static_cast<int>(std::floor(x)));
    else if (x > h->value() + width)
        h->setValue(static_cast<int>(std::ceil(x)) - width);
}

void TextView::centerCursor()
{
    if (!m_buffer)
        return;
    const int line = m_buffer->lineOf(m_cursor.position);
    verticalScrollBar()->setValue(line - visibleLines() / 2);
    ensureCursorVisible(); // for the horizontal part
}

QRect TextView::cursorRect() const
{
    if (!m_buffer)
        return QRect(kMargin, kMargin, kCaretWidth, lineHeight());
    const int line = m_buffer->lineOf(m_cursor.position);
    int column = m_buffer->columnOf(m_cursor.position);
    // The composition is laid out in the caret's line, the caret within it.
    if (!m_preedit.isEmpty())
        column += m_preeditCursor;
    return caretRect(line, column);
}

QRect TextView::cursorRectAt(int position) const
{
    if (!m_buffer)
        return QRect(kMargin, kMargin, kCaretWidth, lineHeight());
    position = std::clamp(position, 0, m_buffer->length());
    const int line = m_buffer->lineOf(position);
    return caretRect(line, position - m_buffer->lineStart(line));
}

QRect TextView::caretRect(int line, int column) const
{
    const qreal x = paintLayoutFor(line)->lineAt(0).cursorToX(column);
    return QRect(static_cast<int>(std::floor(textLeft() + x)), lineTop(line), kCaretWidth, lineHeight());
}

int TextView::positionAt(const QPoint &point) const
{
    if (!m_buffer)
        return 0;
    const int row = (point.y() - kMargin) < 0 ? -1 : (point.y() - kMargin) / lineHeight();
    const int line = firstVisibleLine() + row;
    if (line < 0)
        return 0;
    if (line >= m_buffer->lineCount())
        return m_buffer->length();
    return positionForX(line, point.x() - textLeft());
}

void TextView::setTabStopDistance(qreal distance)
{
    distance = std::max<qreal>(0, distance);
    if (qFuzzyCompare(distance, m_tabStop))
        return;
    m_tabStop = distance;
    dropLayouts();
    m_maxWidth = 0;
    if (m_buffer)
        measureLongestLines(0, m_buffer->lineCount());
    updateScrollBars();
    viewport()->update();
}

QMenu *TextView::createStandardContextMenu()
{
    auto *menu = new QMenu(this);
    menu->setObjectName(QStringLiteral("textContextMenu"));
    // Qt's own text fields use these words, so its translation has them.
    auto tr = [](const char *text) { return QCoreApplication::translate("QWidgetTextControl", text); };
    const bool editable = m_buffer && !m_readOnly;
    const bool selected = m_cursor.hasSelection();
    const QMimeData *clip = QGuiApplication::clipboard()->mimeData();
    menu->addAction(tr("&Undo"), QKeySequence::Undo, this, &TextView::undo)
        ->setEnabled(editable && m_buffer->isUndoAvailable());
    menu->addAction(tr("&Redo"), QKeySequence::Redo, this, &TextView::redo)
        ->setEnabled(editable && m_buffer->isRedoAvailable());
    menu->addSeparator();
    menu->addAction(tr("Cu&t"), QKeySequence::Cut, this, &TextView::cut)->setEnabled(editable && selected);
    menu->addAction(tr("&Copy"), QKeySequence::Copy, this, &TextView::copy)->setEnabled(selected);
    menu->addAction(tr("&Paste"), QKeySequence::Paste, this, &TextView::paste)
        ->setEnabled(editable && clip && clip->hasText());
    menu->addAction(tr("Delete"), this, [this] { insertText(QString()); })->setEnabled(editable && selected);
    menu->addSeparator();
    menu->addAction(tr("Select All"), QKeySequence::SelectAll, this, &TextView::selectAll)
        ->setEnabled(m_buffer && m_buffer->length() > 0);
    return menu;
}

void TextView::contextMenuEvent(QContextMenuEvent *event)
{
    QMenu *menu = createStandardContextMenu();
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->popup(event->globalPos());
    event->accept();
}

void TextView::selectAll()
{
    if (!m_buffer)
        return;
    setCursorInternal({0, m_buffer->length()});
}

void TextView::cut()
{
    if (m_readOnly || !m_cursor.hasSelection())
        return;
    copy();
    replaceRange(m_cursor.start(), m_cursor.end(), QString(), false);
}

void TextView::copy()
{
    if (m_cursor.hasSelection())
        QGuiApplication::clipboard()->setText(selectedText());
}

void TextView::paste()
{
    if (!m_buffer || m_readOnly)
        return;
    const QString text = normalizeBreaks(QGuiApplication::clipboard()->text());
    if (!text.isEmpty())
        insertText(text);
}

void TextView::undo()
{
    if (!m_buffer || !m_buffer->isUndoAvailable())
        return;
    setCursorInternal(m_buffer->undo());
    ensureCursorVisible();
}

void TextView::redo()
{
    if (!m_buffer || !m_buffer->isRedoAvailable())
        return;
    setCursorInternal(m_buffer->redo());
    ensureCursorVisible();
}

// ---- layouts ----

std::unique_ptr<QTextLayout> TextView::makeLayout(const QString &text) const
{
    auto layout = std::make_unique<QTextLayout>(text, font(), viewport());
    QTextOption option;
    option.setWrapMode(QTextOption::NoWrap);
    option.setTabStopDistance(m_tabStop);
    option.setTextDirection(Qt::LeftToRight);
    layout->setTextOption(option);
    layout->setCacheEnabled(true);
    return layout;
}

namespace {

// One line, its baseline at the font's ascent whatever fallback fonts the
// text needed, so that every line shares one height and one baseline.
void layOutOneLine(QTextLayout *layout, qreal ascent)
{
    layout->beginLayout();
    QTextLine line = layout->createLine();
    if (line.isValid()) {
        line.setNumColumns(std::numeric_limits<int>::max());
        line.setPosition(QPointF(0, ascent - line.ascent()));
    }
    layout->endLayout();
}

} // namespace

QTextLayout *TextView::layoutFor(int line) const
{
    if (!m_linesPending) {
        if (QTextLayout *cached = m_layouts.value(line))
            return cached;
    }
    std::unique_ptr<QTextLayout> layout = makeLayout(m_buffer->line(line));
    layOutOneLine(layout.get(), fontMetrics().ascent());
    m_maxWidth = std::max(m_maxWidth, layout->lineAt(0).naturalTextWidth());
    QTextLayout *raw = layout.get();
    if (m_linesPending)
        m_pendingLayouts.push_back(std::move(layout));
    else
        m_layouts.insert(line, layout.release());
    return raw;
}

QTextLayout *TextView::paintLayoutFor(int line) const
{
    if (m_preedit.isEmpty() || line != m_buffer->lineOf(m_cursor.position))
        return layoutFor(line);
    if (m_preeditLayout && m_preeditLine == line)
        return m_preeditLayout.get();
    const QString &text = m_buffer->line(line);
    const int column = m_buffer->columnOf(m_cursor.position);
    m_preeditLayout = makeLayout(text.left(column) + m_preedit + text.mid(column));
    // The composition is underlined as input methods expect, with whatever
    // formats the method asks for on top.
    QList<QTextLayout::FormatRange> formats;
    QTextCharFormat underline;
    underline.setUnderlineStyle(QTextCharFormat::SingleUnderline);
    formats.append({column, static_cast<int>(m_preedit.size()), underline});
    for (const QInputMethodEvent::Attribute &attribute : m_preeditAttributes) {
        if (attribute.type != QInputMethodEvent::TextFormat)
            continue;
        QTextCharFormat format = qvariant_cast<QTextFormat>(attribute.value).toCharFormat();
        if (!format.isValid())
            continue;
        const int start = std::clamp(attribute.start, 0, static_cast<int>(m_preedit.size()));
        const int length = std::clamp(attribute.length, 0, static_cast<int>(m_preedit.size()) - start);
        formats.append({column + start, length, format});
    }
    m_preeditLayout->setFormats(formats);
    layOutOneLine(m_preeditLayout.get(), fontMetrics().ascent());
    m_preeditLine = line;
    return m_preeditLayout.get();
}

void TextView::dropLayouts()
{
    qDeleteAll(m_layouts);
    m_layouts.clear();
    m_preeditLayout.reset();
}

void TextView::pruneLayouts()
{
    const int shown = visibleLines() + 1;
    if (m_layouts.size() <= 2 * shown + kLayoutSlack)
        return;
    const int first = firstVisibleLine();
    for (auto it = m_layouts.begin(); it != m_layouts.end();) {
        if (it.key() < first - shown || it.key() > first + 2 * shown) {
            delete it.value();
            it = m_layouts.erase(it);
        } else {
            ++it;
        }
    }
}

void TextView::measureLongestLines(int firstLine, int lineCount)
{
    // One pass over the lengths only: laying out a million lines would take
    // seconds, and the longest lines by characters are nearly always the
    // widest. The extent grows if a wider one shows up on screen.
    std::array<std::pair<int, int>, kMeasuredLines> longest; // length, line
    longest.fill({-1, -1});
    const int end = std::min(firstLine + lineCount, m_buffer->lineCount());
    for (int i = firstLine; i < end; ++i) {
        const int length = static_cast<int>(m_buffer->line(i).size());
        if (length <= longest.back().first)
            continue;
        longest.back() = {length, i};
        for (int k = kMeasuredLines - 1; k > 0 && longest[k].first > longest[k - 1].first; --k)
            std::swap(longest[k], longest[k - 1]);
    }
    const QFontMetricsF metrics(font());
    for (const auto &[length, line] : longest) {
        if (line < 0 || length == 0)
            continue;
        if (length > kMeasureCharLimit) {
            m_maxWidth = std::max(m_maxWidth, length * metrics.averageCharWidth());
            continue;
        }
        std::unique_ptr<QTextLayout> layout = makeLayout(m_buffer->line(line));
        layOutOneLine(layout.get(), metrics.ascent());
        m_maxWidth = std::max(m_maxWidth, layout->lineAt(0).naturalTextWidth());
    }
}

// ---- following the buffer ----

void TextView::onContentsChange(int position, int charsRemoved, int charsAdded)
{
    if (QAccessible::isActive()) {
        // The removed characters are gone by now; a screen reader hears of
        // the place and of what was added.
        if (charsAdded > 0) {
            QAccessibleTextInsertEvent event(this, position, m_buffer->text(position, position + charsAdded));
            QAccessible::updateAccessibility(&event);
        } else if (charsRemoved > 0) {
            QAccessibleTextRemoveEvent event(this, position, QString());
            QAccessible::updateAccessibility(&event);
        }
    }
    // As a QTextCursor does: after the change moves with it, inside the
    // removed part falls back to its start.
    const auto adjust = [&](int p) {
        if (p >= position + charsRemoved)
            return p + charsAdded - charsRemoved;
        if (p > position)
            return position;
        return p;
    };
    const TextSelection moved {adjust(m_cursor.anchor), adjust(m_cursor.position)};
    m_linesPending = true;
    m_preeditLayout.reset();
    if (moved != m_cursor) {
        if (!m_cursorPending)
            m_cursorBeforeChange = m_cursor;
        m_cursorPending = true;
        m_cursor = moved;
    }
}

void TextView::onLinesChanged(int firstLine, int removedLines, int addedLines)
{
    m_preeditLayout.reset();
    const bool wholeText = firstLine == 0 && addedLines == m_buffer->lineCount();
    if (wholeText) {
        dropLayouts();
        m_maxWidth = 0;
    } else {
        QHash<int, QTextLayout *> kept;
        kept.reserve(m_layouts.size());
        for (auto it = m_layouts.cbegin(); it != m_layouts.cend(); ++it) {
            if (it.key() < firstLine)
                kept.insert(it.key(), it.value());
            else if (it.key() >= firstLine + removedLines)
                kept.insert(it.key() + addedLines - removedLines, it.value());
            else
                delete it.value();
        }
        m_layouts.swap(kept);
    }
    // A pasted or loaded block may hold a wider line than any seen.
    if (wholeText || addedLines > 64)
        measureLongestLines(firstLine, addedLines);
    m_linesPending = false;
    m_pendingLayouts.clear();
    updateScrollBars();
    viewport()->update();
    if (m_cursorPending) {
        m_cursorPending = false;
        const TextSelection moved = m_cursor;
        m_cursor = m_cursorBeforeChange;
        setCursorInternal(moved, true);
    }
}

void TextView::updateScrollBars()
{
    const int lines = m_buffer ? m_buffer->lineCount() : 1;
    const int shown = visibleLines();
    QScrollBar *v = verticalScrollBar();
    v->setRange(0, std::max(0, lines - shown));
    v->setPageStep(shown);
    v->setSingleStep(1);
    QScrollBar *h = horizontalScrollBar();
    const int width = viewport()->width();
    h->setRange(0, std::max(0, static_cast<int>(std::ceil(m_maxWidth)) + 2 * kMargin + kCaretWidth - width));
    h->setPageStep(std::max(1, width));
}

// ---- the caret ----

void TextView::setCursorInternal(TextSelection cursor, bool keepColumn)
{
    const int length = m_buffer ? m_buffer->length() : 0;
    cursor.anchor = std::clamp(cursor.anchor, 0, length);
    cursor.position = std::clamp(cursor.position, 0, length);
    if (!keepColumn)
        m_wantedX = -1;
    const TextSelection old = m_cursor;
    m_cursor = cursor;
    if (old.position != cursor.position && m_preeditLayout)
        m_preeditLayout.reset();
    restartBlink();
    viewport()->update();
    if (old == cursor)
        return;
    if (old.position != cursor.position)
        emit cursorPositionChanged();
    if (old.hasSelection() || cursor.hasSelection())
        emit selectionChanged();
    if (old.hasSelection() != cursor.hasSelection())
        emit copyAvailable(cursor.hasSelection());
    if (!m_dragging && cursor.hasSelection() && (old.start() != cursor.start() || old.end() != cursor.end()))
        copySelectionToX11();
    if (hasFocus())
        QGuiApplication::inputMethod()->update(Qt::ImQueryInput);
}

void TextView::copySelectionToX11()
{
    QClipboard *clipboard = QGuiApplication::clipboard();
    if (m_cursor.hasSelection() && clipboard->supportsSelection())
        clipboard->setText(selectedText(), QClipboard::Selection);
}

qreal TextView::caretX(int position) const
{
    const int line = m_buffer->lineOf(position);
    return layoutFor(line)->lineAt(0).cursorToX(position - m_buffer->lineStart(line));
}

int TextView::positionForX(int line, qreal x) const
{
    const int column = layoutFor(line)->lineAt(0).xToCursor(x);
    return m_buffer->lineStart(line) + column;
}

int TextView::nextCharPosition(int position) const
{
    const int line = m_buffer->lineOf(position);
    const int column = position - m_buffer->lineStart(line);
    if (column >= m_buffer->line(line).size())
        return std::min(position + 1, m_buffer->length());
    return m_buffer->lineStart(line) + layoutFor(line)->nextCursorPosition(column);
}

int TextView::previousCharPosition(int position) const
{
    const int line = m_buffer->lineOf(position);
    const int column = position - m_buffer->lineStart(line);
    if (column == 0)
        return std::max(position - 1, 0);
    return m_buffer->lineStart(line) + layoutFor(line)->previousCursorPosition(column);
}

int TextView::nextWordPosition(int position) const
{
    const int line = m_buffer->lineOf(position);
    const int start = m_buffer->lineStart(line);
    const QString &text = m_buffer->line(line);
    int column = position - start;
    if (column >= text.size())
        return std::min(position + 1, m_buffer->length());
    const CharClass first = classOf(text[column]);
    if (first != CharClass::Space) {
        while (column < text.size() && classOf(text[column]) == first)
            ++column;
    }
    while (column < text.size() && classOf(text[column]) == CharClass::Space)
        ++column;
    return start + column;
}

int TextView::previousWordPosition(int position) const
{
    const int line = m_buffer->lineOf(position);
    const int start = m_buffer->lineStart(line);
    const QString &text = m_buffer->line(line);
    int column = position - start;
    if (column == 0)
        return std::max(position - 1, 0);
    while (column > 0 && classOf(text[column - 1]) == CharClass::Space)
        --column;
    if (column == 0)
        return start;
    const CharClass kind = classOf(text[column - 1]);
    while (column > 0 && classOf(text[column - 1]) == kind)
        --column;
    return start + column;
}

std::pair<int, int> TextView::wordAt(int position) const
{
    const int line = m_buffer->lineOf(position);
    const int start = m_buffer->lineStart(line);
    const QString &text = m_buffer->line(line);
    int column = position - start;
    if (text.isEmpty())
        return {position, position};
    // Right after a word (at a line's end, or before a blank) the word is meant.
    if (column >= text.size()
        || (column > 0 && classOf(text[column]) != CharClass::Word
            && classOf(text[column - 1]) == CharClass::Word))
        --column;
    const CharClass kind = classOf(text[column]);
    int from = column;
    int to = column + 1;
    while (from > 0 && classOf(text[from - 1]) == kind)
        --from;
    while (to < text.size() && classOf(text[to]) == kind)
        ++to;
    return {start + from, start + to};
}

bool TextView::caretVisible() const
{
    return hasFocus() && !m_readOnly;
}

void TextView::restartBlink()
{
    m_caretShown = true;
    const int flashTime = QGuiApplication::styleHints()->cursorFlashTime();
    if (caretVisible() && flashTime >= 2)
        m_blinkTimer.start(flashTime / 2, this);
    else
        m_blinkTimer.stop();
}

// ---- editing ----

void TextView::replaceRange(int from, int to, const QString &text, bool typing)
{
    if (!m_buffer)
        return;
    const TextSelection before = m_cursor;
    m_buffer->replace(from, to, text, before, typing);
    const int caret = from + static_cast<int>(text.size());
    setCursorInternal({caret, caret});
    ensureCursorVisible();
}

void TextView::deleteChar(bool forward)
{
    if (!m_buffer || m_readOnly)
        return;
    if (m_cursor.hasSelection()) {
        replaceRange(m_cursor.start(), m_cursor.end(), QString(), false);
        return;
    }
    const int position = m_cursor.position;
    if (forward) {
        const int to = nextCharPosition(position);
        if (to > position)
            replaceRange(position, to, QString(), true);
        return;
    }
    if (position == 0)
        return;
    // Backspace takes one character back, not a whole cluster, so that a
    // mistyped combining mark goes alone; a surrogate pair goes whole.
    int from = position - 1;
    if (from > 0 && m_buffer->characterAt(from).isLowSurrogate()
        && m_buffer->characterAt(from - 1).isHighSurrogate())
        --from;
    replaceRange(from, position, QString(), true);
}

bool TextView::handleMoveKey(QKeyEvent *event)
{
    for (const MoveKey &key : kMoveKeys) {
        if (!event->matches(key.key))
            continue;
        const int position = m_cursor.position;
        const int line = m_buffer->lineOf(position);
        int target = position;
        bool keepColumn = false;
        switch (key.move) {
        case Move::NextChar:
            target = !key.select && m_cursor.hasSelection() ? m_cursor.end() : nextCharPosition(position);
            break;
        case Move::PrevChar:
            target
                = !key.select && m_cursor.hasSelection() ? m_cursor.start() : previousCharPosition(position);
            break;
        case Move::NextWord:
            target = nextWordPosition(position);
            break;
        case Move::PrevWord:
            target = previousWordPosition(position);
            break;
        case Move::LineStart:
            target = m_buffer->lineStart(line);
            break;
        case Move::LineEnd:
            target = m_buffer->lineStart(line) + static_cast<int>(m_buffer->line(line).size());
            break;
        case Move::NextLine:
        case Move::PrevLine:
        case Move::NextPage:
        case Move::PrevPage: {
            if (m_wantedX < 0)
                m_wantedX = caretX(position);
            const bool page = key.move == Move::NextPage || key.move == Move::PrevPage;
            const int step = page ? visibleLines() : 1;
            const bool down = key.move == Move::NextLine || key.move == Move::NextPage;
            int targetLine = down ? line + step : line - step;
            targetLine = std::clamp(targetLine, 0, m_buffer->lineCount() - 1);
            if (page) {
                QScrollBar *v = verticalScrollBar();
                v->setValue(v->value() + (down ? step : -step));
            }
            if (targetLine != line)
                target = positionForX(targetLine, m_wantedX);
            else if (page)
                target = down ? m_buffer->length() : 0; // a page past either end goes to it
            keepColumn = true;
            break;
        }
        case Move::DocStart:
            target = 0;
            break;
        case Move::DocEnd:
            target = m_buffer->length();
            break;
        }
        const qreal wanted = m_wantedX;
        setCursorInternal({key.select ? m_cursor.anchor : target, target}, keepColumn);
        if (keepColumn)
            m_wantedX = wanted;
        ensureCursorVisible();
        return true;
    }
    return false;
}

bool TextView::handleEditKey(QKeyEvent *event)
{
    if (event->matches(QKeySequence::Cut)) {
        cut();
    } else if (event->matches(QKeySequence::Paste)) {
        paste();
    } else if (event->matches(QKeySequence::Undo)) {
        undo();
    } else if (event->matches(QKeySequence::Redo)) {
        redo();
    } else if (event->matches(QKeySequence::Delete)) {
        deleteChar(true);
    } else if (event->matches(QKeySequence::Backspace)
        || (event->key() == Qt::Key_Backspace
            && !(event->modifiers() & ~(Qt::ShiftModifier | Qt::KeypadModifier)))) {
        deleteChar(false);
    } else if (event->matches(QKeySequence::DeleteStartOfWord)) {
        if (m_cursor.hasSelection())
            deleteChar(false);
        else
            replaceRange(previousWordPosition(m_cursor.position), m_cursor.position, QString(), false);
    } else if (event->matches(QKeySequence::DeleteEndOfWord)) {
        if (m_cursor.hasSelection())
            deleteChar(true);
        else
            replaceRange(m_cursor.position, nextWordPosition(m_cursor.position), QString(), false);
    } else if (event->matches(QKeySequence::DeleteEndOfLine)) {
        const int line = m_buffer->lineOf(m_cursor.position);
        const int end = m_buffer->lineStart(line) + static_cast<int>(m_buffer->line(line).size());
        if (m_cursor.hasSelection())
            deleteChar(true);
        else if (end > m_cursor.position)
            replaceRange(m_cursor.position, end, QString(), false);
    } else if (event->matches(QKeySequence::InsertParagraphSeparator)
        || event->matches(QKeySequence::InsertLineSeparator)) {
        replaceRange(m_cursor.start(), m_cursor.end(), QStringLiteral("\n"), false);
    } else if (event->key() == Qt::Key_Tab
        && !(event->modifiers() & ~(Qt::ShiftModifier | Qt::KeypadModifier))) {
        replaceRange(m_cursor.start(), m_cursor.end(), QStringLiteral("\t"), !m_cursor.hasSelection());
    } else if (typesText(event)) {
        replaceRange(m_cursor.start(), m_cursor.end(), printable(event->text()), !m_cursor.hasSelection());
    } else {
        return false;
    }
    return true;
}

// ---- events ----

bool TextView::event(QEvent *event)
{
    if (event->type() == QEvent::ShortcutOverride) {
        auto *key = static_cast<QKeyEvent *>(event);
        bool ours = key->matches(QKeySequence::SelectAll) || key->matches(QKeySequence::Copy);
        for (const MoveKey &move : kMoveKeys)
            ours = ours || key->matches(move.key);
        if (!m_readOnly) {
            for (QKeySequence::StandardKey edit : kEditKeys)
                ours = ours || key->matches(edit);
            // Text typed with Ctrl+Alt (AltGr on some platforms) still types
            // when no shortcut wants it; the override would hide commands
            // such as Ctrl+Alt+P from the menus, so only plain typing claims it.
            const bool plain
                = (key->modifiers() & ~(Qt::ShiftModifier | Qt::KeypadModifier)) == Qt::NoModifier;
            ours = ours || (plain && typesText(key)) || key->key() == Qt::Key_Backspace;
        }
        if (ours && m_buffer) {
            event->accept();
            return true;
        }
    } else if (event->type() == QEvent::KeyPress) {
        // Tab types a tab here instead of moving the focus on.
        auto *key = static_cast<QKeyEvent *>(event);
        if (key->key() == Qt::Key_Tab && !(key->modifiers() & (Qt::ControlModifier | Qt::AltModifier))
            && !m_readOnly) {
            keyPressEvent(key);
            return true;
        }
    }
    return QAbstractScrollArea::event(event);
}

void TextView::keyPressEvent(QKeyEvent *event)
{
    if (!m_buffer) {
        QAbstractScrollArea::keyPressEvent(event);
        return;
    }
    if (handleMoveKey(event)) {
        event->accept();
        return;
    }
    if (event->matches(QKeySequence::SelectAll)) {
        selectAll();
    } else if (event->matches(QKeySequence::Copy)) {
        copy();
    } else if (m_readOnly || !handleEditKey(event)) {
        event->ignore();
        return;
    }
    event->accept();
}

void TextView::paintEvent(QPaintEvent *event)
{
    QPainter painter(viewport());
    if (!m_buffer)
        return;
    pruneLayouts();
    const QPalette::ColorGroup group = !isEnabled() ? QPalette::Disabled
        : hasFocus()                                ? QPalette::Active
                                                    : QPalette::Inactive;
    const QPalette &colours = palette();
    painter.setPen(colours.color(group, QPalette::Text));
    QTextCharFormat selectedFormat;
    selectedFormat.setBackground(colours.brush(group, QPalette::Highlight));
    selectedFormat.setForeground(colours.brush(group, QPalette::HighlightedText));

    const qreal maxWidthBefore = m_maxWidth;
    const int height = lineHeight();
    const int first = firstVisibleLine();
    const int lastOnScreen = first + (viewport()->height() - kMargin) / height;
    const int last = std::min(m_buffer->lineCount() - 1, lastOnScreen);
    const qreal left = textLeft();
    const int caretLine = m_buffer->lineOf(m_cursor.position);
    const int selStart = m_cursor.start();
    const int selEnd = m_cursor.end();
    const QRect clip = event->rect();
    const qreal breakWidth = QFontMetricsF(font()).horizontalAdvance(QLatin1Char(' '));

    for (int line = std::max(first, 0); line <= last; ++line) {
        const int top = lineTop(line);
        if (top > clip.bottom() || top + height <= clip.top())
            continue;
        QTextLayout *layout = paintLayoutFor(line);
        const int lineStart = m_buffer->lineStart(line);
        const int lineLength = static_cast<int>(m_buffer->line(line).size());
        QList<QTextLayout::FormatRange> selections;
        bool breakSelected = false;
        if (m_cursor.hasSelection() && selStart <= lineStart + lineLength && selEnd >= lineStart) {
            const int from = std::max(selStart, lineStart) - lineStart;
            const int to = std::min(selEnd, lineStart + lineLength) - lineStart;
            if (to > from)
                selections.append({from, to - from, selectedFormat});
            breakSelected = selEnd > lineStart + lineLength;
        }
        const QPointF origin(left, top);
        layout->draw(&painter, origin, selections, clip);
        if (breakSelected) {
            const qreal x = left + layout->lineAt(0).naturalTextWidth();
            painter.fillRect(QRectF(x, top, breakWidth, height), colours.brush(group, QPalette::Highlight));
        }
        if (line == caretLine && caretVisible() && m_caretShown) {
            int column = m_cursor.position - lineStart;
            if (!m_preedit.isEmpty()) {
                if (!m_preeditCursorShown)
                    continue;
                column += m_preeditCursor;
            }
            layout->drawCursor(&painter, origin, column, kCaretWidth);
        }
    }
    if (m_maxWidth > maxWidthBefore)
        updateScrollBars();
}

void TextView::resizeEvent(QResizeEvent *event)
{
    QAbstractScrollArea::resizeEvent(event);
    updateScrollBars();
}

void TextView::scrollContentsBy(int, int)
{
    m_preeditLayout.reset();
    viewport()->update();
    if (hasFocus())
        QGuiApplication::inputMethod()->update(Qt::ImCursorRectangle);
}

void TextView::mousePressEvent(QMouseEvent *event)
{
    if (!m_buffer)
        return;
    if (!m_preedit.isEmpty())
        QGuiApplication::inputMethod()->commit();
    const QPoint point = event->position().toPoint();
    const int position = positionAt(point);
    if (event->button() == Qt::LeftButton) {
        m_dragging = true;
        m_lastDragPoint = point;
        if (m_tripleClickTimer.isActive()
            && (point - m_tripleClickPoint).manhattanLength() < QApplication::startDragDistance()) {
            m_tripleClickTimer.stop();
            m_wordAnchorStart = m_wordAnchorEnd = -1;
            m_lineDrag = true;
            m_lineAnchor = m_buffer->lineOf(position);
            extendDragSelection(point);
        } else {
            m_lineDrag = false;
            m_wordAnchorStart = m_wordAnchorEnd = -1;
            const bool extend = event->modifiers() & Qt::ShiftModifier;
            setCursorInternal({extend ? m_cursor.anchor : position, position});
        }
        ensureCursorVisible();
        event->accept();
    } else if (event->button() == Qt::MiddleButton) {
        QClipboard *clipboard = QGuiApplication::clipboard();
        if (!m_readOnly && clipboard->supportsSelection()) {
            const QString text = normalizeBreaks(clipboard->text(QClipboard::Selection));
            setCursorInternal({position, position});
            if (!text.isEmpty())
                insertText(text);
        }
        event->accept();
    }
}

void TextView::mouseDoubleClickEvent(QMouseEvent *event)
{
    if (!m_buffer || event->button() != Qt::LeftButton) {
        QAbstractScrollArea::mouseDoubleClickEvent(event);
        return;
    }
    const QPoint point = event->position().toPoint();
    const auto [from, to] = wordAt(positionAt(point));
    m_wordAnchorStart = from;
    m_wordAnchorEnd = to;
    m_lineDrag = false;
    m_dragging = true;
    m_lastDragPoint = point;
    setCursorInternal({from, to});
    m_tripleClickPoint = point;
    m_tripleClickTimer.start(QGuiApplication::styleHints()->mouseDoubleClickInterval(), this);
    event->accept();
}

void TextView::extendDragSelection(const QPoint &point)
{
    const int position = positionAt(point);
    if (m_lineDrag) {
        const auto lineEnd = [this](int line) {
            return line + 1 < m_buffer->lineCount() ? m_buffer->lineStart(line + 1) : m_buffer->length();
        };
        const int line = m_buffer->lineOf(position);
        if (line < m_lineAnchor)
            setCursorInternal({lineEnd(m_lineAnchor), m_buffer->lineStart(line)});
        else
            setCursorInternal({m_buffer->lineStart(m_lineAnchor), lineEnd(line)});
    } else if (m_wordAnchorStart >= 0) {
        const auto [from, to] = wordAt(position);
        if (position < m_wordAnchorStart)
            setCursorInternal({m_wordAnchorEnd, from});
        else
            setCursorInternal({m_wordAnchorStart, std::max(to, m_wordAnchorEnd)});
    } else {
        setCursorInternal({m_cursor.anchor, position});
    }
}

void TextView::mouseMoveEvent(QMouseEvent *event)
{
    if (!m_buffer || !m_dragging || !(event->buttons() & Qt::LeftButton))
        return;
    m_lastDragPoint = event->position().toPoint();
    if (viewport()->rect().contains(m_lastDragPoint))
        m_dragScrollTimer.stop();
    else if (!m_dragScrollTimer.isActive())
        m_dragScrollTimer.start(kDragScrollInterval, this);
    extendDragSelection(m_lastDragPoint);
    event->accept();
}

void TextView::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton && m_dragging) {
        m_dragging = false;
        m_dragScrollTimer.stop();
        copySelectionToX11();
        event->accept();
    }
}

void TextView::focusInEvent(QFocusEvent *event)
{
    QAbstractScrollArea::focusInEvent(event);
    restartBlink();
    viewport()->update();
}

void TextView::focusOutEvent(QFocusEvent *event)
{
    QAbstractScrollArea::focusOutEvent(event);
    m_blinkTimer.stop();
    m_dragging = false;
    m_dragScrollTimer.stop();
    viewport()->update();
}

void TextView::changeEvent(QEvent *event)
{
    QAbstractScrollArea::changeEvent(event);
    switch (event->type()) {
    case QEvent::FontChange:
        dropLayouts();
        m_maxWidth = 0;
        if (m_buffer)
            measureLongestLines(0, m_buffer->lineCount());
        updateScrollBars();
        viewport()->update();
        break;
    case QEvent::PaletteChange:
    case QEvent::ActivationChange:
    case QEvent::EnabledChange:
        viewport()->update();
        break;
    default:
        break;
    }
}

void TextView::timerEvent(QTimerEvent *event)
{
    if (event->timerId() == m_blinkTimer.timerId()) {
        m_caretShown = !m_caretShown;
        viewport()->update(cursorRect().adjusted(-1, 0, 1, 0));
    } else if (event->timerId() == m_dragScrollTimer.timerId()) {
        // Beyond an edge the view scrolls towards the mouse, faster the
        // farther it is, and the selection follows.
        const QRect area = viewport()->rect();
        const QPoint p = m_lastDragPoint;
        QScrollBar *v = verticalScrollBar();
        if (p.y() < area.top())
            v->setValue(v->value() - 1 - (area.top() - p.y()) / lineHeight());
        else if (p.y() > area.bottom())
            v->setValue(v->value() + 1 + (p.y() - area.bottom()) / lineHeight());
        QScrollBar *h = horizontalScrollBar();
        if (p.x() < area.left())
            h->setValue(h->value() - h->singleStep());
        else if (p.x() > area.right())
            h->setValue(h->value() + h->singleStep());
        extendDragSelection(p);
    } else if (event->timerId() == m_tripleClickTimer.timerId()) {
        m_tripleClickTimer.stop();
    } else {
        QAbstractScrollArea::timerEvent(event);
    }
}

void TextView::inputMethodEvent(QInputMethodEvent *event)
{
    if (!m_buffer || m_readOnly) {
        event->ignore();
        return;
    }
    const QString commit = normalizeBreaks(event->commitString());
    const bool gettingInput
        = !commit.isEmpty() || event->preeditString() != m_preedit || event->replacementLength() > 0;
    if (gettingInput) {
        int from = m_cursor.start();
        int to = m_cursor.end();
        if (!m_cursor.hasSelection() && (event->replacementStart() != 0 || event->replacementLength() > 0)) {
            // Replacement counts from the caret and stays within its line.
            const int line = m_buffer->lineOf(m_cursor.position);
            const int lineStart = m_buffer->lineStart(line);
            const int lineEnd = lineStart + static_cast<int>(m_buffer->line(line).size());
            from = std::clamp(m_cursor.position + event->replacementStart(), lineStart, lineEnd);
            to = std::clamp(from + event->replacementLength(), from, lineEnd);
        }
        if (from != to || !commit.isEmpty()) {
            // Committed syllables join one undo step as typed keys do.
            const TextSelection before = m_cursor;
            m_buffer->replace(from, to, commit, before, from == to);
            const int caret = from + static_cast<int>(commit.size());
            setCursorInternal({caret, caret});
        }
    }
    m_preedit = event->preeditString();
    m_preeditAttributes = event->attributes();
    m_preeditCursor = static_cast<int>(m_preedit.size());
    m_preeditCursorShown = true;
    for (const QInputMethodEvent::Attribute &attribute : m_preeditAttributes) {
        if (attribute.type == QInputMethodEvent::Cursor) {
            m_preeditCursor = std::clamp(attribute.start, 0, static_cast<int>(m_preedit.size()));
            m_preeditCursorShown = attribute.length != 0;
        }
    }
    m_preeditLayout.reset();
    ensureCursorVisible();
    restartBlink();
    viewport()->update();
    event->accept();
    QGuiApplication::inputMethod()->update(Qt::ImCursorRectangle);
}

QVariant TextView::inputMethodQuery(Qt::InputMethodQuery query) const
{
    if (!m_buffer)
        return QAbstractScrollArea::inputMethodQuery(query);
    const int line = m_buffer->lineOf(m_cursor.position);
    const int lineStart = m_buffer->lineStart(line);
    const QString &text = m_buffer->line(line);
    switch (query) {
    case Qt::ImEnabled:
        return !m_readOnly;
    case Qt::ImCursorRectangle:
        return QRectF(cursorRect().translated(viewport()->pos()));
    case Qt::ImFont:
        return font();
    case Qt::ImCursorPosition:
        return m_cursor.position - lineStart;
    case Qt::ImAnchorPosition:
        return std::clamp(m_cursor.anchor - lineStart, 0, static_cast<int>(text.size()));
    case Qt::ImAbsolutePosition:
        return m_cursor.position;
    case Qt::ImSurroundingText:
        return text;
    case Qt::ImTextBeforeCursor:
        return text.left(m_cursor.position - lineStart);
    case Qt::ImTextAfterCursor:
        return text.mid(m_cursor.position - lineStart);
    case Qt::ImCurrentSelection:
        return selectedText();
    case Qt::ImHints:
        return static_cast<int>(inputMethodHints());
    case Qt::ImMaximumTextLength:
        return QVariant(); // no limit
    case Qt::ImReadOnly:
        return m_readOnly;
    default:
        return QAbstractScrollArea::inputMethodQuery(query);
    }
}
