#include "editor/quorelview.h"
#include "editor/convfindreplacedialog.h"
#include "editor/gotolinedialog.h"
#include "editor/outcomereport.h"
#include "editor/textprinter.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QCursor>
#include <QFontDatabase>
#include <QGuiApplication>
#include <QMenu>
#include <QMimeData>
#include <QPrinter>
#include <QScreen>
#include <QScrollBar>
#include <QTextDocument>
#include <QWheelEvent>

#include "document/documentcontext.h"
#include "document/documentconversion.h"
#include "document/quoreldoc.h"
#include "platform/quorelids.h"
#include "platform/settings.h"

#include <algorithm>

CQuorelView::CQuorelView(CQuorelDoc *doc, QWidget *parent)
    : TextView(parent)
    , m_doc(doc)
{
    setObjectName(QStringLiteral("quorelView"));
    setHighlightCurrentLine(true);
    applyLook(m_look);
    // The highlighter first: a view given it afterwards lays out again
    // what it measured, a whole long line among it.
    installHighlighter(doc->textBuffer());
    setBuffer(doc->textBuffer());
    connect(doc, &CQuorelDoc::textBufferReplaced, this, &CQuorelView::showReplacedText);
    // A user who moves the selection after a select-all means the next one.
    // Left to the menu's refresh alone, the guard would grey out "전체 선택"
    // for a user who has since clicked elsewhere, refusing a select-all that
    // is plainly wanted; a repeat with nothing in between is still swallowed.
    connect(this, &TextView::selectionChanged, this, [this] { m_selectAllGuard = false; });
}

CQuorelView::~CQuorelView()
{
    setHighlighter(nullptr);
}

QFont CQuorelView::editorFont()
{
    QFont font;
    QStringList families {QStringLiteral("바탕체"), QStringLiteral("BatangChe")};
    // Where 바탕체 is missing, a fixed-pitch Hangul font keeps columns of zone
    // files aligned; fall back to any installed Hangul font after that.
    for (const char *name : {"NanumGothicCoding", "D2Coding", "Noto Sans Mono CJK KR"})
        families << QString::fromLatin1(name);
    // Without a fixed-pitch Hangul font, the system's fixed font still keeps
    // the columns, its Hangul coming from the fonts after it.
    families << QFontDatabase::systemFont(QFontDatabase::FixedFont).family();
    for (const char *name : {"NanumMyeongjo", "NanumGothic", "UnDotum", "Baekmuk Gulim"})
        families << QString::fromLatin1(name);
    font.setFamilies(families);
    font.setStyleHint(QFont::TypeWriter);
    font.setPixelSize(13);
    font.setWeight(QFont::Normal);
    font.setItalic(false);
    font.setUnderline(false);
    font.setStrikeOut(false);
    return font;
}

void CQuorelView::applyLook(const EditorLook &look)
{
    m_look = look;
    setFont(look.font());
    setTabWidth(look.tabWidth);
    setMargin(look.lineNumbers ? &m_lineNumbers : nullptr);
    updateMargin();
}

void CQuorelView::wheelEvent(QWheelEvent *event)
{
    if (!(event->modifiers() & Qt::ControlModifier)) {
        TextView::wheelEvent(event);
        return;
    }
    constexpr int kNotch = 120;
    m_zoomWheelAngle += event->angleDelta().y();
    const int steps = m_zoomWheelAngle / kNotch;
    m_zoomWheelAngle -= steps * kNotch;
    if (steps != 0)
        emit zoomRequested(steps);
    event->accept();
}

void CQuorelView::OnInitialUpdate()
{
    setFont(m_look.font());
    buffer()->setModified(false);
    // A file opens at its first line.
    setTextCursor(TextSelection {});
}

void CQuorelView::OnEditSelectAll()
{
    if (m_selectAllGuard)
        return;
    selectAll();
    m_selectAllGuard = true;
}

bool CQuorelView::OnUpdateEditSelectAll(QAction *action)
{
    const bool enabled = !m_selectAllGuard;
    if (action)
        action->setEnabled(enabled);
    m_selectAllGuard = false;
    return enabled;
}

void CQuorelView::OnEditUndo()
{
    if (buffer()->isUndoAvailable())
        undo();
    else
        m_doc->undoConversion();
}

void CQuorelView::OnEditRedo()
{
    if (buffer()->isRedoAvailable())
        redo();
    else
        m_doc->redoConversion();
}

bool CQuorelView::canUndo() const
{
    return buffer()->isUndoAvailable() || m_doc->canUndoConversion();
}

bool CQuorelView::canRedo() const
{
    return buffer()->isRedoAvailable() || m_doc->canRedoConversion();
}

namespace {
// Where the caret and the scroll bars stood in a text while another is shown.
const char *const kCaretProperty = "quorelCaret";
const char *const kScrollProperty = "quorelScroll";
} // namespace

void CQuorelView::installHighlighter(TextBuffer *text)
{
    setHighlighter(nullptr);
    m_highlighter.reset();
    if (!text)
        return;
    // The kind is told by the document's template and name first, then by
    // the first lines, as a conversion decides it.
    constexpr qsizetype kHead = 64 * 1024;
    QString head;
    for (int line = 0; line < text->lineCount() && head.size() < kHead; ++line) {
        head += QStringView(text->line(line)).left(kHead - head.size());
        head += QLatin1Char('\n');
    }
    const QByteArray bytes = head.toUtf8();
    namecodec::FileKind kind = documentConversionKind(*m_doc, bytes);
    if (kind == namecodec::FileKind::Auto)
        kind = namecodec::detectFileKind(
            std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())));
    m_highlighter = std::make_unique<NameHighlighter>(text, kind);
    m_highlighter->setPalette(palette());
    setHighlighter(m_highlighter.get());
}

void CQuorelView::changeEvent(QEvent *event)
{
    TextView::changeEvent(event);
    if (event->type() == QEvent::PaletteChange && m_highlighter)
        m_highlighter->setPalette(palette());
}

void CQuorelView::showReplacedText(TextBuffer *old, TextBuffer *current)
{
    if (!current) {
        setHighlighter(nullptr);
        m_highlighter.reset();
        setBuffer(nullptr);
        return;
    }
    if (buffer() == old) {
        const TextSelection caret = textCursor();
        old->setProperty(kCaretProperty, QPoint(caret.anchor, caret.position));
        old->setProperty(
            kScrollProperty, QPoint(horizontalScrollBar()->value(), verticalScrollBar()->value()));
    }
    installHighlighter(current);
    setBuffer(current);
    const QVariant caretAt = current->property(kCaretProperty);
    if (caretAt.isValid()) {
        const QPoint at = caretAt.toPoint();
        setTextCursor(
            TextSelection {qBound(0, at.x(), current->length()), qBound(0, at.y(), current->length())});
        const QPoint scroll = current->property(kScrollProperty).toPoint();
        horizontalScrollBar()->setValue(scroll.x());
        verticalScrollBar()->setValue(scroll.y());
    }
    // The text's own signals cannot tell that a conversion can be undone.
    emit undoAvailable(canUndo());
    emit redoAvailable(canRedo());
    emit textChanged();
}

void CQuorelView::OnEditPaste()
{
    paste();
}

bool CQuorelView::canPaste() const
{
    const QMimeData *clip = QGuiApplication::clipboard()->mimeData();
    return !isReadOnly() && clip && clip->hasText();
}

bool CQuorelView::OnFileSave()
{
    return reportOutcome(*m_doc, m_doc->DoFileSave());
}

QString CQuorelView::GetSelText() const
{
    return selectedText();
}

void CQuorelView::ReplaceSel(const QString &text)
{
    insertText(text);
}

void CQuorelView::openFindDialog(bool findOnly)
{
    m_search.startPass();
    if (m_pFindDialog) {
        if (m_bFindOnly == findOnly) {
            m_pFindDialog->show();
            m_pFindDialog->raise();
            m_pFindDialog->activateWindow();
            return;
        }
        CConvFindReplaceDialog *other = m_pFindDialog;
        m_pFindDialog = nullptr;
        other->close();
    }
    // A search never matches across a line break: only the selection's
    // first line is worth seeking.
    QString selected = GetSelText();
    if (const qsizetype lineBreak = selected.indexOf(QLatin1Char('\n')); lineBreak >= 0)
        selected.truncate(lineBreak);
    auto *dialog = new CConvFindReplaceDialog(findOnly, selected, m_doc->encoding(), this);
    connect(dialog, &CConvFindReplaceDialog::findNextRequested, this, &CQuorelView::onFindNext);
    connect(dialog, &CConvFindReplaceDialog::replaceRequested, this, &CQuorelView::onReplace);
    connect(dialog, &CConvFindReplaceDialog::replaceAllRequested, this, &CQuorelView::onReplaceAll);
    connect(dialog, &CConvFindReplaceDialog::findPreviousRequested, this, &CQuorelView::onFindPrevious);
    m_pFindDialog = dialog;
    m_bFindOnly = findOnly;
    dialog->show();
    dialog->raise();
    dialog->activateWindow();
}

CConvFindReplaceDialog *CQuorelView::findDialog() const
{
    return m_pFindDialog;
}

void CQuorelView::rememberSearch()
{
    if (!m_pFindDialog)
        return;
    m_lastFindText = m_pFindDialog->findText();
    m_lastFindOptions = m_pFindDialog->options();
}

void CQuorelView::onFindNext()
{
    rememberSearch();
    const bool found = m_search.findNext(m_lastFindText, m_lastFindOptions);
    reportSearch(found);
    if (found)
        moveDialogOutOfTheWay();
}

void CQuorelView::onFindPrevious()
{
    rememberSearch();
    const bool found = m_search.findPrevious(m_lastFindText, m_lastFindOptions);
    reportSearch(found);
    if (found)
        moveDialogOutOfTheWay();
}

void CQuorelView::reportSearch(bool found)
{
    // Beside the beep, which is easily missed with the sound off, the status
    // line says what was sought, so a typo in it shows.
    emit searchReported(found ? QString() : QStringLiteral("찾는 문자열이 없습니다: %1").arg(m_lastFindText));
}

void CQuorelView::onReplace()
{
    if (!m_pFindDialog)
        return;
    rememberSearch();
    const bool found = m_search.replace(m_lastFindText, m_pFindDialog->replaceText(), m_lastFindOptions);
    reportSearch(found);
    if (found)
        moveDialogOutOfTheWay();
}

void CQuorelView::onReplaceAll()
{
    if (!m_pFindDialog)
        return;
    rememberSearch();
    const int count = m_search.replaceAll(m_lastFindText, m_pFindDialog->replaceText(), m_lastFindOptions);
    if (count == 0)
        reportSearch(false);
    else
        emit searchReported(QStringLiteral("%1개를 바꾸었습니다").arg(count));
}

void CQuorelView::OnEditRepeat()
{
    rememberSearch();
    if (m_lastFindText.isEmpty()) {
        OnEditFind();
        return;
    }
    const bool found = m_search.findNext(m_lastFindText, m_lastFindOptions);
    reportSearch(found);
    if (found)
        moveDialogOutOfTheWay();
}

void CQuorelView::OnEditFindPrevious()
{
    rememberSearch();
    if (m_lastFindText.isEmpty()) {
        OnEditFind();
        return;
    }
    const bool found = m_search.findPrevious(m_lastFindText, m_lastFindOptions);
    reportSearch(found);
    if (found)
        moveDialogOutOfTheWay();
}

bool CQuorelView::goToLine(int line, int column)
{
    const TextBuffer *text = buffer();
    if (!text || line < 1 || line > text->lineCount())
        return false;
    const int index = line - 1;
    int offset = std::clamp(column, 1, static_cast<int>(text->line(index).size()) + 1) - 1;
    // Never between the halves of a character outside the BMP.
    const int start = text->lineStart(index);
    if (offset > 0 && text->characterAt(start + offset).isLowSurrogate())
        --offset;
    setTextCursor(TextSelection {start + offset, start + offset});
    centerCursor();
    return true;
}

void CQuorelView::OnEditGoToLine()
{
    if (!buffer())
        return;
    GoToLineDialog dialog(buffer()->lineCount(), buffer()->lineOf(textCursor().position) + 1, this);
    if (dialog.exec() == QDialog::Accepted)
        goToLine(dialog.target().line, dialog.target().column);
    setFocus();
}

void CQuorelView::moveDialogOutOfTheWay()
{
    if (!m_pFindDialog || !m_pFindDialog->isVisible())
        return;
    const QPoint point = viewport()->mapToGlobal(cursorRectAt(textCursor().start()).topLeft());
    const QRect frame = m_pFindDialog->frameGeometry();
    if (!frame.contains(point))
        return;
    const QRect screen = m_pFindDialog->screen()->geometry();
    const int pointY = point.y() - screen.top();
    int top = frame.top();
    if (frame.height() < pointY)
        top = point.y() - 20 - frame.height(); // above the match
    else if (frame.bottom() + (point.y() - frame.top()) < screen.bottom())
        top = point.y() + 40; // below it
    else
        return;
    m_pFindDialog->move(frame.left(), top);
}

QAction *CQuorelView::addContextAction(int id, const QString &text)
{
    QAction *action = m_contextMenu->addAction(text);
    action->setData(id);
    action->setObjectName(QStringLiteral("ctx%1").arg(id));
    return action;
}

QMenu *CQuorelView::contextMenu()
{
    if (m_contextMenu)
        return m_contextMenu;
    m_contextMenu = new QMenu(this);
    m_contextMenu->setObjectName(QStringLiteral("contextMenu"));
    m_contextMenu->setProperty("controlId", ids::menu::kContext);
    connect(addContextAction(ids::command::kContextUndo, QStringLiteral("실행취소(&U)")), &QAction::triggered,
        this, &CQuorelView::OnEditUndo);
    m_contextMenu->addSeparator();
    connect(addContextAction(ids::command::kContextCut, QStringLiteral("잘라내기(&T)")), &QAction::triggered,
        this, &TextView::cut);
    connect(addContextAction(ids::command::kContextCopy, QStringLiteral("복사(&C)")), &QAction::triggered,
        this, &TextView::copy);
    connect(addContextAction(ids::command::kContextPaste, QStringLiteral("붙여넣기(&P)")),
        &QAction::triggered, this, &CQuorelView::OnEditPaste);
    m_contextMenu->addSeparator();
    connect(addContextAction(ids::command::kContextSelectAll, QStringLiteral("모두 선택(&A)")),
        &QAction::triggered, this, &CQuorelView::OnEditSelectAll);
    m_contextMenu->addSeparator();
    connect(addContextAction(ids::command::kSelectionToPunycode, QStringLiteral("Euc-kr →Punycode")),
        &QAction::triggered, this, [this] {
            if (m_selectionConverter)
                m_selectionConverter(*this, namecodec::Encoding::Cp949, namecodec::Encoding::Punycode);
        });
    connect(addContextAction(ids::command::kSelectionToEucKr, QStringLiteral("Punycode →Euc-kr")),
        &QAction::triggered, this, [this] {
            if (m_selectionConverter)
                m_selectionConverter(*this, namecodec::Encoding::Punycode, namecodec::Encoding::Cp949);
        });
    return m_contextMenu;
}

void CQuorelView::updateContextMenu()
{
    const bool hasSelection = textCursor().hasSelection();
    for (QAction *action : contextMenu()->actions()) {
        switch (action->data().toInt()) {
        case ids::command::kContextUndo:
            action->setEnabled(canUndo());
            break;
        case ids::command::kContextCut:
        case ids::command::kContextCopy:
            action->setEnabled(hasSelection);
            break;
        case ids::command::kContextPaste:
            action->setEnabled(canPaste());
            break;
        case ids::command::kContextSelectAll:
            // Its refresh only clears the guard; the item stays enabled.
            m_selectAllGuard = false;
            break;
        case ids::command::kSelectionToPunycode:
        case ids::command::kSelectionToEucKr:
            action->setEnabled(hasSelection && m_selectionConverter != nullptr);
            break;
        default:
            break;
        }
    }
}

void CQuorelView::showContextMenu(const QPoint &globalPos)
{
    updateContextMenu();
    QApplication::setOverrideCursor(Qt::ArrowCursor);
    contextMenu()->exec(globalPos);
    QApplication::restoreOverrideCursor();
}

void CQuorelView::keyPressEvent(QKeyEvent *event)
{
    // The text's own handling of these keys knows nothing of conversions.
    if (event == QKeySequence::Undo || event == QKeySequence::Redo) {
        if (event == QKeySequence::Undo)
            OnEditUndo();
        else
            OnEditRedo();
        event->accept();
        return;
    }
    if (event == QKeySequence::SelectAll) {
        // Like a menu accelerator: the command's state is refreshed first and
        // the command runs only if that left it enabled.
        if (OnUpdateEditSelectAll(nullptr))
            OnEditSelectAll();
        event->accept();
        return;
    }
    TextView::keyPressEvent(event);
}

void CQuorelView::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() == Qt::RightButton) {
        // The menu opens where the cursor is now, not where the click was.
        showContextMenu(QCursor::pos());
        event->accept();
        return;
    }
    TextView::mouseReleaseEvent(event);
}

void CQuorelView::contextMenuEvent(QContextMenuEvent *event)
{
    // Mouse-driven menus open on the button's release instead; the keyboard's
    // menu key still opens it at the text cursor.
    if (event->reason() == QContextMenuEvent::Keyboard)
        showContextMenu(viewport()->mapToGlobal(cursorRect().bottomLeft()));
    event->accept();
}

void CQuorelView::applyPrintMargins(QPrinter *printer)
{
    printer->setPageMargins(
        QMarginsF(kPrintMarginMm, kPrintMarginMm, kPrintMarginMm, kPrintMarginMm), QPageLayout::Millimeter);
}

void CQuorelView::printTo(QPrinter *printer)
{
    if (!printer)
        return;
    applyPrintMargins(printer);
    const bool selectionOnly = printer->printRange() == QPrinter::Selection && textCursor().hasSelection();
    // Printing lays out every line anyway, wrapped to the page: the rich
    // text document does that well for the few who print a whole zone.
    QTextDocument copy;
    copy.setPlainText(selectionOnly ? GetSelText() : buffer()->toPlainText());
    const bool pageRange = printer->printRange() == QPrinter::PageRange;
    const QuorelSettings *settings = m_doc->context().settings;
    PageDecoration decoration;
    if (!settings || settings->printPageHeader()) {
        decoration.header = m_doc->GetPathName().isEmpty() ? m_doc->GetTitle() : m_doc->GetPathName();
        decoration.pageNumbers = true;
    }
    decoration.lineNumbers = !settings || settings->showLineNumbers();
    // A printed selection keeps the numbers its lines have in the file.
    decoration.firstLineNumber = selectionOnly ? buffer()->lineOf(textCursor().start()) + 1 : 1;
    // Paper takes the family and size the user chose; the zoom is for the
    // screen only, so a zoomed view prints the same pages as any other.
    EditorLook paper = m_look;
    paper.zoom = 0;
    printTextDocument(copy, printFontFor(paper.font()), printer, pageRange ? printer->fromPage() : 0,
        pageRange ? printer->toPage() : 0, decoration);
}
