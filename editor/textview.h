#pragma once

#include "document/textbuffer.h"

#include <QAbstractScrollArea>
#include <QBasicTimer>
#include <QHash>
#include <QInputMethodEvent>
#include <QPointer>

#include <memory>
#include <utility>
#include <vector>

class QMenu;
class QTextLayout;

// A plain-text editor over a TextBuffer that lays out only the lines it
// shows, so a million-line file costs no more to show than a short one.
// Never wraps; one line height for every line; a horizontal extent that
// grows as wider lines come into view.
//
// It behaves as Qt's own plain-text editor does: the platform's key
// sequences for moving, selecting and editing, the mouse (click, drag with
// scrolling, double-click for a word, triple-click for a line, shift-click),
// the clipboard (also the X11 selection), input methods with their
// composition shown in place (Hangul is typed through one), a blinking
// caret, the palette's colours.
class TextView : public QAbstractScrollArea {
    Q_OBJECT
public:
    explicit TextView(QWidget *parent = nullptr);
    ~TextView() override;

    // Shows `buffer` (not owned; it must outlive its time here) with the
    // caret at its start; nullptr shows nothing.
    void setBuffer(TextBuffer *buffer);
    TextBuffer *buffer() const { return m_buffer; }

    TextSelection textCursor() const { return m_cursor; }
    // Moves the caret and selection (clamped to the text) and scrolls them into view.
    void setTextCursor(const TextSelection &cursor);
    QString selectedText() const; // line breaks as '\n'
    // Replaces the selection (or inserts at the caret) as one undo step and
    // leaves the caret after the new text (also when read-only, which refuses
    // only the user's edits, as in Qt's editors; so do undo() and redo()).
    void insertText(const QString &text);

    bool isReadOnly() const { return m_readOnly; }
    void setReadOnly(bool readOnly);

    // Scrolls the least needed to show the caret, or puts its line in the middle.
    void ensureCursorVisible();
    void centerCursor();
    int firstVisibleLine() const;
    // The height of every line, in pixels.
    int lineHeight() const;
    // The caret's rectangle in viewport coordinates.
    QRect cursorRect() const;
    // The rectangle a caret at `position` would have, in viewport coordinates.
    QRect cursorRectAt(int position) const;
    // The position nearest to a point of the viewport.
    int positionAt(const QPoint &point) const;
    qreal tabStopDistance() const { return m_tabStop; }
    // The editing menu every text field has (undo, redo, cut, copy, paste,
    // delete, select all), in the language of Qt's translations; the caller
    // owns it.
    QMenu *createStandardContextMenu();
    void setTabStopDistance(qreal distance);

public slots:
    void selectAll();
    void cut();
    void copy();
    void paste();
    void undo();
    void redo();

signals:
    void cursorPositionChanged();
    void selectionChanged();
    void copyAvailable(bool available);
    void undoAvailable(bool available);
    void redoAvailable(bool available);
    void textChanged();
    void modificationChanged(bool modified);

protected:
    bool event(QEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void scrollContentsBy(int dx, int dy) override;
    void keyPressEvent(QKeyEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void focusInEvent(QFocusEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;
    void changeEvent(QEvent *event) override;
    void contextMenuEvent(QContextMenuEvent *event) override;
    void timerEvent(QTimerEvent *event) override;
    void inputMethodEvent(QInputMethodEvent *event) override;
    QVariant inputMethodQuery(Qt::InputMethodQuery query) const override;

private:
    QRect caretRect(int line, int column) const;
    friend struct TextViewProbe; // tests count the cached layouts

    // Laid out once per line on screen, dropped when the line changes.
    QTextLayout *layoutFor(int line) const;
    // The caret's line shows the input method's composition inside it.
    QTextLayout *paintLayoutFor(int line) const;
    std::unique_ptr<QTextLayout> makeLayout(const QString &text) const;
    void dropLayouts();
    void pruneLayouts();
    void measureLongestLines(int firstLine, int lineCount);
    void onContentsChange(int position, int charsRemoved, int charsAdded);
    void onLinesChanged(int firstLine, int removedLines, int addedLines);
    void updateScrollBars();
    void setCursorInternal(TextSelection cursor, bool keepColumn = false);
    bool handleMoveKey(QKeyEvent *event);
    bool handleEditKey(QKeyEvent *event);
    void replaceRange(int from, int to, const QString &text, bool typing);
    void deleteChar(bool forward);
    void restartBlink();
    bool caretVisible() const;
    int visibleLines() const;
    int lineTop(int line) const;
    qreal textLeft() const;
    qreal caretX(int position) const;
    int positionForX(int line, qreal x) const;
    int nextCharPosition(int position) const;
    int previousCharPosition(int position) const;
    int nextWordPosition(int position) const;
    int previousWordPosition(int position) const;
    std::pair<int, int> wordAt(int position) const;
    void extendDragSelection(const QPoint &point);
    void copySelectionToX11();

    TextBuffer *m_buffer = nullptr;
    QMetaObject::Connection m_bufferConnections[8];
    TextSelection m_cursor;
    bool m_readOnly = false;
    qreal m_tabStop = 80;
    // Column in pixels that up and down keep while they pass shorter lines.
    qreal m_wantedX = -1;
    mutable qreal m_maxWidth = 0;
    mutable QHash<int, QTextLayout *> m_layouts;
    // Between the buffer's contentsChange and linesChanged the cache's line
    // numbers are stale: layouts asked for then are made afresh and kept
    // here, and the caret's signals wait for the cache to be right.
    bool m_linesPending = false;
    mutable std::vector<std::unique_ptr<QTextLayout>> m_pendingLayouts;
    bool m_cursorPending = false;
    TextSelection m_cursorBeforeChange;
    mutable std::unique_ptr<QTextLayout> m_preeditLayout;
    mutable int m_preeditLine = -1;
    QString m_preedit;
    int m_preeditCursor = 0;
    bool m_preeditCursorShown = true;
    QList<QInputMethodEvent::Attribute> m_preeditAttributes;
    bool m_caretShown = true;
    QBasicTimer m_blinkTimer;
    QBasicTimer m_dragScrollTimer;
    QBasicTimer m_tripleClickTimer;
    QPoint m_tripleClickPoint;
    QPoint m_lastDragPoint;
    bool m_dragging = false;
    int m_wordAnchorStart = -1; // while a double-click drag selects by words
    int m_wordAnchorEnd = -1;
    bool m_lineDrag = false; // while a triple-click drag selects by lines
    int m_lineAnchor = -1;
};
