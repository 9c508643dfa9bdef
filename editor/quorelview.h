#pragma once

#include "editor/editorlook.h"
#include "editor/linenumbermargin.h"
#include "editor/namehighlighter.h"
#include "editor/textview.h"
#include "editor/viewsearch.h"
#include "namecodec/codec.h"

#include <QPointer>

#include <functional>
#include <memory>

class CConvFindReplaceDialog;
class CQuorelDoc;
class QAction;
class QMenu;
class QPagedPaintDevice;
class QPrinter;

// The view of every open file: the whole text in one fixed Korean font,
// never wrapped, with the editing commands, the context menu and printing.
// The text itself belongs to the document's TextBuffer.
class CQuorelView : public TextView {
    Q_OBJECT
public:
    // Half an inch on every side, as 720 twips.
    static constexpr double kPrintMarginMm = 12.7;

    explicit CQuorelView(CQuorelDoc *doc, QWidget *parent = nullptr);
    // The view lets go of its highlighter before the highlighter goes.
    ~CQuorelView() override;

    CQuorelDoc *GetDocument() const { return m_doc; }

    // Runs once after the document's text is in place.
    void OnInitialUpdate();

    // Select all under its guard: a second select-all before the next
    // command-state refresh does nothing.
    void OnEditSelectAll();
    // Command-state refresh of "전체 선택" (57642): sets `action` enabled
    // unless the guard is set, then clears the guard.
    bool OnUpdateEditSelectAll(QAction *action);
    bool selectAllGuard() const { return m_selectAllGuard; }

    // Undo and redo reach past the text's own edits to the whole-text
    // conversions before them, each one step.
    void OnEditUndo();
    void OnEditRedo();
    bool canUndo() const;
    bool canRedo() const;

    void OnEditPaste();
    bool canPaste() const;
    bool OnFileSave();

    // The selection conversions (32796, 32799) are run by whoever sets this:
    // it receives the view and the from and to encoding codes.
    using SelectionConverter
        = std::function<void(CQuorelView &, namecodec::Encoding from, namecodec::Encoding to)>;
    void setSelectionConverter(SelectionConverter converter) { m_selectionConverter = std::move(converter); }

    // The context menu (resource 141), its items refreshed for the current state.
    QMenu *contextMenu();
    void updateContextMenu();
    void showContextMenu(const QPoint &globalPos);

    // Prints the text with the view's margins and font.
    void printTo(QPrinter *printer);
    static void applyPrintMargins(QPrinter *printer);

    // The font of every view: 바탕체, else a Hangul font that is present.
    static QFont editorFont();
    // Font, zoom, tab width and line numbers, as chosen for every view.
    void applyLook(const EditorLook &look);
    const EditorLook &look() const { return m_look; }
    LineNumberMargin &lineNumberMargin() { return m_lineNumbers; }
    // The colours and name marks of the text shown, for its kind.
    NameHighlighter *nameHighlighter() const { return m_highlighter.get(); }

    // The selected text, and replacing it as one undoable edit.
    QString GetSelText() const;
    void ReplaceSel(const QString &text);

    // 57636 and 57641: the view's one find dialog, find only or with
    // replacing. The same mode brings the open dialog forward; the other
    // mode closes it and opens a new one. Either starts a new search pass.
    void OnEditFind() { openFindDialog(true); }
    void OnEditReplace() { openFindDialog(false); }
    // F3 and Shift+F3: the last search again, forward or backward, also
    // once the dialog is closed; with nothing sought yet, the find dialog.
    void OnEditRepeat();
    void OnEditFindPrevious();
    CConvFindReplaceDialog *findDialog() const;
    ViewSearch &search() { return m_search; }

    // Puts the caret on `line` at `column` (both from 1) and brings that line
    // to the middle of the view. A column past the line's end lands at the
    // end; false, with the caret left alone, for a line the text lacks.
    bool goToLine(int line, int column = 1);
    // "줄 이동": asks for the place, then goes there.
    void OnEditGoToLine();

signals:
    // What a search found, for the status line; empty once one succeeds.
    void searchReported(const QString &text);
    // Ctrl+wheel asks every view to zoom by `steps` (in: positive).
    void zoomRequested(int steps);

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void contextMenuEvent(QContextMenuEvent *event) override;
    void wheelEvent(QWheelEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    // Colours `text` by the kind its document converts it as.
    void installHighlighter(TextBuffer *text);
    // Shows the document's new text, keeping the caret and scroll position of
    // the old one with it, and putting back those the new one had.
    void showReplacedText(TextBuffer *old, TextBuffer *current);
    QAction *addContextAction(int id, const QString &text);
    void openFindDialog(bool findOnly);
    void onFindNext();
    void onReplace();
    void onReplaceAll();
    void onFindPrevious();
    void rememberSearch();
    // Tells the status line whether the last search found `m_lastFindText`.
    void reportSearch(bool found);
    // Moves the find dialog off the start of the match it would cover.
    void moveDialogOutOfTheWay();

    CQuorelDoc *m_doc;
    bool m_selectAllGuard = false;
    QMenu *m_contextMenu = nullptr;
    SelectionConverter m_selectionConverter;
    // The open find dialog (it frees itself when closed) and its mode.
    QPointer<CConvFindReplaceDialog> m_pFindDialog;
    bool m_bFindOnly = true;
    ViewSearch m_search {*this};
    QString m_lastFindText; // for F3 once the dialog is gone
    FindOptions m_lastFindOptions;
    EditorLook m_look;
    LineNumberMargin m_lineNumbers {*this};
    int m_zoomWheelAngle = 0; // a touchpad's small steps add up to a notch
    std::unique_ptr<NameHighlighter> m_highlighter;
};
