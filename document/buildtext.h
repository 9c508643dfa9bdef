#pragma once

#include <QString>

#include <functional>
#include <memory>

struct DecodedText;
struct DocumentContext;
class QTextDocument;
class QThread;

// Builds the text a document will hold from `decoded`, readied for the view
// by the context, on the calling thread (a worker), and hands it over to
// `owner`, the thread of the document that will take it.
std::unique_ptr<QTextDocument> buildTextDocument(
    const DecodedText &decoded, const DocumentContext &context, QThread *owner);

// Runs long work through the context's runner, or in place without one.
void runDocumentWork(const DocumentContext &context, const QString &label, const std::function<void()> &work);
