#pragma once

#include <QByteArrayList>
#include <QList>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>
#include <QStringView>

#include <optional>

struct NetworkOptions;

// The command line, read once, before anything else of the program starts
// (no QApplication is needed, so --help and --version answer without a
// display). Options may come in any order and mix with the URLs. Every
// option is one row of ProgramOptions::options(): its names, the name of its
// value, its line in --help, and the modes it belongs to; the manual page
// and the README list the same rows.
class ProgramOptions
{
public:
    // What the program does this time. The window program is the default;
    // each other mode is chosen by an option of its own.
    enum class Mode {
        Window,
        Dump,
        Print,
        ExportBookmarks,
        ImportBookmarks,
        History,
        Help,
        Version,
    };
    // The modes an option belongs to, as bits.
    enum ModeBit : unsigned {
        InWindow = 1u << unsigned(Mode::Window),
        InDump = 1u << unsigned(Mode::Dump),
        InPrint = 1u << unsigned(Mode::Print),
        InExport = 1u << unsigned(Mode::ExportBookmarks),
        InImport = 1u << unsigned(Mode::ImportBookmarks),
        InHistory = 1u << unsigned(Mode::History),
        InEveryMode = InWindow | InDump | InPrint | InExport | InImport | InHistory,
    };

    struct Option
    {
        QStringList names;    // "I", or "h" and "help": one dash for one letter
        QString valueName;    // empty for a switch
        QString description;  // for --help
        unsigned modes = InEveryMode;
        // The mode this option chooses, if it chooses one.
        std::optional<Mode> selects;
    };
    // Every option the program knows.
    static const QList<Option> &options();

    // Reads the arguments (the program's name first). Never fails: a
    // command line that breaks a rule gives options whose error() says why.
    static ProgramOptions parse(const QStringList &arguments);

    bool ok() const { return m_error.isEmpty(); }
    QString error() const { return m_error; }
    Mode mode() const { return m_mode; }

    bool isSet(QStringView name) const;
    // The last value given for the option (empty when not given), and all
    // of them in order.
    QString value(QStringView name) const;
    QStringList values(QStringView name) const;
    // The arguments that are not options: the URLs.
    QStringList positional() const { return m_positional; }
    // The gopher URLs of the window program, as given.
    QByteArrayList urls() const;

    // --proxy and --trust-new-certificate; the proxy was checked by parse().
    NetworkOptions networkOptions() const;

    // The configuration directory: -I DIR, else TWK_CONFIG, else none.
    QString configDirectory(const QProcessEnvironment &env) const;

    // Answers --help and --version on standard output (0), and a command
    // line that breaks a rule with the reason and the usage on standard
    // error (2). None when a mode is to run.
    std::optional<int> answerWithoutRunning() const;

    static QString helpText();
    // The usage lines and a pointer to --help, as shown after an error.
    static QString usageText();
    static QString versionText();
    // Writes "tarnwick: " and the reason, then the usage, to standard error;
    // returns the exit status of a usage error, 2.
    static int usageError(const QString &reason);

private:
    Mode m_mode = Mode::Window;
    QString m_error;
    QStringList m_positional;
    QList<std::pair<QString, QStringList>> m_values;  // option's first name, values
};
