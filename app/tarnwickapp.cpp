#include "app/tarnwickapp.h"

#include "bookmarks/bookmarkexchange.h"
#include "documents/programlauncher.h"
#include "documents/documentframe.h"
#include "documents/gopherxferdoc.h"
#include "documents/gopherdir.h"
#include "documents/gophertextdoc.h"
#include "documents/helptopics.h"
#include "documents/phonetext.h"
#include "documents/searchtext.h"
#include "documents/tarnwickdoc.h"
#include "documents/telnettext.h"
#include "documents/userinterface.h"
#include "documents/windowregistry.h"
#include "gplus/asktext.h"
#include "gplus/extinfodoc.h"
#include "items/typetable.h"
#include "net/transactionengine.h"

#include <QDateTime>
#include <QFileInfo>

#include <malloc.h>

CTarnwickDoc *CGopherDocTemplate::OpenItemDocument(const AppContext &context, FrameFactory *frames,
                                                   const CBookmark &item, int firstValue,
                                                   qintptr secondValue, int homeFailures) const
{
    CTarnwickDoc *document = m_factory ? m_factory(context) : nullptr;
    if (!document)
        return nullptr;
    DocumentFrame *frame = nullptr;
    if (frames) {
        frame = frames->createFrame(document, m_resourceId, firstValue);
        if (!frame) {
            delete document;
            return nullptr;
        }
    }
    document->setFrame(frame);
    document->setOpenValues(firstValue, secondValue, homeFailures);
    if (firstValue == CTarnwickDoc::UploadOpen && secondValue) {
        // The upload file becomes the document's; the caller closes it only
        // when no document took it.
        auto *record = reinterpret_cast<UploadRecord *>(secondValue);
        document->setUploadRecord(*record);
        record->file = -1;
    }
    if (!document->Fetch(item)) {
        document->OnCloseDocument();
        return nullptr;
    }
    if (frames && frame && document->frame())
        frames->initialUpdate(frame);
    return document;
}

namespace {

// Every read of a transfer allocates and frees a buffer the size of the
// socket's receive buffer (a few hundred KiB on a fast link). Left to its
// own heuristics, glibc may hand the top of the heap back to the system
// after each read and fault it in again on the next, which cost a download a
// third of its throughput. Fixed thresholds keep such buffers on the heap.
void keepTransferBuffersOnTheHeap()
{
    static const bool done = [] {
        ::mallopt(M_MMAP_THRESHOLD, 4 << 20);
        ::mallopt(M_TRIM_THRESHOLD, 16 << 20);
        return true;
    }();
    Q_UNUSED(done);
}

} // namespace

CTarnwickApp::CTarnwickApp(UserInterface &ui, QObject *parent)
    : AppServices(parent), m_settings(m_profile), m_homeGophers(m_profile), m_hostEncodings(m_profile),
      m_network(m_profile), m_ui(ui), m_windows(&ui), m_languages(&ui), m_views(&ui, &m_languages)
{
    keepTransferBuffersOnTheHeap();
    m_engine.autoStripDots = [this] { return m_settings.autoStripDots(); };
    m_engine.setPolicy(&m_network);
}

CTarnwickApp::~CTarnwickApp()
{
    // Documents are children of the application object; their destructors
    // leave the engine's and the window register, which must still exist.
    const QList<CTarnwickDoc *> documents =
        findChildren<CTarnwickDoc *>(Qt::FindDirectChildrenOnly);
    for (CTarnwickDoc *document : documents)
        delete document;
    // Downloads are temporary unless the user kept them.
    m_downloadedFiles.DeleteMarkedFiles();
    m_downloadedFiles.FreeDownloadedFiles();
}

AppContext CTarnwickApp::context()
{
    return AppContext{m_engine, m_windows, m_ui, *this};
}

void CTarnwickApp::setProgramFiles(const ProgramFiles &files)
{
    const QString languages = QStringLiteral("language.cnf");
    m_languages.setPaths(files.FindProgramFile(languages), files.userFilePath(languages));
    m_views.setProgramFiles(files, files.userFilePath(QStringLiteral("extviews.cnf")));
    // The manual is found where its contents page is, by the same search.
    const QString contents = QString::fromLatin1(HelpTopics::DirectoryName) + QLatin1Char('/')
                             + HelpTopics::topic(HelpPage::Contents).page;
    m_helpDirectory = QFileInfo(files.FindProgramFile(contents)).absolutePath();
}

void CTarnwickApp::saveDirtyTables()
{
    if (m_views.isDirty())
        static_cast<void>(m_views.Save());
    if (m_languages.isDirty())
        static_cast<void>(m_languages.Save());
}

bool CTarnwickApp::RunProgram(const QStringList &arguments, const QByteArray &commandLine)
{
    return ProgramLauncher::RunProgram(&m_ui, arguments, commandLine, m_launcher);
}

bool CTarnwickApp::menuAsAuthored() const
{
    return m_authoredOverride.value_or(m_settings.menuAsAuthored());
}

void CTarnwickApp::setMenuAsAuthored(bool on)
{
    const bool was = menuAsAuthored();
    m_authoredOverride.reset();
    static_cast<void>(m_settings.setMenuAsAuthored(on));
    if (was != on)
        Q_EMIT menuLayoutChanged(on);
}

bool CTarnwickApp::isHandedOn(QByteArrayView address)
{
    // The scheme decides; an address that could be read as anything but one
    // address (control characters) is not handed on either. A scheme starts
    // with a letter, so the address never reads as an option.
    for (const char c : address) {
        if (uchar(c) < 0x20 || c == 0x7f)
            return false;
    }
    const qsizetype colon = address.indexOf(':');
    if (colon <= 0)
        return false;
    const QByteArray scheme = address.first(colon).toByteArray().toLower();
    for (const char *known : {"http", "https", "mailto", "ftp", "gemini"}) {
        if (scheme == known)
            return true;
    }
    return false;
}

QByteArray CTarnwickApp::mailAddressHandedOn(QByteArrayView address)
{
    const qsizetype question = address.indexOf('?');
    if (question < 0)
        return address.toByteArray();
    QByteArray kept = address.first(question).toByteArray();
    QByteArrayView fields = address.sliced(question + 1);
    QByteArray fragment;
    if (const qsizetype hash = fields.indexOf('#'); hash >= 0) {
        fragment = fields.sliced(hash).toByteArray();
        fields = fields.first(hash);
    }
    char separator = '?';
    for (const QByteArrayView field : QByteArray(fields.toByteArray()).split('&')) {
        const qsizetype equals = field.indexOf('=');
        // The name as the mail program reads it: escapes decoded, any case.
        const QByteArray name =
            QByteArray::fromPercentEncoding(field.first(equals < 0 ? field.size() : equals).toByteArray())
                .toLower();
        static const QByteArrayList safe{"to", "cc", "bcc", "subject", "body", "in-reply-to"};
        if (!safe.contains(name))
            continue;
        kept += separator + field.toByteArray();
        separator = '&';
    }
    return kept + fragment;
}

CTarnwickApp::LinkTarget CTarnwickApp::linkTarget(const CBookmark &item)
{
    LinkTarget target;
    const QByteArray address = item.linkAddress();
    target.address = address;
    if (CBookmark::startsWithUrl(address)) {
        CBookmark opened;
        opened.title = item.title;
        opened.ParseURL(address);
        // A link to another link could go round in circles; it is shown.
        if (!opened.host.isEmpty() && opened.port != 0 && !opened.isUrlLink()) {
            opened.parentKey = item.parentKey;
            target.kind = LinkTarget::OpensHere;
            target.item = opened;
        }
    } else if (isHandedOn(address)) {
        target.kind = LinkTarget::HandedOn;
        if (address.first(qMin<qsizetype>(7, address.size())).toLower() == "mailto:")
            target.address = mailAddressHandedOn(address);
    }
    return target;
}

void CTarnwickApp::OpenLink(const CBookmark &item)
{
    const LinkTarget target = linkTarget(item);
    switch (target.kind) {
    case LinkTarget::OpensHere:
        OpenItem(target.item, 0, 0);
        return;
    case LinkTarget::HandedOn: {
        // A server chose the address: nothing leaves the program unless the
        // user says so, so Enter and Escape both answer No.
        const int answer = m_ui.messageBox("This item links to\n" + target.address
                                               + "\nOpen it in your browser?",
                                           UserInterface::Question, UserInterface::YesNoDefaultNo);
        if (answer != UserInterface::AnswerYes)
            return;
        m_ui.setMainStatus("Opening " + target.address);
        RunProgram({QStringLiteral("xdg-open"), QString::fromUtf8(target.address)},
                   "xdg-open " + target.address);
        return;
    }
    case LinkTarget::Shown:
        break;
    }
    m_ui.messageBox(linkShownText(target.address), UserInterface::Information);
}

QByteArray CTarnwickApp::linkShownText(const QByteArray &address)
{
    return "This item links to\n" + address + "\nTarnwick does not open links of this kind.";
}

void CTarnwickApp::setUp(const QString &configDirectory, const QProcessEnvironment &env,
                         const NetworkOptions &network)
{
    setConfigDirectory(configDirectory);
    const ProgramFiles files = ProgramFiles::forThisProcess(m_configDirectory, env);
    setSettingsPath(files.settingsFile());
    setProgramFiles(files);
    registerDefaultTemplates();
    m_network.setProxyFromEnvironment(env);
    m_network.setProxyOverride(network.proxy);
    m_network.setAcceptChangedCertificates(network.trustNewCertificate);
}

void CTarnwickApp::setSettingsPath(const QString &path)
{
    m_profile.setPath(path);
}

void CTarnwickApp::addTemplate(CGopherDocTemplate docTemplate)
{
    m_templates.append(std::move(docTemplate));
}

void CTarnwickApp::registerDefaultTemplates()
{
    m_templates.clear();
    // The program's order; kinds not built yet have no template and open nothing.
    addTemplate({TypeTable::DirTemplate,
                 [](const AppContext &c) -> CTarnwickDoc * { return new CGopherDir(c); }});
    addTemplate({TypeTable::TextTemplate,
                 [](const AppContext &c) -> CTarnwickDoc * { return new CGopherTextDoc(c); }});
    addTemplate({TypeTable::XferTemplate,
                 [](const AppContext &c) -> CTarnwickDoc * { return new CGopherXferDoc(c); }});
    addTemplate({TypeTable::InfoTemplate,
                 [](const AppContext &c) -> CTarnwickDoc * { return new CExtInfoDoc(c); }});
    addTemplate({TypeTable::SearchTemplate,
                 [](const AppContext &c) -> CTarnwickDoc * { return new CSearchText(c); }});
    addTemplate({TypeTable::TelnetTemplate,
                 [](const AppContext &c) -> CTarnwickDoc * { return new CTelnetText(c); }});
    addTemplate({TypeTable::AskTemplate,
                 [](const AppContext &c) -> CTarnwickDoc * { return new CAskText(c); }});
    addTemplate({TypeTable::PhoneTemplate,
                 [](const AppContext &c) -> CTarnwickDoc * { return new CPhoneText(c); }});
}

namespace {

// True when the selector already carries a Gopher+ request marker after a TAB.
bool hasPlusMarker(const QByteArray &selector)
{
    return selector.contains("\t+") || selector.contains("\t$") || selector.contains("\t!");
}

// Adds the Gopher+ request marker a document sends for the item.
void addPlusMarker(CBookmark &item)
{
    if (!item.IsAskForm() && !hasPlusMarker(item.selector)) {
        QByteArray selector = item.selector;
        if (selector.endsWith("\r\n"))
            selector.chop(2);
        item.selector = selector + (item.type == '1' ? "\t$" : "\t+") + "\r\n";
    }
}

} // namespace

QByteArray CTarnwickApp::windowKeyOf(const CBookmark &source) const
{
    CBookmark item;
    item.Assign(source);
    if (!item.tls && m_network.knownTlsHost(item.host, item.port))
        item.tls = true;
    if (item.IsGopherPlus() && !item.selector.contains("\t1"))
        addPlusMarker(item);
    return item.GetURL();
}

CTarnwickDoc *CTarnwickApp::OpenItem(const CBookmark &source, int firstValue, qintptr secondValue,
                                     int homeFailures)
{
    if (source.isUrlLink() && source.type != 'i' && source.type != '3') {
        OpenLink(source);
        return nullptr;
    }
    CBookmark item;
    item.Assign(source);
    // A host known to speak TLS is asked over TLS whatever the link says; the
    // window key and the title's URL say so.
    if (!item.tls && m_network.knownTlsHost(item.host, item.port))
        item.tls = true;
    item.navigatorIndex = source.navigatorIndex;
    item.viewLines = source.viewLines;
    item.askLines = source.askLines;
    // Attributes that carry a "+ASK" block make the item a form, whether or
    // not its menu line said so with "?" (many servers mark only "+").
    if (item.IsGopherPlus() && !item.askLines.isEmpty() && !item.selector.contains("\t1"))
        item.SetAskForm(true);

    char rememberedType = 0;
    if (item.IsGopherPlus() && !item.selector.contains("\t1")) {
        if (item.attributeText.isEmpty()) {
            rememberedType = item.type;
            item.type = '$';
        } else if (extendedViewsFound() && !item.viewLines.isEmpty()) {
            // A request that already names its form ("\t+view", or the
            // Gopher+ directory "\t$" a URL asked for) is not chosen again.
            if (!hasPlusMarker(item.selector)) {
                const bool autoSelect = m_autoSelectOverride.value_or(m_settings.autoSelectView());
                ViewChoice chosen;
                if (!m_views.ChooseView(item, autoSelect, &chosen))
                    return nullptr;
                Q_EMIT viewChosen(chosen);
            }
        } else {
            addPlusMarker(item);
        }
    }

    const QByteArray key = item.GetURL();
    if (m_windows.Find(key)) {
        m_ui.setMainStatus(QByteArray("Restoring window"));
        m_windows.Activate(key);
        return nullptr;
    }

    int templateId;
    if (item.type == '$' && rememberedType) {
        item.type = rememberedType;
        templateId = item.IsAskForm() ? int(TypeTable::AskTemplate) : int(TypeTable::InfoTemplate);
    } else {
        templateId = TypeTable::templateForType(item.type, item.IsAskForm());
    }

    for (const CGopherDocTemplate &t : std::as_const(m_templates)) {
        if (t.resourceId() == templateId) {
            CTarnwickDoc *document = t.OpenItemDocument(context(), m_frames, item, firstValue,
                                                        secondValue, homeFailures);
            if (document) {
                document->setParent(this);
                Q_EMIT documentOpened(document);
                // An attribute fetch opens the item itself once it knows it:
                // that is what the history records.
                if (templateId != TypeTable::InfoTemplate && !document->isClosing())
                    recordVisit(document);
            }
            return document;
        }
    }
    return nullptr;
}

void CTarnwickApp::keepHistoryIn(const QString &path)
{
    m_history = std::make_unique<HistoryStore>(path);
}

void CTarnwickApp::recordVisit(const CTarnwickDoc *document)
{
    if (!m_history || m_recordingPaused || !document
        || document->openMode() == CTarnwickDoc::UploadOpen
        || !CTarnwickDoc::isRevisitable(document->item()) || !m_settings.rememberHistory())
        return;
    HistoryEntry entry;
    entry.time = QDateTime::currentSecsSinceEpoch();
    entry.type = document->item().type;
    entry.title = document->shownTitle().toUtf8();
    entry.url = BookmarkExchange::bareUrl(document->item());
    if (m_history->add(entry) || m_historyFailureShown)
        return;
    // Said once: a history that cannot be written must not stop the browsing.
    m_historyFailureShown = true;
    m_ui.messageBox(QByteArray("Could not write the history file\n") + m_history->path().toUtf8()
                        + "\n" + m_history->lastError().toUtf8(),
                    UserInterface::Exclamation);
}

CBookmark CTarnwickApp::itemFromUrl(const QByteArray &url, const QString &shownTitle) const
{
    CBookmark item;
    item.ParseURL(url);
    const TextEncoding encoding = m_hostEncodings.encoding(item.host);
    item.title = encodeText(shownTitle, encoding).value_or(shownTitle.toUtf8());
    return item;
}

CTarnwickDoc *CTarnwickApp::OpenHomeGopher()
{
    const int count = m_homeGophers.GetHomeCount();
    const int n = HomeGophers::pickServer(count, QDateTime::currentDateTimeUtc());
    const CBookmark item = m_homeGophers.homeItem(n);
    return OpenItem(item, CTarnwickDoc::HomeOpen, n);
}
