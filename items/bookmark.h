#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>

// The characters accepted as the type character at the head of a menu line.
inline constexpr char ValidTypeChars[] = "0123456789TIsgi:;<hMP$?!";

// One Gopher item: a menu line, the item a window shows, the copy a network
// transaction carries, a saved bookmark, a home gopher. Titles, selectors and
// hosts are bytes exactly as the server sent them.
class CBookmark
{
public:
    enum Flag : quint8 { GopherPlusFlag = 1, AskFormFlag = 2 };
    // Another server that offers the same item: a "+" line under the item's
    // line in a plain menu. An empty selector means the item's own.
    struct RedundantServer
    {
        QByteArray host;
        quint16 port = 0;
        QByteArray selector;
        bool operator==(const RedundantServer &) const = default;
    };

    CBookmark() = default;
    // Copies the five values, then normalises.
    CBookmark(char type, QByteArray title, QByteArray selector, QByteArray host, quint16 port);

    QByteArray host;      // lower case after normalisation; "error" when a menu line gives none
    QByteArray selector;  // the request as sent, with its line end after normalisation
    QByteArray title;
    char type = 0;
    quint16 port = 0;
    QByteArray parentKey;  // window key of the directory the item was taken from
    qint32 navigatorIndex = 0;
    quint32 itemSize = 0;  // expected size of the data, 0 = unknown
    QByteArray attributeText;
    QList<QByteArray> viewLines;
    QList<QByteArray> askLines;
    quint8 flags = 0;
    quint32 itemTag = 0;
    // Servers to try, in order, when this item's own server cannot be reached.
    QList<RedundantServer> redundantServers;
    // Fetched over TLS: a gophers:// URL, a link of a menu that came over TLS
    // from the same server, or a bookmark stored so.
    bool tls = false;

    // Fills the item from one Gopher menu line (without its line end).
    void ParseMenuLine(QByteArrayView line);
    void Normalize();
    void Assign(const CBookmark &other);

    bool IsGopherPlus() const { return flags & GopherPlusFlag; }
    void SetGopherPlus(bool on);
    bool IsAskForm() const { return flags & AskFormFlag; }
    void SetAskForm(bool on);

    // The selector without a Gopher+ request marker: its text up to the
    // first TAB, CR or LF.
    static QByteArray plainSelector(const QByteArray &selector);

    // The attribute text of a Gopher+ item; empty for a plain item.
    QByteArray GetPlusAttributes() const;
    QByteArray GetTypeName() const;

    // Text forms: the bracketed gopher URL (also the item's window key), the
    // item record put on the clipboard, and the percent-encoding of selectors.
    // A TLS item's URL begins "gophers://".
    QByteArray GetURL() const;
    void ParseURL(QByteArrayView text);
    // Where the first gopher URL prefix ("gopher://" or "gophers://", in
    // lower or, when no lower one follows `from`, upper case) begins at or
    // after `from`; -1 when none. prefixLength gets its length.
    enum class UrlCase { Any, Lower, Upper };
    static qsizetype findUrlPrefix(QByteArrayView text, qsizetype from = 0,
                                   qsizetype *prefixLength = nullptr, UrlCase spelling = UrlCase::Any);
    // The text begins with a gopher URL prefix.
    static bool startsWithUrl(QByteArrayView text);
    QByteArray GetItemText() const;
    static QByteArray EscapeSelector(QByteArrayView text);
    // A host as URLs and titles write it before a port: an IPv6 literal
    // (any host holding ':') in brackets, every other host as it is.
    static QByteArray hostForUrl(const QByteArray &host);
    static QByteArray UnescapeSelector(QByteArrayView text);

    // The port number at the head of a text: leading blanks skipped, an
    // optional sign, digits up to the first non-digit (none give 0), kept to
    // its low 16 bits.
    static quint16 portFromText(QByteArrayView text);

    // Links to other protocols: a selector "URL:" followed by the address.
    bool isUrlLink() const;
    // The address of such a link (up to the selector's line end); empty for
    // other items.
    QByteArray linkAddress() const;
    // What the item-information text shows besides the record: the address
    // of a link and the redundant servers, one line each.
    QByteArray GetNotesText() const;
    // The server named by a "+" line of a plain menu.
    static RedundantServer ParseRedundantLine(QByteArrayView line);

    // Gopher+ attribute blocks (+INFO, +ADMIN, +VIEWS, +ABSTRACT, +ASK):
    // replaces attributeText, appends to viewLines and askLines.
    void ParseAttributes(QByteArrayView text);
};
