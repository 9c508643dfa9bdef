#include "document/buildtext.h"

#include "document/documentcontext.h"
#include "document/textbuffer.h"
#include "document/textfile.h"
#include "document/workrunner.h"

#include <QThread>

std::unique_ptr<TextBuffer> buildTextBuffer(const DecodedText &decoded, QThread *owner)
{
    auto text = std::make_unique<TextBuffer>();
    loadIntoDocument(*text, decoded);
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
