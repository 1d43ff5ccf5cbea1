// A menu reply, plain or Gopher+ ("\t$"), gives the same directory whether it
// arrives in one read or in many.

#include "tests/fuzz/documentfeed.h"

#include "documents/gopherdir.h"

#include <cstddef>
#include <cstdint>

namespace {

QByteArray describeDirectory(const CGopherDir &dir)
{
    QByteArray text;
    for (int i = 0; i < dir.listCount(); ++i)
        text += "\nlist: " + describe(dir.listItem(i));
    for (int i = 0; i < dir.navigatorCount(); ++i)
        text += "\nnavigator: " + describe(dir.navigatorItem(i));
    return text;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static const CBookmark plain = fuzzedItem('1', "/menu");
    static const CBookmark plus = fuzzedItem('1', "/menu", "\t$");
    compareSplitReads<CGopherDir>(data, size, plain, plus, describeDirectory);
    return 0;
}
