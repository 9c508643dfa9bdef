#pragma once

#include <QAccessibleWidget>

class TextBuffer;
class TextView;

// What assistive technology reads of a TextView and does through it, as Qt
// gives its own text editors: the text, the caret and selection, where a
// character is on screen, and edits. Questions about a line, a word or a
// character look at that line only, so a screen reader following the caret
// through a million-line file never has the whole text joined for it.
class TextViewAccessible : public QAccessibleWidget,
                           public QAccessibleTextInterface,
                           public QAccessibleEditableTextInterface {
public:
    explicit TextViewAccessible(TextView *view);

    // For QAccessible::installFactory: answers for every TextView.
    static QAccessibleInterface *create(const QString &className, QObject *object);

    QAccessible::State state() const override;
    void *interface_cast(QAccessible::InterfaceType type) override;
    QString text(QAccessible::Text t) const override;

    void selection(int selectionIndex, int *startOffset, int *endOffset) const override;
    int selectionCount() const override;
    void addSelection(int startOffset, int endOffset) override;
    void removeSelection(int selectionIndex) override;
    void setSelection(int selectionIndex, int startOffset, int endOffset) override;
    int cursorPosition() const override;
    void setCursorPosition(int position) override;
    QString text(int startOffset, int endOffset) const override;
    QString textBeforeOffset(int offset, QAccessible::TextBoundaryType boundaryType, int *startOffset,
        int *endOffset) const override;
    QString textAfterOffset(int offset, QAccessible::TextBoundaryType boundaryType, int *startOffset,
        int *endOffset) const override;
    QString textAtOffset(int offset, QAccessible::TextBoundaryType boundaryType, int *startOffset,
        int *endOffset) const override;
    int characterCount() const override;
    QRect characterRect(int offset) const override;
    int offsetAtPoint(const QPoint &point) const override;
    void scrollToSubstring(int startIndex, int endIndex) override;
    QString attributes(int offset, int *startOffset, int *endOffset) const override;

    void deleteText(int startOffset, int endOffset) override;
    void insertText(int offset, const QString &text) override;
    void replaceText(int startOffset, int endOffset, const QString &text) override;

private:
    TextView *view() const;
    const TextBuffer *buffer() const;
    // The piece of `boundaryType` around `offset`; false where there is none.
    bool pieceAt(int offset, QAccessible::TextBoundaryType boundaryType, int *start, int *end) const;
};
