#pragma once

#include "items/helpcontext.h"
#include "items/textencoding.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

#include "gplus/viewinfo.h"

#include <functional>
#include <utility>

class CGopherXferDoc;
class ExtendedViewTable;
class ViewerTable;

// How documents and other core objects talk to the user: message boxes, file
// dialogs, the clipboard, the main status line and the wait cursor. The widget
// library implements it with Qt; tests and the headless dump mode implement it
// with recorders. Texts are bytes (server titles and hosts are bytes); the
// implementation decodes them for display.
class UserInterface
{
public:
    enum Icon { NoIcon, Exclamation, Information, Question, Stop };
    // YesNoDefaultNo: Yes and No, with No the default (Enter answers No).
    enum Buttons { Ok, OkCancel, YesNo, YesNoCancel, RetryCancel, YesNoDefaultNo };
    // The answers carry the classic button numbers.
    enum Answer { AnswerOk = 1, AnswerCancel = 2, AnswerRetry = 4, AnswerYes = 6, AnswerNo = 7 };

    struct FileDialog
    {
        bool save = true;
        QString title;
        QString filter;        // "Text files (*.txt)|*.txt|All Files (*.*)|*.*||"
        QString defaultExtension;
        QString initialDirectory;
        QString initialName;
        bool promptOverwrite = false;
        bool hideReadOnly = false;
        bool mustExist = false;
    };

    virtual ~UserInterface();

    // Shows a message box and returns the answer (AnswerOk for an Ok box).
    virtual int messageBox(const QByteArray &text, Icon icon = Exclamation, Buttons buttons = Ok,
                           Help helpContext = Help::None) = 0;
    // Returns the chosen path, or an empty string when cancelled.
    virtual QString fileDialog(const FileDialog &dialog) = 0;
    // Puts text on the clipboard, decoded with the encoding the window shows
    // it in; false when that failed.
    [[nodiscard]] virtual bool setClipboardText(const QByteArray &text,
                                                TextEncoding encoding = TextEncoding::Automatic) = 0;
    virtual QByteArray clipboardText() = 0;
    virtual void setMainStatus(const QByteArray &text) = 0;
    virtual void setWaitCursor(bool on) = 0;
    // The modal "Home Gopher Server(s)" dialog.
    virtual void homeServerSetup() = 0;

    // The "Select Extended View" dialog: the index of the chosen entry, or
    // -1 when cancelled. best (or -1) is selected at first; accept(i) is
    // asked on OK and the dialog stays open while it answers false.
    virtual int selectExtendedView(const QList<ViewChoice> &entries, int best,
                                   const std::function<bool(int)> &accept);
    // The "Extended Views" dialog on the table, preset with a view name and
    // item type (empty name: nothing preset). What it ended with goes to
    // the table's afterDialog.
    virtual void editExtendedViews(ExtendedViewTable &table, const QByteArray &name, char itemType);
    // The modal "Viewers" dialog on the table, with the extension filled in;
    // true when the user confirmed it.
    virtual bool editViewers(ViewerTable &table, const QByteArray &extension);
    // Shows the finished picture download in the program's picture window,
    // or brings that window back when it is open already. Without windows
    // nothing is shown.
    virtual void showPicture(CGopherXferDoc &download);
    // A server shows another certificate than the one remembered; the text
    // names the host and both fingerprints. True: trust the new one. The
    // window program asks; a script never trusts it on its own.
    virtual bool askTrustNewCertificate(const QByteArray &text, Help helpContext);
};

// A user interface that answers every question with its default button and
// keeps every text it was shown: used by tests and by the headless dump mode.
class RecordingUserInterface : public UserInterface
{
public:
    struct Message
    {
        QByteArray text;
        Icon icon;
        Buttons buttons;
        Help helpContext;
    };

    int messageBox(const QByteArray &text, Icon icon, Buttons buttons, Help helpContext) override;
    QString fileDialog(const FileDialog &dialog) override;
    bool setClipboardText(const QByteArray &text,
                          TextEncoding encoding = TextEncoding::Automatic) override;
    QByteArray clipboardText() override;
    void setMainStatus(const QByteArray &text) override;
    void setWaitCursor(bool on) override;
    void homeServerSetup() override;
    int selectExtendedView(const QList<ViewChoice> &entries, int best,
                           const std::function<bool(int)> &accept) override;
    void editExtendedViews(ExtendedViewTable &table, const QByteArray &name, char itemType) override;
    bool editViewers(ViewerTable &table, const QByteArray &extension) override;
    void showPicture(CGopherXferDoc &download) override;

    QList<Message> messages;
    QList<QByteArray> mainStatus;
    QList<FileDialog> fileDialogs;
    QByteArray clipboard;
    TextEncoding clipboardEncoding = TextEncoding::Automatic;
    int homeServerSetupCount = 0;
    // The view choices shown, and the answers: an index (OK on that row,
    // asked again while accept says no, then cancelled), -1 Cancel; when
    // none is scripted the dialog is cancelled.
    QList<QList<ViewChoice>> viewChoices;
    QList<int> viewAnswers;
    // The view names the "Extended Views" dialog was preset with; the
    // handler stands for the user (none: the dialog is cancelled).
    QList<QByteArray> viewDefinitions;
    std::function<void(ExtendedViewTable &, const QByteArray &, char)> onEditViews;
    // The extensions the Viewers dialog was opened with; a scripted answer
    // (extension, program) is entered and confirmed, otherwise it is cancelled.
    QList<QByteArray> viewerDialogs;
    QList<std::pair<QByteArray, QByteArray>> viewerDialogAnswers;
    // The files the picture window was asked to show.
    QStringList pictures;

    // Scripted answers: taken in order; when empty the default button answers.
    QList<int> answers;
    QStringList fileDialogAnswers;
    bool clipboardFails = false;
};
