// Saves a large category over and over, alternating two versions, until it
// is killed: the peer of the test that kills a save at random moments.
//   bookmarksaver SETTINGS COUNT

#include "settings/profilefile.h"
#include "bookmarks/bookmarkstore.h"

#include <QCoreApplication>

#include <cstdio>

int main(int argc, char **argv)
{
    QCoreApplication application(argc, argv);
    if (argc < 3)
        return 2;
    ProfileFile file(QString::fromLocal8Bit(argv[1]));
    CBookmarkStore store(file, nullptr);
    const int count = QByteArray(argv[2]).toInt();
    CBookmarkArray versions[2];
    for (int v = 0; v < 2; ++v) {
        for (int i = 0; i < count; ++i) {
            const QByteArray n = QByteArray::number(i);
            versions[v].append(CBookmark('0', "v" + QByteArray::number(v) + " bookmark " + n,
                                         "/v" + QByteArray::number(v) + "/" + n, "gopher.example.org", 70));
        }
    }
    for (long round = 0;; ++round) {
        if (!store.SaveCategory("Big", versions[round % 2]))
            return 1;
        if (round == 0) {
            std::fputs("saved\n", stdout);
            std::fflush(stdout);
        }
    }
}
