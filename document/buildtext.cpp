#include "document/buildtext.h"

#include "document/documentcontext.h"
#include "document/textfile.h"
#include "document/workrunner.h"

#include <QTextDocument>
#include <QThread>

std::unique_ptr<QTextDocument> buildTextDocument(
    const DecodedText &decoded, const DocumentContext &context, QThread *owner)
{
    auto text = std::make_unique<QTextDocument>();
    loadIntoDocument(*text, decoded);
    if (context.prepareText)
        context.prepareText(*text);
    text->setUndoRedoEnabled(true);
    text->setModified(false);
    if (owner && text->thread() != owner)
        text->moveToThread(owner);
    return text;
}

void runDocumentWork(const DocumentContext &context, const QString &label, const std::function<void()> &work)
{
    if (context.workRunner)
        context.workRunner->run(label, work);
    else
        work();
}
