#include "documents/userinterface.h"

#include "documents/gopherxferdoc.h"
#include "settings/viewertable.h"
#include "gplus/extendedviewtable.h"

UserInterface::~UserInterface() = default;

int UserInterface::selectExtendedView(const QList<ViewChoice> &, int, const std::function<bool(int)> &)
{
    return -1;
}

void UserInterface::editExtendedViews(ExtendedViewTable &table, const QByteArray &, char)
{
    table.afterDialog(false, false);
}

void UserInterface::showPicture(CGopherXferDoc &) {}

void RecordingUserInterface::showPicture(CGopherXferDoc &download)
{
    pictures.append(download.path());
}

bool UserInterface::askTrustNewCertificate(const QByteArray &text, Help helpContext)
{
    return messageBox(text + "\n\nTrust the new certificate?", Exclamation, YesNo, helpContext)
           == AnswerYes;
}

int RecordingUserInterface::messageBox(const QByteArray &text, Icon icon, Buttons buttons,
                                       Help helpContext)
{
    messages.append({text, icon, buttons, helpContext});
    if (!answers.isEmpty())
        return answers.takeFirst();
    switch (buttons) {
    case YesNo:
    case YesNoCancel:
        return AnswerYes;
    case YesNoDefaultNo:
        return AnswerNo;
    case RetryCancel:
        return AnswerRetry;
    case Ok:
    case OkCancel:
        break;
    }
    return AnswerOk;
}

QString RecordingUserInterface::fileDialog(const FileDialog &dialog)
{
    fileDialogs.append(dialog);
    return fileDialogAnswers.isEmpty() ? QString() : fileDialogAnswers.takeFirst();
}

bool RecordingUserInterface::setClipboardText(const QByteArray &text, TextEncoding encoding)
{
    if (clipboardFails)
        return false;
    clipboard = text;
    clipboardEncoding = encoding;
    return true;
}

QByteArray RecordingUserInterface::clipboardText()
{
    return clipboard;
}

void RecordingUserInterface::setMainStatus(const QByteArray &text)
{
    mainStatus.append(text);
}

void RecordingUserInterface::setWaitCursor(bool) {}

void RecordingUserInterface::homeServerSetup()
{
    ++homeServerSetupCount;
}

int RecordingUserInterface::selectExtendedView(const QList<ViewChoice> &entries, int,
                                               const std::function<bool(int)> &accept)
{
    viewChoices.append(entries);
    while (!viewAnswers.isEmpty()) {
        const int answer = viewAnswers.takeFirst();
        if (answer < 0 || answer >= entries.size())
            return -1;
        if (accept(answer))
            return answer;
    }
    return -1;
}

void RecordingUserInterface::editExtendedViews(ExtendedViewTable &table, const QByteArray &name,
                                               char itemType)
{
    viewDefinitions.append(name);
    if (onEditViews)
        onEditViews(table, name, itemType);
    else
        table.afterDialog(false, false);
}

bool UserInterface::editViewers(ViewerTable &, const QByteArray &)
{
    return false;
}

bool RecordingUserInterface::editViewers(ViewerTable &table, const QByteArray &extension)
{
    viewerDialogs.append(extension);
    if (viewerDialogAnswers.isEmpty())
        return false;
    const auto [ext, program] = viewerDialogAnswers.takeFirst();
    table.SetViewer(ext, program);
    return true;
}
