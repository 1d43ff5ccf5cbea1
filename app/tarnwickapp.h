#pragma once

#include "settings/appsettings.h"
#include "documents/downloadedfiles.h"
#include "documents/historystore.h"
#include "documents/replycache.h"
#include "settings/hostencodings.h"
#include "settings/networksettings.h"
#include "settings/profilefile.h"
#include "bookmarks/homegophers.h"
#include "documents/appcontext.h"
#include "documents/windowregistry.h"
#include "gplus/extendedviewtable.h"
#include "gplus/languagetable.h"
#include "net/transactionengine.h"

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QProcessEnvironment>
#include <QString>

#include <functional>
#include <memory>
#include <optional>

class CBookmark;
class CTarnwickDoc;
class FrameFactory;

// A document kind: the template number that selects it and how to make one.
class CGopherDocTemplate
{
public:
    using Factory = std::function<CTarnwickDoc *(const AppContext &)>;

    CGopherDocTemplate(int resourceId, Factory factory)
        : m_resourceId(resourceId), m_factory(std::move(factory)) {}
    int resourceId() const { return m_resourceId; }
    // Makes the document and its window, stores the two values in it and
    // starts its fetch; none when any step fails.
    CTarnwickDoc *OpenItemDocument(const AppContext &context, FrameFactory *frames,
                                   const CBookmark &item, int firstValue, qintptr secondValue,
                                   int homeFailures = 0) const;

private:
    int m_resourceId;
    Factory m_factory;
};

// The network options of the command line: `--proxy socks5h://HOST:PORT`
// (or socks5://) and `--trust-new-certificate`.
struct NetworkOptions
{
    std::optional<ProxySetting> proxy;
    bool trustNewCertificate = false;
};

// The program's assembly and the state that is not a window's: it owns the
// network engine and the register of open windows and wires them to the user
// interface it is given, and it holds the settings file and its typed
// accessors, the document templates, and OpenItem, through which every item
// is opened in a window of its own. main (through the main frame), the
// command-line runners and the tests each make one.
class CTarnwickApp : public AppServices
{
    Q_OBJECT

public:
    explicit CTarnwickApp(UserInterface &ui, QObject *parent = nullptr);
    // Deletes the documents still open first, while the engine and the
    // registers they talk to exist.
    ~CTarnwickApp() override;

    AppContext context();
    TransactionEngine &engine() { return m_engine; }
    WindowRegistry &windows() { return m_windows; }
    UserInterface &ui() { return m_ui; }
    void setFrameFactory(FrameFactory *frames) { m_frames = frames; }

    void setSettingsPath(const QString &path);
    QString settingsPath() const override { return m_profile.path(); }
    ProfileFile &profile() override { return m_profile; }
    AppSettings &settings() override { return m_settings; }
    HomeGophers &homeGophers() override { return m_homeGophers; }
    // The encoding each host is shown in.
    HostEncodings &hostEncodings() override { return m_hostEncodings; }
    // The proxy, the hosts known to speak TLS, the remembered certificates.
    NetworkSettings &network() { return m_network; }
    // The files this program downloaded; marked ones go at exit.
    DownloadedFiles &downloadedFiles() override { return m_downloadedFiles; }
    // Starts a program from its argument vector; a failure is shown with
    // "Couldn't run " and the command line.
    bool RunProgram(const QStringList &arguments, const QByteArray &commandLine) override;
    // What starts the programs (tests record the argument vectors instead);
    // it returns a launcher code, ProgramLauncher::Started on success.
    using Launcher = std::function<int(const QStringList &arguments)>;
    void setLauncher(Launcher launcher) { m_launcher = std::move(launcher); }

    // "Menu as Authored": directory lists show every item in the server's
    // order. Saved in the settings file; a run may override it.
    bool menuAsAuthored() const override;
    void setMenuAsAuthored(bool on);
    void setMenuAsAuthoredOverride(std::optional<bool> on) { m_authoredOverride = on; }

    // Opens an item whose selector is "URL:" and an address: a gopher
    // address in a window of this program, a web, mail, FTP or Gemini
    // address in the desktop's browser after asking; anything else is shown.
    void OpenLink(const CBookmark &item);
    // Whether an address of this scheme is handed to the desktop.
    static bool isHandedOn(QByteArrayView address);
    // What becomes of a link: a gopher address opens here (the item), a
    // handed-on one goes to the desktop as address, anything else is shown.
    struct LinkTarget
    {
        enum Kind { OpensHere, HandedOn, Shown };
        Kind kind = Shown;
        QByteArray address;  // as handed on (a mail address without its file fields)
        CBookmark item;      // the item a gopher address opens
    };
    static LinkTarget linkTarget(const CBookmark &item);
    // The message that shows a link the program does not open.
    static QByteArray linkShownText(const QByteArray &address);
    // A mail address with only the fields that cannot name a file: "to",
    // "cc", "bcc", "subject", "body", "in-reply-to". Mail programs read
    // others ("attach", "attachment") as files to send along.
    static QByteArray mailAddressHandedOn(QByteArrayView address);

    QString ConfigDirectory() const { return m_configDirectory; }
    void setConfigDirectory(const QString &directory) { m_configDirectory = directory; }

    // Start-up, the same for the windows and the command-line modes: the
    // configuration directory ("-I DIR" or TWK_CONFIG, empty for none), the
    // settings file and the tables found by the program-file search, the
    // document templates, and the network options of the command line (with
    // the proxy of ALL_PROXY when neither they nor the settings name one).
    void setUp(const QString &configDirectory, const QProcessEnvironment &env,
               const NetworkOptions &network = {});

    // Registers the document kinds that exist, in the program's order.
    void registerDefaultTemplates();
    void addTemplate(CGopherDocTemplate docTemplate);
    const QList<CGopherDocTemplate> &templates() const { return m_templates; }

    // The Gopher+ view and language tables, found through the program-file
    // search; their edited copies go to the user's configuration directory.
    void setProgramFiles(const ProgramFiles &files);
    ExtendedViewTable &extendedViews() override { return m_views; }
    // The directory of the HTML manual, found by the same search.
    QString helpDirectory() const { return m_helpDirectory; }
    void setHelpDirectory(const QString &directory) { m_helpDirectory = directory; }
    LanguageTable &languages() { return m_languages; }
    // Whether the extended-views file was found.
    bool extendedViewsFound() const { return m_views.fileFound(); }
    // Replaces "Auto Select View" for this run (the headless mode).
    void setAutoSelectViewOverride(std::optional<bool> on) { m_autoSelectOverride = on; }
    // Saves the tables whose edits have not been written yet.
    void saveDirtyTables();

    // Opens an item in a new document window: the Gopher+ request suffix, the
    // attribute fetch for Gopher+ items whose attributes are not known, an
    // open window for the same item brought back instead, and the template
    // chosen by type. Returns the new document, or none. A home document
    // opened on behalf of another (its attributes came first) carries the
    // failures of the home gophers tried before it.
    CTarnwickDoc *OpenItem(const CBookmark &item, int firstValue, qintptr secondValue,
                           int homeFailures = 0) override;
    // The window key under which the document for the item is registered
    // once it is open (the Gopher+ request marker included).
    QByteArray windowKeyOf(const CBookmark &item) const;
    // Opens the home gopher picked by the clock (the caller has checked that
    // at least one is configured).
    CTarnwickDoc *OpenHomeGopher();

    // The history of the items opened. The window program keeps one; the
    // command-line modes have none and record nothing.
    void keepHistoryIn(const QString &path);
    HistoryStore *history() const { return m_history.get(); }
    // Records the document's item in the history, unless "Remember History"
    // is off or the item cannot be asked for again (the answers of a form).
    void recordVisit(const CTarnwickDoc *document) override;
    // While the windows of the last session come back nothing is recorded:
    // they were opened, and recorded, before.
    void setRecordingPaused(bool paused) { m_recordingPaused = paused; }
    ReplyCache &replyCache() override { return m_replyCache; }
    // The item a history entry or a session names: its URL, titled as the
    // window showed it (in the bytes of its host's encoding).
    CBookmark itemFromUrl(const QByteArray &url, const QString &shownTitle) const;

Q_SIGNALS:
    void documentOpened(CTarnwickDoc *document);
    // A view of an item was chosen (by rank or by the user).
    void viewChosen(const ViewChoice &choice);

private:
    ProfileFile m_profile;
    AppSettings m_settings;
    HomeGophers m_homeGophers;
    HostEncodings m_hostEncodings;
    NetworkSettings m_network;
    DownloadedFiles m_downloadedFiles;
    QString m_configDirectory;
    QString m_helpDirectory;
    QList<CGopherDocTemplate> m_templates;
    UserInterface &m_ui;
    TransactionEngine m_engine;
    WindowRegistry m_windows;
    LanguageTable m_languages;
    ExtendedViewTable m_views;
    std::optional<bool> m_autoSelectOverride;
    std::optional<bool> m_authoredOverride;
    Launcher m_launcher;
    FrameFactory *m_frames = nullptr;
    std::unique_ptr<HistoryStore> m_history;
    bool m_historyFailureShown = false;
    bool m_recordingPaused = false;
    ReplyCache m_replyCache;
};
