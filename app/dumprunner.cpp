#include "app/dumprunner.h"

#include "app/programoptions.h"
#include "app/tarnwickapp.h"
#include "documents/gopherdir.h"
#include "documents/gophertextdoc.h"
#include "documents/phonetext.h"
#include "documents/searchtext.h"
#include "documents/telnettext.h"
#include "documents/gopherxferdoc.h"
#include "documents/userinterface.h"
#include "documents/windowregistry.h"
#include "gplus/asktext.h"
#include "gplus/extinfodoc.h"
#include "net/transactionengine.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QEventLoop>
#include <QList>
#include <QPointer>
#include <QProcessEnvironment>
#include <QSocketNotifier>
#include <QTimer>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <memory>
#include <optional>

#include <fcntl.h>
#include <unistd.h>

namespace {

// Timers count milliseconds in an int.
constexpr int MaxTimeout = 2147483;
// Status lines wait in a buffer (one comes per received chunk); this often
// they reach a reader that is not a terminal.
constexpr int StderrFlushMs = 200;

// Whether each standard stream is a terminal, and what the terminal expects.
struct Terminal
{
    bool out = false;
    bool err = false;
    bool utf8 = true;
};
Terminal terminal;

void writeErr(const QByteArray &prefix, const QByteArray &text)
{
    QByteArray line = DumpRunner::escaped(text);
    if (terminal.err)
        line = DumpRunner::terminalSafe(line, terminal.utf8);
    line = prefix + line + '\n';
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

    // With --view the view asked for is taken, as if chosen in the dialog;
    // without it (nothing ranked) the views are listed and nothing opens.
    int selectExtendedView(const QList<ViewChoice> &entries, int, const std::function<bool(int)> &) override
    {
        const qsizetype blank = wantedView.indexOf(' ');
        const QByteArray type = blank < 0 ? wantedView : wantedView.left(blank);
        const QByteArray tag = blank < 0 ? QByteArray() : wantedView.mid(blank + 1);
        for (int i = 0; i < entries.size() && !wantedView.isEmpty(); ++i) {
            const ViewChoice &c = entries.at(i);
            if (c.type.toLower() == type.toLower() && (tag.isEmpty() || tag == c.languageTag))
                return i;
        }
        writeErr("message: ", wantedView.isEmpty()
                                  ? QByteArray("No view is ranked; choose one with --view")
                                  : QByteArray("The item has no view ") + wantedView);
        for (const ViewChoice &c : entries)
            writeErr("views: ", c.viewText + '\t' + c.languageName + '\t' + c.sizeText);
        return -1;
    }
    // A script never trusts a changed certificate on its own.
    bool askTrustNewCertificate(const QByteArray &text, Help) override
    {
        writeErr("message: ", text + "\nRefused: --trust-new-certificate accepts it.");
        return false;
    }
    // Views are not defined from a script.
    void editExtendedViews(ExtendedViewTable &table, const QByteArray &, char) override
    {
        table.afterDialog(false, false);
    }

    QByteArray wantedView;
};

// Server bytes as they go to standard output.
QByteArray fromServer(const QByteArray &text)
{
    return terminal.out ? DumpRunner::terminalSafe(text, terminal.utf8) : text;
}

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
    out += fromServer(item.title);
    out += '\t';
    out += fromServer(item.GetURL());
    out += '\n';
}

// One line per ask line: "ask", the keyword, the prompt, then what the field
// starts with (or the choices), fields separated by tabs and escaped.
QByteArray formLines(const AskForm &form)
{
    QByteArray out;
    auto line = [&out](const QByteArray &keyword, const QByteArray &prompt,
                       const QList<QByteArray> &values) {
        out += "ask\t" + keyword + '\t' + fromServer(DumpRunner::escaped(prompt)) + '\t';
        for (qsizetype i = 0; i < values.size(); ++i)
            out += (i ? "\t" : "") + fromServer(DumpRunner::escaped(values.at(i)));
        out += '\n';
    };
    for (int i = 0; i < form.count(); ++i) {
        const CAskItem *item = form.item(i);
        switch (item->kind()) {
        case CAskItem::Note:
            for (const QByteArray &text : static_cast<const CAINote *>(item)->lines())
                line(item->keyword(), text, {});
            break;
        case CAskItem::Ask:
        case CAskItem::AskP:
        case CAskItem::AskL:
        case CAskItem::AskF:
            line(item->keyword(), item->prompt(), {static_cast<const CAIAsk *>(item)->text()});
            break;
        case CAskItem::Select:
            line(item->keyword(), item->prompt(), {item->GetReply()});
            break;
        case CAskItem::Choose:
            line(item->keyword(), item->prompt(), static_cast<const CAIChoose *>(item)->choices());
            break;
        case CAskItem::ChooseF:
            line(item->keyword(), item->prompt(), {});
            break;
        }
    }
    return out;
}

// How much output is gathered before it is written.
constexpr qsizetype OutputPiece = 256 * 1024;

void writeOut(const QByteArray &out)
{
    std::fwrite(out.constData(), 1, size_t(out.size()), stdout);
    std::fflush(stdout);
}

// SIGINT, SIGTERM and SIGHUP reach the event loop through a pipe: the
// handler only writes the signal's number, which is async-signal-safe, and a
// notifier reads it on the loop's thread. Printing turns no event loop
// between its pages; it looks at the flag instead.
int stopPipe[2] = {-1, -1};
volatile std::sig_atomic_t stopSignalNumber = 0;

void onStopSignal(int signal)
{
    const int savedErrno = errno;
    stopSignalNumber = signal;
    const unsigned char number = static_cast<unsigned char>(signal);
    // A full pipe already holds a stop; nothing is lost by dropping this one.
    [[maybe_unused]] const ssize_t written = ::write(stopPipe[1], &number, 1);
    errno = savedErrno;
}

class StopSignals
{
public:
    StopSignals()
    {
        if (::pipe2(stopPipe, O_CLOEXEC | O_NONBLOCK) != 0) {
            stopPipe[0] = stopPipe[1] = -1;
            return;
        }
        stopSignalNumber = 0;
        struct sigaction action = {};
        action.sa_handler = onStopSignal;
        sigemptyset(&action.sa_mask);
        action.sa_flags = SA_RESTART;
        ::sigaction(SIGINT, &action, &m_oldInt);
        ::sigaction(SIGTERM, &action, &m_oldTerm);
        ::sigaction(SIGHUP, &action, &m_oldHup);
        m_installed = true;
        m_notifier = std::make_unique<QSocketNotifier>(stopPipe[0], QSocketNotifier::Read);
    }
    ~StopSignals()
    {
        m_notifier.reset();
        if (m_installed) {
            ::sigaction(SIGINT, &m_oldInt, nullptr);
            ::sigaction(SIGTERM, &m_oldTerm, nullptr);
            ::sigaction(SIGHUP, &m_oldHup, nullptr);
        }
        for (int &fd : stopPipe) {
            if (fd >= 0)
                ::close(fd);
            fd = -1;
        }
    }
    StopSignals(const StopSignals &) = delete;
    StopSignals &operator=(const StopSignals &) = delete;

    QSocketNotifier *notifier() const { return m_notifier.get(); }
    // The signal that arrived, or 0.
    int take() const
    {
        unsigned char number = 0;
        if (stopPipe[0] < 0 || ::read(stopPipe[0], &number, 1) != 1)
            return 0;
        return number;
    }

private:
    struct sigaction m_oldInt = {};
    struct sigaction m_oldTerm = {};
    struct sigaction m_oldHup = {};
    bool m_installed = false;
    std::unique_ptr<QSocketNotifier> m_notifier;
};

QByteArray signalName(int signal)
{
    switch (signal) {
    case SIGINT: return QByteArray("SIGINT");
    case SIGTERM: return QByteArray("SIGTERM");
    case SIGHUP: return QByteArray("SIGHUP");
    default: return QByteArray("signal ") + QByteArray::number(signal);
    }
}

// A strict UTF-8 sequence at the start of text: its length and code point,
// or length 0 when the first byte does not begin a valid sequence.
int utf8Sequence(QByteArrayView text, char32_t *codePoint)
{
    const auto byte = [&](qsizetype i) { return static_cast<unsigned char>(text.at(i)); };
    const unsigned char lead = byte(0);
    int length = 0;
    char32_t value = 0;
    char32_t minimum = 0;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
        value = lead & 0x1F;
        minimum = 0x80;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        value = lead & 0x0F;
        minimum = 0x800;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        value = lead & 0x07;
        minimum = 0x10000;
    } else {
        return 0;
    }
    if (text.size() < length)
        return 0;
    for (int i = 1; i < length; ++i) {
        if ((byte(i) & 0xC0) != 0x80)
            return 0;
        value = (value << 6) | (byte(i) & 0x3F);
    }
    if (value < minimum || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF))
        return 0;
    *codePoint = value;
    return length;
}

} // namespace

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

QByteArray DumpRunner::terminalSafe(QByteArrayView text, bool utf8Terminal)
{
    QByteArray out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size();) {
        const unsigned char c = static_cast<unsigned char>(text.at(i));
        if (c < 0x80) {
            out += (c < 0x20 && c != '\t') || c == 0x7F ? '?' : char(c);
            ++i;
            continue;
        }
        char32_t codePoint = 0;
        const int length = utf8Terminal ? utf8Sequence(text.sliced(i), &codePoint) : 0;
        if (length > 0) {
            if (codePoint <= 0x9F)
                out += '?';
            else
                out += text.sliced(i, length);
            i += length;
            continue;
        }
        out += c <= 0x9F ? '?' : char(c);
        ++i;
    }
    return out;
}

int DumpRunner::stopSignal()
{
    return stopSignalNumber;
}

bool DumpRunner::localeIsUtf8(const QProcessEnvironment &env)
{
    // The first of these that is set decides, as for the C library.
    for (const char *name : {"LC_ALL", "LC_CTYPE", "LANG"}) {
        const QString value = env.value(QLatin1String(name));
        if (value.isEmpty())
            continue;
        // "C" and "POSIX" name no character set; Qt runs them as UTF-8.
        if (value == QLatin1String("C") || value == QLatin1String("POSIX"))
            return true;
        const QString lower = value.toLower();
        return lower.contains(QLatin1String("utf-8")) || lower.contains(QLatin1String("utf8"));
    }
    return true;
}

int DumpRunner::run(const ProgramOptions &options)
{
    const QString url = options.positional().value(0);
    std::optional<QString> searchWords;
    if (options.isSet(u"search"))
        searchWords = options.value(u"search");
    int timeoutSeconds = DefaultTimeout;
    if (options.isSet(u"timeout")) {
        bool ok = false;
        const QString value = options.value(u"timeout");
        // Digits only: no sign, no blanks, no fraction.
        const bool digits = !value.isEmpty()
                            && std::all_of(value.begin(), value.end(),
                                           [](QChar c) { return c.isDigit() && c.unicode() < 0x80; });
        timeoutSeconds = value.toInt(&ok);
        if (!digits || !ok || timeoutSeconds > MaxTimeout)
            return ProgramOptions::usageError(
                QStringLiteral("--timeout takes a whole number of seconds, at most %1").arg(MaxTimeout));
    }
    const QByteArray wantedView = options.value(u"view").toUtf8();
    const bool infoOnly = options.isSet(u"info");
    const bool authored = options.isSet(u"authored");
    QList<QByteArray> answers;
    for (const QString &answer : options.values(u"answer"))
        answers.append(answer.toLocal8Bit());
    const QByteArray query = options.value(u"query").toLocal8Bit();
    const bool hasQuery = options.isSet(u"query");
    QString downloadDir = options.value(u"download-dir");
    // Printing, printPath is never empty: the rest of the run goes by it.
    const bool printMode = options.mode() == ProgramOptions::Mode::Print;
    const QString printPath = printMode ? options.value(u"print") : QString();
    if (printMode && printPath.isEmpty())
        return ProgramOptions::usageError(QStringLiteral("--print needs the name of a PDF file"));
    if (printMode && !m_printer)
        return ProgramOptions::usageError(QStringLiteral("this program cannot print"));

    const QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    terminal.out = ::isatty(STDOUT_FILENO) == 1;
    terminal.err = ::isatty(STDERR_FILENO) == 1;
    terminal.utf8 = localeIsUtf8(env);

    // Status lines come one per received chunk: buffer them (in order) rather
    // than pay a write for each, unless a person is watching them.
    static char errBuffer[1 << 16];
    std::setvbuf(stderr, errBuffer, terminal.err ? _IOLBF : _IOFBF, sizeof errBuffer);

    DumpUserInterface ui;
    CTarnwickApp app(ui);
    app.setUp(options.configDirectory(env), env, options.networkOptions());
    ui.wantedView = wantedView;
    // A script never waits for a question: the best ranked view is taken,
    // unless --view names one.
    app.setAutoSelectViewOverride(wantedView.isEmpty());
    if (authored)
        app.setMenuAsAuthoredOverride(true);
    QObject::connect(&app, &CTarnwickApp::viewChosen, &app,
                     [](const ViewChoice &c) { writeErr("view: ", c.viewText); });

    // Downloads take generated names, without a dialog, and stay at exit.
    if (downloadDir.isEmpty())
        downloadDir = app.settings().downloadDirectory();
    if (downloadDir.isEmpty())
        downloadDir = QDir::tempPath();
    app.downloadedFiles().setDirectoryOverride(downloadDir);
    struct KeepDownloads
    {
        CTarnwickApp &app;
        ~KeepDownloads() { app.downloadedFiles().FreeDownloadedFiles(); }
    } keepDownloads{app};

    CBookmark item;
    item.ParseURL(url.toUtf8());
    if (item.host.isEmpty() || item.port == 0) {
        writeErr("", QByteArray("tarnwick: not a gopher URL: ") + url.toUtf8());
        return 2;
    }
    // A link to another protocol is printed, not followed: a script decides
    // what to start. "browse" and the address as the window would open it or
    // hand it on; "link" when the window would only show it.
    if (item.isUrlLink() && !infoOnly) {
        const CTarnwickApp::LinkTarget target = CTarnwickApp::linkTarget(item);
        if (target.kind == CTarnwickApp::LinkTarget::Shown) {
            writeErr("message: ", CTarnwickApp::linkShownText(target.address));
            writeOut("link\t" + escaped(fromServer(target.address)) + '\n');
        } else {
            writeOut("browse\t" + escaped(fromServer(target.address)) + '\n');
        }
        std::fflush(stderr);
        return 0;
    }
    // A URL ending in "%09+" names a Gopher+ item; which of its views is
    // fetched is chosen once its attributes are known.
    if (item.IsGopherPlus() && item.selector.endsWith("\t+\r\n"))
        item.selector = item.selector.left(item.selector.size() - 4) + "\r\n";
    if (infoOnly) {
        item.SetGopherPlus(true);
        item.attributeText.clear();
    }

    // A search item runs one search with the words given, and the directory
    // of its answer is dumped.
    if (item.type == '7' && (!searchWords || searchWords->isEmpty())) {
        writeErr("", QByteArray("tarnwick: a search item needs --search WORDS"));
        return 2;
    }
    if (item.type != '7' && searchWords) {
        writeErr("", QByteArray("tarnwick: --search needs a search item (type 7)"));
        return 2;
    }
    if (item.type != '2' && hasQuery) {
        writeErr("", QByteArray("tarnwick: --query needs a phone book item (type 2)"));
        return 2;
    }

    QEventLoop loop;
    bool stopped = false;
    // Ends the transfer early: what arrived is still printed, and the exit
    // status says it failed.
    auto stop = [&](const QByteArray &why) {
        if (stopped)
            return;
        stopped = true;
        writeErr("tarnwick: ", why);
        app.engine().CancelAllTransactions();
        loop.quit();
    };

    const StopSignals stopSignals;
    bool stoppedBySignal = false;
    const auto takeStopSignal = [&] {
        if (const int signal = stopSignals.take()) {
            stoppedBySignal = true;
            stop(QByteArray("stopped by ") + signalName(signal));
        }
        return stoppedBySignal;
    };
    if (QSocketNotifier *notifier = stopSignals.notifier())
        QObject::connect(notifier, &QSocketNotifier::activated, &loop, takeStopSignal);
    // Prints unless a stop signal came first. One that comes while the pages
    // are printed ends the printing, which says so itself.
    const auto printNow = [&](CTarnwickDoc &doc) {
        if (takeStopSignal())
            return 1;
        const int printed = m_printer(doc, printPath, app, ui);
        if (stopSignalNumber != 0)
            (void)stopSignals.take();
        return printed;
    };

    QTimer flushErr;
    flushErr.setInterval(StderrFlushMs);
    QObject::connect(&flushErr, &QTimer::timeout, &loop, [] { std::fflush(stderr); });
    flushErr.start();

    // The server counts as silent when no document has received a byte, or
    // told of progress, for the whole timeout.
    QList<QPointer<CTarnwickDoc>> documents;
    auto bytesSoFar = [&] {
        quint64 sum = 0;
        for (const QPointer<CTarnwickDoc> &doc : std::as_const(documents)) {
            if (doc)
                sum += doc->bytesReceived();
        }
        return sum;
    };
    quint64 bytesAtStart = 0;
    QTimer silence;
    silence.setSingleShot(true);
    silence.setInterval(timeoutSeconds * 1000);
    auto activity = [&] {
        bytesAtStart = bytesSoFar();
        if (timeoutSeconds > 0)
            silence.start();
    };
    QObject::connect(&silence, &QTimer::timeout, &loop, [&] {
        // A chunk that did not complete a line tells nobody; its bytes count.
        if (bytesSoFar() != bytesAtStart) {
            activity();
            return;
        }
        stop(QByteArray("no data from the server for ") + QByteArray::number(timeoutSeconds)
             + " s");
    });

    // What the program's limits cut off, from every document of the run
    // (an attribute reply too, whose document is gone by the end).
    QByteArrayList cuts;
    const auto noteCut = [&cuts](CTarnwickDoc *doc) {
        const QByteArray notice = doc->cutNotice();
        if (!notice.isEmpty() && !cuts.contains(notice))
            cuts.append(notice);
    };
    // Output cut short is no success: the notices go to standard error and
    // the exit status is 1.
    const auto withCuts = [&cuts](int status) {
        for (const QByteArray &notice : std::as_const(cuts))
            writeErr("tarnwick: ", notice);
        return cuts.isEmpty() ? status : qMax(status, 1);
    };

    QPointer<CTarnwickDoc> last;
    QByteArray infoText;
    int endStatus = 0;
    bool serverError = false;
    bool closedEarly = false;
    QObject::connect(&app, &CTarnwickApp::documentOpened, &loop, [&](CTarnwickDoc *doc) {
        last = doc;
        documents.append(doc);
        endStatus = 0;
        serverError = false;
        closedEarly = false;
        QObject::connect(doc, &CTarnwickDoc::statusChanged, &loop, activity);
        QObject::connect(doc, &CTarnwickDoc::updateAllViews, &loop, activity);
        QObject::connect(doc, &CTarnwickDoc::transferEnded, &loop, [&, doc](int status) {
            noteCut(doc);
            if (doc != last)
                return;
            endStatus = status;
            serverError = doc->gopherPlusError();
        });
        QObject::connect(doc, &CTarnwickDoc::closing, &loop, [&, doc] {
            noteCut(doc);
            if (doc == last)
                closedEarly = true;
        });
        // The search window opens once its attributes are known (Gopher+).
        if (auto *search = qobject_cast<CSearchText *>(doc)) {
            search->setRemembersWords(false);
            search->SetWords(searchWords.value_or(QString()).toUtf8());
            search->DoSearch();
        }
        if (auto *info = qobject_cast<CExtInfoDoc *>(doc); info && infoOnly) {
            info->setOpensItem(false);
            QObject::connect(doc, &CTarnwickDoc::closing, &loop,
                             [&, info] { infoText = info->receivedText(); });
        }
    });
    auto checkDone = [&] {
        if (app.engine().registry().documentCount() == 0)
            loop.quit();
    };
    QObject::connect(&app.engine(), &TransactionEngine::idle, &loop, checkDone, Qt::QueuedConnection);

    activity();
    app.OpenItem(item, 0, 0);
    if (!last)
        return 2;
    QTimer::singleShot(0, &loop, checkDone);
    loop.exec();

    // A form is printed; with answers it is sent, and the reply's document is
    // dumped below.
    auto *ask = qobject_cast<CAskText *>(last.data());
    if (!stopped && !closedEarly && ask && ask->form()) {
        writeOut(formLines(*ask->form()));
        if (answers.isEmpty()) {
            const int formStatus = withCuts(0);
            std::fflush(stderr);
            return formStatus;
        }
        const QList<CAskItem *> items = ask->form()->answeringItems();
        if (answers.size() != items.size()) {
            writeErr("", "tarnwick: the form asks " + QByteArray::number(items.size())
                             + " questions; " + QByteArray::number(answers.size())
                             + " answers given");
            return 2;
        }
        for (qsizetype i = 0; i < items.size(); ++i) {
            QByteArray error;
            if (!AskForm::setAnswer(items.at(i), answers.at(i), &ui, &error)) {
                writeErr("tarnwick: ", error);
                return 2;
            }
        }
        if (!ask->SubmitForm())
            return 1;
        if (last == ask)
            return 2;
        activity();
        QTimer::singleShot(0, &loop, checkDone);
        loop.exec();
    }
    // A phone book prints its fields; with a query it runs it, and its
    // responses follow. With --print, what it holds at the end goes to the PDF.
    auto *phone = qobject_cast<CPhoneText *>(last.data());
    if (!stopped && !closedEarly && phone) {
        const bool printing = !printPath.isEmpty();
        QByteArray fields;
        for (int i = 0; i < phone->lineCount(); ++i)
            fields += "field\t" + fromServer(phone->GetLine(i)) + '\n';
        if (!printing)
            writeOut(fields);
        if (hasQuery && !query.isEmpty()) {
            phone->SetQuery(query);
            phone->SendQuery();
            activity();
            QTimer::singleShot(0, &loop, checkDone);
            loop.exec();
            if (!stopped && !closedEarly && last == phone) {
                QByteArray out;
                for (int i = 0; i < phone->lineCount(); ++i) {
                    const QByteArray line = phone->GetLine(i);
                    out += (line == CPhoneText::Separator ? QByteArray() : fromServer(line)) + '\n';
                }
                if (!printing)
                    writeOut(out);
            }
        }
        int printed = 0;
        if (printing && !stopped && !closedEarly && last == phone)
            printed = printNow(*phone);
        const int phoneStatus =
            withCuts(stopped || closedEarly || printed != 0 ? 1 : (endStatus == 0 ? 0 : 1));
        std::fflush(stderr);
        return phoneStatus;
    }
    flushErr.stop();
    silence.stop();

    int status = 0;
    bool refused = false;
    if (infoOnly) {
        // The attribute blocks as the server sent them.
        writeOut(fromServer(infoText));
        status = infoText.isEmpty() ? 1 : 0;
    } else if (!last || closedEarly) {
        status = 1;
    } else if (!printPath.isEmpty()) {
        status = stoppedBySignal ? 1 : printNow(*last);
        if (status == 0 && (endStatus != 0 || serverError))
            status = 1;
    } else {
        // Written in pieces of a bounded size: a large menu is not printed
        // into a second copy of itself first.
        QByteArray out;
        out.reserve(OutputPiece + 64 * 1024);
        const auto writeFull = [&out] {
            if (out.size() >= OutputPiece) {
                writeOut(out);
                out.resize(0);
            }
        };
        if (auto *dir = qobject_cast<CGopherDir *>(last.data())) {
            for (int i = 0; i < dir->listCount(); ++i) {
                appendItemLine(out, "dir", dir->listItem(i));
                writeFull();
            }
            for (int i = 0; i < dir->navigatorCount(); ++i) {
                appendItemLine(out, "nav", dir->navigatorItem(i));
                writeFull();
            }
        } else if (auto *telnet = qobject_cast<CTelnetText *>(last.data())) {
            // What the session would start; nothing is started.
            const std::optional<QStringList> command = telnet->sessionArguments();
            if (command) {
                out = "launch";
                for (const QString &argument : *command)
                    out += '\t' + escaped(argument.toUtf8());
                out += '\n';
            } else {
                refused = true;
            }
        } else if (auto *xfer = qobject_cast<CGopherXferDoc *>(last.data())) {
            writeErr("status: ", xfer->bytesText());
            if (!xfer->rateText().isEmpty())
                writeErr("status: ", xfer->rateText());
            // A file is named only when it is complete: a transfer that
            // broke off left nothing behind.
            if (xfer->isComplete())
                out = "file\t" + escaped(QFile::encodeName(xfer->path())) + '\n';
            if (!xfer->isComplete()) {
                endStatus = endStatus ? endStatus : 1;
            } else if (m_pictureReader && Picture::isPictureItem(xfer->item().type, xfer->viewType())) {
                // Read whole, as the picture window reads it.
                const PictureFacts facts = m_pictureReader(xfer->path());
                if (facts.readable()) {
                    out += "image\t" + QByteArray::number(facts.width) + 'x'
                           + QByteArray::number(facts.height) + '\t' + facts.format + '\n';
                } else {
                    writeErr("message: ", Picture::unreadableMessage(facts.problem));
                }
            }
        } else if (auto *text = qobject_cast<CGopherTextDoc *>(last.data())) {
            const CQTextDoc &store = text->store();
            const int count = store.GetLineCount();
            for (int i = 0; i < count; ++i) {
                out += fromServer(store.GetLine(i));
                out += '\n';
                writeFull();
            }
        }
        writeOut(out);
        status = (endStatus == 0 && !serverError && !refused) ? 0 : 1;
    }
    // A stop that arrived while the output was written still counts.
    takeStopSignal();
    if (last)
        noteCut(last);
    status = withCuts(status);
    std::fflush(stderr);
    return stopped ? 1 : status;
}
