#pragma once

#include "document/textbuffer.h"
#include "editor/caretmovement.h"
#include "editor/mouseselection.h"
#include "editor/preeditstate.h"
#include "editor/textlayoutcache.h"
#include "editor/textviewmargin.h"

#include <QAbstractScrollArea>
#include <QBasicTimer>

#include <memory>
#include <vector>

class QMenu;
class QTextLayout;
class TextHighlighter;
class TextViewMarginArea;

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
    qreal tabStopDistance() const { return m_layouts.tabStopDistance(); }
    // The editing menu every text field has (undo, redo, cut, copy, paste,
    // delete, select all), in the language of Qt's translations; the caller
    // owns it.
    QMenu *createStandardContextMenu();
    void setTabStopDistance(qreal distance);
    // Tab stops every `columns` widths of a space in the view's font, kept
    // so as the font or zoom changes; 0 leaves the distance as set above.
    void setTabWidth(int columns);
    int tabWidth() const { return m_tabColumns; }
    // A faint band behind the caret's line, under any selection.
    void setHighlightCurrentLine(bool highlight);

    // Installs `margin` (not owned; nullptr removes it) at the left of the
    // text, replacing any other.
    void setMargin(TextViewMargin *margin);
    TextViewMargin *margin() const;
    // Asks the margin for its width again (its own settings changed).
    void updateMargin();
    // Installs `highlighter` (not owned; nullptr removes it).
    void setHighlighter(TextHighlighter *highlighter);
    TextHighlighter *highlighter() const { return m_layouts.highlighter(); }
    // What the highlighter says of the character under a point of the
    // viewport, shown as its tool tip; empty for none.
    QString toolTipAt(const QPoint &point) const;
    // The lines on screen with the top of each row, in viewport coordinates.
    std::vector<TextViewMargin::VisibleLine> linesOnScreen() const;

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
    bool viewportEvent(QEvent *event) override;
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
    friend struct TextViewProbe; // tests look into the layout cache

    QRect caretRect(int line, int column) const;
    // The layout shown for a line: the caret's line with the composition in it.
    LineLayout *shownLayout(int line) const;
    void onBufferChange(const TextChange &change);
    void connectBuffer();
    void emitBufferSwitchSignals(bool hadSelection, bool hadUndo, bool hadRedo);
    void relayout();
    void updateScrollBars();
    void updateMarginGeometry();
    void setCursorInternal(TextSelection cursor, bool keepColumn = false);
    bool handleMoveKey(QKeyEvent *event);
    bool handleEditKey(QKeyEvent *event);
    void shiftLines(bool outdent);
    bool isOurShortcut(QKeyEvent *key) const;
    void replaceRange(int from, int to, const QString &text, bool typing);
    void deleteChar(bool forward);
    void commitInput(const QInputMethodEvent &event);
    void restartBlink();
    bool caretVisible() const;
    int visibleLines() const;
    int lineTop(int line) const;
    qreal textLeft() const;
    void extendDragSelection(const QPoint &point);
    void dragScrollTick();
    void copySelectionToX11();

    TextBuffer *m_buffer = nullptr;
    std::vector<QMetaObject::Connection> m_bufferConnections;
    TextSelection m_cursor;
    bool m_readOnly = false;
    int m_tabColumns = 0;
    bool m_highlightCurrentLine = false;
    // Laid out on demand from the painting, the caret and the mouse alike.
    mutable TextLayoutCache m_layouts;
    CaretMovement m_caret {m_layouts};
    MouseSelection m_mouse {m_caret};
    mutable PreeditState m_preedit;
    bool m_caretShown = true;
    QBasicTimer m_blinkTimer;
    // A child widget that shows the installed margin; gone before the view
    // takes its other children down.
    std::unique_ptr<TextViewMarginArea> m_marginArea;
};
