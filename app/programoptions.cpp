#include "app/programoptions.h"

#include "app/tarnwickapp.h"
#include "items/bookmark.h"
#include "net/proxysetting.h"

#include <QCommandLineOption>
#include <QCommandLineParser>

#include <cstdio>

namespace {

using Mode = ProgramOptions::Mode;
using Option = ProgramOptions::Option;

// Where a description starts in --help, and how wide the lines are.
constexpr qsizetype DescriptionColumn = 26;
constexpr qsizetype LineWidth = 79;

unsigned bit(Mode mode)
{
    return 1u << unsigned(mode);
}

QString dashed(const QString &name)
{
    return (name.size() == 1 ? QStringLiteral("-") : QStringLiteral("--")) + name;
}

// "-I DIR", "-h, --help", "--print FILE.pdf".
QString spelled(const Option &option)
{
    QStringList names;
    for (const QString &name : option.names)
        names.append(dashed(name));
    QString text = names.join(QStringLiteral(", "));
    if (!option.valueName.isEmpty())
        text += u' ' + option.valueName;
    return text;
}

// The options that choose the modes of these bits, for messages:
// "--dump or --print".
QString choosers(unsigned modes)
{
    QStringList names;
    for (const Option &option : ProgramOptions::options()) {
        if (option.selects && (modes & bit(*option.selects)))
            names.append(dashed(option.names.last()));
    }
    if (names.size() > 1) {
        const QString last = names.takeLast();
        return names.join(QStringLiteral(", ")) + QStringLiteral(" or ") + last;
    }
    return names.value(0);
}

QString wrapped(const QString &text, qsizetype indent, qsizetype width)
{
    QString out;
    qsizetype column = indent;
    for (const QString &word : text.split(u' ', Qt::SkipEmptyParts)) {
        if (column > indent && column + 1 + word.size() > width) {
            out += u'\n' + QString(indent, u' ');
            column = indent;
        } else if (column > indent) {
            out += u' ';
            ++column;
        }
        out += word;
        column += word.size();
    }
    return out;
}

bool isGopherUrl(const QString &argument)
{
    return CBookmark::findUrlPrefix(argument.toUtf8()) >= 0;
}

// Qt's parser says "Unknown option 'x'."; ours say "unknown option 'x'".
QString asReason(QString text)
{
    if (!text.isEmpty())
        text[0] = text.at(0).toLower();
    if (text.endsWith(u'.'))
        text.chop(1);
    return text;
}

void writeTo(FILE *stream, const QString &text)
{
    const QByteArray bytes = text.toLocal8Bit();
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stream);
    std::fflush(stream);
}

} // namespace

const QList<Option> &ProgramOptions::options()
{
    static const QList<Option> table{
        {{QStringLiteral("I")}, QStringLiteral("DIR"),
         QStringLiteral("Keep the settings file and the edited tables in DIR instead of "
                        "$TWK_CONFIG or ~/.config/tarnwick"),
         InEveryMode, std::nullopt},
        {{QStringLiteral("h"), QStringLiteral("help")}, QString(),
         QStringLiteral("Show this help and exit"), InEveryMode, Mode::Help},
        {{QStringLiteral("version")}, QString(), QStringLiteral("Show the version and exit"),
         InEveryMode, Mode::Version},
        {{QStringLiteral("dump")}, QString(),
         QStringLiteral("Fetch the URL without windows and print it on standard output"),
         InDump, Mode::Dump},
        {{QStringLiteral("print")}, QStringLiteral("FILE.pdf"),
         QStringLiteral("Fetch the URL and print it into a PDF file, without a display"), InPrint,
         Mode::Print},
        {{QStringLiteral("export-bookmarks")}, QString(),
         QStringLiteral("Print a bookmark category on standard output"), InExport,
         Mode::ExportBookmarks},
        {{QStringLiteral("import-bookmarks")}, QStringLiteral("FILE"),
         QStringLiteral("Add the gopher links of a lynx bookmark page or a URL list"), InImport,
         Mode::ImportBookmarks},
        {{QStringLiteral("history")}, QString(),
         QStringLiteral("Print the history of the items opened in the windows, newest first"),
         InHistory, Mode::History},
        {{QStringLiteral("timeout")}, QStringLiteral("SECONDS"),
         QStringLiteral("Give up when the server is silent this long; 60 unless given, 0 for "
                        "never"),
         InDump | InPrint, std::nullopt},
        {{QStringLiteral("search")}, QStringLiteral("WORDS"),
         QStringLiteral("Search an index item for these words"), InDump | InPrint, std::nullopt},
        {{QStringLiteral("view")}, QStringLiteral("VIEW"),
         QStringLiteral("Fetch this view of a Gopher+ item (\"TYPE[ LANGUAGE]\")"),
         InDump | InPrint, std::nullopt},
        {{QStringLiteral("authored")}, QString(),
         QStringLiteral("Show a directory as with View > Menu as Authored"), InDump | InPrint,
         std::nullopt},
        {{QStringLiteral("info")}, QString(),
         QStringLiteral("Print the Gopher+ attributes of the item and fetch nothing else"),
         InDump, std::nullopt},
        {{QStringLiteral("answer")}, QStringLiteral("TEXT"),
         QStringLiteral("Answer the next question of an ask form (once per question)"), InDump,
         std::nullopt},
        {{QStringLiteral("query")}, QStringLiteral("TEXT"),
         QStringLiteral("Send this query to a CSO phone book"), InDump | InPrint, std::nullopt},
        {{QStringLiteral("download-dir")}, QStringLiteral("DIR"),
         QStringLiteral("Save a download in DIR"), InDump, std::nullopt},
        {{QStringLiteral("proxy")}, QStringLiteral("URL"),
         QStringLiteral("Connect through the SOCKS5 proxy socks5h://HOST:PORT (names resolved by "
                        "the proxy, as Tor needs) or socks5://HOST:PORT"),
         InWindow | InDump | InPrint, std::nullopt},
        {{QStringLiteral("trust-new-certificate")}, QString(),
         QStringLiteral("Accept a TLS certificate that differs from the one remembered for its "
                        "host, and remember it"),
         InWindow | InDump | InPrint, std::nullopt},
        {{QStringLiteral("category")}, QStringLiteral("NAME"),
         QStringLiteral("The bookmark category to export ('*' for all) or to import into"),
         InExport | InImport, std::nullopt},
        {{QStringLiteral("format")}, QStringLiteral("urls|gophermap"),
         QStringLiteral("Export or print the history as gopher URLs, one a line (the default), "
                        "or as a gophermap"),
         InExport | InHistory, std::nullopt},
    };
    return table;
}

ProgramOptions ProgramOptions::parse(const QStringList &arguments)
{
    ProgramOptions result;
    QCommandLineParser parser;
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsCompactedShortOptions);
    parser.setOptionsAfterPositionalArgumentsMode(QCommandLineParser::ParseAsOptions);
    for (const Option &option : options())
        parser.addOption(QCommandLineOption(option.names, option.description, option.valueName));
    if (!parser.parse(arguments)) {
        result.m_error = asReason(parser.errorText());
        return result;
    }

    const Option *chosen = nullptr;
    for (const Option &option : options()) {
        const QString &name = option.names.first();
        if (!parser.isSet(name))
            continue;
        result.m_values.append({name, parser.values(name)});
        if (!option.selects)
            continue;
        // --help and --version answer whatever else is asked.
        if (*option.selects == Mode::Help || *option.selects == Mode::Version) {
            result.m_mode = *option.selects;
            return result;
        }
        if (chosen && chosen != &option) {
            result.m_error = QStringLiteral("%1 and %2 cannot be used together")
                                 .arg(dashed(chosen->names.last()), dashed(option.names.last()));
            return result;
        }
        chosen = &option;
        result.m_mode = *option.selects;
    }

    const unsigned modeBit = bit(result.m_mode);
    for (const Option &option : options()) {
        if ((option.modes & modeBit) || !result.isSet(option.names.first()))
            continue;
        result.m_error = chosen ? QStringLiteral("%1 cannot be used with %2")
                                      .arg(dashed(option.names.last()), dashed(chosen->names.last()))
                                : QStringLiteral("%1 needs %2")
                                      .arg(dashed(option.names.last()), choosers(option.modes));
        return result;
    }

    if (result.isSet(u"proxy") && !ProxySetting::fromUrl(result.value(u"proxy").toUtf8())) {
        result.m_error = QStringLiteral("--proxy takes socks5h://HOST:PORT or socks5://HOST:PORT, "
                                        "not '%1'")
                             .arg(result.value(u"proxy"));
        return result;
    }

    result.m_positional = parser.positionalArguments();
    switch (result.m_mode) {
    case Mode::Window:
        for (const QString &argument : std::as_const(result.m_positional)) {
            if (!isGopherUrl(argument)) {
                result.m_error = QStringLiteral("not a gopher URL: %1").arg(argument);
                return result;
            }
        }
        break;
    case Mode::Dump:
    case Mode::Print:
        if (result.m_positional.size() != 1) {
            result.m_error = result.m_positional.isEmpty()
                                 ? QStringLiteral("%1 needs a URL").arg(dashed(chosen->names.last()))
                                 : QStringLiteral("%1 takes one URL, not %2 arguments")
                                       .arg(dashed(chosen->names.last()))
                                       .arg(result.m_positional.size());
        }
        break;
    case Mode::ExportBookmarks:
    case Mode::ImportBookmarks:
    case Mode::History:
        if (!result.m_positional.isEmpty())
            result.m_error = QStringLiteral("unexpected argument '%1'").arg(result.m_positional.first());
        break;
    case Mode::Help:
    case Mode::Version:
        break;
    }
    return result;
}

bool ProgramOptions::isSet(QStringView name) const
{
    for (const auto &[option, values] : m_values) {
        if (option == name)
            return true;
    }
    return false;
}

QStringList ProgramOptions::values(QStringView name) const
{
    for (const auto &[option, values] : m_values) {
        if (option == name)
            return values;
    }
    return {};
}

QString ProgramOptions::value(QStringView name) const
{
    const QStringList all = values(name);
    return all.isEmpty() ? QString() : all.last();
}

QByteArrayList ProgramOptions::urls() const
{
    QByteArrayList urls;
    if (m_mode != Mode::Window)
        return urls;
    for (const QString &argument : m_positional)
        urls.append(argument.toUtf8());
    return urls;
}

NetworkOptions ProgramOptions::networkOptions() const
{
    NetworkOptions network;
    if (isSet(u"proxy"))
        network.proxy = ProxySetting::fromUrl(value(u"proxy").toUtf8());
    network.trustNewCertificate = isSet(u"trust-new-certificate");
    return network;
}

QString ProgramOptions::configDirectory(const QProcessEnvironment &env) const
{
    if (isSet(u"I"))
        return value(u"I");
    return env.value(QStringLiteral("TWK_CONFIG"));
}

QString ProgramOptions::usageText()
{
    const QString program = QStringLiteral("tarnwick [-I DIR]");
    QString text = QStringLiteral("usage: ") + program + QStringLiteral(" [URL...]\n");
    for (const Option &option : options()) {
        if (!option.selects || *option.selects == Mode::Help || *option.selects == Mode::Version)
            continue;
        const Mode mode = *option.selects;
        QString line = QStringLiteral("       ") + program + u' ' + spelled(option);
        if (mode == Mode::Dump || mode == Mode::Print)
            line += QStringLiteral(" URL");
        // The options of this mode besides those of every mode.
        for (const Option &other : options()) {
            if (!other.selects && (other.modes & bit(mode)) && other.modes != InEveryMode) {
                line += QStringLiteral(" [OPTION...]");
                break;
            }
        }
        text += line + u'\n';
    }
    return text + QStringLiteral("Try 'tarnwick --help' for more.\n");
}

QString ProgramOptions::helpText()
{
    QString text = QStringLiteral("Tarnwick, a desktop client for Gopher and Gopher+.\n\n");
    QString usage = usageText();
    usage.truncate(usage.lastIndexOf(QLatin1String("Try ")));
    text += usage;
    text += QStringLiteral("\nOptions:\n");
    for (const Option &option : options()) {
        QString description = option.description;
        if (!option.selects && option.modes != InEveryMode)
            description += ((option.modes & InWindow) ? QStringLiteral(" (in the windows and with %1)")
                                                       : QStringLiteral(" (with %1)"))
                               .arg(choosers(option.modes));
        QString line = QStringLiteral("  ") + spelled(option);
        if (line.size() + 2 > DescriptionColumn)
            line += u'\n' + QString(DescriptionColumn, u' ');
        else
            line = line.leftJustified(DescriptionColumn);
        text += line + wrapped(description, DescriptionColumn, LineWidth) + u'\n';
    }
    text += QStringLiteral(
        "\nWithout a mode option the windows open, on the URLs given or on the home gopher;\n"
        "when Tarnwick runs already, the URLs are handed to it. See tarnwick(1).\n");
    return text;
}

QString ProgramOptions::versionText()
{
    return QStringLiteral("Tarnwick " TWK_VERSION "\n");
}

int ProgramOptions::usageError(const QString &reason)
{
    writeTo(stderr, QStringLiteral("tarnwick: ") + reason + u'\n' + usageText());
    return 2;
}

std::optional<int> ProgramOptions::answerWithoutRunning() const
{
    if (!ok())
        return usageError(m_error);
    if (m_mode == Mode::Help) {
        writeTo(stdout, helpText());
        return 0;
    }
    if (m_mode == Mode::Version) {
        writeTo(stdout, versionText());
        return 0;
    }
    return std::nullopt;
}
