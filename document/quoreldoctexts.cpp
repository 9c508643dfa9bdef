// The texts a document has held: the current one and those that whole-text
// conversions replaced, for undo and redo.
#include "document/quoreldoc.h"

#include "document/buildtext.h"
#include "document/documentcontext.h"
#include "document/textbuffer.h"

#include <QCoreApplication>
#include <QPointer>
#include <QThread>
#include <QThreadPool>

#include <utility>

#ifdef __GLIBC__
#include <malloc.h>
#endif

namespace {
// Each kept text may be a whole large file, a hundred megabytes and more:
// the oldest are let go beyond this many conversions or this many
// characters, though the latest conversion can always be undone.
constexpr std::size_t kKeptConversions = 8;
constexpr qint64 kKeptCharacters = 64LL * 1024 * 1024;
// Below this, unpacking a kept text takes a few milliseconds.
constexpr int kUnpackOnWorkerCharacters = 1024 * 1024;

// Freeing a text of a million lines takes tens of milliseconds: a thread of
// the lowest priority does it, so that it takes no time from the window's
// painting nor from a conversion under way.
QThreadPool *releasePool()
{
    static QPointer<QThreadPool> pool;
    if (!pool && QCoreApplication::instance()) {
        pool = new QThreadPool(QCoreApplication::instance()); // waits for its work when the application ends
        pool->setMaxThreadCount(1);
        pool->setThreadPriority(QThread::IdlePriority);
    }
    return pool;
}

// A text of a million lines is a million small blocks, freed among others
// still in use: the allocator keeps those pages for itself unless asked, and
// after a few conversions the process would hold several texts' worth of
// memory it no longer uses.
void giveBackFreedMemory()
{
#ifdef __GLIBC__
    malloc_trim(0);
#endif
}

void letGo(std::unique_ptr<TextBuffer> text)
{
    QThreadPool *pool = releasePool();
    if (!text || !pool)
        return;
    text->moveToThread(nullptr);
    pool->start([text = std::shared_ptr<TextBuffer>(std::move(text))]() mutable {
        text.reset();
        giveBackFreedMemory();
    });
}

void letGo(std::vector<std::unique_ptr<TextBuffer>> &texts)
{
    for (auto &text : texts)
        letGo(std::move(text));
    texts.clear();
}
} // namespace

void CQuorelDoc::swapText(std::unique_ptr<TextBuffer> next, std::vector<std::unique_ptr<TextBuffer>> *keep)
{
    next->unpack(); // at once if undo or redo has not unpacked it on a worker already
    TextBuffer *old = m_text;
    const bool wasModified = old->isModified();
    disconnect(old, nullptr, this, nullptr);
    m_text = next.release();
    m_text->setParent(this);
    // A new edit on the current text makes the conversions undone from it
    // unreachable, as any new edit ends what redo can reach.
    connect(m_text, &TextBuffer::undoCommandAdded, this, [this] { letGo(m_laterTexts); });
    connect(m_text, &TextBuffer::modificationChanged, this, &CQuorelDoc::modifiedChanged);
    old->setParent(nullptr);
    std::unique_ptr<TextBuffer> replaced(old);
    // Kept before the signal, so that those who hear it see what can be undone.
    if (keep)
        keep->push_back(std::move(replaced));
    emit textBufferReplaced(old, m_text);
    // Nobody shows the kept text any more: it waits for undo or redo compressed.
    if (keep)
        old->pack();
    letGo(std::move(replaced));
    if (m_text->isModified() != wasModified)
        emit modifiedChanged(m_text->isModified());
}

void CQuorelDoc::replaceText(std::unique_ptr<TextBuffer> fresh)
{
    letGo(m_earlierTexts);
    letGo(m_laterTexts);
    swapText(std::move(fresh), nullptr);
}

void CQuorelDoc::replaceTextForConversion(std::unique_ptr<TextBuffer> converted)
{
    // Edits undone before the conversion are out of reach after it.
    m_text->clearUndoRedoStacks(TextBuffer::RedoStack);
    letGo(m_laterTexts);
    swapText(std::move(converted), &m_earlierTexts);
    qint64 characters = 0;
    for (const auto &text : m_earlierTexts)
        characters += text->length();
    while (m_earlierTexts.size() > 1
        && (m_earlierTexts.size() > kKeptConversions || characters > kKeptCharacters)) {
        characters -= m_earlierTexts.front()->length();
        letGo(std::move(m_earlierTexts.front()));
        m_earlierTexts.erase(m_earlierTexts.begin());
    }
}

bool CQuorelDoc::canUndoConversion() const
{
    return !m_earlierTexts.empty() && !m_text->isUndoAvailable();
}

bool CQuorelDoc::canRedoConversion() const
{
    return !m_laterTexts.empty() && !m_text->isRedoAvailable();
}

void CQuorelDoc::unpackForSwap(TextBuffer &text, const QString &label)
{
    // Taken out of the kept list, the text is no one else's: a worker may
    // rebuild its million lines while the window keeps painting. A small
    // text is back in a blink, with no busy dialog to flash.
    if (text.isPacked() && text.length() >= kUnpackOnWorkerCharacters)
        runDocumentWork(context(), label, [&text] { text.unpack(); });
    text.unpack();
}

bool CQuorelDoc::undoConversion()
{
    if (!canUndoConversion())
        return false;
    std::unique_ptr<TextBuffer> earlier = std::move(m_earlierTexts.back());
    m_earlierTexts.pop_back();
    unpackForSwap(*earlier, QStringLiteral("변환하기 전의 내용으로 되돌리고 있습니다..."));
    swapText(std::move(earlier), &m_laterTexts);
    return true;
}

bool CQuorelDoc::redoConversion()
{
    if (!canRedoConversion())
        return false;
    std::unique_ptr<TextBuffer> later = std::move(m_laterTexts.back());
    m_laterTexts.pop_back();
    unpackForSwap(*later, QStringLiteral("변환한 내용을 다시 불러오고 있습니다..."));
    swapText(std::move(later), &m_earlierTexts);
    return true;
}

void CQuorelDoc::markKeptTextsModified()
{
    for (auto *texts : {&m_earlierTexts, &m_laterTexts}) {
        for (const auto &text : *texts)
            text->setModified(true);
    }
}

void CQuorelDoc::releaseTexts()
{
    letGo(m_earlierTexts);
    letGo(m_laterTexts);
    if (!m_text)
        return;
    disconnect(m_text, nullptr, this, nullptr);
    m_text->setParent(nullptr);
    TextBuffer *last = std::exchange(m_text, nullptr);
    // A view still showing it lets go now, before another thread frees it.
    emit textBufferReplaced(last, nullptr);
    letGo(std::unique_ptr<TextBuffer>(last));
}
