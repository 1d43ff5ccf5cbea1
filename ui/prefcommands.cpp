// The main frame's "Preferences..." and "Send..." commands.

#include "ui/mainframe.h"

#include "app/mailsender.h"
#include "app/tarnwickapp.h"
#include "bookmarks/homegophers.h"
#include "ui/preferences/preferencesheet.h"

#include <QDir>

#include <utility>

std::unique_ptr<CPreferenceSheet> CMainFrame::makePreferenceSheet()
{
    CPreferenceSheet::FrameLink link;
    link.toolbar = [this] { return currentToolbarSettings(); };
    link.applyToolbar = [this](const ToolbarSettings &t) { applyToolbarSettings(t); };
    link.rebuildHomeWindow = [this] { rebuildHomeWindow(); };
    auto sheet = std::make_unique<CPreferenceSheet>(m_app, m_ui, this, link);
    const std::pair<const char *, HelpPage> pageHelp[] = {
        {"Telnet", HelpPage::Telnet},
        {"Viewers", HelpPage::Viewers},
        {"Languages", HelpPage::Languages},
        {"Extended Viewers", HelpPage::ExtendedViews},
    };
    for (const auto &[tab, page] : pageHelp) {
        if (QDialog *dialog = sheet->page(QString::fromLatin1(tab)))
            m_ui.attachHelp(dialog, page);
    }
    m_ui.attachHelp(sheet.get(), HelpPage::Preferences);
    return sheet;
}

void CMainFrame::onPreferences()
{
    makePreferenceSheet()->exec();
    // The home gopher may have been set or cleared on its page.
    updateEmptyFrameHint();
}

void CMainFrame::rebuildHomeWindow()
{
    // As "Home Gopher" does it: an open home window is closed and fetched
    // again, and the new window takes the stored layout.
    HomeGophers &home = m_app.homeGophers();
    if (home.GetHomeCount() >= 1 && m_windows.document(m_app.windowKeyOf(home.homeItem(1))))
        OnHomeGopher();
}

void CMainFrame::onSend()
{
    QString directory = m_app.settings().temporaryDirectory();
    if (directory.isEmpty() || !QDir(directory).exists())
        directory = QDir::tempPath();
    static_cast<void>(MailSender::send(activeDocument(), directory, m_ui));
}
