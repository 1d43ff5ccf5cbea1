#include "app/historyrunner.h"

#include "app/programoptions.h"
#include "bookmarks/bookmarkexchange.h"
#include "documents/historystore.h"
#include "items/bookmark.h"
#include "settings/userdatafiles.h"

#include <QFile>
#include <QProcessEnvironment>

#include <cstdio>
#include <limits>

namespace {

void writeTo(FILE *stream, const QByteArray &text)
{
    std::fwrite(text.constData(), 1, size_t(text.size()), stream);
    std::fflush(stream);
}

} // namespace

int HistoryRunner::run(const ProgramOptions &options)
{
    const QString format = options.isSet(u"format") ? options.value(u"format") : QStringLiteral("urls");
    const bool gophermap = format == QLatin1String("gophermap");
    if (!gophermap && format != QLatin1String("urls"))
        return ProgramOptions::usageError(QStringLiteral("unknown format '%1' (urls or gophermap)").arg(format));

    const QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    const QString path =
        UserDataFiles::historyFile(options.configDirectory(env), env);
    // The whole file, whatever the window program's capacity: what is on
    // disk is what the user's history holds until its next compaction.
    HistoryStore store(path);
    store.setCapacity(std::numeric_limits<int>::max());
    const std::vector<HistoryEntry> &entries = store.entries();
    if (!store.lastError().isEmpty()) {
        writeTo(stderr, "tarnwick: cannot read " + QFile::encodeName(path) + ": "
                            + store.lastError().toLocal8Bit() + '\n');
        return 1;
    }
    QByteArray out;
    if (!gophermap) {
        for (auto entry = entries.rbegin(); entry != entries.rend(); ++entry)
            out += entry->url + '\n';
    } else {
        QList<CBookmark> items;
        items.reserve(qsizetype(entries.size()));
        for (auto entry = entries.rbegin(); entry != entries.rend(); ++entry) {
            CBookmark item;
            item.ParseURL(entry->url);
            item.title = entry->title;
            items.append(item);
        }
        out = BookmarkExchange::exportItems(items, BookmarkExchange::Format::Gophermap);
    }
    writeTo(stdout, out);
    return 0;
}
