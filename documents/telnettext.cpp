#include "documents/telnettext.h"

#include "settings/commandline.h"
#include "documents/programlauncher.h"
#include "settings/appsettings.h"
#include "documents/userinterface.h"
#include "gplus/extendedviewtable.h"

#include <algorithm>
#include <utility>

CTelnetText::CTelnetText(const AppContext &context, QObject *parent)
    : CTarnwickDoc(context, parent)
{
}

bool CTelnetText::Fetch(const CBookmark &item)
{
    // The session is the terminal program's; nothing goes over the network.
    m_item.Assign(item);
    setTitle(m_item.title);
    registerWindowKey(m_item.GetURL());
    return true;
}

QByteArray CTelnetText::GetHintText() const
{
    const qsizetype end = m_item.selector.indexOf("\r\n");
    if (end > 0)
        return QByteArray("Hint: use ") + m_item.selector.left(end);
    return QByteArray("No special instructions");
}

QByteArray CTelnetText::GetHostText() const
{
    return QByteArray("Using host ") + m_item.host + " port " + QByteArray::number(m_item.port);
}

void CTelnetText::OnEditCopy()
{
    if (!BeginCopy())
        return;
    AddCopyLine(m_item.host + "\r\n");
    EndCopy();
}

bool CTelnetText::isSafeHost(const QByteArray &host)
{
    if (host.isEmpty() || host.startsWith('-'))
        return false;
    for (const char c : host) {
        const uchar u = uchar(c);
        if (u <= 0x20 || u == 0x7f)
            return false;
        // Terminal programs that take their command as one text split it
        // with shell rules; a host never needs these.
        if (QByteArrayView("!\"#$&'()*;<>?\\`{|}~^").contains(c))
            return false;
    }
    return true;
}

std::optional<QStringList> CTelnetText::commandFor(const QByteArray &commandLine,
                                                   const QByteArray &host, quint16 port)
{
    std::optional<QStringList> split = CommandLine::split(QString::fromUtf8(commandLine));
    // A blank command line would make the host the program.
    if (!split || split->isEmpty())
        return std::nullopt;
    QStringList arguments = *split;
    // The placeholders are filled in after splitting, so whatever the host
    // holds stays inside the one argument it was put in; and in one pass over
    // the command line as written, so a host spelled "%port%" stays the host.
    struct Place
    {
        qsizetype argument = -1;
        qsizetype at = -1;
    };
    const QString hostMark = QStringLiteral("%host%");
    const QString portMark = QStringLiteral("%port%");
    Place hostPlace;
    Place portPlace;
    for (qsizetype i = 0; i < arguments.size() && hostPlace.at < 0; ++i) {
        hostPlace = {i, arguments.at(i).indexOf(hostMark)};
    }
    for (qsizetype i = 0; i < arguments.size() && portPlace.at < 0; ++i) {
        qsizetype at = arguments.at(i).indexOf(portMark);
        // "%host%port%": the "%" they share belongs to the host.
        while (at >= 0 && hostPlace.at >= 0 && i == hostPlace.argument
               && at < hostPlace.at + hostMark.size()
               && at + portMark.size() > hostPlace.at)
            at = arguments.at(i).indexOf(portMark, at + 1);
        portPlace = {i, at};
    }
    if (hostPlace.at < 0 && portPlace.at < 0)
        return arguments << QString::fromUtf8(host) << QString::number(port);

    QString hostText = QString::fromUtf8(host);
    // An IPv6 address before a ":" and the port is written in brackets, as
    // in a URL, or its own colons would read as the port's.
    if (hostPlace.at >= 0) {
        const QString &argument = arguments.at(hostPlace.argument);
        if (argument.mid(hostPlace.at + hostMark.size()).startsWith(u':'))
            hostText = QString::fromUtf8(CBookmark::hostForUrl(host));
    }
    struct Fill
    {
        Place place;
        qsizetype length;
        QString value;
    };
    QList<Fill> fills;
    if (hostPlace.at >= 0)
        fills.append({hostPlace, hostMark.size(), hostText});
    if (portPlace.at >= 0)
        fills.append({portPlace, portMark.size(), QString::number(port)});
    // The later place is filled first, so the earlier one's position holds.
    std::sort(fills.begin(), fills.end(), [](const Fill &a, const Fill &b) {
        return std::pair(a.place.argument, a.place.at) > std::pair(b.place.argument, b.place.at);
    });
    for (const Fill &fill : std::as_const(fills))
        arguments[fill.place.argument].replace(fill.place.at, fill.length, fill.value);
    return arguments;
}

std::optional<QStringList> CTelnetText::sessionArguments()
{
    if (m_item.type != '8' && m_item.type != 'T')
        return std::nullopt;
    // A Gopher+ item may name a "telnet/" or "terminal/" view: the viewer the
    // extended-view table gives for it takes the configured program's place.
    QByteArray commandLine;
    const qsizetype plus = m_item.selector.indexOf("\t+");
    if (plus > 1) {
        QByteArray view = m_item.selector.mid(plus + 2);
        for (qsizetype i = 0; i < view.size(); ++i) {
            if (view.at(i) == ' ' || view.at(i) == '\r' || view.at(i) == '\n') {
                view.truncate(i);
                break;
            }
        }
        if (const CViewInfo *info = m_context.app->extendedViews().Lookup(view))
            commandLine = info->viewer;
    }
    if (commandLine.isEmpty()) {
        commandLine = m_item.type == '8' ? m_context.app->settings().telnetProgram()
                                         : m_context.app->settings().tn3270Program();
    }

    if (!isSafeHost(m_item.host)) {
        m_context.ui->messageBox(
            QByteArray("Refusing to start a session with the host '") + m_item.host
            + "'.\nA host name must not begin with \"-\" or hold a space, a control character "
              "or a shell character.");
        return std::nullopt;
    }
    std::optional<QStringList> arguments = commandFor(commandLine, m_item.host, m_item.port);
    if (!arguments) {
        m_context.ui->messageBox(QByteArray("Couldn't run ") + commandLine
                                 + "\nThe command line has a quote that is not closed");
        return std::nullopt;
    }
    return arguments;
}

void CTelnetText::Launch()
{
    const std::optional<QStringList> arguments = sessionArguments();
    if (!arguments)
        return;
    const QByteArray commandLine = CommandLine::join(*arguments).toUtf8();
    SetStatus(QByteArray("Running '") + commandLine + "'");
    ProgramLauncher::RunProgram(m_context.ui.get(), *arguments, commandLine);
}
