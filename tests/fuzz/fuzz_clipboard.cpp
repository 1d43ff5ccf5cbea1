// The clipboard readers take any text without crashing or looping, and the
// records the program writes read back as the items they were written from:
// the multi-item reader from the keys, the single-item reader from the URL.

#include "tests/fuzz/fuzzcheck.h"

#include "items/itemrecords.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <cstddef>
#include <cstdint>

namespace {

// Types whose record line reads back as the type alone ("?" marks an ask form).
const char RecordTypes[] = "0123456789TIsgi:;<hMP$!";

QByteArray bytes(FuzzedDataProvider &input, size_t maxLength)
{
    const std::string text = input.ConsumeRandomLengthString(maxLength);
    return QByteArray(text.data(), qsizetype(text.size()));
}

QByteArray withoutLineEnds(QByteArray text)
{
    text.replace('\r', ' ');
    text.replace('\n', ' ');
    return text;
}

CBookmark makeItem(FuzzedDataProvider &input)
{
    const char type = RecordTypes[input.ConsumeIntegralInRange<size_t>(0, sizeof RecordTypes - 2)];
    const QByteArray title = withoutLineEnds(bytes(input, 40));
    const QByteArray selector = withoutLineEnds(bytes(input, 40));
    QByteArray host = bytes(input, 20).toLower();
    host.removeIf([](char c) { return !isPlainHost(QByteArray(1, c)); });
    if (host.isEmpty())
        host = "host";
    CBookmark item(type, title, selector, host, input.ConsumeIntegral<quint16>());
    item.SetGopherPlus(input.ConsumeBool());
    item.SetAskForm(input.ConsumeBool());
    return item;
}

// The selector as the record keeps it: up to its first TAB, except for a
// search item, which keeps its search part.
QByteArray recordSelector(const CBookmark &item)
{
    QByteArray selector = selectorLine(item.selector);
    if (item.type != '7') {
        const qsizetype tab = selector.indexOf('\t');
        if (tab >= 0)
            selector.truncate(tab);
    }
    return selector;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FuzzedDataProvider input(data, size);
    if (input.ConsumeBool()) {
        // Any text at all.
        const std::string rest = input.ConsumeRemainingBytesAsString();
        const QByteArrayView text(rest.data(), qsizetype(rest.size()));
        ItemRecords::acceptsText(text);
        ItemRecords::readSingleItem(text);
        for (const char *key : {"Name=", "Host=", "Port=", "Type=", "Path=", "gopher://"})
            ItemRecords::GetClipboardField(text, key);
        const QList<CBookmark> items = ItemRecords::readItems(text);
        fuzzCheck(items.size() <= text.size(), "no more items than characters");
        return 0;
    }

    QList<CBookmark> written;
    const int count = input.ConsumeIntegralInRange(1, 3);
    for (int i = 0; i < count; ++i)
        written.append(makeItem(input));

    const QByteArray records = ItemRecords::recordsText(written);
    // What was read back only makes sense with the records it was read from.
    const auto fuzzCompare = [&records](const char *what, const QByteArray &expected,
                                        const QByteArray &actual) {
        if (expected != actual)
            fuzzFail(QByteArray(what + QByteArray("\n  records: ")
                                + records.toPercentEncoding(" "))
                         .constData(),
                     expected, actual);
    };
    const auto fuzzCheck = [&fuzzCompare](bool condition, const char *what) {
        fuzzCompare(what, QByteArray("true"), condition ? QByteArray("true") : QByteArray("false"));
    };
    const QList<CBookmark> read = ItemRecords::readItems(records);
    fuzzCompare("multi-item reader: item count", QByteArray::number(written.size()),
                QByteArray::number(read.size()));
    for (qsizetype i = 0; i < written.size(); ++i) {
        const CBookmark &item = written.at(i);
        const CBookmark &back = read.at(i);
        fuzzCompare("multi-item reader: title", item.title, back.title);
        fuzzCompare("multi-item reader: type", QByteArray(1, item.type), QByteArray(1, back.type));
        fuzzCompare("multi-item reader: host", item.host, back.host);
        fuzzCompare("multi-item reader: port", QByteArray::number(item.port),
                    QByteArray::number(back.port));
        fuzzCompare("multi-item reader: selector", recordSelector(item), selectorLine(back.selector));
        // The record marks an ask form with "?" only, so it reads back
        // without the Gopher+ flag.
        fuzzCheck(back.IsGopherPlus() == (item.IsGopherPlus() && !item.IsAskForm()),
                  "multi-item reader: Gopher+ flag");
        fuzzCheck(back.IsAskForm() == item.IsAskForm(), "multi-item reader: ask-form flag");
    }

    const CBookmark &first = written.first();
    const ItemRecords::ItemFields fields = ItemRecords::readSingleItem(first.GetItemText());
    fuzzCompare("single-item reader: host", first.host, fields.host);
    fuzzCompare("single-item reader: port", QByteArray::number(first.port),
                QByteArray::number(fields.port));
    fuzzCompare("single-item reader: type", QByteArray(1, first.type), QByteArray(1, fields.type));
    fuzzCompare("single-item reader: selector", selectorLine(first.selector),
                selectorLine(fields.selector));
    return 0;
}
