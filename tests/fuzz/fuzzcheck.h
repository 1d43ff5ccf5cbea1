#pragma once

#include <QByteArray>

#include <cstdio>
#include <cstdlib>

// A property a harness checks: when it does not hold, the harness prints what
// it compared and aborts, so libFuzzer keeps the input as a crash. With
// TWK_FUZZ_CRASHES_ONLY set, broken properties are not reported, so that a
// known one does not hide crashes, memory errors and hangs behind it.
inline void fuzzFail(const char *what, const QByteArray &expected, const QByteArray &actual)
{
    static const bool crashesOnly = std::getenv("TWK_FUZZ_CRASHES_ONLY") != nullptr;
    if (crashesOnly)
        return;
    std::fprintf(stderr, "\n%s\n  expected: %s\n  actual:   %s\n", what,
                 expected.toPercentEncoding(" ").constData(),
                 actual.toPercentEncoding(" ").constData());
    std::abort();
}

inline void fuzzCompare(const char *what, const QByteArray &expected, const QByteArray &actual)
{
    if (expected != actual)
        fuzzFail(what, expected, actual);
}

inline void fuzzCheck(bool condition, const char *what)
{
    if (!condition)
        fuzzFail(what, QByteArray("true"), QByteArray("false"));
}

#include "items/bookmark.h"

// Every field of an item, for comparing two of them.
inline QByteArray describe(const CBookmark &item)
{
    QByteArray text = "type=" + QByteArray(1, item.type) + " title=" + item.title
                      + " selector=" + item.selector + " host=" + item.host
                      + " port=" + QByteArray::number(item.port)
                      + " flags=" + QByteArray::number(item.flags) + (item.tls ? " tls" : "")
                      + " size=" + QByteArray::number(item.itemSize)
                      + " parent=" + item.parentKey + " attributes=" + item.attributeText;
    for (const QByteArray &line : item.viewLines)
        text += " view=" + line;
    for (const QByteArray &line : item.askLines)
        text += " ask=" + line;
    return text;
}

// Host names a URL can carry unchanged.
inline bool isPlainHost(const QByteArray &host)
{
    if (host.isEmpty())
        return false;
    for (const char c : host) {
        if (!((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '.'))
            return false;
    }
    return true;
}

// The selector without the request's line end: up to the first CR or LF.
inline QByteArray selectorLine(const QByteArray &selector)
{
    qsizetype end = 0;
    while (end < selector.size() && selector[end] != '\r' && selector[end] != '\n')
        ++end;
    return selector.left(end);
}
