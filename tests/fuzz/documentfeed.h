#pragma once

#include "tests/fuzz/fuzzcheck.h"

#include "app/tarnwickapp.h"
#include "documents/tarnwickdoc.h"
#include "documents/userinterface.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <functional>
#include <memory>
#include <random>

// Feeds a document one reply, the way the transaction engine does, without a
// socket: the reads go to OnData until it says the reply is complete, and the
// end of the transfer follows. `describe` writes out what the document holds.
template<typename Document>
QByteArray feedDocument(const CBookmark &item, const QList<QByteArray> &reads,
                        const std::function<QByteArray(const Document &)> &describeDocument)
{
    RecordingUserInterface ui;
    CTarnwickApp app(ui);
    // The reads are handed over here: no request goes to a network.
    app.engine().setOffline(true);
    auto doc = std::make_unique<Document>(app.context());
    doc->Fetch(item);
    bool done = false;
    for (const QByteArray &read : reads) {
        doc->OnData(read, done);
        if (done)
            break;
    }
    doc->FinishTransfer();

    QByteArray text = describeDocument(*doc);
    text += "\nstatus=" + doc->lastStatus() + " done=" + QByteArray::number(doc->isDone())
            + " closing=" + QByteArray::number(doc->isClosing())
            + " error=" + QByteArray::number(doc->gopherPlusError())
            + " end=" + QByteArray::number(doc->endStatus())
            + " mode=" + QByteArray::number(doc->replyMode());
    for (const RecordingUserInterface::Message &message : std::as_const(ui.messages))
        text += "\nmessage=" + message.text;
    return text;
}

// The item a fuzzer feeds replies for: a plain one, or the same item asked
// for with a Gopher+ request marker.
inline CBookmark fuzzedItem(char type, const QByteArray &selector, const QByteArray &plusMarker = {})
{
    CBookmark item(type, QByteArray("Fuzzed"), selector + plusMarker, QByteArray("127.0.0.1"), 70);
    item.SetGopherPlus(!plusMarker.isEmpty());
    return item;
}

// The reply of the input, in one read and in reads split at points the input
// picks; both must leave the document the same.
template<typename Document>
void compareSplitReads(const uint8_t *data, size_t size, const CBookmark &plainItem,
                       const CBookmark &plusItem,
                       const std::function<QByteArray(const Document &)> &describeDocument)
{
    FuzzedDataProvider input(data, size);
    const CBookmark &item = input.ConsumeBool() ? plusItem : plainItem;
    std::minstd_rand random(input.ConsumeIntegral<uint32_t>());
    const int longestRead = input.ConsumeIntegralInRange(1, 64);
    const std::string rest = input.ConsumeRemainingBytesAsString();
    const QByteArray reply(rest.data(), qsizetype(rest.size()));
    if (reply.isEmpty())
        return;

    QList<QByteArray> reads;
    for (qsizetype at = 0; at < reply.size();) {
        const qsizetype length = std::uniform_int_distribution<qsizetype>(1, longestRead)(random);
        reads.append(reply.mid(at, length));
        at += length;
    }
    const QByteArray whole = feedDocument<Document>(item, {reply}, describeDocument);
    const QByteArray split = feedDocument<Document>(item, reads, describeDocument);
    if (whole != split) {
        QByteArray where = "reads split at";
        qsizetype at = 0;
        for (const QByteArray &read : std::as_const(reads))
            where += ' ' + QByteArray::number(at += read.size());
        fuzzFail(where.constData(), whole, split);
    }
}
