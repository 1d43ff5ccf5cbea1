#include "net/transactionfailure.h"

#include "net/winsockerrors.h"

#include <QStringBuilder>

namespace {

// The boxes show the status text broken into lines at its first ':' after
// the host (at the colon itself, or at the blank after it): an IPv6 literal
// holds colons of its own.
QByteArray breakAtColon(QByteArray text, qsizetype hostEnd, int offset)
{
    const qsizetype colon = text.indexOf(':', hostEnd);
    if (colon >= 0 && colon + offset < text.size())
        text[colon + offset] = '\n';
    return text;
}

TransactionFailure make(TransactionFailure::Stage stage, const QByteArray &host, int code,
                        Help help)
{
    TransactionFailure f;
    f.stage = stage;
    f.host = host;
    f.code = code;
    f.help = help;
    return f;
}

} // namespace

TransactionFailure TransactionFailure::socketCreation(int code)
{
    TransactionFailure f = make(Stage::Socket, QByteArray(), code, Help::CreateSocket);
    f.text = (code == WinSock::NoBuffers || code == WinSock::TooManyFiles)
                 ? QByteArray("You are temporarily out of network resources\nTry again later!")
                 : QByteArray("Failed to create a socket:\n");
    f.text += GetWinSockErrorText(code);
    return f;
}

TransactionFailure TransactionFailure::lookup(const QByteArray &host, int code)
{
    TransactionFailure f = make(Stage::Lookup, host, code, Help::HostLookup);
    const QByteArray head = QByteArray("Hostname lookup failure for ") + host;
    f.status = head + " : " + GetWinSockErrorText(code);
    f.text = breakAtColon(f.status, head.size(), 1);
    return f;
}

TransactionFailure TransactionFailure::lookupWithoutAddress(const QByteArray &host, int code)
{
    TransactionFailure f = make(Stage::Lookup, host, code, Help::LookupProblem);
    f.status = QByteArray("Possible WinSock failure resolving ") + host;
    f.text = QByteArray("Problem looking up\n") + host + "\nPossible WinSock failure!";
    return f;
}

TransactionFailure TransactionFailure::connectRefused(const QByteArray &host, int code)
{
    TransactionFailure f = make(Stage::Connect, host, code, Help::Connect);
    const QByteArray head = QByteArray("Can't connect to ") + host;
    f.status = head + " : " + GetWinSockErrorText(code);
    f.text = breakAtColon(f.status, head.size(), 0);
    return f;
}

TransactionFailure TransactionFailure::connectError(const QByteArray &host, int code)
{
    TransactionFailure f = make(Stage::Connect, host, code, Help::ConnectError);
    // The status line says what happened instead of going on saying
    // "Connecting to ...".
    f.status = QByteArray("Can't connect to ") + host + " : " + GetWinSockErrorText(code);
    f.text = QByteArray("Connect error to host\n") + host + "\n" + GetWinSockErrorText(code);
    return f;
}

TransactionFailure TransactionFailure::sendError(const QByteArray &host, int code,
                                                 const QByteArray &notice)
{
    TransactionFailure f = make(Stage::Send, host, code, Help::Send);
    f.status = QByteArray("Couldn't send request to ") + host;
    f.notice = notice;
    f.text = QByteArray("Error sending request to host\n") + host + "\n" + GetWinSockErrorText(code);
    return f;
}

TransactionFailure TransactionFailure::readError(const QByteArray &host, int code)
{
    TransactionFailure f = make(Stage::Receive, host, code, Help::None);
    f.status = QByteArray("Read error from host ") + host + " : " + GetWinSockErrorText(code);
    // The box runs host and error text together, as it always has.
    f.text = QByteArray("Read error from host ") + host + GetWinSockErrorText(code);
    return f;
}
