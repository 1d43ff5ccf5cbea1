// Gopher+ attribute blocks from any text: no crash, and an unfinished last
// line (bytes after the last line end) changes nothing.

#include "tests/fuzz/fuzzcheck.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray input(reinterpret_cast<const char *>(data), qsizetype(size));
    // The first byte says where the unfinished line starts.
    if (input.isEmpty())
        return 0;
    const QByteArray text = input.mid(1);
    const qsizetype cut = text.isEmpty() ? 0 : qsizetype(uint8_t(input.at(0))) % text.size();
    QByteArray whole = text.left(cut) + "\r\n";
    QByteArray partial = text.mid(cut);
    partial.replace('\r', ' ');
    partial.replace('\n', ' ');

    CBookmark item;
    item.ParseAttributes(whole);
    CBookmark withPartial;
    withPartial.ParseAttributes(QByteArray(whole + partial));
    fuzzCompare("unfinished last line", describe(item), describe(withPartial));
    fuzzCheck(item.viewLines.size() + item.askLines.size() <= whole.count('\n'),
              "no more view and ask lines than lines");
    return 0;
}
