#pragma once

#include "items/bookmark.h"

#include <QByteArray>
#include <QDateTime>

class ProfileFile;

// The home gopher servers of section "Home Gopher": typed accessors, the
// home item, the pick by the clock and what the two set-up forms write.
class HomeGophers
{
public:
    explicit HomeGophers(ProfileFile &file);

    int GetHomeCount() const;
    [[nodiscard]] bool SetHomeCount(int count);
    QByteArray GetHomeServer(int n) const;
    // An empty host deletes the key.
    [[nodiscard]] bool SetHomeServer(int n, const QByteArray &host);
    int GetHomePort(int n) const;
    [[nodiscard]] bool SetHomePort(int n, int port);
    QByteArray GetHomeSelector(int n) const;
    [[nodiscard]] bool SetHomeSelector(int n, const QByteArray &selector);
    int GetPlusServer(int n) const;
    // Anything other than 0 and 1 is written as 0.
    [[nodiscard]] bool SetPlusServer(int n, int plus);
    QByteArray GetInitialMenu() const;
    [[nodiscard]] bool SetInitialMenu(const QByteArray &title);
    int GetHomeType() const;
    [[nodiscard]] bool SetHomeType(int type);

    // The directory item of home server n.
    CBookmark homeItem(int n) const;
    // Which of `count` servers to open now: 1 for a single server, otherwise
    // picked by the UTC clock.
    static int pickServer(int count, const QDateTime &nowUtc);

    // The fields of the "Home Gopher Server(s)" dialog.
    struct DialogFields
    {
        QByteArray host1;
        int port1 = 70;
        bool plus1 = false;
        QByteArray selector1;
        QByteArray initialMenu;
        QByteArray host2;
        int port2 = 70;
        bool plus2 = false;
        QByteArray selector2;
    };
    DialogFields dialogFields() const;
    // OK of the dialog: cleans both hosts, moves a lone second server to the
    // first block, and writes every key.
    [[nodiscard]] bool applyDialog(DialogFields fields);
    // OK of the preferences page, which edits server 1 only.
    [[nodiscard]] bool applyPreferencesPage(QByteArray host, int port, bool plus, QByteArray selector,
                                            const QByteArray &initialMenu);

private:
    ProfileFile &m_file;
};
