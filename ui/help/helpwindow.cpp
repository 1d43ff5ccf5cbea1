#include "ui/help/helpwindow.h"

#include "ui/commandicons.h"
#include "ui/programicon.h"

#include <QAction>
#include <QDesktopServices>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QShortcut>
#include <QTextBrowser>
#include <QToolBar>
#include <QVBoxLayout>

HelpWindow::HelpWindow(QWidget *parent) : QWidget(parent, Qt::Window)
{
    setObjectName(QStringLiteral("helpWindow"));
    // Closing the main window ends the program, help open or not.
    setAttribute(Qt::WA_QuitOnClose, false);
    setWindowTitle(QString::fromLatin1(Title));
    setWindowIcon(ProgramIcon::icon());
    CommandIcons::useFallbackTheme();

    m_browser = new QTextBrowser(this);
    m_browser->setObjectName(QStringLiteral("helpPage"));
    m_browser->setAccessibleName(QStringLiteral("Help page"));
    // Links off the manual (there are none today) go to the desktop.
    m_browser->setOpenExternalLinks(true);

    auto *bar = new QToolBar(this);
    bar->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    m_back = bar->addAction(CommandIcons::icon("go-previous"), QStringLiteral("&Back"));
    m_back->setShortcut(QKeySequence::Back);
    m_forward = bar->addAction(CommandIcons::icon("go-next"), QStringLiteral("&Forward"));
    m_forward->setShortcut(QKeySequence::Forward);
    m_home = bar->addAction(CommandIcons::icon("go-home"), QStringLiteral("&Contents"));
    m_home->setShortcut(QKeySequence(Qt::ALT | Qt::Key_Home));
    bar->addSeparator();
    auto *findLabel = new QLabel(QStringLiteral("F&ind:"), bar);
    m_find = new QLineEdit(bar);
    m_find->setObjectName(QStringLiteral("find"));
    m_find->setClearButtonEnabled(true);
    m_find->setMaximumWidth(m_find->fontMetrics().averageCharWidth() * 30);
    findLabel->setBuddy(m_find);
    bar->addWidget(findLabel);
    bar->addWidget(m_find);
    bar->addSeparator();
    m_open = bar->addAction(CommandIcons::icon("internet-web-browser"),
                            QStringLiteral("&Open in browser"));
    for (QAction *a : {m_back, m_forward, m_home, m_open})
        a->setToolTip(a->text().remove(QLatin1Char('&')) + QLatin1Char(' ')
                      + a->shortcut().toString(QKeySequence::NativeText));

    m_message = new QLabel(this);
    m_message->setObjectName(QStringLiteral("message"));
    m_message->setTextFormat(Qt::PlainText);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(bar);
    layout->addWidget(m_browser, 1);
    layout->addWidget(m_message);
    m_message->setContentsMargins(6, 2, 6, 2);

    connect(m_back, &QAction::triggered, m_browser, &QTextBrowser::backward);
    connect(m_forward, &QAction::triggered, m_browser, &QTextBrowser::forward);
    connect(m_home, &QAction::triggered, this, [this] {
        if (m_contents.isValid())
            m_browser->setSource(m_contents);
    });
    connect(m_open, &QAction::triggered, this, &HelpWindow::openInBrowser);
    connect(m_browser, &QTextBrowser::backwardAvailable, m_back, &QAction::setEnabled);
    connect(m_browser, &QTextBrowser::forwardAvailable, m_forward, &QAction::setEnabled);
    connect(m_browser, &QTextBrowser::sourceChanged, this, [this] {
        setMessage({});
        updateTitle();
    });
    m_back->setEnabled(false);
    m_forward->setEnabled(false);

    // Return finds the next place, Shift+Return the one before.
    m_find->installEventFilter(this);
    connect(m_find, &QLineEdit::textEdited, this, [this] { setMessage({}); });
    auto *find = new QShortcut(QKeySequence::Find, this);
    connect(find, &QShortcut::activated, this, [this] {
        m_find->setFocus(Qt::ShortcutFocusReason);
        m_find->selectAll();
    });
    auto *next = new QShortcut(QKeySequence::FindNext, this);
    connect(next, &QShortcut::activated, this, [this] { findNext(false); });
    auto *previous = new QShortcut(QKeySequence::FindPrevious, this);
    connect(previous, &QShortcut::activated, this, [this] { findNext(true); });
    auto *close = new QShortcut(QKeySequence::Close, this);
    connect(close, &QShortcut::activated, this, &QWidget::close);

    resize(760, 620);
}

void HelpWindow::showPage(const QUrl &url)
{
    m_browser->setSource(url);
    updateTitle();
    show();
    // Asked again for the anchor it shows, the page goes back to it.
    if (!url.fragment().isEmpty())
        m_browser->scrollToAnchor(url.fragment());
    raise();
    activateWindow();
    m_browser->setFocus(Qt::OtherFocusReason);
}

void HelpWindow::keepUsableOver(QWidget *modal)
{
    if (modal == this || modal == parentWidget())
        return;
    const QRect placed = geometry();
    const bool shown = isVisible();
    if (m_modal)
        m_modal->removeEventFilter(this);
    m_modal = modal;
    // A window of the dialog's stays usable while the dialog is modal.
    setParent(modal, Qt::Window);
    if (modal)
        modal->installEventFilter(this);
    if (shown) {
        setGeometry(placed);
        show();
    }
}

bool HelpWindow::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_modal && event->type() == QEvent::Hide) {
        // The dialog is going; the page stays open on its own.
        keepUsableOver(nullptr);
    } else if (watched == m_find && event->type() == QEvent::KeyPress) {
        const auto *key = static_cast<QKeyEvent *>(event);
        if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
            findNext(key->modifiers() & Qt::ShiftModifier);
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

bool HelpWindow::findNext(bool backward)
{
    const QString text = m_find->text();
    if (text.isEmpty())
        return false;
    const QTextDocument::FindFlags flags = backward ? QTextDocument::FindBackward
                                                    : QTextDocument::FindFlags();
    if (m_browser->find(text, flags)) {
        setMessage({});
        return true;
    }
    const QTextCursor at = m_browser->textCursor();
    QTextCursor from(m_browser->document());
    from.movePosition(backward ? QTextCursor::End : QTextCursor::Start);
    m_browser->setTextCursor(from);
    if (m_browser->find(text, flags)) {
        setMessage(backward ? QStringLiteral("Continued from the bottom of the page")
                            : QStringLiteral("Continued from the top of the page"));
        return true;
    }
    m_browser->setTextCursor(at);
    setMessage(QStringLiteral("\"%1\" is not on this page").arg(text));
    return false;
}

void HelpWindow::openInBrowser()
{
    const QUrl url = m_browser->source();
    const bool opened = urlOpener ? urlOpener(url) : QDesktopServices::openUrl(url);
    if (!opened)
        setMessage(QStringLiteral("No web browser could be started for %1")
                       .arg(url.toDisplayString(QUrl::PreferLocalFile)));
}

QString HelpWindow::message() const
{
    return m_message->text();
}

void HelpWindow::setMessage(const QString &text)
{
    m_message->setText(text);
    m_message->setVisible(!text.isEmpty());
}

void HelpWindow::updateTitle()
{
    // The pages' titles read "Contents - Tarnwick Help".
    const QString page = m_browser->documentTitle();
    setWindowTitle(page.isEmpty() ? QString::fromLatin1(Title) : page);
}
