// What a screen reader hears of the running program: Tarnwick on a display
// of its own (Xvfb), read over AT-SPI on a session bus of its own, by the
// reader tests/atspi_reader.py (pyatspi, as Orca reads), with the keys typed
// through the accessibility registry. Skipped, with the reason, where no bus,
// display or pyatspi can be had.

#include "tests/support/testservers.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

namespace {

constexpr int SkipStatus = 77; // the reader's "cannot run here"

QStringList strings(const QJsonValue &value)
{
    QStringList list;
    for (const QJsonValue &v : value.toArray())
        list.append(v.toString());
    return list;
}

} // namespace

class tst_Atspi : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();
    void mainMenuAndText();
    void gazetteBannerIsSkipped();
    void askFormIsFilledByKeys();

private:
    // Runs the reader on the program with settings (the INI text) and the
    // reader's own arguments; its JSON answer, or fails or skips.
    QJsonObject read(const QByteArray &settings, const QStringList &arguments);

    std::unique_ptr<TestServer> m_server;
    std::unique_ptr<QTemporaryDir> m_dir;
};

void tst_Atspi::initTestCase()
{
    QStandardPaths::setTestModeEnabled(true);
    for (const char *tool : {"dbus-run-session", "Xvfb"}) {
        if (QStandardPaths::findExecutable(QString::fromLatin1(tool)).isEmpty())
            QSKIP(qPrintable(QStringLiteral("%1 is not installed").arg(QLatin1String(tool))));
    }
    m_server = TestServer::pygopherd(QStringLiteral(TWK_SOURCE_DIR "/share/gopherspace"));
    QVERIFY2(m_server, qPrintable(TestServer::lastError()));
}

void tst_Atspi::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
}

QJsonObject tst_Atspi::read(const QByteArray &settings, const QStringList &arguments)
{
    QFile ini(m_dir->filePath(QStringLiteral("tarnwick.ini")));
    if (!ini.open(QIODevice::WriteOnly) || ini.write(settings) != settings.size())
        return {};
    ini.close();

    QProcess reader;
    QStringList command{QStringLiteral("--"), QStringLiteral("/usr/bin/python3"),
                        QStringLiteral(TWK_TESTS_DIR "/atspi_reader.py"), QStringLiteral("--program"),
                        QStringLiteral(TWK_BINARY), QStringLiteral("--config"), m_dir->path()};
    command += arguments;
    QSignalSpy finished(&reader, &QProcess::finished);
    reader.start(QStringLiteral("dbus-run-session"), command);
    if (!finished.wait(180000)) {
        reader.kill();
        reader.waitForFinished();
        return {};
    }
    const QByteArray errors = reader.readAllStandardError();
    if (reader.exitCode() == SkipStatus) {
        // The message ends the test as skipped.
        const QList<QByteArray> lines = errors.trimmed().split('\n');
        qInfo("%s", lines.constLast().constData());
        return {{QStringLiteral("skipped"), QString::fromLocal8Bit(lines.constLast())}};
    }
    const QList<QByteArray> out = reader.readAllStandardOutput().trimmed().split('\n');
    const QJsonDocument answer = QJsonDocument::fromJson(out.constLast());
    if (reader.exitCode() != 0 || !answer.isObject()) {
        qWarning("%s", errors.constData());
        return {};
    }
    return answer.object();
}

void tst_Atspi::mainMenuAndText()
{
    // The sample's main menu; Home, then Down to "About Tarnwick" and Return
    // open it; three Downs in the text.
    const QJsonObject heard = read("[Settings]\nWindowPos=0,1,-1,-1,-1,-1,0,0,1000,640\n",
                                   {QStringLiteral("--keys-in-list"), QStringLiteral("Down"),
                                    QStringLiteral("Down"), QStringLiteral("Down"),
                                    QStringLiteral("Down"), QStringLiteral("Down"),
                                    QStringLiteral("Return"), QStringLiteral("--texts"),
                                    QStringLiteral("1"), QStringLiteral("--keys"), QStringLiteral("3"),
                                    QStringLiteral("--"), m_server->url()});
    if (heard.contains(QLatin1String("skipped")))
        QSKIP(qPrintable(heard.value(QLatin1String("skipped")).toString()));
    QVERIFY(!heard.isEmpty());

    const QStringList rows = strings(heard.value(QLatin1String("rows")));
    QVERIFY2(rows.size() > 20, qPrintable(rows.join(u'|')));
    QCOMPARE(rows.mid(0, 7),
             (QStringList{QStringLiteral("Welcome to the Tarnwick sample gopherspace"), QString(),
                          QStringLiteral("This little tree is served from share/gopherspace by pygopherd"),
                          QStringLiteral("on 127.0.0.1 while Tarnwick runs. Everything here is local."),
                          QString(), QStringLiteral("Text: About Tarnwick"),
                          QStringLiteral("Text: A short history of Gopher")}));
    QVERIFY(rows.contains(QStringLiteral("Phone book: The staff phone book (CSO)")));
    QVERIFY(rows.contains(QStringLiteral("GIF image: A tiny picture of a tarn (GIF)")));
    // Home keeps the first row; each Down is heard, then the text Return opened.
    const QStringList focused = strings(heard.value(QLatin1String("focused")));
    QVERIFY2(!focused.isEmpty(), "no focus heard");
    QCOMPARE(focused.constLast(), QStringLiteral("About Tarnwick"));
    QCOMPARE(focused.mid(0, 5),
             (QStringList{QString(),
                          QStringLiteral("This little tree is served from share/gopherspace by pygopherd"),
                          QStringLiteral("on 127.0.0.1 while Tarnwick runs. Everything here is local."),
                          QString(), QStringLiteral("Text: About Tarnwick")}));

    const QJsonArray texts = heard.value(QLatin1String("texts")).toArray();
    QCOMPARE(texts.size(), 1);
    const QJsonObject text = texts.at(0).toObject();
    QCOMPARE(text.value(QLatin1String("name")).toString(), QStringLiteral("About Tarnwick"));
    QCOMPARE(text.value(QLatin1String("role")).toString(), QStringLiteral("text"));
    QFile about(QStringLiteral(TWK_SOURCE_DIR "/share/gopherspace/about.txt"));
    QVERIFY(about.open(QIODevice::ReadOnly));
    const QString content = QString::fromUtf8(about.readAll()).trimmed();
    QCOMPARE(text.value(QLatin1String("characters")).toInt(), content.size());
    const QStringList lines = content.split(u'\n');
    QCOMPARE(strings(text.value(QLatin1String("lines"))).mid(0, 3),
             (QStringList{lines.at(0) + u'\n', lines.at(1) + u'\n', lines.at(2) + u'\n'}));
    // Each Down is heard as a caret move to the next line, which is read.
    const int second = int(lines.at(0).size()) + 1;
    const int third = second + int(lines.at(1).size()) + 1;
    const int fourth = third + int(lines.at(2).size()) + 1;
    const int offsets[] = {second, third, fourth};
    QJsonArray expected;
    for (int i = 0; i < 3; ++i)
        expected.append(QJsonArray{offsets[i], QString(lines.at(i + 1) + u'\n')});
    QCOMPARE(text.value(QLatin1String("read")).toArray(), expected);
    QCOMPARE(text.value(QLatin1String("caret")).toArray(), (QJsonArray{second, third, fourth}));
    QVERIFY(heard.value(QLatin1String("inserted")).toInt() >= 1);
}

void tst_Atspi::gazetteBannerIsSkipped()
{
    // The gazette as its author wrote it: the banner is one "Picture" row,
    // and Ctrl+Down goes from block to block past it.
    const QJsonObject heard = read("[Settings]\nWindowPos=0,1,-1,-1,-1,-1,0,0,1000,640\n"
                                   "[Options]\nMenu as Authored=1\n",
                                   {QStringLiteral("--keys-in-list"), QStringLiteral("ctrl+Down"),
                                    QStringLiteral("ctrl+Down"), QStringLiteral("Down"),
                                    QStringLiteral("--"), m_server->url(QStringLiteral("1/gazette"))});
    if (heard.contains(QLatin1String("skipped")))
        QSKIP(qPrintable(heard.value(QLatin1String("skipped")).toString()));
    QVERIFY(!heard.isEmpty());
    const QStringList rows = strings(heard.value(QLatin1String("rows")));
    QVERIFY2(!rows.isEmpty(), "no rows");
    QCOMPARE(rows.at(0), QStringLiteral("Picture, 5 lines"));
    const QString paragraph = QStringLiteral(
        "A page written the way gopherholes are written today: headings, paragraphs and a banner "
        "in info lines, links between. View > Menu as Authored shows it in the author's order.");
    QCOMPARE(strings(heard.value(QLatin1String("focused"))),
             (QStringList{paragraph,
                          QStringLiteral("== From the shelves =="),
                          QStringLiteral("Directory: Field notes")}));
}

void tst_Atspi::askFormIsFilledByKeys()
{
    // The visitors' book: typed into and walked with Tab from the keyboard,
    // every question found by its prompt, the choices in groups named by theirs.
    const QJsonObject heard = read("[Settings]\nWindowPos=0,1,-1,-1,-1,-1,0,0,1000,1000\n",
                                   {QStringLiteral("--form"), QStringLiteral("Your name"),
                                    QStringLiteral("--tabs"), QStringLiteral("7"), QStringLiteral("--"),
                                    m_server->url(QStringLiteral("0/visitors.txt%09%2B"))});
    if (heard.contains(QLatin1String("skipped")))
        QSKIP(qPrintable(heard.value(QLatin1String("skipped")).toString()));
    QVERIFY(!heard.isEmpty());
    QCOMPARE(heard.value(QLatin1String("typed")).toString(), QStringLiteral("A. Walker and Ann"));
    QStringList controls;
    for (const QJsonValue &control : heard.value(QLatin1String("controls")).toArray()) {
        const QJsonArray pair = control.toArray();
        controls.append(pair.at(0).toString() + QStringLiteral(" (") + pair.at(1).toString() + u')');
    }
    QCOMPARE(controls,
             (QStringList{
                 QStringLiteral("Your name (text)"),
                 QStringLiteral("A password you will not need (password text)"),
                 QStringLiteral("A few lines about your walk (text)"),
                 QStringLiteral("A file name to suggest (text)"),
                 QStringLiteral("Send me the tarn's news (check box)"),
                 QStringLiteral("I walked in the rain (check box)"),
                 QStringLiteral("How did you come? (panel)"), QStringLiteral("on foot (radio button)"),
                 QStringLiteral("by bicycle (radio button)"), QStringLiteral("by boat (radio button)"),
                 QStringLiteral("by train (radio button)"), QStringLiteral("by coach (radio button)"),
                 QStringLiteral("by balloon (radio button)"), QStringLiteral("The weather (panel)"),
                 QStringLiteral("sun (radio button)"), QStringLiteral("cloud (radio button)"),
                 QStringLiteral("rain (radio button)"), QStringLiteral("snow (radio button)"),
                 QStringLiteral("A photo or a note to upload (push button)"),
                 QStringLiteral("Send the file as (panel)"),
                 QStringLiteral("Text (radio button)"), QStringLiteral("Binary (radio button)"),
                 QStringLiteral("Send (push button)")}));
    // Tab goes from question to question, each heard by its prompt.
    QCOMPARE(strings(heard.value(QLatin1String("focused"))),
             (QStringList{QStringLiteral("A password you will not need"),
                          QStringLiteral("A few lines about your walk"),
                          QStringLiteral("A file name to suggest"),
                          QStringLiteral("Send me the tarn's news"),
                          QStringLiteral("I walked in the rain"),
                          // A group of choices is one stop: its chosen one.
                          QStringLiteral("on foot"), QStringLiteral("sun")}));
}

QTEST_GUILESS_MAIN(tst_Atspi)
#include "tst_atspi.moc"
