#pragma once

#include "app/appsettings.h"
#include "app/downloadedfiles.h"
#include "app/profilefile.h"
#include "bookmarks/homegophers.h"
#include "docs/appcontext.h"

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QString>

#include <functional>

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

// The program-wide state that is not a window's: the settings file and its
// typed accessors, the document templates, and OpenItem, through which every
// item is opened in a window of its own.
class CTarnwickApp : public QObject
{
    Q_OBJECT

public:
    explicit CTarnwickApp(QObject *parent = nullptr);
    ~CTarnwickApp() override;

    // The owner of the main frame's registers hands them over here.
    void setContext(TransactionEngine *engine, WindowRegistry *windows, UserInterface *ui);
    AppContext context() const;
    void setFrameFactory(FrameFactory *frames) { m_frames = frames; }

    void setSettingsPath(const QString &path);
    QString settingsPath() const { return m_profile.path(); }
    ProfileFile &profile() { return m_profile; }
    AppSettings &settings() { return m_settings; }
    HomeGophers &homeGophers() { return m_homeGophers; }
    // The files this program downloaded; marked ones go at exit.
    DownloadedFiles &downloadedFiles() { return m_downloadedFiles; }
    // Starts a program from its argument vector; a failure is shown with
    // "Couldn't run " and the command line.
    bool RunProgram(const QStringList &arguments, const QByteArray &commandLine);

    QString ConfigDirectory() const { return m_configDirectory; }
    void setConfigDirectory(const QString &directory) { m_configDirectory = directory; }

    // Registers the document kinds that exist, in the program's order.
    void registerDefaultTemplates();
    void addTemplate(CGopherDocTemplate docTemplate);
    const QList<CGopherDocTemplate> &templates() const { return m_templates; }

    // Whether the extended-views file was found at start-up.
    bool extendedViewsFound() const { return false; }

    // Opens an item in a new document window: the Gopher+ request suffix, the
    // attribute fetch for Gopher+ items whose attributes are not known, an
    // open window for the same item brought back instead, and the template
    // chosen by type. Returns the new document, or none. A home document
    // opened on behalf of another (its attributes came first) carries the
    // failures of the home gophers tried before it.
    CTarnwickDoc *OpenItem(const CBookmark &item, int firstValue, qintptr secondValue,
                           int homeFailures = 0);
    // The window key under which the document for the item is registered
    // once it is open (the Gopher+ request marker included).
    QByteArray windowKeyOf(const CBookmark &item) const;
    // Opens the home gopher picked by the clock (the caller has checked that
    // at least one is configured).
    CTarnwickDoc *OpenHomeGopher();

Q_SIGNALS:
    void documentOpened(CTarnwickDoc *document);

private:
    ProfileFile m_profile;
    AppSettings m_settings;
    HomeGophers m_homeGophers;
    DownloadedFiles m_downloadedFiles;
    QString m_configDirectory;
    QList<CGopherDocTemplate> m_templates;
    TransactionEngine *m_engine = nullptr;
    WindowRegistry *m_windows = nullptr;
    UserInterface *m_ui = nullptr;
    FrameFactory *m_frames = nullptr;
};
