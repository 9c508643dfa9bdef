#include "editor/statuspanes.h"

#include <QLabel>
#include <QStatusBar>

#include "document/quoreldoc.h"
#include "editor/quorelview.h"

namespace {
QLabel *addPane(QStatusBar *bar, const char *name, const QString &widest)
{
    auto *pane = new QLabel(bar);
    pane->setObjectName(QString::fromLatin1(name));
    pane->setAlignment(Qt::AlignCenter);
    // Sized for the widest text it shows, so the bar does not jump while
    // the caret moves.
    pane->setMinimumWidth(pane->fontMetrics().horizontalAdvance(widest) + 12);
    bar->addPermanentWidget(pane);
    return pane;
}

QString encodingName(const CQuorelDoc &doc)
{
    if (doc.encoding() == namecodec::Encoding::Utf8)
        return doc.hasByteOrderMark() ? QStringLiteral("UTF-8 BOM") : QStringLiteral("UTF-8");
    return QStringLiteral("EUC-KR");
}

QString lineEndingName(LineEnding ending)
{
    switch (ending) {
    case LineEnding::CRLF:
        return QStringLiteral("CRLF");
    case LineEnding::Mixed:
        return QStringLiteral("혼합");
    case LineEnding::LF:
        break;
    }
    return QStringLiteral("LF");
}
} // namespace

StatusPanes::StatusPanes(QStatusBar *bar)
    : QObject(bar)
    , m_caret(addPane(bar, "caretPane", QStringLiteral("줄 888888, 열 8888")))
    , m_encoding(addPane(bar, "encodingPane", QStringLiteral("UTF-8 BOM")))
    , m_lineEnding(addPane(bar, "lineEndingPane", QStringLiteral("CRLF")))
{
}

void StatusPanes::showView(CQuorelView *view)
{
    if (view == m_view && view)
        return update();
    disconnect(m_caretConnection);
    disconnect(m_textConnection);
    m_view = view;
    if (view) {
        m_caretConnection = connect(view, &TextView::cursorPositionChanged, this, &StatusPanes::update);
        // A conversion or a reload puts in new text, perhaps with other
        // line breaks; the caret signal alone would not tell.
        m_textConnection = connect(view, &TextView::textChanged, this, &StatusPanes::update);
    }
    update();
}

void StatusPanes::update()
{
    if (!m_view || !m_view->GetDocument()) {
        m_caret->clear();
        m_encoding->clear();
        m_lineEnding->clear();
        return;
    }
    const int caret = m_view->textCursor().position;
    const TextBuffer *text = m_view->buffer();
    const int lineIndex = text ? text->lineOf(caret) : 0;
    const int line = lineIndex + 1;
    const int column = (text ? caret - text->lineStart(lineIndex) : 0) + 1;
    m_caret->setText(QStringLiteral("줄 %1, 열 %2").arg(line).arg(column));
    const CQuorelDoc &doc = *m_view->GetDocument();
    m_encoding->setText(encodingName(doc));
    m_lineEnding->setText(lineEndingName(doc.lineEnding()));
}

QString StatusPanes::caretText() const
{
    return m_caret->text();
}

QString StatusPanes::encodingText() const
{
    return m_encoding->text();
}

QString StatusPanes::lineEndingText() const
{
    return m_lineEnding->text();
}
