#pragma once

#include <QString>

#include <functional>
#include <memory>

struct DecodedText;
struct DocumentContext;
class TextBuffer;
class QThread;

// Builds the text a document will hold from `decoded` on the calling thread
// (a worker), and hands it over to `owner`, the thread of the document that
// will take it.
std::unique_ptr<TextBuffer> buildTextBuffer(const DecodedText &decoded, QThread *owner);

// Runs long work through the context's runner, or in place without one.
void runDocumentWork(const DocumentContext &context, const QString &label, const std::function<void()> &work);
