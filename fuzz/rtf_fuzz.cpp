// The RTF reader that shows the update notes: any bytes must give a
// document, with no empty run and sizes in range, and never a crash.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "panes/rtfreader.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const rtf::Document doc
        = rtf::read(QByteArrayView(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size)));
    for (const rtf::Paragraph &p : doc.paragraphs) {
        for (const rtf::Run &r : p.runs) {
            if (r.text.isEmpty() || r.halfPoints < 0 || r.halfPoints > 400)
                std::abort();
        }
    }
    return 0;
}
