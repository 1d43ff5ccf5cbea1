#include "app/historyrunner.h"

#include "bookmarks/bookmarkexchange.h"
#include "documents/historystore.h"
#include "items/bookmark.h"
#include "settings/programfiles.h"
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

const char Usage[] = "usage: tarnwick [-I DIR] --history [--format urls|gophermap]\n";

} // namespace

bool HistoryRunner::wantsHistory(const QStringList &arguments)
{
    return arguments.contains(QLatin1String("--history"));
}

int HistoryRunner::run(const QStringList &arguments)
{
    bool usageError = false;
    QString format = QStringLiteral("urls");
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QString &arg = arguments.at(i);
        const bool hasValue = i + 1 < arguments.size();
        if (arg == QLatin1String("--history")) {
            continue;
        } else if (arg == QLatin1String("--format") && hasValue) {
            format = arguments.at(++i);
        } else if (arg == QLatin1String("-I") && hasValue) {
            ++i;
        } else if (!arg.startsWith(QLatin1String("-I")) || arg == QLatin1String("-I")) {
            usageError = true;
        }
    }
    const bool gophermap = format == QLatin1String("gophermap");
    if (usageError || (!gophermap && format != QLatin1String("urls"))) {
        writeTo(stderr, Usage);
        return 2;
    }

    const QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    const QString path =
        UserDataFiles::historyFile(ProgramFiles::configDirectoryFrom(arguments, env), env);
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
