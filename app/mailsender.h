#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

class CTarnwickDoc;
class UserInterface;

// "Send...": hands the active document to the desktop's mail program as an
// attachment. A text is written to a file of its own first (the mail
// program reads it after we return, so the file stays); a download is sent
// as the file it was saved to.
namespace MailSender {

// The mail program's argument vector: never a shell, so a title from a
// server cannot become a command.
QStringList arguments(const QString &file, const QByteArray &title);

// The file that stands for the document, written into directory when the
// document is a text; empty (and the user told why) when there is none.
QString fileFor(CTarnwickDoc *document, const QString &directory, UserInterface &ui);

// Sends the document; false when there was nothing to send or the mail
// program could not be started (the user has been told).
bool send(CTarnwickDoc *document, const QString &directory, UserInterface &ui);

} // namespace MailSender
