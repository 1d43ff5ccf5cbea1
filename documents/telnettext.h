#pragma once

#include "documents/tarnwickdoc.h"

#include <QStringList>

#include <optional>

// A telnet (type 8) or tn3270 (type T) item: nothing is fetched; the window
// shows the login hint and the host, and Start hands the session to the
// terminal program of the settings.
class CTelnetText : public CTarnwickDoc
{
    Q_OBJECT

public:
    explicit CTelnetText(const AppContext &context, QObject *parent = nullptr);

    bool Fetch(const CBookmark &item) override;
    bool OnUpdateFetch() const override { return true; }
    void OnFetch() override { Launch(); }
    bool OnUpdateEditCopy() const override { return true; }
    void OnEditCopy() override;

    // "Hint: use <login>" when the selector suggests a login name.
    QByteArray GetHintText() const;
    QByteArray GetHostText() const;

    // The argument vector of the terminal program for this session, or
    // nothing: an item of another type, a host that could pass for an option
    // or a command, a command line that does not split (the user is told).
    std::optional<QStringList> sessionArguments();
    // Starts the session's terminal program.
    void Launch();

    // A host name that can go to a terminal program as an argument: it does
    // not begin with "-" and holds no blank, control or shell character.
    static bool isSafeHost(const QByteArray &host);
    // The configured command line split, with "%host%" and "%port%" put in
    // (the first of each); with neither, host and port are appended.
    static std::optional<QStringList> commandFor(const QByteArray &commandLine,
                                                 const QByteArray &host, quint16 port);
};
