#pragma once

#include "items/helpcontext.h"

#include <QList>
#include <QString>

class CTarnwickDoc;

// The pages of the HTML manual in share/help: one per window kind, one per
// group of dialogs, the contents, "Using Help" and the message groups.
enum class HelpPage {
    Contents,
    UsingHelp,
    MainWindow,
    Directory,
    Text,
    Download,
    Search,
    Phone,
    Telnet,
    AskForm,
    Bookmarks,
    Info,
    Preferences,
    HomeGophers,
    Viewers,
    ExtendedViews,
    Languages,
    Fonts,
    Printing,
    Options,
    Messages,
};

// A place in the manual: a file in the help directory and an anchor in it
// (empty: the top of the page).
struct HelpTopic
{
    QString page;
    QString anchor;
    bool operator==(const HelpTopic &) const = default;
};

// The one mapping from windows, dialogs and message-box help contexts to the
// manual's pages and anchors.
namespace HelpTopics {

// The help directory's name beside the settings file and the shipped tables.
inline constexpr const char *DirectoryName = "help";

HelpTopic topic(HelpPage page);
// The message group of a message box's help context; None gives the contents.
HelpTopic topic(Help context);
// The page of the window that shows this document (none: the main window).
HelpPage pageFor(const CTarnwickDoc *document);

// Every page and every help context the program passes (for the manual's checks).
QList<HelpPage> allPages();
QList<Help> allContexts();

} // namespace HelpTopics
