#include "settings/commandline.h"

#include <QTest>

class tst_CommandLine : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void split_data();
    void split();
    void joinRoundTrips_data();
    void joinRoundTrips();
};

void tst_CommandLine::split_data()
{
    QTest::addColumn<QString>("line");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<QStringList>("arguments");

    using L = QStringList;
    QTest::newRow("blanks and tabs") << u"  feh \t -F  x "_qs << true << L{u"feh"_qs, u"-F"_qs, u"x"_qs};
    QTest::newRow("empty") << QString() << true << L{};
    QTest::newRow("single quotes keep everything")
        << uR"('/opt/my viewer/bin' '$HOME;ls "x"')"_qs << true
        << L{u"/opt/my viewer/bin"_qs, uR"($HOME;ls "x")"_qs};
    QTest::newRow("double quote escapes")
        << uR"("a \"b\" \$c \\ \n")"_qs << true << L{uR"(a "b" $c \ \n)"_qs};
    QTest::newRow("quotes join with their neighbours") << uR"(a'b c'"d"e)"_qs << true
                                                       << L{u"ab cde"_qs};
    QTest::newRow("empty quotes are an argument") << uR"(x '' "")"_qs << true
                                                  << L{u"x"_qs, QString(), QString()};
    QTest::newRow("backslash outside quotes") << uR"(a\ b \;)"_qs << true
                                              << L{u"a b"_qs, u";"_qs};
    QTest::newRow("shell operators are plain words") << u"a;b | c > d $(e) `f`"_qs << true
        << L{u"a;b"_qs, u"|"_qs, u"c"_qs, u">"_qs, u"d"_qs, u"$(e)"_qs, u"`f`"_qs};
    QTest::newRow("unterminated single") << u"a 'b"_qs << false << L{};
    QTest::newRow("unterminated double") << u"a \"b"_qs << false << L{};
    QTest::newRow("trailing backslash") << u"a \\"_qs << false << L{};
}

void tst_CommandLine::split()
{
    QFETCH(QString, line);
    QFETCH(bool, valid);
    QFETCH(QStringList, arguments);
    const std::optional<QStringList> result = CommandLine::split(line);
    QCOMPARE(result.has_value(), valid);
    if (valid)
        QCOMPARE(*result, arguments);
}

void tst_CommandLine::joinRoundTrips_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::newRow("hostile") << QStringList{u"-rf"_qs, u"a b"_qs, u"it's"_qs, u"$(x);y"_qs,
                                            QString(), u"\"q\""_qs, u"tab\there"_qs};
    QTest::newRow("plain") << QStringList{u"/usr/bin/feh"_qs, u"--zoom=50"_qs};
}

void tst_CommandLine::joinRoundTrips()
{
    QFETCH(QStringList, arguments);
    QCOMPARE(CommandLine::split(CommandLine::join(arguments)), arguments);
}

QTEST_GUILESS_MAIN(tst_CommandLine)
#include "tst_commandline.moc"
