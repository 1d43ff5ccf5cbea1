// A SOCKS5 proxy's reply to the connect request, read as the transport reads
// it: only as many bytes as the reply so far says it needs. Whatever the
// bytes, the decision taken on those is the one all of them give, and a
// reply taken as complete never reaches past what arrived.

#include "tests/fuzz/fuzzcheck.h"

#include "net/socks5transport.h"

#include <cstddef>
#include <cstdint>

namespace {

using Reply = Socks5Transport::Reply;

QByteArray decision(const Reply &reply)
{
    switch (reply.status) {
    case Reply::Status::Incomplete: return "incomplete";
    case Reply::Status::Succeeded: return "succeeded, " + QByteArray::number(reply.length) + " bytes";
    case Reply::Status::Refused: return "refused, code " + QByteArray::number(reply.code);
    case Reply::Status::Malformed: return "malformed";
    }
    return {};
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    const Reply whole = Socks5Transport::parseReply(bytes);
    fuzzCheck(whole.status != Reply::Status::Succeeded || whole.length <= bytes.size(),
              "a reply taken as complete lies within the bytes");

    qsizetype read = 0;
    Reply step = Socks5Transport::parseReply(bytes.first(read));
    while (step.status == Reply::Status::Incomplete) {
        fuzzCheck(step.length > read, "an incomplete reply asks for more bytes");
        if (step.length > bytes.size())
            return 0;
        read = step.length;
        step = Socks5Transport::parseReply(bytes.first(read));
    }
    fuzzCompare("the decision on the bytes read", decision(whole), decision(step));
    return 0;
}
