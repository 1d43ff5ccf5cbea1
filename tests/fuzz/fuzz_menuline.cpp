// A menu line read into an item and written back as a menu line reads the
// same; the item's URL reads back as the same item.

#include "tests/fuzz/fuzzcheck.h"

#include <cstddef>
#include <cstdint>

namespace {

QByteArray menuLine(const CBookmark &item)
{
    QByteArray line = QByteArray(1, item.type) + item.title + '\t' + selectorLine(item.selector)
                      + '\t' + item.host + '\t' + QByteArray::number(item.port);
    if (item.IsAskForm())
        line += "\t?";
    else if (item.IsGopherPlus())
        line += "\t+";
    return line;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray line(reinterpret_cast<const char *>(data), qsizetype(size));
    // The directory cuts lines at their line ends: a menu line holds none.
    if (line.contains('\r') || line.contains('\n'))
        return 0;

    CBookmark item;
    item.ParseMenuLine(line);
    CBookmark again;
    again.ParseMenuLine(menuLine(item));
    fuzzCompare("menu line round trip", describe(item), describe(again));

    if (!isPlainHost(item.host))
        return 0;
    CBookmark fromUrl;
    fromUrl.ParseURL(item.GetURL());
    fuzzCompare("URL host", item.host, fromUrl.host);
    fuzzCompare("URL port", QByteArray::number(item.port), QByteArray::number(fromUrl.port));
    fuzzCompare("URL type", QByteArray(1, item.type), QByteArray(1, fromUrl.type));
    fuzzCompare("URL selector", selectorLine(item.selector) + "\r\n", fromUrl.selector);
    const QByteArray request = selectorLine(item.selector);
    const bool plusRequest = request.contains("\t+") || request.contains("\t!")
                             || request.contains("\t$");
    fuzzCheck(fromUrl.IsGopherPlus() == plusRequest, "URL Gopher+ flag");
    return 0;
}
