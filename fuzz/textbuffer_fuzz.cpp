// The text buffer under random edits, undo and redo: the input bytes are a
// program of operations, run on a TextBuffer and on a plain QString with a
// history of whole-text snapshots. After every operation the two must agree
// on the text, its lines, the selections undo and redo give back, and what
// the history says (undo, redo, modified); any difference aborts.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <iterator>
#include <vector>

#include <QString>

#include "document/textbuffer.h"

namespace {

// Names the line of the failed comparison, which the stack does not tell
// in an optimised build.
#define check(condition) checkAt(condition, __LINE__)

void checkAt(bool condition, int line)
{
    if (!condition) {
        std::fprintf(stderr, "text buffer and model differ (textbuffer_fuzz.cpp:%d)\n", line);
        std::abort();
    }
}

class Input {
public:
    Input(const std::uint8_t *data, std::size_t size)
        : m_data(data)
        , m_size(size)
    {
    }
    bool done() const { return m_at >= m_size; }
    int byte() { return m_at < m_size ? m_data[m_at++] : 0; }
    int below(int limit) { return limit <= 0 ? 0 : byte() % limit; }
    // Short texts over a small alphabet, so that edits meet line breaks,
    // Hangul, a surrogate pair and each other often.
    QString text(int longest)
    {
        static const char16_t kAlphabet[] = {u'a', u'b', u'\n', u'\r', u' ', u'가', u'힣', 0xD83D, 0xDE00};
        QString out;
        for (int n = below(longest + 1); n > 0; --n) {
            const int pick = below(static_cast<int>(std::size(kAlphabet)));
            out += QChar(kAlphabet[pick]);
            if (kAlphabet[pick] == 0xD83D)
                out += QChar(0xDE00);
        }
        return out;
    }

private:
    const std::uint8_t *m_data;
    std::size_t m_size;
    std::size_t m_at = 0;
};

// The history as snapshots: each step knows the whole text before and after.
struct ModelStep {
    QString textBefore;
    QString textAfter;
    TextSelection before;
    TextSelection after;
    bool typing = false;
    int parts = 1;
    // The single part of a typing step, for joining the next keystroke.
    int position = 0;
    QString removed;
    QString inserted;
};

struct Model {
    QString text;
    std::vector<ModelStep> steps;
    int done = 0;
    int cleanAt = 0;
    int blockDepth = 0;
    bool openBlockAdded = false;

    bool joinsTyping(ModelStep &top, int position, const QString &removed, const QString &inserted) const
    {
        if (removed.isEmpty()) {
            if (top.inserted.isEmpty() || inserted.contains(u'\n')
                || position != top.position + top.inserted.size())
                return false;
            top.inserted += inserted;
            return true;
        }
        if (!inserted.isEmpty() || removed.size() != 1 || !top.inserted.isEmpty() || top.removed.isEmpty())
            return false;
        if (position + 1 == top.position) {
            top.removed.prepend(removed);
            top.position = position;
            return true;
        }
        if (position == top.position) {
            top.removed += removed;
            return true;
        }
        return false;
    }

    void replace(int from, int to, const QString &inserted, TextSelection before, bool typing)
    {
        const int length = static_cast<int>(text.size());
        from = std::clamp(from, 0, length);
        to = std::clamp(to, 0, length);
        if (from > to)
            std::swap(from, to);
        if (from == to && inserted.isEmpty())
            return;
        const QString removed = text.mid(from, to - from);
        const QString old = text;
        text.replace(from, to - from, inserted);
        const int end = from + static_cast<int>(inserted.size());
        const TextSelection after {end, end};

        ModelStep *top
            = done > 0 && done == static_cast<int>(steps.size()) && cleanAt != done ? &steps.back() : nullptr;
        if (top && blockDepth > 0 && openBlockAdded) {
            top->textAfter = text;
            top->after = after;
            ++top->parts;
            return;
        }
        if (top && blockDepth == 0 && typing && top->typing && top->parts == 1
            && joinsTyping(*top, from, removed, inserted)) {
            top->textAfter = text;
            top->after = after;
            return;
        }
        if (done < static_cast<int>(steps.size())) {
            if (cleanAt > done)
                cleanAt = -1;
            steps.resize(done);
        }
        steps.push_back(
            ModelStep {old, text, before, after, typing && blockDepth == 0, 1, from, removed, inserted});
        done = static_cast<int>(steps.size());
        openBlockAdded = blockDepth > 0;
    }

    void clear(TextBuffer::Stacks which)
    {
        openBlockAdded = false;
        if (which & TextBuffer::RedoStack) {
            if (cleanAt > done)
                cleanAt = -1;
            steps.resize(done);
        }
        if (which & TextBuffer::UndoStack) {
            cleanAt = cleanAt >= done ? cleanAt - done : -1;
            steps.erase(steps.begin(), steps.begin() + done);
            done = 0;
        }
    }
};

// The buffer's view of its text, line by line and through its positions.
void compare(const TextBuffer &buffer, const Model &model, Input &in)
{
    check(buffer.toPlainText() == model.text);
    const int length = static_cast<int>(model.text.size());
    check(buffer.length() == length);
    check(buffer.lineCount() == model.text.count(u'\n') + 1);
    check(buffer.isUndoAvailable() == (model.done > 0));
    check(buffer.isRedoAvailable() == (model.done < static_cast<int>(model.steps.size())));
    check(buffer.isModified() == (model.cleanAt != model.done));
    const int line = in.below(buffer.lineCount());
    const int start = buffer.lineStart(line);
    const qsizetype expectedStart = line == 0 ? 0 : [&] {
        qsizetype at = -1;
        for (int i = 0; i < line; ++i)
            at = model.text.indexOf(u'\n', at + 1);
        return at + 1;
    }();
    check(start == expectedStart && buffer.lineOf(start) == line);
    const qsizetype lineEnd = model.text.indexOf(u'\n', start);
    check(buffer.line(line) == model.text.mid(start, (lineEnd < 0 ? length : lineEnd) - start));
    const int a = in.below(length + 1);
    const int b = in.below(length + 1);
    check(buffer.text(std::min(a, b), std::max(a, b)) == model.text.mid(std::min(a, b), std::abs(a - b)));
    check(buffer.characterAt(a) == (a < length ? model.text.at(a) : QChar()));
}

// A keystroke at the caret: a character typed, backspace or delete.
void keystroke(TextBuffer &buffer, Model &model, Input &in, TextSelection &caret)
{
    const int length = static_cast<int>(model.text.size());
    const int at = std::clamp(caret.position, 0, length);
    const int kind = in.below(3);
    const int from = kind == 1 ? at - 1 : at;
    const int to = kind == 0 ? at : (kind == 1 ? at : at + 1);
    const QString inserted = kind == 0 ? in.text(1) : QString();
    if (kind != 0 && (from < 0 || to > length))
        return;
    buffer.replace(from, to, inserted, {at, at}, true);
    model.replace(from, to, inserted, {at, at}, true);
    caret.position = from + static_cast<int>(inserted.size());
}

// Undo gives back the text before the step and its selection.
void undo(TextBuffer &buffer, Model &model, TextSelection &caret)
{
    const bool available = model.done > 0;
    const TextSelection got = buffer.undo();
    if (!available) {
        check(got == TextSelection {});
        return;
    }
    // An edit block left open starts a new step after an undo; an undo with
    // nothing to take back changes nothing.
    model.openBlockAdded = false;
    const ModelStep &s = model.steps[--model.done];
    check(got == s.before);
    model.text = s.textBefore;
    caret = got;
}

// Redo gives back the text after the step and its selection.
void redo(TextBuffer &buffer, Model &model, TextSelection &caret)
{
    const bool available = model.done < static_cast<int>(model.steps.size());
    const TextSelection got = buffer.redo();
    if (!available) {
        check(got == TextSelection {});
        return;
    }
    model.openBlockAdded = false;
    const ModelStep &s = model.steps[model.done++];
    check(got == s.after);
    model.text = s.textAfter;
    caret = got;
}

void step(TextBuffer &buffer, Model &model, Input &in, TextSelection &caret)
{
    const int length = static_cast<int>(model.text.size());
    switch (in.below(10)) {
    case 0:
    case 1: { // any replace, a step of its own unless in a block
        const int from = in.below(length + 2) - 1; // out of range now and then: clamped
        const int to = in.below(length + 2);
        const QString inserted = in.text(6);
        const TextSelection before {in.below(length + 1), in.below(length + 1)};
        buffer.replace(from, to, inserted, before, false);
        model.replace(from, to, inserted, before, false);
        break;
    }
    case 2:
    case 3:
        keystroke(buffer, model, in, caret);
        break;
    case 4:
        undo(buffer, model, caret);
        break;
    case 5:
        redo(buffer, model, caret);
        break;
    case 6:
        if (model.blockDepth < 3) {
            buffer.beginEditBlock();
            if (model.blockDepth++ == 0)
                model.openBlockAdded = false;
        }
        break;
    case 7:
        if (model.blockDepth > 0) {
            buffer.endEditBlock();
            if (--model.blockDepth == 0)
                model.openBlockAdded = false;
        }
        break;
    case 8: {
        const bool modified = in.below(2) != 0;
        buffer.setModified(modified);
        model.cleanAt = modified ? -1 : model.done;
        break;
    }
    default: {
        const auto which = static_cast<TextBuffer::Stacks>(1 + in.below(3));
        buffer.clearUndoRedoStacks(which);
        model.clear(which);
        break;
    }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    Input in(data, size);
    TextBuffer buffer;
    Model model;
    model.text = in.text(12);
    buffer.setPlainText(model.text);
    check(!buffer.isModified() && !buffer.isUndoAvailable() && !buffer.isRedoAvailable());
    TextSelection caret;
    for (int n = 0; !in.done() && n < 2000; ++n) {
        step(buffer, model, in, caret);
        compare(buffer, model, in);
    }
    return 0;
}
