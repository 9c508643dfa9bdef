#include "editor/childframe.h"

#include <QCloseEvent>
#include <QTextDocument>

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

CChildFrame::CChildFrame(CQuorelDoc *doc, QWidget *parent)
    : QMdiSubWindow(parent)
    , m_pDoc(doc)
    , m_pView(new CQuorelView(doc))
{
    setObjectName(QStringLiteral("childFrame"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWidget(m_pView);
    setWindowIcon(iconForKind(doc->kind()));
    doc->setFrame(this);
    connect(doc, &CQuorelDoc::titleChanged, this, &CChildFrame::updateTitle);
    updateTitle();
}

CChildFrame::~CChildFrame()
{
    // The view shows the document's text: it goes first.
    QWidget *view = widget();
    setWidget(nullptr);
    delete view;
    delete m_pDoc;
}

void CChildFrame::updateTitle()
{
    setWindowTitle(m_pDoc->GetTitle());
}

void CChildFrame::closeWithoutAsking()
{
    m_bSkipQuery = true;
    close();
    m_bSkipQuery = false;
}

void CChildFrame::closeEvent(QCloseEvent *event)
{
    if (!m_bSkipQuery && !m_pDoc->SaveModified()) {
        event->ignore();
        return;
    }
    m_pDoc->OnCloseDocument();
    event->accept();
    QMdiSubWindow::closeEvent(event);
}
