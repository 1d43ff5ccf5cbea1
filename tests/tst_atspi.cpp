// What a screen reader hears of the running program on a display and session bus of its own,
// read by tests/atspi_reader.py; skipped, with the reason, where these cannot be had.

#include "tests/support/testservers.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

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

// Runs the reader and skips the test where it cannot run; heard is its answer.
#define HEAR(heard, ...)                                                                   \
    const QJsonObject heard = read(__VA_ARGS__);                                           \
    if (heard.contains("skipped"_L1))                                                      \
        QSKIP(qPrintable(heard.value("skipped"_L1).toString()));                           \
    QVERIFY(!heard.isEmpty())

class tst_Atspi : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void mainMenuAndText();
    void gazetteBannerIsSkipped();
    void askFormIsFilledByKeys();

private:
    // The reader's JSON answer on the program with these settings and arguments, or {}.
    QJsonObject read(const QByteArray &settings, const QStringList &arguments, const QString &path);

    std::unique_ptr<TestServer> m_server;
};

void tst_Atspi::initTestCase()
{
    QStandardPaths::setTestModeEnabled(true);
    for (const char *tool : {"dbus-run-session", "Xvfb"}) {
        if (QStandardPaths::findExecutable(QString::fromLatin1(tool)).isEmpty())
            QSKIP(qPrintable(u"%1 is not installed"_s.arg(QLatin1String(tool))));
    }
    m_server = TestServer::pygopherd(QStringLiteral(TWK_SOURCE_DIR "/share/gopherspace"));
    QVERIFY2(m_server, qPrintable(TestServer::lastError()));
}

QJsonObject tst_Atspi::read(const QByteArray &settings, const QStringList &arguments, const QString &path)
{
    QTemporaryDir dir;
    QFile ini(dir.filePath(u"tarnwick.ini"_s));
    if (!dir.isValid() || !ini.open(QIODevice::WriteOnly) || ini.write(settings) != settings.size())
        return {};
    ini.close();

    QProcess reader;
    const QStringList command = QStringList{u"--"_s, u"/usr/bin/python3"_s, QStringLiteral(TWK_TESTS_DIR "/atspi_reader.py"),
                                            u"--program"_s, QStringLiteral(TWK_BINARY), u"--config"_s, dir.path()}
                                + arguments + QStringList{u"--"_s, m_server->url(path)};
    QSignalSpy finished(&reader, &QProcess::finished);
    reader.start(u"dbus-run-session"_s, command);
    if (!finished.wait(180000)) {
        reader.kill();
        reader.waitForFinished();
        return {};
    }
    const QByteArray errors = reader.readAllStandardError();
    if (reader.exitCode() == SkipStatus) {
        const QByteArray reason = errors.trimmed().split('\n').constLast();
        qInfo("%s", reason.constData());
        return {{u"skipped"_s, QString::fromLocal8Bit(reason)}};
    }
    const QJsonDocument answer = QJsonDocument::fromJson(reader.readAllStandardOutput().trimmed().split('\n').constLast());
    if (reader.exitCode() != 0 || !answer.isObject()) {
        qWarning("%s", errors.constData());
        return {};
    }
    return answer.object();
}

void tst_Atspi::mainMenuAndText()
{
    // The sample's main menu; Home, Downs to "About Tarnwick", Return opens it; three Downs in the text.
    HEAR(heard, "[Settings]\nWindowPos=0,1,-1,-1,-1,-1,0,0,1000,640\n",
         u"--keys-in-list Down Down Down Down Down Return --texts 1 --keys 3"_s.split(u' '), QString());

    const QStringList rows = strings(heard.value("rows"_L1));
    QVERIFY2(rows.size() > 20, qPrintable(rows.join(u'|')));
    QCOMPARE(rows.mid(0, 7), (QStringList{u"Welcome to the Tarnwick sample gopherspace"_s, QString(),
                                          u"This little tree is served from share/gopherspace by pygopherd"_s,
                                          u"on 127.0.0.1 while Tarnwick runs. Everything here is local."_s,
                                          QString(), u"Text: About Tarnwick"_s, u"Text: A short history of Gopher"_s}));
    QVERIFY(rows.contains(u"Phone book: The staff phone book (CSO)"_s));
    QVERIFY(rows.contains(u"GIF image: A tiny picture of a tarn (GIF)"_s));
    // Home keeps the first row; each Down is heard, then the text Return opened.
    const QStringList focused = strings(heard.value("focused"_L1));
    QVERIFY2(!focused.isEmpty(), "no focus heard");
    QCOMPARE(focused.constLast(), u"About Tarnwick"_s);
    QCOMPARE(focused.mid(0, 5), (QStringList{QString(), rows.at(2), rows.at(3), QString(), u"Text: About Tarnwick"_s}));

    const QJsonArray texts = heard.value("texts"_L1).toArray();
    QCOMPARE(texts.size(), 1);
    const QJsonObject text = texts.at(0).toObject();
    QCOMPARE(text.value("name"_L1).toString(), u"About Tarnwick"_s);
    QCOMPARE(text.value("role"_L1).toString(), u"text"_s);
    QFile about(QStringLiteral(TWK_SOURCE_DIR "/share/gopherspace/about.txt"));
    QVERIFY(about.open(QIODevice::ReadOnly));
    const QString content = QString::fromUtf8(about.readAll()).trimmed();
    QCOMPARE(text.value("characters"_L1).toInt(), content.size());
    // Each Down is heard as a caret move to the next line, which is read.
    const QStringList lines = content.split(u'\n');
    QStringList first;
    QJsonArray read;
    QJsonArray caret;
    int offset = 0;
    for (int i = 0; i < 3; ++i) {
        first.append(lines.at(i) + u'\n');
        offset += int(lines.at(i).size()) + 1;
        read.append(QJsonArray{offset, QString(lines.at(i + 1) + u'\n')});
        caret.append(offset);
    }
    QCOMPARE(strings(text.value("lines"_L1)).mid(0, 3), first);
    QCOMPARE(text.value("read"_L1).toArray(), read);
    QCOMPARE(text.value("caret"_L1).toArray(), caret);
    QVERIFY(heard.value("inserted"_L1).toInt() >= 1);
}

void tst_Atspi::gazetteBannerIsSkipped()
{
    // Authored, the banner is one "Picture" row, and Ctrl+Down goes block by block past it.
    HEAR(heard, "[Settings]\nWindowPos=0,1,-1,-1,-1,-1,0,0,1000,640\n[Options]\nMenu as Authored=1\n",
         u"--keys-in-list ctrl+Down ctrl+Down Down"_s.split(u' '), u"1/gazette"_s);
    const QStringList rows = strings(heard.value("rows"_L1));
    QVERIFY2(!rows.isEmpty(), "no rows");
    QCOMPARE(rows.at(0), u"Picture, 5 lines"_s);
    QCOMPARE(strings(heard.value("focused"_L1)),
             (QStringList{u"A page written the way gopherholes are written today: headings, paragraphs and a banner "
                          u"in info lines, links between. View > Menu as Authored shows it in the author's order."_s,
                          u"== From the shelves =="_s, u"Directory: Field notes"_s}));
}

void tst_Atspi::askFormIsFilledByKeys()
{
    // The visitors' book, typed into and walked with Tab; questions named by their prompts,
    // choices in groups named by theirs.
    HEAR(heard, "[Settings]\nWindowPos=0,1,-1,-1,-1,-1,0,0,1000,1000\n", {u"--form"_s, u"Your name"_s, u"--tabs"_s, u"7"_s},
         u"0/visitors.txt%09%2B"_s);
    QCOMPARE(heard.value("typed"_L1).toString(), u"A. Walker and Ann"_s);
    QStringList controls;
    for (const QJsonValue &control : heard.value("controls"_L1).toArray())
        controls.append(control[0].toString() + u" ("_s + control[1].toString() + u')');
    QCOMPARE(controls,
             (QStringList{u"Your name (text)"_s, u"A password you will not need (password text)"_s,
                          u"A few lines about your walk (text)"_s, u"A file name to suggest (text)"_s,
                          u"Send me the tarn's news (check box)"_s, u"I walked in the rain (check box)"_s,
                          u"How did you come? (panel)"_s, u"on foot (radio button)"_s, u"by bicycle (radio button)"_s,
                          u"by boat (radio button)"_s, u"by train (radio button)"_s, u"by coach (radio button)"_s,
                          u"by balloon (radio button)"_s, u"The weather (panel)"_s, u"sun (radio button)"_s,
                          u"cloud (radio button)"_s, u"rain (radio button)"_s, u"snow (radio button)"_s,
                          u"A photo or a note to upload (push button)"_s, u"Send the file as (panel)"_s,
                          u"Text (radio button)"_s, u"Binary (radio button)"_s, u"Send (push button)"_s}));
    // Tab goes from question to question, heard by its prompt; a group of choices is one stop.
    QCOMPARE(strings(heard.value("focused"_L1)),
             (QStringList{u"A password you will not need"_s, u"A few lines about your walk"_s,
                          u"A file name to suggest"_s, u"Send me the tarn's news"_s, u"I walked in the rain"_s,
                          u"on foot"_s, u"sun"_s}));
}

QTEST_GUILESS_MAIN(tst_Atspi)
#include "tst_atspi.moc"
