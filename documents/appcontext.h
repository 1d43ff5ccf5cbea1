#pragma once

#include <QObject>
#include <QStringList>

class AppSettings;
class CBookmark;
class CTarnwickDoc;
class DownloadedFiles;
class ExtendedViewTable;
class HomeGophers;
class HostEncodings;
class ProfileFile;
class ReplyCache;
class TransactionEngine;
class UserInterface;
class WindowRegistry;

// A reference that reads like a pointer: made from an object, never null,
// so the code that holds one never checks it.
template <class T>
class Ref
{
public:
    Ref(T &object) : m_object(&object) {}
    T *operator->() const { return m_object; }
    T &operator*() const { return *m_object; }
    T *get() const { return m_object; }

private:
    T *m_object;
};

// What documents ask of the program that holds them: its settings and
// tables, the files it downloaded, and opening further items. Declared here,
// below the assembly, so that documents never include the application; the
// application object (CTarnwickApp) implements it.
class AppServices : public QObject
{
    Q_OBJECT

public:
    using QObject::QObject;

    virtual ProfileFile &profile() = 0;
    virtual QString settingsPath() const = 0;
    virtual AppSettings &settings() = 0;
    virtual HomeGophers &homeGophers() = 0;
    virtual HostEncodings &hostEncodings() = 0;
    virtual DownloadedFiles &downloadedFiles() = 0;
    virtual ExtendedViewTable &extendedViews() = 0;
    virtual bool menuAsAuthored() const = 0;
    virtual bool RunProgram(const QStringList &arguments, const QByteArray &commandLine) = 0;
    virtual CTarnwickDoc *OpenItem(const CBookmark &item, int firstValue, qintptr secondValue,
                                   int homeFailures = 0) = 0;
    // Replies of menus and texts kept in memory (empty and unused unless the
    // window program turned it on).
    virtual ReplyCache &replyCache() = 0;
    // The user moved the document to another item (a navigator node): the
    // history records it as it records every item opened.
    virtual void recordVisit(const CTarnwickDoc *document) = 0;

Q_SIGNALS:
    // The "Menu as Authored" switch changed.
    void menuLayoutChanged(bool authored);
};

// The program-wide objects a document reaches; handed to each document when
// it is made, never global. The application object (CTarnwickApp) owns them
// and makes the context.
struct AppContext
{
    Ref<TransactionEngine> engine;
    Ref<WindowRegistry> windows;
    Ref<UserInterface> ui;
    Ref<AppServices> app;
};
