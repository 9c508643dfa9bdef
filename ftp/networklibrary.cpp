#include "ftp/networklibrary.h"

#include <curl/curl.h>

#include "platform/logging.h"

namespace NetworkLibrary {

bool start()
{
    const CURLcode code = curl_global_init(CURL_GLOBAL_DEFAULT);
    if (code != CURLE_OK) {
        // The box the user sees can only say that it failed; the log keeps why.
        qCWarning(lcFtp) << "the network library did not start:" << curl_easy_strerror(code);
        return false;
    }
    return true;
}

void stop()
{
    curl_global_cleanup();
}

} // namespace NetworkLibrary
