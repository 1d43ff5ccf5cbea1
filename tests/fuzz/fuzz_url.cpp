// A URL found in any text gives an item whose own URL reads back as the same
// item and the same URL.

#include "tests/fuzz/fuzzcheck.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray text(reinterpret_cast<const char *>(data), qsizetype(size));
    CBookmark item;
    item.ParseURL(text);
    CBookmark::UnescapeSelector(text);
    CBookmark::EscapeSelector(text);
    // A selector with a line end inside is cut there by the URL form.
    if (!isPlainHost(item.host) || selectorLine(item.selector) + "\r\n" != item.selector)
        return 0;

    const QByteArray url = item.GetURL();
    CBookmark again;
    again.ParseURL(url);
    fuzzCompare("URL read back", describe(item), describe(again));
    fuzzCompare("URL written again", url, again.GetURL());
    return 0;
}
