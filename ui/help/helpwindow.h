#pragma once

#include <QPointer>
#include <QUrl>
#include <QWidget>

#include <functional>

class QAction;
class QLabel;
class QLineEdit;
class QTextBrowser;

// The manual in a window of the program's own: Qt's text browser reads the
// HTML pages with their links and anchors, so help opens on any machine,
// offline, with no browser installed. Back, Forward, Contents and Find work
// from the keyboard; "Open in browser" hands the page to the desktop.
class HelpWindow : public QWidget
{
    Q_OBJECT

public:
    static constexpr const char *Title = "Tarnwick Help";

    explicit HelpWindow(QWidget *parent = nullptr);

    // The page Contents goes to (the manual's index.html).
    void setContents(const QUrl &contents) { m_contents = contents; }
    // Shows a page (a file URL, with its anchor as the fragment) and brings
    // the window forward.
    void showPage(const QUrl &url);
    // A modal dialog blocks every window but its own: help asked for from
    // one becomes its window while it is open, and a window of its own again
    // when it closes. nullptr: a window of its own.
    void keepUsableOver(QWidget *modal);

    // The next (or previous) place where the find text occurs, from the
    // cursor on, wrapping round once; false when there is none.
    bool findNext(bool backward = false);
    void openInBrowser();

    // Hands a page to the desktop's browser ("Open in browser"); tests record.
    std::function<bool(const QUrl &)> urlOpener;

    QTextBrowser *browser() const { return m_browser; }
    QLineEdit *findField() const { return m_find; }
    QAction *backAction() const { return m_back; }
    QAction *forwardAction() const { return m_forward; }
    QAction *contentsAction() const { return m_home; }
    QAction *openInBrowserAction() const { return m_open; }
    QString message() const;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void updateTitle();
    void setMessage(const QString &text);

    QTextBrowser *m_browser = nullptr;
    QLineEdit *m_find = nullptr;
    QLabel *m_message = nullptr;
    QAction *m_back = nullptr;
    QAction *m_forward = nullptr;
    QAction *m_home = nullptr;
    QAction *m_open = nullptr;
    QUrl m_contents;
    QPointer<QWidget> m_modal;
};
