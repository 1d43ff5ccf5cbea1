#include "app/tarnwickapp.h"
#include "documents/gopherdir.h"
#include "documents/gophertextdoc.h"
#include "documents/userinterface.h"
#include "documents/windowregistry.h"
#include "gplus/askform.h"
#include "gplus/asktext.h"
#include "net/transactionengine.h"
#include "tests/support/testservers.h"

#include <QDir>
#include <QFile>
#include <QPointer>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

namespace {

const QByteArray Cut("The ask form was longer than 32766 bytes; only its first part is shown.");

QByteArray kinds(const AskForm &form)
{
    QList<QByteArray> words;
    for (int i = 0; i < form.count(); ++i)
        words.append(form.item(i)->keyword());
    return words.join(',');
}

// Answers the form's answering items in order; "@name" stands for the path
// of a file of the test's directory.
bool answerForm(AskForm &form, const QList<QByteArray> &answers, const QString &dir,
                UserInterface *ui)
{
    const QList<CAskItem *> items = form.answeringItems();
    for (int i = 0; i < answers.size() && i < items.size(); ++i) {
        QByteArray answer = answers.at(i);
        if (answer.startsWith('@'))
            answer = QFile::encodeName(dir + u'/' + QString::fromLatin1(answer.mid(1)));
        QByteArray error;
        if (!AskForm::setAnswer(items.at(i), answer, ui, &error)) {
            qWarning("answer %d: %s", i, error.constData());
            return false;
        }
    }
    return true;
}

QByteArray everyByte(int repeats)
{
    QByteArray bytes;
    for (int r = 0; r < repeats; ++r)
        for (int b = 0; b < 256; ++b)
            bytes += char(b);
    return bytes;
}

struct Program
{
    explicit Program(const QString &settingsPath)
    {
        app.setSettingsPath(settingsPath);
        app.registerDefaultTemplates();
        QObject::connect(&app, &CTarnwickApp::documentOpened, &app,
                         [this](CTarnwickDoc *doc) { opened.append(doc); });
    }
    bool idle() const { return engine.registry().documentCount() == 0; }
    QList<QByteArray> messages() const
    {
        QList<QByteArray> texts;
        for (const auto &m : ui.messages)
            texts.append(m.text);
        return texts;
    }

    RecordingUserInterface ui;
    CTarnwickApp app{ui};
    TransactionEngine &engine = app.engine();
    QList<QPointer<CTarnwickDoc>> opened;
};

// Opens the ask form "/form" of the server on port as the bookmark of a form
// would; nullptr when no ask document opens.
QPointer<CAskText> openForm(Program &program, char type, quint16 port, bool gopherPlus)
{
    CBookmark item(type, "Form", "/form", "127.0.0.1", port);
    item.SetGopherPlus(gopherPlus);
    item.SetAskForm(true);
    return qobject_cast<CAskText *>(program.app.OpenItem(item, 0, 0));
}

QByteArray askReply(const QList<QByteArray> &askLines)
{
    QByteArray reply = "+-1\r\n+INFO: 0Form\t/form\t127.0.0.1\t70\t?\r\n+ASK:\r\n";
    for (const QByteArray &line : askLines)
        reply += ' ' + line + "\r\n";
    return reply + ".\r\n";
}

QByteArray route(const QByteArray &match, const QByteArray &steps)
{
    return R"({"match": )" + TestServer::jsonBytes(match) + R"(, "steps": [)" + steps + "]}";
}

QByteArray sendStep(const QByteArray &bytes)
{
    return R"({"send": )" + TestServer::jsonBytes(bytes) + "}";
}

} // namespace

class tst_Ask : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();

    void lineSyntax_data();
    void lineSyntax();
    void formItems_data();
    void formItems();
    void replyBytes_data();
    void replyBytes();
    void uploadFile_data();
    void uploadFile();
    void chooseFileSetsEveryChooser();
    void sendOverNetwork_data();
    void sendOverNetwork();
    void pygopherdForm();
    void sendRefused_data();
    void sendRefused();
    void hostileAskReplies_data();
    void hostileAskReplies();

private:
    std::unique_ptr<QTemporaryDir> m_dir;
};

void tst_Ask::initTestCase()
{
    QStandardPaths::setTestModeEnabled(true);
}

void tst_Ask::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
}

void tst_Ask::lineSyntax_data()
{
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<QByteArray>("keyword"); // empty: not an item
    QTest::addColumn<QByteArray>("prompt");
    QTest::addColumn<QByteArray>("detail"); // default, or the choices joined by '|'
    QTest::addColumn<QByteArray>("reply");

    QTest::newRow("ask with a default") << QByteArray("Ask: Your name\tJo") << QByteArray("ask")
                                        << QByteArray("Your name") << QByteArray("Jo")
                                        << QByteArray("Jo");
    QTest::newRow("a second tab belongs to the default")
        << QByteArray("Ask: Name\tJo\tSmith") << QByteArray("ask") << QByteArray("Name")
        << QByteArray("Jo\tSmith") << QByteArray("Jo\tSmith");
    QTest::newRow("keyword in capitals, no blank, no default")
        << QByteArray("ASK:Name") << QByteArray("ask") << QByteArray("Name") << QByteArray()
        << QByteArray();
    QTest::newRow("password: the default stays out of the field")
        << QByteArray("AskP: Password\tsecret") << QByteArray("askp") << QByteArray("Password")
        << QByteArray("secret") << QByteArray();
    QTest::newRow("multi-line: empty field is one empty line")
        << QByteArray("AskL: Comments\tsome") << QByteArray("askl") << QByteArray("Comments")
        << QByteArray("some") << QByteArray("1\r\n");
    QTest::newRow("file name") << QByteArray("AskF: File name\tnotes.txt") << QByteArray("askf")
                               << QByteArray("File name") << QByteArray("notes.txt")
                               << QByteArray("notes.txt");
    QTest::newRow("select with colon, tab and 1 starts checked")
        << QByteArray("Select: Subscribe:\t1") << QByteArray("select")
        << QByteArray("Subscribe") << QByteArray("1") << QByteArray("1");
    QTest::newRow("select without default starts unchecked")
        << QByteArray("Select: Subscribe") << QByteArray("select") << QByteArray("Subscribe")
        << QByteArray("0") << QByteArray("0");
    QTest::newRow("select: only colon-tab ends the label")
        << QByteArray("Select: Tea: milk:\tyes") << QByteArray("select")
        << QByteArray("Tea: milk") << QByteArray("yes") << QByteArray("0");
    QTest::newRow("choose keeps an empty middle choice, not a last one")
        << QByteArray("Choose: Colour\tred\t\tblue\t") << QByteArray("choose")
        << QByteArray("Colour") << QByteArray("red||blue") << QByteArray("red");
    QTest::newRow("choose without choices") << QByteArray("Choose: Colour\t")
                                            << QByteArray("choose") << QByteArray("Colour")
                                            << QByteArray() << QByteArray("<none>");
    QTest::newRow("choosef ignores what follows its tab")
        << QByteArray("ChooseF: Your file\tignored") << QByteArray("choosef")
        << QByteArray("Your file") << QByteArray() << QByteArray();
    QTest::newRow("a blank before the keyword: unknown")
        << QByteArray("\tAsk: Name") << QByteArray() << QByteArray() << QByteArray()
        << QByteArray();
    QTest::newRow("an unknown keyword") << QByteArray("Question: Name") << QByteArray()
                                        << QByteArray() << QByteArray() << QByteArray();
}

void tst_Ask::lineSyntax()
{
    QFETCH(QByteArray, line);
    QFETCH(QByteArray, keyword);
    QFETCH(QByteArray, prompt);
    QFETCH(QByteArray, detail);
    QFETCH(QByteArray, reply);

    AskForm form({line});
    if (keyword.isEmpty()) {
        QCOMPARE(form.count(), 0);
        QCOMPARE(form.unknownCount(), 1);
        return;
    }
    QCOMPARE(form.count(), 1);
    CAskItem *item = form.item(0);
    QCOMPARE(item->keyword(), keyword);
    QCOMPARE(item->prompt(), prompt);
    QCOMPARE(item->GetReply(), reply);
    if (auto *ask = dynamic_cast<CAIAsk *>(item))
        QCOMPARE(ask->defaultText(), detail);
    else if (auto *select = dynamic_cast<CAISelect *>(item))
        QCOMPARE(select->defaultText(), detail);
    else if (auto *choose = dynamic_cast<CAIChoose *>(item))
        QCOMPARE(choose->choices().join('|'), detail);
}

void tst_Ask::formItems_data()
{
    QTest::addColumn<QList<QByteArray>>("lines");
    QTest::addColumn<QByteArray>("kinds");
    QTest::addColumn<QByteArray>("status");
    QTest::addColumn<QByteArray>("message");

    QTest::newRow("consecutive notes are one item")
        << QList<QByteArray>{"Note: a", "note: b", "Ask: q", "Note: c"}
        << QByteArray("note,ask,note") << QByteArray("Found 3 ask items") << QByteArray();
    QTest::newRow("three items, two unknown lines")
        << QList<QByteArray>{"Ask: a", "Foo: 1", "Select: b", "Bar: 2", "Choose: c\tx"}
        << QByteArray("ask,select,choose") << QByteArray("Found 3 ask items and 2 unknown items")
        << QByteArray("Encountered the following unknown items:\r\n\r\nFoo: 1\r\nBar: 2\r\n");
    QTest::newRow("one item, one unknown line")
        << QList<QByteArray>{"Ask: a", "Foo: 1"} << QByteArray("ask")
        << QByteArray("Found 1 ask item and 1 unknown item")
        << QByteArray("Encountered the following unknown items:\r\n\r\nFoo: 1\r\n");
    QTest::newRow("a blank keyword is ignored but parts notes")
        << QList<QByteArray>{"Note: a", " \t: x", "Note: b"} << QByteArray("note,note")
        << QByteArray("Found 2 ask items") << QByteArray();
}

void tst_Ask::formItems()
{
    QFETCH(QList<QByteArray>, lines);
    QFETCH(QByteArray, kinds);
    QFETCH(QByteArray, status);
    QFETCH(QByteArray, message);

    AskForm form(lines);
    QCOMPARE(::kinds(form), kinds);
    QCOMPARE(form.statusText(), status);
    QCOMPARE(form.unknownMessage(), message);
}

void tst_Ask::replyBytes_data()
{
    QTest::addColumn<QByteArray>("selector");
    QTest::addColumn<char>("type");
    QTest::addColumn<QList<QByteArray>>("lines");
    QTest::addColumn<QList<QByteArray>>("answers");
    QTest::addColumn<QByteArray>("request");

    const QList<QByteArray> everyKind{"Note: Tell us", "Ask: Name\tJo\tSmith", "AskP: Pw\tx",
                                      "AskL: Text\tx", "AskF: F\tf.txt", "Select: S:\t1",
                                      "Choose: C\tred\t\tblue\t"};
    QTest::newRow("the example: a name and an unchecked box")
        << QByteArray("S\r\n") << '0' << QList<QByteArray>{"Ask: Name", "Select: Tea"}
        << QList<QByteArray>{"Ann", "0"} << QByteArray("S\t+\t1\r\n+-1\r\nAnn\r\n0\r\n.\r\n");
    QTest::newRow("notes only send nothing") << QByteArray("S\r\n") << '0'
                                             << QList<QByteArray>{"Note: a", "Note: b"}
                                             << QList<QByteArray>{}
                                             << QByteArray("S\t+\t1\r\n+-1\r\n.\r\n");
    QTest::newRow("every kind as it starts")
        << QByteArray("/f\r\n") << '0' << everyKind << QList<QByteArray>{}
        << QByteArray("/f\t+\t1\r\n+-1\r\nJo\tSmith\r\n\r\n1\r\n\r\nf.txt\r\n1\r\nred\r\n.\r\n");
    QTest::newRow("every kind answered")
        << QByteArray("/f\r\n") << '0' << everyKind
        << QList<QByteArray>{"Ann", "pw", "one\ntwo\nthree", "a.txt", "0", "blue"}
        << QByteArray("/f\t+\t1\r\n+-1\r\nAnn\r\npw\r\n3\r\none\r\ntwo\r\nthree\r\na.txt\r\n0\r\n"
                      "blue\r\n.\r\n");
    QTest::newRow("multi-line with CR LF and a last empty line")
        << QByteArray("/f\r\n") << '0' << QList<QByteArray>{"AskL: T"}
        << QList<QByteArray>{"a\r\nb\n"} << QByteArray("/f\t+\t1\r\n+-1\r\n3\r\na\r\nb\r\n\r\n.\r\n");
    QTest::newRow("the empty choice") << QByteArray("/f\r\n") << '0'
                                      << QList<QByteArray>{"Choose: C\tred\t\tblue"}
                                      << QList<QByteArray>{""}
                                      << QByteArray("/f\t+\t1\r\n+-1\r\n\r\n.\r\n");
    QTest::newRow("a directory asks with $") << QByteArray("/d\r\n") << '1'
                                             << QList<QByteArray>{"Ask: Q"}
                                             << QList<QByteArray>{"x"}
                                             << QByteArray("/d\t$\t1\r\n+-1\r\nx\r\n.\r\n");
    QTest::newRow("a selector with a view keeps it")
        << QByteArray("/f\t+text/plain\r\n") << '0' << QList<QByteArray>{"Ask: Q"}
        << QList<QByteArray>{"x"} << QByteArray("/f\t+text/plain\t1\r\n+-1\r\nx\r\n.\r\n");
}

void tst_Ask::replyBytes()
{
    QFETCH(QByteArray, selector);
    QFETCH(char, type);
    QFETCH(QList<QByteArray>, lines);
    QFETCH(QList<QByteArray>, answers);
    QFETCH(QByteArray, request);

    AskForm form(lines);
    RecordingUserInterface ui;
    QVERIFY(answerForm(form, answers, m_dir->path(), &ui));
    QCOMPARE(AskForm::requestLine(selector, type)
                 + AskForm::dataBlock(form.replyLines(), AskForm::NoUpload, 0),
             request);
}

void tst_Ask::uploadFile_data()
{
    QTest::addColumn<QByteArray>("content"); // "<missing>" and "<directory>" are no files
    QTest::addColumn<int>("mode");
    QTest::addColumn<QByteArray>("message"); // with %1 for the path

    QTest::newRow("letters, digits, punctuation, blanks and line ends")
        << QByteArray("Dear Sir,\r\n\tthe 3 tarns (north) are cold!\n\f\v") << int(CAIChooseF::Text)
        << QByteArray();
    QTest::newRow("a zero byte") << QByteArray("text\0more", 9) << int(CAIChooseF::Binary)
                                 << QByteArray();
    QTest::newRow("UTF-8 is not plain ASCII") << QByteArray("caf\xc3\xa9") << int(CAIChooseF::Binary)
                                              << QByteArray();
    QTest::newRow("DEL") << QByteArray("a\x7f") << int(CAIChooseF::Binary) << QByteArray();
    QTest::newRow("only the first 512 bytes count")
        << QByteArray(512, 'a') + '\0' << int(CAIChooseF::Text) << QByteArray();
    QTest::newRow("an empty file") << QByteArray() << int(CAIChooseF::NoMode)
                                   << QByteArray("The file %1 is empty!  Please try again. ");
    QTest::newRow("a missing file") << QByteArray("<missing>") << int(CAIChooseF::NoMode)
                                    << QByteArray("The file %1 was not readable.  Please try again. ");
    QTest::newRow("a directory") << QByteArray("<directory>") << int(CAIChooseF::NoMode)
                                 << QByteArray("The file %1 was not readable.  Please try again. ");
}

void tst_Ask::uploadFile()
{
    QFETCH(QByteArray, content);
    QFETCH(int, mode);
    QFETCH(QByteArray, message);

    const QString path = m_dir->filePath(QStringLiteral("upload"));
    if (content == "<directory>") {
        QVERIFY(QDir(m_dir->path()).mkdir(QStringLiteral("upload")));
    } else if (content != "<missing>") {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(content);
    }
    RecordingUserInterface ui;
    CAIChooseF item("ChooseF: File");
    QCOMPARE(item.SetFile(path, &ui), message.isEmpty());
    QCOMPARE(int(item.mode()), mode);
    if (message.isEmpty()) {
        QVERIFY(ui.messages.isEmpty());
        QCOMPARE(item.path(), path);
    } else {
        QCOMPARE(ui.messages.size(), 1);
        QCOMPARE(ui.messages.at(0).text, message.replace("%1", QFile::encodeName(path)));
        QCOMPARE(ui.messages.at(0).buttons, UserInterface::OkCancel);
        QCOMPARE(item.path(), QString());
    }
}

void tst_Ask::chooseFileSetsEveryChooser()
{
    const QString path = m_dir->filePath(QStringLiteral("a.txt"));
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("hello\n");
    file.close();

    Program program(m_dir->filePath(QStringLiteral("tarnwick.ini")));
    CBookmark item('0', "Form", "/form", "127.0.0.1", 70);
    item.SetGopherPlus(true);
    item.SetAskForm(true);
    item.attributeText = "Extended information: <none>\r\n";
    item.askLines = {"ChooseF: First", "Ask: Q", "ChooseF: Second"};
    auto *doc = qobject_cast<CAskText *>(program.app.OpenItem(item, 0, 0));
    QVERIFY(doc);
    QVERIFY(doc->form());
    QCOMPARE(doc->lastStatus(), QByteArray("Found 3 ask items"));

    program.ui.fileDialogAnswers = {path};
    doc->chooseUploadFile();
    QCOMPARE(program.ui.fileDialogs.size(), 1);
    const UserInterface::FileDialog &dialog = program.ui.fileDialogs.at(0);
    QCOMPARE(dialog.title, QStringLiteral("Select a file for upload"));
    QCOMPARE(dialog.filter, QStringLiteral("All files (*.*) | *.* ||"));
    QVERIFY(!dialog.save);
    QVERIFY(dialog.mustExist);
    for (int i : {0, 2}) {
        auto *chooser = static_cast<CAIChooseF *>(doc->form()->item(i));
        QCOMPARE(chooser->path(), path);
        QVERIFY(chooser->isText());
    }
    QCOMPARE(doc->form()->uploadItem(), doc->form()->item(2));
}

void tst_Ask::sendOverNetwork_data()
{
    QTest::addColumn<char>("type");
    QTest::addColumn<QList<QByteArray>>("lines");
    QTest::addColumn<QList<QByteArray>>("answers");
    QTest::addColumn<QList<QByteArray>>("files"); // written as "f0", "f1", ...
    QTest::addColumn<QByteArray>("data");       // what follows the request line
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<QByteArray>("shown"); // first line or menu title of the reply

    const QByteArray textReply("+-1\r\nThank you\r\n.\r\n");
    const QByteArray binary = everyByte(1024);
    const QByteArray mixedAnswers = "Ann\r\n3\r\na\r\nb\r\nc\r\n1\r\nblue\r\n";
    const QList<QByteArray> mixed{"Note: Tell us", "Ask: Name", "AskL: Lines", "Select: Tea:\t0",
                                  "Choose: C\tred\tblue", "ChooseF: Upload"};

    QTest::newRow("answers without upload")
        << '0' << QList<QByteArray>{"Ask: Name", "Select: Tea"}
        << QList<QByteArray>{"Ann", "1"} << QList<QByteArray>{}
        << QByteArray("+-1\r\nAnn\r\n1\r\n.\r\n") << textReply << QByteArray("Thank you");
    QTest::newRow("text upload ending in a line feed")
        << '0' << mixed << QList<QByteArray>{"Ann", "a\nb\nc", "1", "blue", "@f0"}
        << QList<QByteArray>{"first line\nsecond line\n"}
        << "+-1\r\n" + mixedAnswers + "first line\nsecond line\n.\r\n" << textReply
        << QByteArray("Thank you");
    QTest::newRow("text upload without a last line end")
        << '0' << QList<QByteArray>{"ChooseF: Upload", "Ask: Name"}
        << QList<QByteArray>{"@f0", "Ann"} << QList<QByteArray>{"one\r\ntwo"}
        << QByteArray("+-1\r\nAnn\r\none\r\ntwo\r\n.\r\n") << textReply
        << QByteArray("Thank you");
    // A "." line would end the block early at the server: such lines of the
    // answers and of a text go with the dot doubled, whatever piece of the
    // file they arrive in.
    QTest::newRow("an answer that is a \".\" line")
        << '0' << QList<QByteArray>{"Ask: Name"} << QList<QByteArray>{"."} << QList<QByteArray>{}
        << QByteArray("+-1\r\n..\r\n.\r\n") << textReply << QByteArray("Thank you");
    QTest::newRow("text upload holding \".\" lines")
        << '0' << QList<QByteArray>{"Ask: Name", "AskL: Lines", "ChooseF: Upload"}
        << QList<QByteArray>{".", "x\n.\n..y", "@f0"} << QList<QByteArray>{"hello\n.\nrest\n..two\n"}
        << QByteArray("+-1\r\n..\r\n3\r\nx\r\n..\r\n...y\r\nhello\n..\nrest\n...two\n.\r\n")
        << textReply << QByteArray("Thank you");
    QByteArray dotted;
    for (int i = 0; i < 1000; ++i)
        dotted += '.' + QByteArray::number(i).rightJustified(62, '-') + '\n';
    QTest::newRow("text of dotted lines over many pieces")
        << '0' << QList<QByteArray>{"ChooseF: Upload"} << QList<QByteArray>{"@f0"}
        << QList<QByteArray>{dotted} << "+-1\r\n" + QByteArray(dotted).replace("\n.", "\n..").prepend('.') + ".\r\n"
        << textReply << QByteArray("Thank you");
    QTest::newRow("binary upload of every byte value")
        << '0' << mixed << QList<QByteArray>{"Ann", "a\nb\nc", "1", "blue", "@f0"}
        << QList<QByteArray>{binary}
        << '+' + QByteArray::number(binary.size() + mixedAnswers.size()) + "\r\n" + mixedAnswers
               + binary
        << textReply << QByteArray("Thank you");
    QTest::newRow("two file choosers: the last one is uploaded")
        << '0' << QList<QByteArray>{"ChooseF: A", "ChooseF: B"}
        << QList<QByteArray>{"@f0", "@f1"} << QList<QByteArray>{"not me\n", QByteArray("\0\1", 2)}
        << QByteArray("+2\r\n\0\1", 6) << textReply << QByteArray("Thank you");
    QTest::newRow("a directory form's reply is a menu")
        << '1' << QList<QByteArray>{"Ask: Where"} << QList<QByteArray>{"north"}
        << QList<QByteArray>{} << QByteArray("+-1\r\nnorth\r\n.\r\n")
        << QByteArray("+-1\r\n0Result\t/r\t127.0.0.1\t70\r\n.\r\n") << QByteArray("Result");
}

void tst_Ask::sendOverNetwork()
{
    QFETCH(char, type);
    QFETCH(QList<QByteArray>, lines);
    QFETCH(QList<QByteArray>, answers);
    QFETCH(QList<QByteArray>, files);
    QFETCH(QByteArray, data);
    QFETCH(QByteArray, reply);
    QFETCH(QByteArray, shown);

    for (int i = 0; i < files.size(); ++i) {
        QFile file(m_dir->filePath(QStringLiteral("f%1").arg(i)));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(files.at(i));
    }
    const QByteArray marker = type == '1' ? "\t$\t1" : "\t+\t1";
    const QByteArray script =
        "[" + route("/form\t!", sendStep(askReply(lines))) + ","
        + route("/form" + marker, R"({"read_data_block": true},)" + sendStep(reply)) + "]";
    auto server = TestServer::scripted(script);
    QVERIFY2(server, qPrintable(TestServer::lastError()));

    Program program(m_dir->filePath(QStringLiteral("tarnwick.ini")));
    QPointer<CAskText> doc = openForm(program, type, server->port(), true);
    QVERIFY(doc);
    QCOMPARE(doc->lastStatus(), QByteArray("Getting ask info ..."));
    QTRY_VERIFY(doc->form());
    QCOMPARE(doc->item().selector, QByteArray("/form\r\n"));
    QVERIFY(answerForm(*doc->form(), answers, m_dir->path(), &program.ui));

    QVERIFY(doc->SubmitForm());
    // Pressed again before the window went away: nothing more is sent.
    QVERIFY(!doc->SubmitForm());
    QCOMPARE(program.opened.size(), 2);
    QPointer<CTarnwickDoc> shownDoc = program.opened.at(1);
    QVERIFY(shownDoc);
    QVERIFY(!shownDoc->item().IsAskForm());
    QTRY_VERIFY(shownDoc->isDone());
    QCOMPARE(shownDoc->endStatus(), 0);
    QTRY_VERIFY(!doc);

    QCOMPARE(server->requests().value(1), "/form" + marker + "\r\n");
    QTRY_COMPARE(server->received().value(1), "/form" + marker + "\r\n" + data);
    if (type == '1') {
        auto *dir = qobject_cast<CGopherDir *>(shownDoc.data());
        QVERIFY(dir);
        QCOMPARE(dir->listCount(), 1);
        QCOMPARE(dir->listItem(0).title, shown);
    } else {
        auto *text = qobject_cast<CGopherTextDoc *>(shownDoc.data());
        QVERIFY(text);
        QCOMPARE(text->store().GetLine(0), shown);
    }
    QVERIFY(program.messages().isEmpty());
}

void tst_Ask::pygopherdForm()
{
    // pygopherd serves a file's ".ask" companion as its "+ASK" block, and
    // marks the item only "+" in menus: the attributes make it a form.
    const QString root = m_dir->filePath(QStringLiteral("tree"));
    QVERIFY(QDir().mkpath(root));
    QVERIFY2(TestServer::writeServedTree(
                 root, {{QStringLiteral("form.txt"), QByteArray("Thank you for writing.\n")},
                        {QStringLiteral("form.txt.ask"),
                         QByteArray("Note: Sign here\nAsk: Name\tJo\tSmith\nSelect: News:\t1\n"
                                    "Choose: Way\ton foot\tby boat\n")}}),
             qPrintable(TestServer::lastError()));
    auto server = TestServer::pygopherd(root);
    QVERIFY2(server, qPrintable(TestServer::lastError()));

    Program program(m_dir->filePath(QStringLiteral("tarnwick.ini")));
    CBookmark item('0', "Form", "/form.txt", "127.0.0.1", server->port());
    item.SetGopherPlus(true);
    QVERIFY(program.app.OpenItem(item, 0, 0));
    QTRY_COMPARE(program.opened.size(), 2);
    QPointer<CAskText> doc = qobject_cast<CAskText *>(program.opened.at(1).data());
    QVERIFY(doc);
    QVERIFY(doc->form());
    QCOMPARE(kinds(*doc->form()), QByteArray("note,ask,select,choose"));
    QCOMPARE(doc->form()->replyLines(), QByteArray("Jo\tSmith\r\n1\r\non foot\r\n"));
    QCOMPARE(doc->lastStatus(), QByteArray("Found 4 ask items"));

    // pygopherd does not read answers: it sends the item back as text.
    QVERIFY(doc->SubmitForm());
    QCOMPARE(program.opened.size(), 3);
    QPointer<CTarnwickDoc> reply = program.opened.at(2);
    QTRY_VERIFY(reply && reply->isDone());
    auto *text = qobject_cast<CGopherTextDoc *>(reply.data());
    QVERIFY(text);
    QCOMPARE(text->store().GetLine(0), QByteArray("Thank you for writing."));
    QVERIFY(program.messages().isEmpty());
}

void tst_Ask::sendRefused_data()
{
    QTest::addColumn<QByteArray>("askReply");
    QTest::addColumn<bool>("formBuilt");
    QTest::addColumn<QByteArray>("message");

    QTest::newRow("no file chosen") << askReply({"Ask: Q", "ChooseF: Upload"}) << true
                                    << QByteArray("\nTarnwick could not open this file!");
    QTest::newRow("attributes without an ask block")
        << QByteArray("+-1\r\n+INFO: 0Form\t/form\t127.0.0.1\t70\t?\r\n+ADMIN:\r\n Admin: x\r\n.\r\n")
        << false << QByteArray("Failed to retrieve ask data");
    QTest::newRow("an empty reply") << QByteArray() << false
                                    << QByteArray("Failed to retrieve ask data");
}

void tst_Ask::sendRefused()
{
    QFETCH(QByteArray, askReply);
    QFETCH(bool, formBuilt);
    QFETCH(QByteArray, message);

    auto server = TestServer::scripted("[" + route("/form\t!", sendStep(askReply)) + "]");
    QVERIFY2(server, qPrintable(TestServer::lastError()));
    Program program(m_dir->filePath(QStringLiteral("tarnwick.ini")));
    QPointer<CAskText> doc = openForm(program, '0', server->port(), false);
    QVERIFY(doc);
    QTRY_VERIFY(program.idle());
    if (formBuilt) {
        QVERIFY(doc && doc->form());
        QVERIFY(!doc->SubmitForm());
        QVERIFY(doc);
        QCOMPARE(program.opened.size(), 1);
    } else {
        QTRY_VERIFY(!doc);
    }
    QCOMPARE(program.messages(), QList<QByteArray>{message});
    QCOMPARE(server->requests().size(), 1);
}

void tst_Ask::hostileAskReplies_data()
{
    QTest::addColumn<QByteArray>("steps");
    QTest::addColumn<int>("count");
    QTest::addColumn<QByteArray>("lastPrompt");
    QTest::addColumn<QList<QByteArray>>("messages");

    QByteArray lines = "+-1\r\n+ASK:\r\n";
    for (int i = 1; i <= 100000; ++i)
        lines += " Ask: Question " + QByteArray::number(i) + "\r\n";
    // What fits below the limit: the whole lines of the first 32766 bytes
    // after the header, less the "+ASK:" line.
    const QByteArray kept = lines.mid(5, CAskText::ReceivedLimit - 1);
    const int whole = int(kept.count("\r\n")) - 1;
    QTest::newRow("an ask block of 100,000 lines, then the server holds")
        << sendStep(lines) + R"(, {"hold": true})" << whole
        << "Question " + QByteArray::number(whole) << QList<QByteArray>{Cut};
    QTest::newRow("an endless ask block")
        << sendStep("+-1\r\n+ASK:\r\n") + R"(, {"endless": " Ask: Again"})"
        << (CAskText::ReceivedLimit - 1 - 7) / 13 << QByteArray("Again")
        << QList<QByteArray>{Cut};
    QTest::newRow("an endless line after one question")
        << sendStep("+-1\r\n+ASK:\r\n Ask: First\r\n Ask: " + QByteArray(200000, 'x'))
               + R"(, {"hold": true})"
        << 1 << QByteArray("First") << QList<QByteArray>{Cut};
    QTest::newRow("a +N reply holding the block is cut at N")
        << sendStep("+22\r\n+ASK:\r\n Ask: Twenty\r\n Ask: Not\r\n") + R"(, {"hold": true})"
        << 1 << QByteArray("Twenty") << QList<QByteArray>{};
}

void tst_Ask::hostileAskReplies()
{
    QFETCH(QByteArray, steps);
    QFETCH(int, count);
    QFETCH(QByteArray, lastPrompt);
    QFETCH(QList<QByteArray>, messages);

    auto server = TestServer::scripted("[" + route("/form\t!", steps) + "]");
    QVERIFY2(server, qPrintable(TestServer::lastError()));
    Program program(m_dir->filePath(QStringLiteral("tarnwick.ini")));
    QPointer<CAskText> doc = openForm(program, '0', server->port(), false);
    QVERIFY(doc);
    QTRY_VERIFY(doc->isDone());
    QVERIFY(program.idle());
    QVERIFY(doc->form());
    QCOMPARE(doc->form()->count(), count);
    QCOMPARE(doc->form()->item(count - 1)->prompt(), lastPrompt);
    QCOMPARE(program.messages(), messages);
    QCOMPARE(doc->lastStatus(), "Found " + QByteArray::number(count) + " ask item"
                                    + (count > 1 ? "s" : ""));
    // What the command-line modes report as cut.
    QCOMPARE(doc->cutNotice(), messages.isEmpty() ? QByteArray()
                                                  : QByteArray("the ask form was cut at 32,766 bytes"));
}

QTEST_GUILESS_MAIN(tst_Ask)
#include "tst_ask.moc"
