// The RTF reader that shows the update notes: any bytes must give a
// document, with no empty run and sizes in range, and never a crash. Read
// with limits, it must give the start of that same document, cut exactly
// when the document goes past them.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "rtf/rtfreader.h"

namespace {

void check(bool condition)
{
    if (!condition)
        std::abort();
}

bool exceeds(const rtf::Document &doc, const rtf::Limits &limits)
{
    qsizetype characters = 0;
    qsizetype runs = 0;
    for (const rtf::Paragraph &p : doc.paragraphs) {
        if (p.runs.size() > limits.runsPerParagraph)
            return true;
        runs += p.runs.size();
        for (const rtf::Run &r : p.runs)
            characters += r.text.size();
    }
    return doc.paragraphs.size() > limits.paragraphs || characters > limits.characters || runs > limits.runs;
}

void checkStart(QByteArrayView bytes, const rtf::Document &whole, const rtf::Limits &limits)
{
    const rtf::Document cut = rtf::read(bytes, limits);
    check(cut.truncated == exceeds(whole, limits));
    check(!exceeds(cut, limits));
    check(cut.paragraphs.size() <= whole.paragraphs.size());
    for (qsizetype i = 0; i < cut.paragraphs.size(); ++i) {
        const rtf::Paragraph &kept = cut.paragraphs[i];
        const rtf::Paragraph &full = whole.paragraphs[i];
        // Only the last kept paragraph may be shorter, and its alignment
        // may change after the point where reading stopped.
        const bool open = cut.truncated && i + 1 == cut.paragraphs.size();
        check(open ? kept.runs.size() <= full.runs.size() : kept.runs.size() == full.runs.size());
        check(open || kept.alignment == full.alignment);
        for (qsizetype r = 0; r < kept.runs.size(); ++r) {
            check(!kept.runs[r].text.isEmpty() && kept.runs[r].sameFormat(full.runs[r]));
            const bool last = open && r + 1 == kept.runs.size();
            check(last ? full.runs[r].text.startsWith(kept.runs[r].text)
                       : kept.runs[r].text == full.runs[r].text);
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QByteArrayView bytes(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));
    const rtf::Document doc = rtf::read(bytes);
    check(!doc.truncated);
    for (const rtf::Paragraph &p : doc.paragraphs) {
        for (const rtf::Run &r : p.runs)
            check(!r.text.isEmpty() && r.halfPoints >= 0 && r.halfPoints <= 400);
    }
    checkStart(bytes, doc, {3, 40, 6, 3});
    checkStart(bytes, doc, {1, 1, 1, 1});
    checkStart(bytes, doc, {200, 2000, 400, 50});
    return 0;
}
