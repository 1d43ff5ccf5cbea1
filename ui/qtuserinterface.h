#pragma once

#include "documents/helptopics.h"
#include "documents/userinterface.h"

#include <QPointer>

#include <functional>
#include <memory>

class HelpWindow;
class QDialog;
class QMessageBox;
class QUrl;
class QWidget;

// The user interface of the program: Qt message boxes titled with the
// program's name, file dialogs, the system clipboard and the main status bar.
class QtUserInterface : public UserInterface
{
public:
    explicit QtUserInterface(QWidget *parentWindow = nullptr) : m_parent(parentWindow) {}
    ~QtUserInterface() override;

    void setParentWindow(QWidget *parent) { m_parent = parent; }
    std::function<void(const QByteArray &)> statusSink;
    std::function<void()> homeServerSetupHandler;
    // Where finished pictures are shown: the main frame's picture windows.
    std::function<void(CGopherXferDoc &)> pictureSink;
    // Hands a manual page to the desktop's browser ("Open in browser" in the
    // help window); tests record instead.
    std::function<bool(const QUrl &)> urlOpener;

    // The manual: its directory, and a page (with its anchor) shown in the
    // program's help window, which works without a browser. A missing page
    // is said in a box that names the file.
    void setHelpDirectory(const QString &directory) { m_helpDirectory = directory; }
    QString helpDirectory() const { return m_helpDirectory; }
    bool showHelp(const HelpTopic &topic);
    // The help window, once help has been asked for (nullptr before).
    HelpWindow *helpWindow() const;
    // Makes the dialog's Help button (and F1 in it) open that page.
    void attachHelp(QDialog *dialog, HelpPage page);

    int messageBox(const QByteArray &text, Icon icon, Buttons buttons, Help helpContext) override;
    // The box messageBox() runs. A text longer than a screen (a server's
    // error text can be thousands of lines) shows its head in the box and
    // the whole of it in the scrollable details.
    // A box with a help context has a Help button, which opens its page and
    // leaves the box open; Escape answers it as Cancel, No or OK would.
    std::unique_ptr<QMessageBox> makeMessageBox(const QByteArray &text, Icon icon,
                                                Buttons buttons, Help helpContext = Help::None);
    static constexpr int MaxBoxLines = 40;
    static constexpr int MaxBoxCharacters = 2000;
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

    // "Text files (*.txt)|*.txt|All Files (*.*)|*.*||" as a Qt name filter list.
    static QString qtFilter(const QString &classicFilter);

private:
    QWidget *m_parent;
    QString m_helpDirectory;
    QPointer<HelpWindow> m_helpWindow;
    int m_waitDepth = 0;
};
