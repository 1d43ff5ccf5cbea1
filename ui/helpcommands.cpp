// The Help menu and F1: pages of the HTML manual shown in the program's help
// window. Qt has no "click on something to get its help" mode worth having,
// so context help, like F1, opens the page of the active window.

#include "ui/mainframe.h"

#include "documents/helptopics.h"

void CMainFrame::onHelp()
{
    HelpTopic topic = HelpTopics::topic(HelpTopics::pageFor(activeDocument()));
    // A picture window is a window of its download: its own section there.
    if (activePictureWindow())
        topic.anchor = QStringLiteral("picture");
    m_ui.showHelp(topic);
}

void CMainFrame::onHelpIndex()
{
    m_ui.showHelp(HelpTopics::topic(HelpPage::Contents));
}

void CMainFrame::onHelpUsing()
{
    m_ui.showHelp(HelpTopics::topic(HelpPage::UsingHelp));
}
