#include "settings/profilefile.h"
#include "app/tarnwickapp.h"
#include "documents/userinterface.h"
#include "documents/windowregistry.h"
#include "gplus/asktext.h"
#include "ui/gplus/askview.h"
#include "items/typetable.h"
#include "net/transactionengine.h"
#include "ui/fontmanager.h"
#include "ui/qtuserinterface.h"

#include <QApplication>
#include <QCheckBox>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

namespace {

const QList<QByteArray> EveryKind{"Note: Tell us & more",
                                  "Ask: Name\tJo",
                                  "AskP: Password\tsecret",
                                  "AskL: Lines",
                                  "Select: Tea & milk:\t1",
                                  "Choose: Colour\tred\tgreen\tblue",
                                  "Choose: Empty",
                                  "ChooseF: Upload"};

QString describe(QWidget *w)
{
    if (auto *b = qobject_cast<QAbstractButton *>(w))
        return QString::fromLatin1(w->metaObject()->className()) + u':' + b->text();
    if (auto *e = qobject_cast<QLineEdit *>(w))
        return QStringLiteral("QLineEdit:") + e->text()
               + (e->echoMode() == QLineEdit::Password ? QStringLiteral("(hidden)") : QString());
    return QString::fromLatin1(w->metaObject()->className());
}

} // namespace

class tst_AskView : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();
    void controlsInLineOrder();
    void enterSendsFromSingleLineFieldsOnly_data();
    void enterSendsFromSingleLineFieldsOnly();
    void tabWalksInLineOrder();
    void choicesWrapIntoRowsByWidth();
    void chosenFileShowsItsMode();
    void newFontKeepsTheAnswers();
    void uploadDialogFilter();

private:
    // Opens an ask form whose lines are known (no request) in a view.
    void open(const QList<QByteArray> &lines);

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<RecordingUserInterface> m_ui;
    std::unique_ptr<CTarnwickApp> m_app;
    QPointer<CAskText> m_doc;
    std::unique_ptr<CAskView> m_view;
};

void tst_AskView::initTestCase()
{
    QStandardPaths::setTestModeEnabled(true);
}

void tst_AskView::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    m_ui = std::make_unique<RecordingUserInterface>();
    m_app = std::make_unique<CTarnwickApp>(*m_ui);
    m_app->setSettingsPath(m_dir->filePath(QStringLiteral("tarnwick.ini")));
    // Only the form: the reply of a Send opens nothing, so nothing goes out.
    m_app->addTemplate({TypeTable::AskTemplate,
                        [](const AppContext &c) -> CTarnwickDoc * { return new CAskText(c); }});
}

void tst_AskView::cleanup()
{
    m_view.reset();
    m_app.reset();
}

void tst_AskView::open(const QList<QByteArray> &lines)
{
    CBookmark item('0', "Form", "/form", "127.0.0.1", 70);
    item.SetGopherPlus(true);
    item.SetAskForm(true);
    item.attributeText = "Extended information: <none>\r\n";
    item.askLines = lines;
    m_doc = qobject_cast<CAskText *>(m_app->OpenItem(item, 0, 0));
    QVERIFY(m_doc);
    m_view = std::make_unique<CAskView>(m_doc, nullptr);
    m_view->resize(600, 500);
}

void tst_AskView::controlsInLineOrder()
{
    open(EveryKind);
    QStringList controls;
    for (QWidget *w : m_view->focusOrder())
        controls.append(describe(w));
    QCOMPARE(controls, (QStringList{
                           QStringLiteral("QLineEdit:Jo"),
                           QStringLiteral("QLineEdit:(hidden)"),
                           QStringLiteral("QPlainTextEdit"),
                           QStringLiteral("QCheckBox:Tea && milk"),
                           QStringLiteral("QRadioButton:red"),
                           QStringLiteral("QRadioButton:green"),
                           QStringLiteral("QRadioButton:blue"),
                           QStringLiteral("QPushButton: ... "),
                           QStringLiteral("QRadioButton:Text"),
                           QStringLiteral("QRadioButton:Binary"),
                           QStringLiteral("QPushButton:  Send  "),
                       }));
    const QList<QWidget *> &w = m_view->focusOrder();
    QVERIFY(static_cast<QCheckBox *>(w.at(3))->isChecked());
    QVERIFY(static_cast<QRadioButton *>(w.at(4))->isChecked());
    QVERIFY(!static_cast<QRadioButton *>(w.at(8))->isChecked());
    QVERIFY(!static_cast<QRadioButton *>(w.at(9))->isChecked());

    QStringList labels;
    for (QLabel *label : m_view->widget()->findChildren<QLabel *>())
        labels.append(label->text());
    QVERIFY(labels.contains(QStringLiteral("Tell us & more")));
    QVERIFY(labels.contains(QStringLiteral("<No useful choices provided>")));
    QVERIFY(labels.contains(QStringLiteral("<none>")));
    QStringList boxes;
    for (QGroupBox *box : m_view->widget()->findChildren<QGroupBox *>())
        boxes.append(box->title());
    QVERIFY(boxes.contains(QStringLiteral("Colour")));
    QVERIFY(boxes.contains(QStringLiteral("Empty")));

    // What the user does is what the reply says.
    QTest::keyClicks(w.at(0), QStringLiteral("an"));
    QTest::keyClicks(w.at(1), QStringLiteral("pw"));
    QTest::keyClicks(w.at(2), QStringLiteral("a"));
    QTest::keyClick(w.at(2), Qt::Key_Return);
    QTest::keyClicks(w.at(2), QStringLiteral("b"));
    static_cast<QCheckBox *>(w.at(3))->click();
    static_cast<QRadioButton *>(w.at(6))->click();
    QCOMPARE(m_doc->form()->replyLines(),
             QByteArray("Joan\r\npw\r\n2\r\na\r\nb\r\n0\r\nblue\r\n<none>\r\n"));
}

void tst_AskView::enterSendsFromSingleLineFieldsOnly_data()
{
    QTest::addColumn<int>("control");
    QTest::addColumn<bool>("sends");
    QTest::newRow("single-line field") << 0 << true;
    QTest::newRow("password field") << 1 << true;
    QTest::newRow("multi-line field") << 2 << false;
    QTest::newRow("check box") << 3 << false;
    QTest::newRow("radio button") << 4 << false;
    QTest::newRow("file chooser button") << 7 << false;
    QTest::newRow("the Send button itself") << 10 << true;
}

void tst_AskView::enterSendsFromSingleLineFieldsOnly()
{
    QFETCH(int, control);
    QFETCH(bool, sends);
    open(EveryKind);
    // A file, so that a Send is not refused for want of one.
    const QString path = m_dir->filePath(QStringLiteral("up.txt"));
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("text\n");
    file.close();
    QVERIFY(m_doc->setUploadFile(path));

    QSignalSpy closing(m_doc.data(), &CTarnwickDoc::closing);
    QWidget *target = m_view->focusOrder().at(control);
    QTest::keyClick(target, Qt::Key_Return);
    QCOMPARE(closing.size(), sends ? 1 : 0);
    QVERIFY(m_ui->messages.isEmpty());
}

void tst_AskView::tabWalksInLineOrder()
{
    open(EveryKind);
    m_view->show();
    QApplication::setActiveWindow(m_view.get());
    QVERIFY(QTest::qWaitForWindowActive(m_view.get()));
    const QList<QWidget *> &order = m_view->focusOrder();
    order.constFirst()->setFocus();
    QTRY_COMPARE(QApplication::focusWidget(), order.constFirst());
    // Tab enters a group of radio buttons once, at its checked button.
    qsizetype last = 0;
    int steps = 0;
    while (QApplication::focusWidget() != m_view->sendButton() && steps < 20) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        const qsizetype index = order.indexOf(QApplication::focusWidget());
        QVERIFY2(index > last, qPrintable(describe(QApplication::focusWidget())));
        last = index;
        ++steps;
    }
    QCOMPARE(QApplication::focusWidget(), m_view->sendButton());
}

void tst_AskView::choicesWrapIntoRowsByWidth()
{
    open({"Choose: Colour\tred\tgreen\tblue"});
    m_view->show();
    const QList<QWidget *> &order = m_view->focusOrder();
    auto rows = [&] {
        QSet<int> ys;
        for (int i = 0; i < 3; ++i)
            ys.insert(order.at(i)->geometry().top());
        return ys.size();
    };
    m_view->resize(2000, 400);
    QTRY_COMPARE(rows(), 1);
    m_view->resize(60, 400);
    QTRY_COMPARE(rows(), 3);
}

void tst_AskView::chosenFileShowsItsMode()
{
    open({"ChooseF: Upload"});
    const QString path = m_dir->filePath(QStringLiteral("up.bin"));
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(QByteArray("\0\1\2", 3));
    file.close();
    QVERIFY(m_doc->setUploadFile(path));
    const QList<QWidget *> &order = m_view->focusOrder();
    auto *text = static_cast<QRadioButton *>(order.at(1));
    auto *binary = static_cast<QRadioButton *>(order.at(2));
    QVERIFY(!text->isChecked());
    QVERIFY(binary->isChecked());
    QStringList labels;
    for (QLabel *label : m_view->widget()->findChildren<QLabel *>())
        labels.append(label->text());
    QVERIFY(labels.contains(path));
    // The user may send it as text all the same.
    text->click();
    QVERIFY(static_cast<CAIChooseF *>(m_doc->form()->item(0))->isText());
}

void tst_AskView::newFontKeepsTheAnswers()
{
    ProfileFile profile;
    profile.setPath(m_dir->filePath(QStringLiteral("fonts.ini")));
    FontManager fonts(profile);
    open({"Ask: Name", "Choose: Way\ton foot\tby boat"});
    m_view = std::make_unique<CAskView>(m_doc, &fonts);
    QTest::keyClicks(m_view->focusOrder().at(0), QStringLiteral("Ann"));
    static_cast<QRadioButton *>(m_view->focusOrder().at(2))->click();

    QFont big = m_view->font();
    big.setPixelSize(40);
    fonts.applyChosenFont(FontManager::AskFont, big);
    QCOMPARE(m_view->font().pixelSize(), 40);
    const QList<QWidget *> &order = m_view->focusOrder();
    QCOMPARE(static_cast<QLineEdit *>(order.at(0))->text(), QStringLiteral("Ann"));
    QVERIFY(static_cast<QRadioButton *>(order.at(2))->isChecked());
    // Read whole at that size: the field is at least a line and a half high.
    m_view->show();
    QVERIFY(order.at(0)->height() >= QFontMetrics(big).lineSpacing() * 3 / 2);
}

void tst_AskView::uploadDialogFilter()
{
    QCOMPARE(QtUserInterface::qtFilter(QStringLiteral("All files (*.*) | *.* ||")),
             QStringLiteral("All files (*)"));
}

QTEST_MAIN(tst_AskView)
#include "tst_askview.moc"
