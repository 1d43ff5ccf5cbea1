#pragma once

#include <QByteArray>
#include <QObject>
#include <QStringList>

class QProcess;
class UserInterface;

// Makes Tarnwick the desktop's program for gopher: links, the way every
// freedesktop desktop reads it: "xdg-mime default
// io.github.tarnwick.Tarnwick.desktop x-scheme-handler/gopher", started from
// its argument vector. The outcome,
// good or bad, is told to the user in a message box once the program ends;
// the windows go on meanwhile.
class DefaultGopherProgram : public QObject
{
    Q_OBJECT

public:
    // The program's id on the desktop: the name of its desktop entry (and of
    // its icon and AppStream file) without ".desktop".
    static constexpr const char *DesktopId = "io.github.tarnwick.Tarnwick";
    static constexpr const char *DesktopEntry = "io.github.tarnwick.Tarnwick.desktop";
    static constexpr const char *Success = "Tarnwick is now the default Gopher program.";
    static constexpr const char *Failure = "Couldn't make Tarnwick the default Gopher program.";
    static constexpr const char *NotInstalled =
        "io.github.tarnwick.Tarnwick.desktop is not installed yet: gopher: links reach "
        "Tarnwick once it is.";

    explicit DefaultGopherProgram(UserInterface &ui, QObject *parent = nullptr);
    ~DefaultGopherProgram() override;

    static QStringList defaultArguments();
    // Tests put a stand-in program here.
    void setArguments(const QStringList &arguments) { m_arguments = arguments; }

    // Starts the program; false when it could not be started (already told).
    bool start();
    bool isRunning() const { return m_process != nullptr; }

Q_SIGNALS:
    void finished(bool ok);

private:
    void report(bool ok, const QByteArray &detail);

    UserInterface &m_ui;
    QStringList m_arguments;
    QProcess *m_process = nullptr;
};
