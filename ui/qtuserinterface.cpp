#include "ui/qtuserinterface.h"

#include "ui/dialogs/fixedsize.h"
#include "ui/help/helpwindow.h"

#include "ui/dialogs/viewersdialog.h"
#include "gplus/extendedviewtable.h"
#include "ui/gplus/extviewsdialog.h"
#include "ui/gplus/selectviewdialog.h"

#include "items/displaytext.h"

#include <QApplication>
#include <QClipboard>
#include <QDesktopServices>
#include <QDialog>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QPushButton>
#include <QShortcut>
#include <QUrl>

std::unique_ptr<QMessageBox> QtUserInterface::makeMessageBox(const QByteArray &text, Icon icon,
                                                             Buttons buttons, Help helpContext)
{
    auto box = std::make_unique<QMessageBox>(m_parent);
    box->setWindowFlags(fixedSizeDialogFlags());
    box->setWindowTitle(QApplication::applicationName());
    // Texts may use CR LF between lines; the box wants plain line feeds.
    QString shown = displayText(text);
    shown.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    // A server's error text can run to thousands of lines: the box shows its
    // head, and the whole of it goes into the details, which scroll.
    qsizetype cut = -1;
    qsizetype lineEnd = -1;
    for (int line = 0; line < MaxBoxLines; ++line) {
        lineEnd = shown.indexOf(QLatin1Char('\n'), lineEnd + 1);
        if (lineEnd < 0)
            break;
    }
    if (lineEnd >= 0 && lineEnd + 1 < shown.size())
        cut = lineEnd;
    if (shown.size() > MaxBoxCharacters && (cut < 0 || cut > MaxBoxCharacters))
        cut = MaxBoxCharacters;
    if (cut >= 0) {
        box->setText(shown.left(cut) + QStringLiteral("\n..."));
        box->setDetailedText(shown);
    } else {
        box->setText(shown);
    }
    switch (icon) {
    case Exclamation: box->setIcon(QMessageBox::Warning); break;
    case Information: box->setIcon(QMessageBox::Information); break;
    case Question: box->setIcon(QMessageBox::Question); break;
    case Stop: box->setIcon(QMessageBox::Critical); break;
    case NoIcon: box->setIcon(QMessageBox::NoIcon); break;
    }
    switch (buttons) {
    case Ok: box->setStandardButtons(QMessageBox::Ok); break;
    case OkCancel: box->setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel); break;
    case YesNo: box->setStandardButtons(QMessageBox::Yes | QMessageBox::No); break;
    case YesNoCancel:
        box->setStandardButtons(QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
        break;
    case RetryCancel: box->setStandardButtons(QMessageBox::Retry | QMessageBox::Cancel); break;
    case YesNoDefaultNo:
        box->setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        box->setDefaultButton(QMessageBox::No);
        break;
    }
    if (helpContext != Help::None) {
        // Help opens the page and leaves the question open: the button is
        // taken off the box's own handling, which would close it.
        QPushButton *help = box->addButton(QMessageBox::Help);
        QObject::disconnect(help, &QAbstractButton::clicked, nullptr, nullptr);
        QObject::connect(help, &QAbstractButton::clicked, box.get(),
                         [this, helpContext] { showHelp(HelpTopics::topic(helpContext)); });
        // With a Help button beside it, Qt finds no button for Escape on its
        // own; Escape answers as Cancel, No or OK would.
        for (const QMessageBox::StandardButton answer :
             {QMessageBox::Cancel, QMessageBox::No, QMessageBox::Ok}) {
            if (QAbstractButton *button = box->button(answer)) {
                box->setEscapeButton(button);
                break;
            }
        }
    }
    return box;
}

int QtUserInterface::messageBox(const QByteArray &text, Icon icon, Buttons buttons, Help helpContext)
{
    const std::unique_ptr<QMessageBox> box = makeMessageBox(text, icon, buttons, helpContext);
    switch (box->exec()) {
    case QMessageBox::Cancel: return AnswerCancel;
    case QMessageBox::Yes: return AnswerYes;
    case QMessageBox::No: return AnswerNo;
    case QMessageBox::Retry: return AnswerRetry;
    default: return AnswerOk;
    }
}

QtUserInterface::~QtUserInterface()
{
    delete m_helpWindow;
}

HelpWindow *QtUserInterface::helpWindow() const
{
    return m_helpWindow;
}

bool QtUserInterface::showHelp(const HelpTopic &topic)
{
    const QString path = QDir(m_helpDirectory).filePath(topic.page);
    if (m_helpDirectory.isEmpty() || !QFileInfo::exists(path)) {
        messageBox("The help file\n" + path.toUtf8() + "\nis missing.", Exclamation, Ok, Help::None);
        return false;
    }
    QUrl url = QUrl::fromLocalFile(QFileInfo(path).absoluteFilePath());
    if (!topic.anchor.isEmpty())
        url.setFragment(topic.anchor);
    if (!m_helpWindow) {
        m_helpWindow = new HelpWindow;
        m_helpWindow->urlOpener = [this](const QUrl &page) {
            return urlOpener ? urlOpener(page) : QDesktopServices::openUrl(page);
        };
    }
    const HelpTopic contents = HelpTopics::topic(HelpPage::Contents);
    m_helpWindow->setContents(
        QUrl::fromLocalFile(QFileInfo(QDir(m_helpDirectory).filePath(contents.page)).absoluteFilePath()));
    // Help asked for from a modal dialog or message box is read beside it.
    m_helpWindow->keepUsableOver(QApplication::activeModalWidget());
    m_helpWindow->showPage(url);
    return true;
}

void QtUserInterface::attachHelp(QDialog *dialog, HelpPage page)
{
    const auto open = [this, page] { showHelp(HelpTopics::topic(page)); };
    // The dialog's own buttons only: the pages inside a sheet have theirs.
    for (QDialogButtonBox *buttons :
         dialog->findChildren<QDialogButtonBox *>(Qt::FindDirectChildrenOnly)) {
        bool hasHelp = false;
        for (QAbstractButton *button : buttons->buttons()) {
            if (buttons->buttonRole(button) == QDialogButtonBox::HelpRole) {
                button->setEnabled(true);
                hasHelp = true;
            }
        }
        if (hasHelp)
            QObject::connect(buttons, &QDialogButtonBox::helpRequested, dialog, open);
    }
    // A page inside the preferences sheet is no window of its own; F1 there
    // would be claimed by every page at once.
    if (dialog->isWindow()) {
        auto *f1 = new QShortcut(QKeySequence::HelpContents, dialog);
        QObject::connect(f1, &QShortcut::activated, dialog, open);
    }
}

QString QtUserInterface::qtFilter(const QString &classicFilter)
{
    const QStringList parts = classicFilter.split(QLatin1Char('|'));
    QStringList filters;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        // Some filters put blanks around their bars ("All files (*.*) | *.* ||").
        QString name = parts.at(i).trimmed();
        if (name.isEmpty())
            break;
        QString patterns = parts.at(i + 1).trimmed();
        patterns.replace(QLatin1Char(';'), QLatin1Char(' '));
        // "All Files (*.*)" means every file here, with or without a dot.
        if (patterns == QLatin1String("*.*"))
            patterns = QStringLiteral("*");
        if (name.contains(QLatin1Char('(')))
            name = name.left(name.indexOf(QLatin1Char('('))).trimmed();
        filters.append(name + QStringLiteral(" (") + patterns + QLatin1Char(')'));
    }
    return filters.join(QStringLiteral(";;"));
}

QString QtUserInterface::fileDialog(const FileDialog &d)
{
    QFileDialog dialog(m_parent, d.title);
    dialog.setAcceptMode(d.save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setFileMode(d.save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    if (!d.filter.isEmpty())
        dialog.setNameFilter(qtFilter(d.filter));
    if (!d.defaultExtension.isEmpty())
        dialog.setDefaultSuffix(d.defaultExtension);
    if (!d.promptOverwrite)
        dialog.setOption(QFileDialog::DontConfirmOverwrite, true);
    const QString directory = d.initialDirectory.isEmpty() ? QDir::currentPath() : d.initialDirectory;
    dialog.setDirectory(directory);
    if (!d.initialName.isEmpty())
        dialog.selectFile(d.initialName);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    return dialog.selectedFiles().constFirst();
}

bool QtUserInterface::setClipboardText(const QByteArray &text, TextEncoding encoding)
{
    QClipboard *clipboard = QApplication::clipboard();
    if (!clipboard)
        return false;
    clipboard->setText(decodeText(text, encoding));
    return true;
}

QByteArray QtUserInterface::clipboardText()
{
    QClipboard *clipboard = QApplication::clipboard();
    return clipboard ? textBytes(clipboard->text()) : QByteArray();
}

void QtUserInterface::setMainStatus(const QByteArray &text)
{
    if (statusSink)
        statusSink(text);
}

void QtUserInterface::setWaitCursor(bool on)
{
    if (on) {
        ++m_waitDepth;
        QApplication::setOverrideCursor(Qt::WaitCursor);
    } else if (m_waitDepth > 0) {
        --m_waitDepth;
        QApplication::restoreOverrideCursor();
    }
}

void QtUserInterface::homeServerSetup()
{
    if (homeServerSetupHandler)
        homeServerSetupHandler();
}

int QtUserInterface::selectExtendedView(const QList<ViewChoice> &entries, int best,
                                        const std::function<bool(int)> &accept)
{
    CSelectViewDialog dialog(entries, best, accept, m_parent);
    return dialog.exec() == QDialog::Accepted ? dialog.chosen() : -1;
}

void QtUserInterface::editExtendedViews(ExtendedViewTable &table, const QByteArray &name, char itemType)
{
    CExtViewsDialog dialog(table, name, itemType, m_parent);
    attachHelp(&dialog, HelpPage::ExtendedViews);
    const bool accepted = dialog.exec() == QDialog::Accepted;
    table.afterDialog(accepted, dialog.changed());
}

bool QtUserInterface::editViewers(ViewerTable &table, const QByteArray &extension)
{
    ViewersDialog dialog(table, m_parent);
    attachHelp(&dialog, HelpPage::Viewers);
    dialog.setExtension(QString::fromUtf8(extension));
    return dialog.exec() == QDialog::Accepted;
}

void QtUserInterface::showPicture(CGopherXferDoc &download)
{
    if (pictureSink)
        pictureSink(download);
}
