#include "editor/textview.h"
#include "editor/lineindent.h"
#include "editor/texthighlighter.h"
#include "editor/textviewaccessible.h"
#include "editor/textviewmarginarea.h"
#include "editor/textviewpainter.h"

#include <QAccessible>
#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QFocusEvent>
#include <QGuiApplication>
#include <QHelpEvent>
#include <QInputMethod>
#include <QKeyEvent>
#include <QMenu>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QStyleHints>
#include <QTextLayout>
#include <QToolTip>

#include <algorithm>
#include <cmath>

namespace {

// The blank kept around the text, as QPlainTextEdit's document margin.
constexpr int kMargin = 4;
constexpr int kCaretWidth = 1;
// Characters on each side of the caret an input method is shown of a long line.
constexpr int kImeContext = 1024;

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

struct MoveKey {
    QKeySequence::StandardKey key;
    CaretMovement::Move move;
    bool select;
};

constexpr MoveKey kMoveKeys[] = {
    {QKeySequence::MoveToNextChar, CaretMovement::NextChar, false},
    {QKeySequence::MoveToPreviousChar, CaretMovement::PrevChar, false},
    {QKeySequence::MoveToNextWord, CaretMovement::NextWord, false},
    {QKeySequence::MoveToPreviousWord, CaretMovement::PrevWord, false},
    {QKeySequence::MoveToStartOfLine, CaretMovement::LineStart, false},
    {QKeySequence::MoveToEndOfLine, CaretMovement::LineEnd, false},
    {QKeySequence::MoveToStartOfBlock, CaretMovement::LineStart, false},
    {QKeySequence::MoveToEndOfBlock, CaretMovement::LineEnd, false},
    {QKeySequence::MoveToNextLine, CaretMovement::NextLine, false},
    {QKeySequence::MoveToPreviousLine, CaretMovement::PrevLine, false},
    {QKeySequence::MoveToNextPage, CaretMovement::NextPage, false},
    {QKeySequence::MoveToPreviousPage, CaretMovement::PrevPage, false},
    {QKeySequence::MoveToStartOfDocument, CaretMovement::DocStart, false},
    {QKeySequence::MoveToEndOfDocument, CaretMovement::DocEnd, false},
    {QKeySequence::SelectNextChar, CaretMovement::NextChar, true},
    {QKeySequence::SelectPreviousChar, CaretMovement::PrevChar, true},
    {QKeySequence::SelectNextWord, CaretMovement::NextWord, true},
    {QKeySequence::SelectPreviousWord, CaretMovement::PrevWord, true},
    {QKeySequence::SelectStartOfLine, CaretMovement::LineStart, true},
    {QKeySequence::SelectEndOfLine, CaretMovement::LineEnd, true},
    {QKeySequence::SelectStartOfBlock, CaretMovement::LineStart, true},
    {QKeySequence::SelectEndOfBlock, CaretMovement::LineEnd, true},
    {QKeySequence::SelectNextLine, CaretMovement::NextLine, true},
    {QKeySequence::SelectPreviousLine, CaretMovement::PrevLine, true},
    {QKeySequence::SelectNextPage, CaretMovement::NextPage, true},
    {QKeySequence::SelectPreviousPage, CaretMovement::PrevPage, true},
    {QKeySequence::SelectStartOfDocument, CaretMovement::DocStart, true},
    {QKeySequence::SelectEndOfDocument, CaretMovement::DocEnd, true},
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
    m_layouts.setFont(font());
    m_layouts.setPaintDevice(viewport());
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
    setHighlighter(nullptr);
}

void TextView::setBuffer(TextBuffer *buffer)
{
    for (auto &connection : m_bufferConnections)
        disconnect(connection);
    m_bufferConnections.clear();
    const bool hadSelection = m_cursor.hasSelection();
    const bool hadUndo = m_buffer && m_buffer->isUndoAvailable();
    const bool hadRedo = m_buffer && m_buffer->isRedoAvailable();
    m_preedit.clear();
    m_caret.forgetColumn();
    m_mouse.release();
    m_buffer = buffer;
    m_cursor = TextSelection();
    m_layouts.setBuffer(m_buffer);
    if (m_buffer)
        connectBuffer();
    verticalScrollBar()->setValue(0);
    horizontalScrollBar()->setValue(0);
    updateMargin();
    updateScrollBars();
    viewport()->update();
    emitBufferSwitchSignals(hadSelection, hadUndo, hadRedo);
}

void TextView::connectBuffer()
{
    m_bufferConnections = {
        connect(m_buffer, &TextBuffer::changed, this, &TextView::onBufferChange),
        connect(m_buffer, &TextBuffer::contentsChanged, this, &TextView::textChanged),
        connect(m_buffer, &TextBuffer::modificationChanged, this, &TextView::modificationChanged),
        connect(m_buffer, &TextBuffer::undoAvailable, this, &TextView::undoAvailable),
        connect(m_buffer, &TextBuffer::redoAvailable, this, &TextView::redoAvailable),
        connect(m_buffer, &QObject::destroyed, this,
            [this] {
                // Shown past its life would read freed lines.
                m_buffer = nullptr;
                setBuffer(nullptr);
            }),
    };
}

void TextView::emitBufferSwitchSignals(bool hadSelection, bool hadUndo, bool hadRedo)
{
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
    m_preedit.invalidate();
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
    return m_layouts.lineHeight();
}

int TextView::lineTop(int line) const
{
    return kMargin + (line - firstVisibleLine()) * lineHeight();
}

qreal TextView::textLeft() const
{
    return kMargin - horizontalScrollBar()->value();
}

std::vector<TextViewMargin::VisibleLine> TextView::linesOnScreen() const
{
    std::vector<TextViewMargin::VisibleLine> lines;
    if (!m_buffer)
        return lines;
    const int first = firstVisibleLine();
    const int last
        = std::min(m_buffer->lineCount() - 1, first + (viewport()->height() - kMargin) / lineHeight());
    for (int line = std::max(first, 0); line <= last; ++line)
        lines.push_back({line, lineTop(line)});
    return lines;
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

    qreal x = m_caret.xOf(m_cursor.position);
    if (!m_preedit.isEmpty())
        x = shownLayout(line)->cursorToX(m_buffer->columnOf(m_cursor.position) + m_preedit.cursor());
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
        column += m_preedit.cursor();
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
    const qreal x = shownLayout(line)->cursorToX(column);
    return QRect(static_cast<int>(std::floor(textLeft() + x)), lineTop(line), kCaretWidth, lineHeight());
}

LineLayout *TextView::shownLayout(int line) const
{
    if (m_preedit.isEmpty() || line != m_buffer->lineOf(m_cursor.position))
        return m_layouts.layout(line);
    return m_preedit.layout(line, m_buffer->columnOf(m_cursor.position), m_layouts);
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
    return m_caret.positionForX(line, point.x() - textLeft());
}

void TextView::setTabStopDistance(qreal distance)
{
    distance = std::max<qreal>(0, distance);
    if (qFuzzyCompare(distance, m_layouts.tabStopDistance()))
        return;
    m_layouts.setTabStopDistance(distance);
    m_preedit.invalidate();
    updateScrollBars();
    viewport()->update();
}

void TextView::setTabWidth(int columns)
{
    m_tabColumns = std::max(0, columns);
    if (m_tabColumns > 0)
        setTabStopDistance(m_tabColumns * QFontMetricsF(font()).horizontalAdvance(QLatin1Char(' ')));
}

void TextView::setHighlightCurrentLine(bool highlight)
{
    m_highlightCurrentLine = highlight;
    viewport()->update();
}

void TextView::setMargin(TextViewMargin *margin)
{
    if (margin == this->margin())
        return;
    m_marginArea.reset();
    if (margin)
        m_marginArea = std::make_unique<TextViewMarginArea>(*this, *margin);
    updateMargin();
    if (m_marginArea)
        m_marginArea->show();
}

TextViewMargin *TextView::margin() const
{
    return m_marginArea ? &m_marginArea->margin() : nullptr;
}

void TextView::updateMargin()
{
    const int lines = m_buffer ? m_buffer->lineCount() : 1;
    const int width = m_marginArea ? std::max(0, m_marginArea->margin().width(lines, fontMetrics())) : 0;
    if (width != viewportMargins().left())
        setViewportMargins(width, 0, 0, 0);
    updateMarginGeometry();
}

void TextView::updateMarginGeometry()
{
    if (!m_marginArea)
        return;
    const QRect text = viewport()->geometry();
    m_marginArea->setGeometry(
        text.left() - viewportMargins().left(), text.top(), viewportMargins().left(), text.height());
    m_marginArea->update();
}

void TextView::setHighlighter(TextHighlighter *highlighter)
{
    if (TextHighlighter *old = m_layouts.highlighter())
        old->m_linesChanged = nullptr;
    m_layouts.setHighlighter(highlighter);
    m_preedit.invalidate();
    if (highlighter) {
        highlighter->m_linesChanged = [this](int first, int last) {
            m_layouts.invalidate(first, last);
            m_preedit.invalidate();
            viewport()->update();
        };
    }
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

// ---- following the buffer ----

void TextView::onBufferChange(const TextChange &change)
{
    if (QAccessible::isActive()) {
        // The removed characters are gone by now; a screen reader hears of
        // the place and of what was added.
        if (change.charsAdded > 0) {
            QAccessibleTextInsertEvent event(
                this, change.position, m_buffer->text(change.position, change.position + change.charsAdded));
            QAccessible::updateAccessibility(&event);
        } else if (change.charsRemoved > 0) {
            QAccessibleTextRemoveEvent event(this, change.position, QString());
            QAccessible::updateAccessibility(&event);
        }
    }
    m_layouts.applyChange(change);
    m_preedit.invalidate();
    if (m_marginArea && change.linesAdded != change.linesRemoved)
        updateMargin();
    else if (m_marginArea)
        m_marginArea->update();
    updateScrollBars();
    viewport()->update();
    // As a QTextCursor does: after the change moves with it, inside the
    // removed part falls back to its start.
    const auto adjust = [&](int p) {
        if (p >= change.position + change.charsRemoved)
            return p + change.charsAdded - change.charsRemoved;
        if (p > change.position)
            return change.position;
        return p;
    };
    const TextSelection moved {adjust(m_cursor.anchor), adjust(m_cursor.position)};
    if (moved != m_cursor)
        setCursorInternal(moved, true);
}

void TextView::relayout()
{
    m_layouts.setFont(font());
    setTabWidth(m_tabColumns);
    m_preedit.invalidate();
    updateMargin();
    updateScrollBars();
    viewport()->update();
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
    const int extent = static_cast<int>(std::ceil(m_layouts.maxWidth())) + 2 * kMargin + kCaretWidth;
    h->setRange(0, std::max(0, extent - width));
    h->setPageStep(std::max(1, width));
}

// ---- the caret ----

void TextView::setCursorInternal(TextSelection cursor, bool keepColumn)
{
    const int length = m_buffer ? m_buffer->length() : 0;
    cursor.anchor = std::clamp(cursor.anchor, 0, length);
    cursor.position = std::clamp(cursor.position, 0, length);
    if (!keepColumn)
        m_caret.forgetColumn();
    const TextSelection old = m_cursor;
    m_cursor = cursor;
    if (old.position != cursor.position)
        m_preedit.invalidate();
    restartBlink();
    viewport()->update();
    if (m_marginArea && old.position != cursor.position)
        m_marginArea->update(); // the caret's line number stands out
    if (old == cursor)
        return;
    if (old.position != cursor.position)
        emit cursorPositionChanged();
    if (old.hasSelection() || cursor.hasSelection())
        emit selectionChanged();
    if (old.hasSelection() != cursor.hasSelection())
        emit copyAvailable(cursor.hasSelection());
    if (!m_mouse.isDragging() && cursor.hasSelection()
        && (old.start() != cursor.start() || old.end() != cursor.end()))
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
        const int to = m_caret.nextCharPosition(position);
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
        const int page = visibleLines();
        const int target = m_caret.target(key.move, m_cursor, key.select, page);
        if (key.move == CaretMovement::NextPage || key.move == CaretMovement::PrevPage) {
            QScrollBar *v = verticalScrollBar();
            v->setValue(v->value() + (key.move == CaretMovement::NextPage ? page : -page));
        }
        setCursorInternal(
            {key.select ? m_cursor.anchor : target, target}, CaretMovement::movesByLines(key.move));
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
            replaceRange(
                m_caret.previousWordPosition(m_cursor.position), m_cursor.position, QString(), false);
    } else if (event->matches(QKeySequence::DeleteEndOfWord)) {
        if (m_cursor.hasSelection())
            deleteChar(true);
        else
            replaceRange(m_cursor.position, m_caret.nextWordPosition(m_cursor.position), QString(), false);
    } else if (event->matches(QKeySequence::DeleteEndOfLine)) {
        const int end = m_caret.lineEnd(m_buffer->lineOf(m_cursor.position));
        if (m_cursor.hasSelection())
            deleteChar(true);
        else if (end > m_cursor.position)
            replaceRange(m_cursor.position, end, QString(), false);
    } else if (event->matches(QKeySequence::InsertParagraphSeparator)
        || event->matches(QKeySequence::InsertLineSeparator)) {
        replaceRange(m_cursor.start(), m_cursor.end(), QStringLiteral("\n"), false);
    } else if (event->key() == Qt::Key_Backtab
        && !(event->modifiers() & ~(Qt::ShiftModifier | Qt::KeypadModifier))) {
        shiftLines(true);
    } else if (event->key() == Qt::Key_Tab
        && !(event->modifiers() & ~(Qt::ShiftModifier | Qt::KeypadModifier))) {
        if (lineindent::spansLines(*m_buffer, m_cursor))
            shiftLines(false);
        else
            replaceRange(m_cursor.start(), m_cursor.end(), QStringLiteral("\t"), !m_cursor.hasSelection());
    } else if (typesText(event)) {
        replaceRange(m_cursor.start(), m_cursor.end(), printable(event->text()), !m_cursor.hasSelection());
    } else {
        return false;
    }
    return true;
}

void TextView::shiftLines(bool outdent)
{
    const int columns = m_tabColumns > 0 ? m_tabColumns : 8;
    setCursorInternal(outdent ? lineindent::outdent(*m_buffer, m_cursor, columns)
                              : lineindent::indent(*m_buffer, m_cursor));
    ensureCursorVisible();
}

// ---- events ----

bool TextView::isOurShortcut(QKeyEvent *key) const
{
    bool ours = key->matches(QKeySequence::SelectAll) || key->matches(QKeySequence::Copy);
    for (const MoveKey &move : kMoveKeys)
        ours = ours || key->matches(move.key);
    if (!m_readOnly) {
        for (QKeySequence::StandardKey edit : kEditKeys)
            ours = ours || key->matches(edit);
        // Text typed with Ctrl+Alt (AltGr on some platforms) still types
        // when no shortcut wants it; the override would hide commands
        // such as Ctrl+Alt+P from the menus, so only plain typing claims it.
        const bool plain = (key->modifiers() & ~(Qt::ShiftModifier | Qt::KeypadModifier)) == Qt::NoModifier;
        ours = ours || (plain && typesText(key)) || key->key() == Qt::Key_Backspace;
    }
    return ours;
}

bool TextView::viewportEvent(QEvent *event)
{
    if (event->type() == QEvent::ToolTip) {
        // A highlighter may say what the text under the pointer means.
        auto *help = static_cast<QHelpEvent *>(event);
        const QString tip = toolTipAt(help->pos());
        if (tip.isEmpty()) {
            QToolTip::hideText();
            event->ignore();
        } else {
            QToolTip::showText(help->globalPos(), tip, viewport());
        }
        return true;
    }
    return QAbstractScrollArea::viewportEvent(event);
}

QString TextView::toolTipAt(const QPoint &point) const
{
    TextHighlighter *highlighter = m_layouts.highlighter();
    if (!m_buffer || !highlighter || point.y() < kMargin)
        return {};
    const int line = firstVisibleLine() + (point.y() - kMargin) / lineHeight();
    if (line >= m_buffer->lineCount())
        return {};
    const qreal x = point.x() - textLeft();
    const LineLayout *layout = m_layouts.layout(line);
    if (x < 0 || x >= layout->width())
        return {};
    // The character under the pointer, not the caret position nearest it.
    int column = layout->xToCursor(x);
    if (column > 0 && layout->cursorToX(column) > x)
        column = layout->previousCursorPosition(column);
    return highlighter->toolTip(line, m_buffer->line(line), column);
}

bool TextView::event(QEvent *event)
{
    if (event->type() == QEvent::ShortcutOverride) {
        if (m_buffer && isOurShortcut(static_cast<QKeyEvent *>(event))) {
            event->accept();
            return true;
        }
    } else if (event->type() == QEvent::KeyPress) {
        // Tab types a tab (Shift+Tab outdents) here instead of moving the focus.
        auto *key = static_cast<QKeyEvent *>(event);
        const bool tab = key->key() == Qt::Key_Tab || key->key() == Qt::Key_Backtab;
        if (tab && !(key->modifiers() & (Qt::ControlModifier | Qt::AltModifier)) && !m_readOnly) {
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
    m_layouts.prune(firstVisibleLine(), visibleLines() + 1);
    const qreal maxWidthBefore = m_layouts.maxWidth();
    TextViewPainter::Frame frame;
    frame.buffer = m_buffer;
    frame.layoutOf = [this](int line) { return shownLayout(line); };
    frame.palette = palette();
    frame.group = !isEnabled() ? QPalette::Disabled : hasFocus() ? QPalette::Active : QPalette::Inactive;
    frame.breakWidth = QFontMetricsF(font()).horizontalAdvance(QLatin1Char(' '));
    frame.lineHeight = lineHeight();
    frame.firstLine = firstVisibleLine();
    frame.lastLine = std::min(
        m_buffer->lineCount() - 1, frame.firstLine + (viewport()->height() - kMargin) / frame.lineHeight);
    frame.origin = QPointF(textLeft(), kMargin);
    frame.clip = event->rect();
    frame.cursor = m_cursor;
    frame.caretShown = caretVisible() && m_caretShown;
    if (!m_preedit.isEmpty())
        frame.caretShift = m_preedit.cursorShown() ? m_preedit.cursor() : -1;
    frame.caretWidth = kCaretWidth;
    if (m_highlightCurrentLine) {
        // Faint enough that a selection over the line reads as before.
        QColor band = palette().color(frame.group, QPalette::Highlight);
        band.setAlphaF(0.12f);
        frame.currentLine = band;
    }
    TextViewPainter::paint(painter, frame);
    if (m_layouts.maxWidth() > maxWidthBefore)
        updateScrollBars();
}

void TextView::resizeEvent(QResizeEvent *event)
{
    QAbstractScrollArea::resizeEvent(event);
    updateScrollBars();
    updateMarginGeometry();
}

void TextView::scrollContentsBy(int, int)
{
    m_preedit.invalidate();
    viewport()->update();
    if (m_marginArea)
        m_marginArea->update();
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
        const bool extend = event->modifiers() & Qt::ShiftModifier;
        setCursorInternal(m_mouse.press(position, point, extend, m_cursor));
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
    setCursorInternal(m_mouse.doubleClick(positionAt(point), point));
    event->accept();
}

void TextView::extendDragSelection(const QPoint &point)
{
    setCursorInternal(m_mouse.dragTo(positionAt(point), m_cursor));
}

void TextView::mouseMoveEvent(QMouseEvent *event)
{
    if (!m_buffer || !m_mouse.isDragging() || !(event->buttons() & Qt::LeftButton))
        return;
    m_mouse.moveTo(event->position().toPoint(), viewport()->rect(), this);
    extendDragSelection(m_mouse.lastPoint());
    event->accept();
}

void TextView::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton && m_mouse.isDragging()) {
        m_mouse.release();
        copySelectionToX11();
        event->accept();
    }
}

void TextView::dragScrollTick()
{
    // Beyond an edge the view scrolls towards the mouse, faster the
    // farther it is, and the selection follows.
    const QPoint step = m_mouse.scrollStep(viewport()->rect(), lineHeight());
    QScrollBar *v = verticalScrollBar();
    if (step.y() != 0)
        v->setValue(v->value() + step.y());
    QScrollBar *h = horizontalScrollBar();
    if (step.x() != 0)
        h->setValue(h->value() + step.x() * h->singleStep());
    extendDragSelection(m_mouse.lastPoint());
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
    m_mouse.release();
    viewport()->update();
}

void TextView::changeEvent(QEvent *event)
{
    QAbstractScrollArea::changeEvent(event);
    switch (event->type()) {
    case QEvent::FontChange:
        relayout();
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
    } else if (m_mouse.isScrollTimer(event->timerId())) {
        dragScrollTick();
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
    commitInput(*event);
    m_preedit.update(*event);
    ensureCursorVisible();
    restartBlink();
    viewport()->update();
    event->accept();
    QGuiApplication::inputMethod()->update(Qt::ImCursorRectangle);
}

void TextView::commitInput(const QInputMethodEvent &event)
{
    const QString commit = normalizeBreaks(event.commitString());
    const bool gettingInput
        = !commit.isEmpty() || event.preeditString() != m_preedit.text() || event.replacementLength() > 0;
    if (!gettingInput)
        return;
    int from = m_cursor.start();
    int to = m_cursor.end();
    if (!m_cursor.hasSelection() && (event.replacementStart() != 0 || event.replacementLength() > 0)) {
        // Replacement counts from the caret and stays within its line.
        const int line = m_buffer->lineOf(m_cursor.position);
        const int lineStart = m_buffer->lineStart(line);
        const int lineEnd = m_caret.lineEnd(line);
        from = std::clamp(m_cursor.position + event.replacementStart(), lineStart, lineEnd);
        to = std::clamp(from + event.replacementLength(), from, lineEnd);
    }
    if (from != to || !commit.isEmpty()) {
        // Committed syllables join one undo step as typed keys do.
        const TextSelection before = m_cursor;
        m_buffer->replace(from, to, commit, before, from == to);
        const int caret = from + static_cast<int>(commit.size());
        setCursorInternal({caret, caret});
    }
}

QVariant TextView::inputMethodQuery(Qt::InputMethodQuery query) const
{
    if (!m_buffer)
        return QAbstractScrollArea::inputMethodQuery(query);
    const int line = m_buffer->lineOf(m_cursor.position);
    int lineStart = m_buffer->lineStart(line);
    QString text = m_buffer->line(line);
    // Input methods ask for the text around the caret on every keystroke;
    // of a line of millions of characters they get the part near the caret.
    if (text.size() > kImeContext * 2) {
        const int caret = m_cursor.position - lineStart;
        const int from = std::clamp(caret - kImeContext, 0, static_cast<int>(text.size()) - 2 * kImeContext);
        text = text.mid(from, 2 * kImeContext);
        lineStart += from;
    }
    switch (query) {
    case Qt::ImEnabled:
        return !m_readOnly;
    case Qt::ImCursorRectangle:
        return QRectF(cursorRect().translated(viewport()->pos()));
    case Qt::ImFont:
        return font();
    case Qt::ImCursorPosition:
        return std::clamp(m_cursor.position - lineStart, 0, static_cast<int>(text.size()));
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
