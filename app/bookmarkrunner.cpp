#include "app/bookmarkrunner.h"

#include "app/programoptions.h"
#include "settings/profilefile.h"
#include "settings/programfiles.h"
#include "bookmarks/bookmarkexchange.h"
#include "bookmarks/bookmarkstore.h"
#include "documents/userinterface.h"

#include <QFile>
#include <QHash>
#include <QProcessEnvironment>

#include <cstdio>

namespace {

void writeTo(FILE *stream, const QByteArray &text)
{
    std::fwrite(text.constData(), 1, size_t(text.size()), stream);
    std::fflush(stream);
}

// Message boxes of the store, shown as lines on standard error.
class StderrUserInterface : public RecordingUserInterface
{
public:
    int messageBox(const QByteArray &text, Icon icon, Buttons buttons, Help helpContext) override
    {
        QByteArray line = text;
        line.replace('\n', "\\n");
        writeTo(stderr, "message: " + line + '\n');
        return RecordingUserInterface::messageBox(text, icon, buttons, helpContext);
    }
};

} // namespace

int BookmarkRunner::run(const ProgramOptions &options)
{
    const bool exporting = options.mode() == ProgramOptions::Mode::ExportBookmarks;
    const QString importFile = options.value(u"import-bookmarks");
    QByteArray category = options.value(u"category").toUtf8();
    const bool categoryGiven = options.isSet(u"category");
    const QString format = options.isSet(u"format") ? options.value(u"format") : QStringLiteral("urls");
    const bool gophermap = format == QLatin1String("gophermap");
    if (!gophermap && format != QLatin1String("urls"))
        return ProgramOptions::usageError(QStringLiteral("unknown format '%1' (urls or gophermap)").arg(format));
    if (categoryGiven && category.isEmpty())
        return ProgramOptions::usageError(QStringLiteral("--category needs a name"));

    const QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    const ProgramFiles files = ProgramFiles::forThisProcess(options.configDirectory(env), env);
    ProfileFile file(files.settingsFile());
    StderrUserInterface ui;
    CBookmarkStore store(file, &ui);

    if (exporting) {
        const BookmarkExchange::Format fmt =
            gophermap ? BookmarkExchange::Format::Gophermap : BookmarkExchange::Format::Urls;
        if (category == "*") {
            QByteArray out;
            for (const QByteArray &name : store.GetCategories()) {
                out += BookmarkExchange::categoryHeading(name, fmt);
                out += BookmarkExchange::exportItems(store.LoadCategory(name).items(), fmt);
            }
            writeTo(stdout, out);
            return 0;
        }
        if (!categoryGiven)
            category = store.GetDefaultCategory();
        if (category.isEmpty() || !store.hasCategory(category)) {
            writeTo(stderr, category.isEmpty() ? QByteArray("tarnwick: there is no default category\n")
                                               : "tarnwick: no such category: " + category + '\n');
            return 1;
        }
        writeTo(stdout, BookmarkExchange::exportItems(store.LoadCategory(category).items(), fmt));
        return 0;
    }

    QFile input(importFile);
    if (!input.open(QIODevice::ReadOnly)) {
        writeTo(stderr, "tarnwick: cannot read " + importFile.toLocal8Bit() + ": "
                            + input.errorString().toLocal8Bit() + '\n');
        return 1;
    }
    const BookmarkExchange::ImportResult result = BookmarkExchange::importText(input.readAll());
    QByteArray fallback = store.GetDefaultCategory();
    if (fallback.isEmpty())
        fallback = CBookmarkStore::ConvertedCategory;
    if (category != "*") {
        if (!categoryGiven)
            category = fallback;
        if (!result.items.isEmpty() && !store.appendToCategory(category, result.items))
            return 1;
        writeTo(stdout, "Added " + QByteArray::number(result.items.size()) + " bookmarks to '"
                            + category + "', skipped " + QByteArray::number(result.skipped)
                            + " lines\n");
        return 0;
    }

    // A backup of every category: each heading names the category of the
    // bookmarks under it; those before the first go to the default one.
    QByteArrayList order;
    QHash<QByteArray, QList<CBookmark>> groups;
    for (qsizetype i = 0; i < result.items.size(); ++i) {
        const QByteArray name =
            result.headings.at(i).isEmpty() ? fallback : result.headings.at(i);
        if (!groups.contains(name))
            order.append(name);
        groups[name].append(result.items.at(i));
    }
    for (const QByteArray &name : std::as_const(order)) {
        if (!store.appendToCategory(name, groups.value(name)))
            return 1;
        writeTo(stdout, "Added " + QByteArray::number(groups.value(name).size())
                            + " bookmarks to '" + name + "'\n");
    }
    writeTo(stdout, "Added " + QByteArray::number(result.items.size()) + " bookmarks to "
                        + QByteArray::number(order.size()) + " categories, skipped "
                        + QByteArray::number(result.skipped - result.headingLines) + " lines\n");
    return 0;
}
