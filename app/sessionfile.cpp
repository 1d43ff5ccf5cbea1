#include "app/sessionfile.h"

#include "documents/gopherdir.h"
#include "documents/gophertextdoc.h"
#include "documents/historystore.h"
#include "documents/phonetext.h"
#include "documents/searchtext.h"
#include "documents/tarnwickdoc.h"
#include "documents/telnettext.h"
#include "gplus/asktext.h"
#include "items/bookmark.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

namespace {

constexpr QByteArrayView Heading("# Tarnwick session\n");

QByteArray stateName(SessionWindow::State state)
{
    switch (state) {
    case SessionWindow::State::Maximized:
        return "maximized";
    case SessionWindow::State::Minimized:
        return "minimized";
    case SessionWindow::State::Normal:
        break;
    }
    return "normal";
}

bool knownKind(QByteArrayView kind)
{
    for (const char *known : {"home", "directory", "text", "search", "phone", "telnet", "ask"}) {
        if (kind == QByteArrayView(known))
            return true;
    }
    return false;
}

bool parseGeometry(QByteArrayView text, QRect *rect)
{
    const QList<QByteArray> parts = text.toByteArray().split(',');
    if (parts.size() != 4)
        return false;
    int numbers[4];
    for (int i = 0; i < 4; ++i) {
        bool ok = false;
        numbers[i] = parts[i].toInt(&ok);
        if (!ok)
            return false;
    }
    if (numbers[2] <= 0 || numbers[3] <= 0)
        return false;
    *rect = QRect(numbers[0], numbers[1], numbers[2], numbers[3]);
    return true;
}

bool parseLine(QByteArrayView line, SessionWindow *window)
{
    const QList<QByteArray> fields = line.toByteArray().split('\t');
    if (fields.size() != 8 || fields[0] != "window")
        return false;
    SessionWindow read;
    read.kind = fields[1];
    if (!knownKind(read.kind))
        return false;
    if (fields[2] == "maximized")
        read.state = SessionWindow::State::Maximized;
    else if (fields[2] == "minimized")
        read.state = SessionWindow::State::Minimized;
    else if (fields[2] != "normal")
        return false;
    if (fields[3] != "0" && fields[3] != "1")
        return false;
    read.active = fields[3] == "1";
    if (!parseGeometry(fields[4], &read.geometry))
        return false;
    bool ok = false;
    read.homeServer = fields[5].toInt(&ok);
    if (!ok || !TabFields::unescape(fields[6], &read.url) || !CBookmark::startsWithUrl(read.url)
        || !TabFields::unescape(fields[7], &read.title))
        return false;
    *window = std::move(read);
    return true;
}

} // namespace

QByteArray SessionWindow::kindOf(const CTarnwickDoc *document)
{
    if (!document || document->isClosing() || !CTarnwickDoc::isRevisitable(document->item())
        || document->openMode() == CTarnwickDoc::UploadOpen)
        return {};
    if (qobject_cast<const CGopherDir *>(document))
        return document->openMode() == CTarnwickDoc::HomeOpen ? "home" : "directory";
    if (qobject_cast<const CGopherTextDoc *>(document))
        return "text";
    if (qobject_cast<const CSearchText *>(document))
        return "search";
    if (qobject_cast<const CPhoneText *>(document))
        return "phone";
    if (qobject_cast<const CTelnetText *>(document))
        return "telnet";
    if (qobject_cast<const CAskText *>(document))
        return "ask";
    return {};
}

namespace SessionFile {

QByteArray format(const QList<SessionWindow> &windows)
{
    QByteArray out(Heading.data(), Heading.size());
    for (const SessionWindow &w : windows) {
        out += "window\t" + w.kind + '\t' + stateName(w.state) + '\t' + (w.active ? '1' : '0')
               + '\t' + QByteArray::number(w.geometry.x()) + ',' + QByteArray::number(w.geometry.y())
               + ',' + QByteArray::number(w.geometry.width()) + ','
               + QByteArray::number(w.geometry.height()) + '\t' + QByteArray::number(w.homeServer)
               + '\t';
        TabFields::appendEscaped(out, w.url);
        out += '\t';
        TabFields::appendEscaped(out, w.title);
        out += '\n';
    }
    return out;
}

QList<SessionWindow> parse(QByteArrayView text)
{
    QList<SessionWindow> windows;
    for (const QByteArray &line : text.toByteArray().split('\n')) {
        SessionWindow window;
        if (parseLine(line, &window))
            windows.append(window);
    }
    return windows;
}

bool write(const QString &path, const QList<SessionWindow> &windows, QString *error)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        if (error)
            *error = file.errorString();
        return false;
    }
    file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    file.write(format(windows));
    if (!file.commit()) {
        if (error)
            *error = file.errorString();
        return false;
    }
    return true;
}

QList<SessionWindow> read(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    // A session is a few lines; anything larger is not one of ours.
    return parse(file.read(1 << 20));
}

void remove(const QString &path)
{
    QFile::remove(path);
}

} // namespace SessionFile
