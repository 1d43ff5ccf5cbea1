#pragma once

#include <QByteArray>
#include <QCache>

#include <functional>
#include <optional>

class CBookmark;

// Replies of menus and texts fetched in the last minutes, kept in memory so
// that a page opened again (from the history, Back and Forward, a bookmark)
// is shown at once. The replies are kept as the server sent them and fed to
// the document as a reply from the network would be. The total is bounded;
// the least recently used reply goes first, and a reply older than MaxAge is
// not used. A capacity of 0 keeps nothing (the command-line modes).
class ReplyCache
{
public:
    static constexpr qsizetype DefaultCapacity = 64 << 20;
    // A reply larger than this share of the capacity is not kept: one huge
    // menu must not push out everything else.
    static constexpr int LargestShare = 4;
    static constexpr qint64 MaxAgeMs = 10 * 60 * 1000;

    ReplyCache();

    qsizetype capacity() const { return m_capacity; }
    void setCapacity(qsizetype bytes);
    bool isEnabled() const { return m_capacity > 0; }
    // The largest reply kept.
    qsizetype largestReply() const { return m_capacity / LargestShare; }

    // The request a reply answers: TLS or not, host, port and selector as sent.
    static QByteArray keyOf(const CBookmark &request);

    void store(const QByteArray &key, const QByteArray &reply);
    // The reply, when one younger than MaxAge is kept; it becomes the most
    // recently used.
    std::optional<QByteArray> find(const QByteArray &key);
    void remove(const QByteArray &key);
    void clear() { m_replies.clear(); }

    qsizetype totalBytes() const { return m_replies.totalCost(); }
    qsizetype count() const { return m_replies.count(); }

    // Milliseconds of a steady clock (tests set their own).
    void setClock(std::function<qint64()> clock) { m_clock = std::move(clock); }

private:
    struct Reply
    {
        QByteArray bytes;
        qint64 storedAt = 0;
    };

    qsizetype m_capacity = 0;
    QCache<QByteArray, Reply> m_replies;
    std::function<qint64()> m_clock;
};
