#include "docs/userinterface.h"

UserInterface::~UserInterface() = default;

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

bool RecordingUserInterface::setClipboardText(const QByteArray &text)
{
    if (clipboardFails)
        return false;
    clipboard = text;
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
