#include "editor/childframe.h"
#include "editor/outcomereport.h"

#include <QCloseEvent>

#include "document/doctemplate.h"
#include "document/quoreldoc.h"
#include "editor/quorelview.h"

namespace {
QIcon iconForKind(int kind)
{
    Q_UNUSED(kind);
    return QIcon(QStringLiteral(":/icons/quorel.png"));
}
} // namespace

CChildFrame::CChildFrame(std::unique_ptr<CQuorelDoc> doc, QWidget *parent)
    : QMdiSubWindow(parent)
    , m_doc(std::move(doc))
    , m_view(new CQuorelView(m_doc.get()))
{
    setObjectName(QStringLiteral("childFrame"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWidget(m_view);
    setWindowIcon(iconForKind(m_doc->kind()));
    m_doc->setFrame(this);
    connect(m_doc.get(), &CQuorelDoc::titleChanged, this, &CChildFrame::updateTitle);
    // The document reports its flag whichever text it holds: a conversion or
    // its undo swaps the text for one that may already be modified.
    connect(m_doc.get(), &CQuorelDoc::modifiedChanged, this, &CChildFrame::updateTitle);
    updateTitle();
}

CChildFrame::~CChildFrame()
{
    // The view shows the document's text: it goes first. Taken out of the
    // window, it is ours to free.
    std::unique_ptr<QWidget> view(widget());
    setWidget(nullptr);
    view.reset();
    m_doc.reset();
}

void CChildFrame::updateTitle()
{
    // Only the window says the text has changes; the open-files entry keeps
    // its text, which is what finds an open file.
    QString title = m_doc->IsModified() ? m_doc->GetTitle() + QLatin1Char('*') : m_doc->GetTitle();
    // A file from a server says which one, as a remote editor's tab does.
    if (m_doc->remoteOrigin().isValid())
        title += QStringLiteral(" — ") + m_doc->remoteOrigin().url;
    setWindowTitle(title);
}

void CChildFrame::closeWithoutAsking()
{
    m_skipQuery = true;
    close();
    m_skipQuery = false;
}

void CChildFrame::closeEvent(QCloseEvent *event)
{
    if (!m_skipQuery && !reportOutcome(*m_doc, m_doc->SaveModified())) {
        event->ignore();
        return;
    }
    m_doc->OnCloseDocument();
    event->accept();
    QMdiSubWindow::closeEvent(event);
}
