#include "app/dumprunner.h"

#include "app/bookmarkrunner.h"
#include "app/programfiles.h"
#include "app/tarnwickapp.h"
#include "docs/gopherdir.h"
#include "docs/gophertextdoc.h"
#include "docs/userinterface.h"
#include "docs/windowregistry.h"
#include "net/transactionengine.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QPointer>
#include <QTimer>

#include <cstdio>

namespace {

void writeErr(const QByteArray &prefix, const QByteArray &text)
{
    const QByteArray line = prefix + DumpRunner::escaped(text) + '\n';
    std::fwrite(line.constData(), 1, size_t(line.size()), stderr);
}

class DumpUserInterface : public RecordingUserInterface
{
public:
    int messageBox(const QByteArray &text, Icon icon, Buttons buttons, Help helpContext) override
    {
        writeErr("message: ", text);
        std::fflush(stderr);
        return RecordingUserInterface::messageBox(text, icon, buttons, helpContext);
    }
    void setMainStatus(const QByteArray &text) override { writeErr("status: ", text); }
};

void appendItemLine(QByteArray &out, const char *list, const CBookmark &item)
{
    out += list;
    out += '\t';
    out += item.type;
    if (item.IsAskForm())
        out += '?';
    else if (item.IsGopherPlus())
        out += '+';
    out += '\t';
    out += item.title;
    out += '\t';
    out += item.GetURL();
    out += '\n';
}

void writeOut(const QByteArray &out)
{
    std::fwrite(out.constData(), 1, size_t(out.size()), stdout);
    std::fflush(stdout);
}

} // namespace

bool DumpRunner::wantsDump(const QStringList &arguments)
{
    return arguments.contains(QLatin1String("--dump")) || BookmarkRunner::wantsBookmarks(arguments);
}

QByteArray DumpRunner::escaped(const QByteArray &text)
{
    QByteArray out;
    out.reserve(text.size());
    for (const char c : text) {
        switch (c) {
        case '\\': out += "\\\\"; break;
        case '\r': out += "\\r"; break;
        case '\n': out += "\\n"; break;
        case '\t': out += "\\t"; break;
        default: out += c; break;
        }
    }
    return out;
}

int DumpRunner::run(const QStringList &arguments)
{
    if (BookmarkRunner::wantsBookmarks(arguments))
        return BookmarkRunner().run(arguments);
    QString url;
    bool usageError = false;
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QString &arg = arguments.at(i);
        if (arg == QLatin1String("--dump")) {
            if (i + 1 < arguments.size())
                url = arguments.at(++i);
        } else if (arg == QLatin1String("-I")) {
            ++i;
        } else if (!arg.startsWith(QLatin1String("-I"))) {
            usageError = true;
        }
    }
    if (usageError || url.isEmpty()) {
        writeErr("", QByteArray("usage: tarnwick [-I DIR] --dump URL"));
        return 2;
    }

    // Status lines come one per received chunk: buffer them (in order) rather
    // than pay a write for each.
    static char errBuffer[1 << 16];
    std::setvbuf(stderr, errBuffer, _IOFBF, sizeof errBuffer);

    DumpUserInterface ui;
    TransactionEngine engine;
    WindowRegistry windows(&ui);
    CTarnwickApp app;
    const QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    app.setConfigDirectory(ProgramFiles::configDirectoryFrom(arguments, env));
    const ProgramFiles files = ProgramFiles::forThisProcess(app.ConfigDirectory(), env);
    QString settings = files.FindProgramFile(QStringLiteral("tarnwick.ini"));
    if (settings.isEmpty())
        settings = QStringLiteral("tarnwick.ini");
    app.setSettingsPath(settings);
    app.setContext(&engine, &windows, &ui);
    app.registerDefaultTemplates();

    CBookmark item;
    item.ParseURL(url.toUtf8());
    if (item.host.isEmpty() || item.port == 0) {
        writeErr("", QByteArray("tarnwick: not a gopher URL: ") + url.toUtf8());
        return 2;
    }

    QPointer<CTarnwickDoc> last;
    int endStatus = 0;
    bool serverError = false;
    bool closedEarly = false;
    QEventLoop loop;
    QObject::connect(&app, &CTarnwickApp::documentOpened, &loop, [&](CTarnwickDoc *doc) {
        last = doc;
        endStatus = 0;
        serverError = false;
        closedEarly = false;
        QObject::connect(doc, &CTarnwickDoc::transferEnded, &loop, [&, doc](int status) {
            if (doc != last)
                return;
            endStatus = status;
            serverError = doc->gopherPlusError();
        });
        QObject::connect(doc, &CTarnwickDoc::closing, &loop, [&, doc] {
            if (doc == last)
                closedEarly = true;
        });
    });
    auto checkDone = [&] {
        if (engine.registry().documentCount() == 0)
            loop.quit();
    };
    QObject::connect(&engine, &TransactionEngine::idle, &loop, checkDone, Qt::QueuedConnection);

    app.OpenItem(item, 0, 0);
    if (!last)
        return 2;
    QTimer::singleShot(0, &loop, checkDone);
    loop.exec();

    if (!last || closedEarly)
        return 1;
    QByteArray out;
    if (auto *dir = qobject_cast<CGopherDir *>(last.data())) {
        out.reserve(qsizetype(dir->listCount() + dir->navigatorCount()) * 96);
        for (int i = 0; i < dir->listCount(); ++i)
            appendItemLine(out, "dir", dir->listItem(i));
        for (int i = 0; i < dir->navigatorCount(); ++i)
            appendItemLine(out, "nav", dir->navigatorItem(i));
    } else if (auto *text = qobject_cast<CGopherTextDoc *>(last.data())) {
        const CQTextDoc &store = text->store();
        const int count = store.GetLineCount();
        out.reserve(qsizetype(count) * 80);
        for (int i = 0; i < count; ++i) {
            out += store.GetLine(i);
            out += '\n';
        }
    }
    writeOut(out);
    std::fflush(stderr);
    return (endStatus == 0 && !serverError) ? 0 : 1;
}
