// A text reply, plain or Gopher+ ("\t+"), gives the same lines whether it
// arrives in one read or in many.

#include "tests/fuzz/documentfeed.h"

#include "documents/gophertextdoc.h"

#include <cstddef>
#include <cstdint>

namespace {

QByteArray describeText(const CGopherTextDoc &doc)
{
    const CQTextDoc &store = doc.store();
    QByteArray text = "lines=" + QByteArray::number(store.GetLineCount())
                      + " longest=" + QByteArray::number(store.GetLongestLine())
                      + " overflow=" + QByteArray::number(store.IsOverflow());
    for (int i = 0; i < store.GetLineCount(); ++i)
        text += "\nline: " + store.GetLine(i);
    return text;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static const CBookmark plain = fuzzedItem('0', "/text");
    static const CBookmark plus = fuzzedItem('0', "/text", "\t+");
    compareSplitReads<CGopherTextDoc>(data, size, plain, plus, describeText);
    return 0;
}
