// Bookmarks bench: a category of 5,000 bookmarks saved, loaded, and one more
// bookmark added, in a settings file that also holds other sections. Prints
// the wall-clock time of each step and how often the file was read, parsed
// and replaced.
//
//   cmake --build build --target bench_bookmarks && build/bench_bookmarks [COUNT]

#include "settings/profilefile.h"
#include "bookmarks/bookmarkstore.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QTemporaryDir>

#include <cstdio>

namespace {

void report(const char *step, qint64 us, const ProfileFile::Counters &before,
            const ProfileFile::Counters &after)
{
    std::printf("  %-10s %8.1f ms   reads %d, parses %d, replacements %d\n", step, double(us) / 1000.0,
                after.reads - before.reads, after.parses - before.parses,
                after.replacements - before.replacements);
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication application(argc, argv);
    const int count = argc > 1 ? QByteArray(argv[1]).toInt() : 5000;
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("tarnwick.ini"));
    ProfileFile file(path);
    (void)file.writeString("Options", "Auto Strip Dots", "1");
    CBookmarkStore store(file, nullptr);
    (void)store.AddCategory("Other");
    (void)store.AddCategory("Large");

    CBookmarkArray array;
    for (int i = 0; i < count; ++i) {
        const QByteArray n = QByteArray::number(i);
        array.append(CBookmark('0', "A bookmark with a title of some length, number " + n,
                               "/a/selector/of/some/length/" + n, "gopher.example.org", 70));
    }
    std::printf("category of %d bookmarks\n", count);
    QElapsedTimer timer;
    ProfileFile::Counters before = file.counters();
    timer.start();
    const bool saved = store.SaveCategory("Large", array);
    report("save", timer.nsecsElapsed() / 1000, before, file.counters());
    std::printf("  settings file: %lld bytes\n", static_cast<long long>(QFileInfo(path).size()));

    // A fresh file object, as at the next start: the load pays for the parse.
    ProfileFile fresh(path);
    before = fresh.counters();
    timer.restart();
    CBookmarkStore next(fresh, nullptr);
    const CBookmarkArray loaded = next.LoadCategory("Large");
    report("load", timer.nsecsElapsed() / 1000, before, fresh.counters());

    (void)next.SetDefaultCategory("Large");
    before = fresh.counters();
    timer.restart();
    const bool added = next.AddBookmark(CBookmark('1', "One more", "/more", "gopher.example.org", 70));
    report("add one", timer.nsecsElapsed() / 1000, before, fresh.counters());

    const bool ok = saved && added && loaded.size() == count && next.GetBookmarkCount("Large") == count + 1;
    std::printf("%s\n", ok ? "ok" : "FAILED");
    return ok ? 0 : 1;
}
