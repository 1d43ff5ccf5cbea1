#include "documents/helptopics.h"

#include "documents/gopherdir.h"
#include "documents/gophertextdoc.h"
#include "documents/gopherxferdoc.h"
#include "documents/phonetext.h"
#include "documents/searchtext.h"
#include "documents/telnettext.h"
#include "gplus/asktext.h"
#include "gplus/extinfodoc.h"

namespace {

struct PageFile
{
    HelpPage page;
    const char *file;
};

constexpr PageFile PageFiles[] = {
    {HelpPage::Contents, "index.html"},
    {HelpPage::UsingHelp, "using-help.html"},
    {HelpPage::MainWindow, "main-window.html"},
    {HelpPage::Directory, "directory.html"},
    {HelpPage::Text, "text.html"},
    {HelpPage::Download, "download.html"},
    {HelpPage::Search, "search.html"},
    {HelpPage::Phone, "phone-book.html"},
    {HelpPage::Telnet, "telnet.html"},
    {HelpPage::AskForm, "ask-form.html"},
    {HelpPage::Bookmarks, "bookmarks.html"},
    {HelpPage::Info, "info.html"},
    {HelpPage::Preferences, "preferences.html"},
    {HelpPage::HomeGophers, "home-gophers.html"},
    {HelpPage::Viewers, "viewers.html"},
    {HelpPage::ExtendedViews, "extended-views.html"},
    {HelpPage::Languages, "languages.html"},
    {HelpPage::Fonts, "fonts.html"},
    {HelpPage::Printing, "printing.html"},
    {HelpPage::Options, "options.html"},
    {HelpPage::Messages, "messages.html"},
};

// The anchor in messages.html of each context. No default: the compiler
// names a context added to Help without an anchor here.
const char *anchorOf(Help context)
{
    switch (context) {
    case Help::None: break;
    case Help::CreateSocket: return "create-socket";
    case Help::HostLookup: return "host-lookup";
    case Help::LookupProblem: return "lookup-problem";
    case Help::Connect: return "connect";
    case Help::ConnectError: return "connect-error";
    case Help::Send: return "send";
    case Help::GopherPlusError: return "gopher-plus-error";
    case Help::Clipboard: return "clipboard";
    case Help::SocketStartup: return "socket-startup";
    case Help::Tls: return "tls";
    case Help::CertificateChanged: return "certificate-changed";
    case Help::Proxy: return "proxy";
    }
    return nullptr;
}

} // namespace

namespace HelpTopics {

HelpTopic topic(HelpPage page)
{
    for (const PageFile &row : PageFiles) {
        if (row.page == page)
            return {QString::fromLatin1(row.file), QString()};
    }
    return {QStringLiteral("index.html"), QString()};
}

HelpTopic topic(Help context)
{
    if (const char *anchor = anchorOf(context))
        return {topic(HelpPage::Messages).page, QString::fromLatin1(anchor)};
    return topic(HelpPage::Contents);
}

HelpPage pageFor(const CTarnwickDoc *document)
{
    if (qobject_cast<const CGopherDir *>(document))
        return HelpPage::Directory;
    if (qobject_cast<const CGopherTextDoc *>(document))
        return HelpPage::Text;
    if (qobject_cast<const CGopherXferDoc *>(document))
        return HelpPage::Download;
    if (qobject_cast<const CSearchText *>(document))
        return HelpPage::Search;
    if (qobject_cast<const CPhoneText *>(document))
        return HelpPage::Phone;
    if (qobject_cast<const CTelnetText *>(document))
        return HelpPage::Telnet;
    if (qobject_cast<const CAskText *>(document))
        return HelpPage::AskForm;
    if (qobject_cast<const CExtInfoDoc *>(document))
        return HelpPage::Info;
    return HelpPage::MainWindow;
}

QList<HelpPage> allPages()
{
    QList<HelpPage> pages;
    for (const PageFile &row : PageFiles)
        pages.append(row.page);
    return pages;
}

QList<Help> allContexts()
{
    return {Help::None,          Help::CreateSocket,    Help::HostLookup,
            Help::LookupProblem, Help::Connect,         Help::ConnectError,
            Help::Send,          Help::GopherPlusError, Help::Clipboard,
            Help::SocketStartup};
}

} // namespace HelpTopics
