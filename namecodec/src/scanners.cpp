#include "scanners.h"

namespace namecodec::detail {

std::unique_ptr<LineScanner> makeScanner(FileKind kind, Encoding enc, bool backToUnicode)
{
    switch (kind) {
    case FileKind::Zone:
        return makeZoneScanner(enc);
    case FileKind::NamedConf:
        return makeNamedConfScanner(enc);
    case FileKind::WebServer:
        return makeWebServerScanner(enc);
    case FileKind::Auto:
    case FileKind::General:
        break;
    }
    return makeGeneralScanner(enc, backToUnicode);
}

} // namespace namecodec::detail
