#include "documents/replycache.h"

#include "items/bookmark.h"

#include <QElapsedTimer>

namespace {

qint64 steadyMilliseconds()
{
    static QElapsedTimer clock = [] {
        QElapsedTimer started;
        started.start();
        return started;
    }();
    return clock.elapsed();
}

} // namespace

ReplyCache::ReplyCache() : m_clock(&steadyMilliseconds)
{
    m_replies.setMaxCost(0);
}

void ReplyCache::setCapacity(qsizetype bytes)
{
    m_capacity = qMax<qsizetype>(0, bytes);
    m_replies.setMaxCost(m_capacity);
}

QByteArray ReplyCache::keyOf(const CBookmark &request)
{
    return (request.tls ? "s\t" : "\t") + request.host + '\t' + QByteArray::number(request.port) + '\t'
           + request.selector;
}

void ReplyCache::store(const QByteArray &key, const QByteArray &reply)
{
    if (!isEnabled() || reply.size() > largestReply()) {
        m_replies.remove(key);
        return;
    }
    // The key is counted too: many small replies must stay within the bound.
    m_replies.insert(key, new Reply{reply, m_clock()}, reply.size() + key.size());
}

std::optional<QByteArray> ReplyCache::find(const QByteArray &key)
{
    Reply *reply = m_replies.object(key);
    if (!reply)
        return std::nullopt;
    if (m_clock() - reply->storedAt > MaxAgeMs) {
        m_replies.remove(key);
        return std::nullopt;
    }
    return reply->bytes;
}

void ReplyCache::remove(const QByteArray &key)
{
    m_replies.remove(key);
}
