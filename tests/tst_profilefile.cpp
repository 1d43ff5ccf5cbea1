#include "settings/profilefile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QStandardPaths>
#include <QStringEncoder>
#include <QTemporaryDir>
#include <QTest>

#include <climits>

#include <csignal>

#include <fcntl.h>
#include <linux/capability.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace {

// Root passes every permission check; to see a read-only directory refuse a
// write, the test thread gives up the capabilities that bypass those checks
// for as long as this object lives.
class PermissionChecksEnforced
{
public:
    PermissionChecksEnforced()
    {
        m_header.version = _LINUX_CAPABILITY_VERSION_3;
        m_header.pid = 0;
        if (syscall(SYS_capget, &m_header, m_saved) != 0)
            return;
        __user_cap_data_struct reduced[2] = {m_saved[0], m_saved[1]};
        const quint32 bypass = (1u << CAP_DAC_OVERRIDE) | (1u << CAP_DAC_READ_SEARCH) | (1u << CAP_FOWNER);
        reduced[0].effective &= ~bypass;
        m_active = syscall(SYS_capset, &m_header, reduced) == 0;
    }
    ~PermissionChecksEnforced()
    {
        if (m_active)
            syscall(SYS_capset, &m_header, m_saved);
    }
    bool active() const { return m_active; }

private:
    __user_cap_header_struct m_header{};
    __user_cap_data_struct m_saved[2]{};
    bool m_active = false;
};

// A process's file-size limit stops a write past it (EFBIG) for root as for
// anyone: the disk filling up in the middle of writing the new file.
class FileSizeLimit
{
public:
    explicit FileSizeLimit(rlim_t bytes)
    {
        if (getrlimit(RLIMIT_FSIZE, &m_saved) != 0)
            return;
        m_oldHandler = std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit = m_saved;
        limit.rlim_cur = bytes;
        m_active = setrlimit(RLIMIT_FSIZE, &limit) == 0;
    }
    ~FileSizeLimit()
    {
        if (m_active)
            setrlimit(RLIMIT_FSIZE, &m_saved);
        std::signal(SIGXFSZ, m_oldHandler);
    }
    bool active() const { return m_active; }

private:
    rlimit m_saved{};
    void (*m_oldHandler)(int) = SIG_DFL;
    bool m_active = false;
};

} // namespace

class tst_ProfileFile: public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();

    void getString_data();
    void getString();
    void getInt_data();
    void getInt();
    void valueCutAt4095();
    void write_data();
    void write();
    void keysAndSections();
    void invalidWritesRefused_data();
    void invalidWritesRefused();
    void externalEditSeen_data();
    void externalEditSeen();
    void valueRoundTrip_data();
    void valueRoundTrip();
    void groupWritesOnce();
    void groupDroppedWithoutCommit();
    void innerGroupJoinsOuter();
    void groupAppliedOnExternalChange();
    void groupMatchesFreshRead();
    void failedWriteKeepsOldFile_data();
    void failedWriteKeepsOldFile();
    void writeBelowRegularFileFails();
    void unreadableFileNotReplaced();
    void writeCreatesDirectory();
    void writeKeepsPermissions();
    void veryLongLines();
    void binaryGarbage();
    void textForms_data();
    void textForms();
    void textFormThatCannotBeKeptIsNotWritten_data();
    void textFormThatCannotBeKeptIsNotWritten();

private:
    QString filePath() const { return m_dir->filePath(QStringLiteral("tarnwick.ini")); }
    void put(const QByteArray &data, const QString &path = {});
    QByteArray contents(const QString &path = {}) const;

    std::unique_ptr<QTemporaryDir> m_dir;
};

void tst_ProfileFile::initTestCase()
{
    QStandardPaths::setTestModeEnabled(true);
}

void tst_ProfileFile::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
}

void tst_ProfileFile::cleanup()
{
    m_dir.reset();
}

void tst_ProfileFile::put(const QByteArray &data, const QString &path)
{
    QFile file(path.isEmpty() ? filePath() : path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(file.write(data), data.size());
}

QByteArray tst_ProfileFile::contents(const QString &path) const
{
    QFile file(path.isEmpty() ? filePath() : path);
    if (!file.open(QIODevice::ReadOnly))
        return QByteArray("<missing>");
    return file.readAll();
}

void tst_ProfileFile::getString_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QByteArray>("section");
    QTest::addColumn<QByteArray>("key");
    QTest::addColumn<QByteArray>("expected");

    const QByteArray absent("<default>");
    QTest::newRow("names ignore case") << QByteArray("[Home Gopher]\nHome Port 1=71\n")
                                       << QByteArray("home GOPHER") << QByteArray("HOME port 1") << QByteArray("71");
    QTest::newRow("value trimmed") << QByteArray("[A]\nk \t= \t v  v \t\n") << QByteArray("A") << QByteArray("k")
                                   << QByteArray("v  v");
    QTest::newRow("first duplicate key wins") << QByteArray("[A]\nk=1\nK=2\n") << QByteArray("A")
                                              << QByteArray("k") << QByteArray("1");
    QTest::newRow("later duplicate section adds keys")
        << QByteArray("[A]\nx=1\n[B]\ny=2\n[a]\nk=3\nx=9\n") << QByteArray("A") << QByteArray("k") << QByteArray("3");
    QTest::newRow("first section's key wins over duplicate section")
        << QByteArray("[A]\nx=1\n[B]\ny=2\n[a]\nk=3\nx=9\n") << QByteArray("A") << QByteArray("x") << QByteArray("1");
    QTest::newRow("CRLF file") << QByteArray("[A]\r\nk=v\r\n[B]\r\nk=w\r\n") << QByteArray("A") << QByteArray("k")
                               << QByteArray("v");
    QTest::newRow("no final line end") << QByteArray("[A]\nk=v") << QByteArray("A") << QByteArray("k")
                                       << QByteArray("v");
    QTest::newRow("value with equals signs") << QByteArray("[A]\nk=a=b==c\n") << QByteArray("A") << QByteArray("k")
                                             << QByteArray("a=b==c");
    QTest::newRow("matching quotes removed") << QByteArray("[A]\nk= \"1/quoted\" \n") << QByteArray("A")
                                             << QByteArray("k") << QByteArray("1/quoted");
    QTest::newRow("only one pair of quotes removed") << QByteArray("[A]\nk=\"\"x\"\"\n") << QByteArray("A")
                                                     << QByteArray("k") << QByteArray("\"x\"");
    QTest::newRow("blanks inside quotes kept") << QByteArray("[A]\nk=\" x\t\"\n") << QByteArray("A")
                                               << QByteArray("k") << QByteArray(" x\t");
    QTest::newRow("two quotes read as empty") << QByteArray("[A]\nk=\"\"\n") << QByteArray("A") << QByteArray("k")
                                              << QByteArray("");
    QTest::newRow("lone quote kept") << QByteArray("[A]\nk=\"\n") << QByteArray("A") << QByteArray("k")
                                     << QByteArray("\"");
    QTest::newRow("quote at one end only kept") << QByteArray("[A]\nk=\"a b\n") << QByteArray("A")
                                                << QByteArray("k") << QByteArray("\"a b");
    QTest::newRow("empty value is not the default") << QByteArray("[A]\nk=\n") << QByteArray("A")
                                                    << QByteArray("k") << QByteArray("");
    QTest::newRow("absent key gives default") << QByteArray("[A]\nj=1\n") << QByteArray("A") << QByteArray("k")
                                              << absent;
    QTest::newRow("absent file section gives default") << QByteArray("[B]\nk=1\n") << QByteArray("A")
                                                       << QByteArray("k") << absent;
    QTest::newRow("line before first section is no key") << QByteArray("k=top\n[A]\nj=1\n") << QByteArray("A")
                                                          << QByteArray("k") << absent;
    QTest::newRow("comment is no key") << QByteArray("[A]\n;k=v\n  ; k=w\n") << QByteArray("A") << QByteArray("k")
                                       << absent;
    QTest::newRow("line without equals is no key") << QByteArray("[A]\nk\n") << QByteArray("A") << QByteArray("k")
                                                   << absent;
    QTest::newRow("indented header") << QByteArray("  [ A ]  \nk=v\n") << QByteArray("A") << QByteArray("k")
                                     << QByteArray("v");
    QTest::newRow("section name holding a bracket") << QByteArray("[Bookmarks: a]b]\nk=v\n")
                                                    << QByteArray("Bookmarks: a]b") << QByteArray("k") << QByteArray("v");
    QTest::newRow("empty section name ends the section before")
        << QByteArray("[A]\n[]\nk=v\n") << QByteArray("A") << QByteArray("k") << absent;
    QTest::newRow("Latin-1 letters are not folded") << QByteArray("[\xE9]\nk=v\n") << QByteArray("\xC9")
                                                   << QByteArray("k") << absent;
    QTest::newRow("NUL byte inside value") << QByteArray("[A]\nk=v\0w\n", 10) << QByteArray("A") << QByteArray("k")
                                           << QByteArray("v\0w", 3);
    QTest::newRow("invalid UTF-8 names and values") << QByteArray("[A]\n\xff\xfe=\x80\xc3\n") << QByteArray("A")
                                                    << QByteArray("\xff\xfe") << QByteArray("\x80\xc3");
    QTest::newRow("lone CR ends a line") << QByteArray("[A]\rk=v\n[B]\nk=w\n") << QByteArray("A")
                                         << QByteArray("k") << QByteArray("v");
    QTest::newRow("lone CR before the next section") << QByteArray("[A]\rk=v\n[B]\nk=w\n") << QByteArray("B")
                                                     << QByteArray("k") << QByteArray("w");
}

void tst_ProfileFile::getString()
{
    QFETCH(QByteArray, file);
    QFETCH(QByteArray, section);
    QFETCH(QByteArray, key);
    QFETCH(QByteArray, expected);
    put(file);
    ProfileFile profile(filePath());
    QCOMPARE(profile.getString(section, key, "<default>"), expected);
    QCOMPARE(profile.hasKey(section, key), expected != "<default>");
}

void tst_ProfileFile::getInt_data()
{
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<int>("expected");

    QTest::newRow("blanks, sign, trailing text") << QByteArray("k=  -12abc") << -12;
    QTest::newRow("plus sign") << QByteArray("k=+7") << 7;
    QTest::newRow("no number") << QByteArray("k=abc") << 0;
    QTest::newRow("sign alone") << QByteArray("k=-") << 0;
    QTest::newRow("blank after sign") << QByteArray("k=- 5") << 0;
    QTest::newRow("hex is not read") << QByteArray("k=0x10") << 0;
    QTest::newRow("first number only") << QByteArray("k=\t8 9") << 8;
    QTest::newRow("absent key") << QByteArray("j=1") << 42;
    QTest::newRow("empty value reads 0") << QByteArray("k=") << 0;
    QTest::newRow("number in quotes") << QByteArray("k=\"12\"") << 12;
    QTest::newRow("empty quotes read 0") << QByteArray("k=\"\"") << 0;
    QTest::newRow("too large saturates") << QByteArray("k=99999999999999999999") << INT_MAX;
    QTest::newRow("too small saturates") << QByteArray("k=-99999999999999999999") << INT_MIN;
    QTest::newRow("smallest int") << QByteArray("k=-2147483648") << INT_MIN;
}

void tst_ProfileFile::getInt()
{
    QFETCH(QByteArray, line);
    QFETCH(int, expected);
    put("[A]\n" + line + '\n');
    ProfileFile profile(filePath());
    QCOMPARE(profile.getInt("A", "K", 42), expected);
}

void tst_ProfileFile::valueCutAt4095()
{
    const QByteArray value(5000, 'x');
    put("[A]\nk=" + value + "\n");
    ProfileFile profile(filePath());
    QCOMPARE(profile.getString("A", "k"), value.left(4095));
    // Cutting is for reading only: a write elsewhere keeps the whole line.
    QVERIFY(profile.writeInt("A", "n", 1));
    QCOMPARE(contents(), "[A]\nk=" + value + "\nn=1\n");
}

void tst_ProfileFile::write_data()
{
    QTest::addColumn<QByteArray>("before");
    QTest::addColumn<QByteArray>("op");
    QTest::addColumn<QByteArray>("section");
    QTest::addColumn<QByteArray>("key");
    QTest::addColumn<QByteArray>("value");
    QTest::addColumn<QByteArray>("after");

    const QByteArray w("write");
    QTest::newRow("only the written line changes")
        << QByteArray("; top\n[A]\n; note\nk = 1\nnot a key\n\n[B]\nx=2\n") << w << QByteArray("a")
        << QByteArray("K") << QByteArray("5") << QByteArray("; top\n[A]\n; note\nk = 5\nnot a key\n\n[B]\nx=2\n");
    QTest::newRow("name case kept on rewrite")
        << QByteArray("[Home Gopher]\nCount of Home Gophers=1\n") << w << QByteArray("home gopher")
        << QByteArray("COUNT OF HOME GOPHERS") << QByteArray("2")
        << QByteArray("[Home Gopher]\nCount of Home Gophers=2\n");
    QTest::newRow("new key after the last key line")
        << QByteArray("[A]\na=1\n; note\n\n[B]\nb=2\n") << w << QByteArray("A") << QByteArray("c")
        << QByteArray("3") << QByteArray("[A]\na=1\nc=3\n; note\n\n[B]\nb=2\n");
    QTest::newRow("new key in a section without keys")
        << QByteArray("[A]\n\n[B]\n") << w << QByteArray("A") << QByteArray("k") << QByteArray("v")
        << QByteArray("[A]\nk=v\n\n[B]\n");
    QTest::newRow("new section after an empty line")
        << QByteArray("[A]\na=1\n") << w << QByteArray("B") << QByteArray("b") << QByteArray("2")
        << QByteArray("[A]\na=1\n\n[B]\nb=2\n");
    QTest::newRow("new section when the file ends blank")
        << QByteArray("[A]\na=1\n\n") << w << QByteArray("B") << QByteArray("b") << QByteArray("2")
        << QByteArray("[A]\na=1\n\n[B]\nb=2\n");
    QTest::newRow("new file") << QByteArray() << w << QByteArray("B") << QByteArray("b") << QByteArray("2")
                              << QByteArray("[B]\nb=2\n");
    QTest::newRow("CRLF kept for a new key")
        << QByteArray("[A]\r\na=1\r\n") << w << QByteArray("A") << QByteArray("c") << QByteArray("3")
        << QByteArray("[A]\r\na=1\r\nc=3\r\n");
    QTest::newRow("CRLF kept for a new section")
        << QByteArray("[A]\r\na=1\r\n") << w << QByteArray("B") << QByteArray("b") << QByteArray("2")
        << QByteArray("[A]\r\na=1\r\n\r\n[B]\r\nb=2\r\n");
    QTest::newRow("no final line end, rewrite last line")
        << QByteArray("[A]\na=1") << w << QByteArray("A") << QByteArray("a") << QByteArray("2")
        << QByteArray("[A]\na=2");
    QTest::newRow("no final line end, new key")
        << QByteArray("[A]\na=1") << w << QByteArray("A") << QByteArray("b") << QByteArray("2")
        << QByteArray("[A]\na=1\nb=2");
    QTest::newRow("no final line end, new section")
        << QByteArray("[A]\na=1") << w << QByteArray("B") << QByteArray("b") << QByteArray("2")
        << QByteArray("[A]\na=1\n\n[B]\nb=2");
    QTest::newRow("first duplicate key is written")
        << QByteArray("[A]\nk=1\nk=2\n") << w << QByteArray("A") << QByteArray("k") << QByteArray("3")
        << QByteArray("[A]\nk=3\nk=2\n");
    QTest::newRow("key of a duplicate section is written where it stands")
        << QByteArray("[A]\nx=1\n[B]\n[A]\nk=2\n") << w << QByteArray("A") << QByteArray("k") << QByteArray("3")
        << QByteArray("[A]\nx=1\n[B]\n[A]\nk=3\n");
    QTest::newRow("new key goes to the first of duplicate sections")
        << QByteArray("[A]\nx=1\n[B]\n[A]\nk=2\n") << w << QByteArray("A") << QByteArray("n") << QByteArray("4")
        << QByteArray("[A]\nx=1\nn=4\n[B]\n[A]\nk=2\n");
    QTest::newRow("text before the first section untouched")
        << QByteArray("k=top\n[A]\n") << w << QByteArray("A") << QByteArray("k") << QByteArray("v")
        << QByteArray("k=top\n[A]\nk=v\n");
    QTest::newRow("quoted value written in one more pair")
        << QByteArray("[A]\n") << w << QByteArray("A") << QByteArray("Path1") << QByteArray("\"x\"")
        << QByteArray("[A]\nPath1=\"\"x\"\"\n");
    QTest::newRow("value with blanks at its ends written in quotes")
        << QByteArray("[A]\n") << w << QByteArray("A") << QByteArray("k") << QByteArray(" x ")
        << QByteArray("[A]\nk=\" x \"\n");
    QTest::newRow("quote at one end only written as given")
        << QByteArray("[A]\n") << w << QByteArray("A") << QByteArray("k") << QByteArray("\"x")
        << QByteArray("[A]\nk=\"x\n");
    QTest::newRow("garbage lines kept") << QByteArray("[A]\n\xff\x00junk\nk=1\n\x80\r\x81\n", 18) << w
                                        << QByteArray("A") << QByteArray("k") << QByteArray("v")
                                        << QByteArray("[A]\n\xff\x00junk\nk=v\n\x80\r\x81\n", 18);
    QTest::newRow("delete key removes every copy")
        << QByteArray("[A]\n;c\na=1\nb=2\nA=3\n[B]\na=4\n") << QByteArray("deleteKey") << QByteArray("a")
        << QByteArray("A") << QByteArray() << QByteArray("[A]\n;c\nb=2\n[B]\na=4\n");
    QTest::newRow("delete absent key changes nothing")
        << QByteArray("[A]\r\nb=2") << QByteArray("deleteKey") << QByteArray("A") << QByteArray("a")
        << QByteArray() << QByteArray("[A]\r\nb=2");
    QTest::newRow("delete section and its duplicates")
        << QByteArray("; top\n[A]\na=1\n\n[B]\nb=2\n[a]\nc=3\n") << QByteArray("deleteSection") << QByteArray("A")
        << QByteArray() << QByteArray() << QByteArray("; top\n[B]\nb=2\n");
}

void tst_ProfileFile::write()
{
    QFETCH(QByteArray, before);
    QFETCH(QByteArray, op);
    QFETCH(QByteArray, section);
    QFETCH(QByteArray, key);
    QFETCH(QByteArray, value);
    QFETCH(QByteArray, after);
    if (!before.isNull())
        put(before);
    ProfileFile profile(filePath());
    if (op == "write") {
        QVERIFY2(profile.writeString(section, key, value), qPrintable(profile.lastError()));
        QCOMPARE(profile.getString(section, key, "<absent>"), value);
    } else if (op == "deleteKey") {
        QVERIFY2(profile.deleteKey(section, key), qPrintable(profile.lastError()));
        QVERIFY(!profile.hasKey(section, key));
    } else {
        QVERIFY2(profile.deleteSection(section), qPrintable(profile.lastError()));
        QVERIFY(!profile.hasSection(section));
    }
    QCOMPARE(contents(), after);
}

void tst_ProfileFile::keysAndSections()
{
    put("x=0\n[A]\nx=1\nX=2\ny=3\n[B]\n[a]\nz=4\nx=5\n");
    ProfileFile profile(filePath());
    QCOMPARE(profile.keys("a"), (QList<QByteArray>{"x", "y", "z"}));
    QCOMPARE(profile.keys("B"), QList<QByteArray>());
    QCOMPARE(profile.keys("C"), QList<QByteArray>());
    QCOMPARE(profile.sections(), (QList<QByteArray>{"A", "B"}));
    QVERIFY(profile.hasSection("b"));
    QVERIFY(!profile.hasSection("C"));
}

void tst_ProfileFile::invalidWritesRefused_data()
{
    QTest::addColumn<QByteArray>("section");
    QTest::addColumn<QByteArray>("key");
    QTest::addColumn<QByteArray>("value");

    QTest::newRow("value opening a section") << QByteArray("A") << QByteArray("k") << QByteArray("x\n[B]\nk=y");
    QTest::newRow("value with CR") << QByteArray("A") << QByteArray("k") << QByteArray("x\ry");
    QTest::newRow("key with equals") << QByteArray("A") << QByteArray("k=j") << QByteArray("v");
    QTest::newRow("key like a header") << QByteArray("A") << QByteArray("[B]") << QByteArray("v");
    QTest::newRow("key like a comment") << QByteArray("A") << QByteArray(";k") << QByteArray("v");
    QTest::newRow("empty key") << QByteArray("A") << QByteArray("  ") << QByteArray("v");
    QTest::newRow("empty section") << QByteArray("") << QByteArray("k") << QByteArray("v");
    QTest::newRow("section with line end") << QByteArray("A\nB") << QByteArray("k") << QByteArray("v");
}

void tst_ProfileFile::invalidWritesRefused()
{
    QFETCH(QByteArray, section);
    QFETCH(QByteArray, key);
    QFETCH(QByteArray, value);
    const QByteArray before("[A]\nk=old\n");
    put(before);
    ProfileFile profile(filePath());
    QVERIFY(!profile.writeString(section, key, value));
    QVERIFY(!profile.lastError().isEmpty());
    QCOMPARE(contents(), before);
}

void tst_ProfileFile::externalEditSeen_data()
{
    QTest::addColumn<bool>("inPlace");
    QTest::addColumn<bool>("oldTimes");

    QTest::newRow("same size, in place, same second") << true << false;
    QTest::newRow("same size, in place, old time stamp put back") << true << true;
    QTest::newRow("replaced by another file") << false << false;
    QTest::newRow("replaced by another file with the old time stamp") << false << true;
}

void tst_ProfileFile::externalEditSeen()
{
    QFETCH(bool, inPlace);
    QFETCH(bool, oldTimes);
    put("[A]\nk=1\n");
    const QByteArray path = QFile::encodeName(filePath());
    if (oldTimes) {
        // A stamp well in the past, so the cache is trusted on the stamp alone.
        const timespec times[2] = {{1000000000, 5}, {1000000000, 5}};
        QCOMPARE(utimensat(AT_FDCWD, path.constData(), times, 0), 0);
    }
    struct stat before {};
    QCOMPARE(::stat(path.constData(), &before), 0);

    ProfileFile profile(filePath());
    QCOMPARE(profile.getString("A", "k"), QByteArray("1"));

    if (inPlace) {
        put("[A]\nk=2\n");
    } else {
        const QString other = m_dir->filePath(QStringLiteral("other.ini"));
        put("[A]\nk=2\n", other);
        QCOMPARE(::rename(QFile::encodeName(other).constData(), path.constData()), 0);
    }
    if (oldTimes) {
        const timespec times[2] = {before.st_atim, before.st_mtim};
        QCOMPARE(utimensat(AT_FDCWD, path.constData(), times, 0), 0);
    }
    struct stat after {};
    QCOMPARE(::stat(path.constData(), &after), 0);
    QCOMPARE(after.st_size, before.st_size);
    if (oldTimes)
        QCOMPARE(after.st_mtim.tv_nsec, before.st_mtim.tv_nsec);

    QCOMPARE(profile.getString("A", "k"), QByteArray("2"));
    // A write goes on from what is in the file now, not from the cache.
    QVERIFY(profile.writeInt("A", "j", 3));
    QCOMPARE(contents(), QByteArray("[A]\nk=2\nj=3\n"));
}

void tst_ProfileFile::valueRoundTrip_data()
{
    QTest::addColumn<QByteArray>("value");

    QTest::newRow("quoted") << QByteArray("\"1/quoted\"");
    QTest::newRow("two quotes") << QByteArray("\"\"");
    QTest::newRow("lone quote") << QByteArray("\"");
    QTest::newRow("quote at the start only") << QByteArray("\"abc");
    QTest::newRow("blanks at both ends") << QByteArray("  padded\t");
    QTest::newRow("blanks only") << QByteArray(" \t ");
    QTest::newRow("quoted with blanks outside") << QByteArray(" \"q\" ");
    QTest::newRow("empty") << QByteArray("");
    QTest::newRow("NUL and bytes above 127") << QByteArray("a\0\xff\"", 4);
}

void tst_ProfileFile::valueRoundTrip()
{
    QFETCH(QByteArray, value);
    {
        ProfileFile profile(filePath());
        QVERIFY(profile.writeString("A", "k", value));
        QCOMPARE(profile.getString("A", "k"), value);
        // Written again as read: the file does not change.
        const QByteArray first = contents();
        QVERIFY(profile.writeString("A", "k", profile.getString("A", "k")));
        QCOMPARE(contents(), first);
    }
    ProfileFile fresh(filePath());
    QCOMPARE(fresh.getString("A", "k"), value);
}

void tst_ProfileFile::groupWritesOnce()
{
    const QByteArray before("; mine\n[Toolbar]\nPosition=3\nOld=1\n[Other]\nx=1\n");
    put(before);
    ProfileFile profile(filePath());
    QCOMPARE(profile.getInt("Toolbar", "Position", 0), 3);
    {
        ProfileFile::Edit edit(profile);
        QVERIFY(profile.inGroup());
        QVERIFY(profile.writeInt("Toolbar", "Position", 1));
        QVERIFY(profile.writeInt("Toolbar", "Size", 2));
        QVERIFY(profile.deleteKey("Toolbar", "Old"));
        QVERIFY(profile.writeString("New", "k", "v"));
        QVERIFY(profile.deleteSection("Other"));
        // Reads inside the group see the changes; the file does not yet.
        QCOMPARE(profile.getInt("Toolbar", "Position", 0), 1);
        QCOMPARE(profile.getInt("Toolbar", "Size", 0), 2);
        QVERIFY(!profile.hasKey("Toolbar", "Old"));
        QCOMPARE(profile.keys("Toolbar"), (QList<QByteArray>{"Position", "Size"}));
        QCOMPARE(profile.sections(), (QList<QByteArray>{"Toolbar", "New"}));
        QCOMPARE(contents(), before);
        QCOMPARE(profile.counters().replacements, 0);
        QVERIFY(edit.commit());
    }
    QVERIFY(!profile.inGroup());
    QCOMPARE(profile.counters().replacements, 1);
    // The empty line written before [New] went with [Other], as it would
    // have with each change written on its own.
    QCOMPARE(contents(), QByteArray("; mine\n[Toolbar]\nPosition=1\nSize=2\n[New]\nk=v\n"));
    QCOMPARE(profile.counters().parses, 1);

    // A key written on its own is written at once.
    QVERIFY(profile.writeInt("Toolbar", "Size", 5));
    QCOMPARE(profile.counters().replacements, 2);
    QVERIFY(contents().contains("Size=5\n"));
}

void tst_ProfileFile::groupDroppedWithoutCommit()
{
    const QByteArray before("[A]\nk=1\n");
    put(before);
    ProfileFile profile(filePath());
    {
        ProfileFile::Edit edit(profile);
        QVERIFY(profile.writeInt("A", "k", 2));
        QVERIFY(profile.writeInt("B", "j", 3));
        QVERIFY(profile.deleteSection("A"));
    }
    QCOMPARE(contents(), before);
    QCOMPARE(profile.counters().replacements, 0);
    QCOMPARE(profile.getInt("A", "k", 0), 1);
    QVERIFY(!profile.hasSection("B"));
}

void tst_ProfileFile::innerGroupJoinsOuter()
{
    ProfileFile profile(filePath());
    {
        ProfileFile::Edit outer(profile);
        {
            ProfileFile::Edit inner(profile);
            QVERIFY(profile.writeInt("A", "a", 1));
            QVERIFY(inner.commit());
        }
        QCOMPARE(contents(), QByteArray("<missing>"));
        QVERIFY(profile.writeInt("A", "b", 2));
        QVERIFY(outer.commit());
    }
    QCOMPARE(profile.counters().replacements, 1);
    QCOMPARE(contents(), QByteArray("[A]\na=1\nb=2\n"));

    // A dropped inner group drops the whole group: never half of it.
    {
        ProfileFile::Edit outer(profile);
        QVERIFY(profile.writeInt("A", "a", 10));
        {
            ProfileFile::Edit inner(profile);
            QVERIFY(profile.writeInt("A", "b", 20));
        }
        QVERIFY(!profile.writeInt("A", "c", 30));
        QVERIFY(!outer.commit());
        QVERIFY(!profile.lastError().isEmpty());
    }
    QCOMPARE(contents(), QByteArray("[A]\na=1\nb=2\n"));
    QCOMPARE(profile.getInt("A", "a", 0), 1);
}

void tst_ProfileFile::groupAppliedOnExternalChange()
{
    put("[A]\nk=1\n");
    ProfileFile profile(filePath());
    ProfileFile::Edit edit(profile);
    QVERIFY(profile.writeInt("A", "j", 2));
    // Another program replaces the file before the group is written.
    const QString other = m_dir->filePath(QStringLiteral("other.ini"));
    put("[A]\nk=7\n[Theirs]\nx=1\n", other);
    QCOMPARE(::rename(QFile::encodeName(other).constData(), QFile::encodeName(filePath()).constData()), 0);
    QVERIFY(edit.commit());
    QCOMPARE(contents(), QByteArray("[A]\nk=7\nj=2\n[Theirs]\nx=1\n"));
    QCOMPARE(profile.getInt("Theirs", "x", 0), 1);
}

void tst_ProfileFile::groupMatchesFreshRead()
{
    // Many changes in one group leave the contents in memory as a fresh read
    // of the written file sees them: no key lost, moved or changed.
    put("; top\n[S1]\nk0=a\n; note\n[S2]\n[s1]\nk1=b\nk0=dup\n[S3]\nk2=c");
    QRandomGenerator random(7);
    ProfileFile profile(filePath());
    {
        ProfileFile::Edit edit(profile);
        for (int i = 0; i < 400; ++i) {
            const QByteArray section = "S" + QByteArray::number(random.bounded(6));
            const QByteArray key = "k" + QByteArray::number(random.bounded(8));
            const int op = random.bounded(10);
            if (op == 0)
                QVERIFY(profile.deleteSection(section));
            else if (op < 3)
                QVERIFY(profile.deleteKey(section, key));
            else
                QVERIFY(profile.writeString(section, key, QByteArray::number(i)));
        }
        QVERIFY(edit.commit());
    }
    ProfileFile fresh(filePath());
    QCOMPARE(profile.sections(), fresh.sections());
    for (const QByteArray &section : fresh.sections()) {
        QCOMPARE(profile.keys(section), fresh.keys(section));
        for (const QByteArray &key : fresh.keys(section))
            QCOMPARE(profile.getString(section, key), fresh.getString(section, key));
    }
    QCOMPARE(profile.counters().replacements, 1);
}

void tst_ProfileFile::failedWriteKeepsOldFile_data()
{
    QTest::addColumn<QString>("cause");
    QTest::newRow("directory refuses new files") << QStringLiteral("read-only directory");
    QTest::newRow("disk full while writing") << QStringLiteral("file size limit");
}

void tst_ProfileFile::failedWriteKeepsOldFile()
{
    QFETCH(QString, cause);
    const QString dirPath = m_dir->filePath(QStringLiteral("ro"));
    QVERIFY(QDir().mkpath(dirPath));
    const QString path = dirPath + QStringLiteral("/tarnwick.ini");
    const QByteArray before("; keep me\n[Home Gopher]\nCount of Home Gophers=1\n");
    put(before, path);
    ProfileFile profile(path);
    QCOMPARE(profile.getInt("Home Gopher", "Count of Home Gophers", 0), 1);

    const auto writeGroup = [&profile] {
        ProfileFile::Edit edit(profile);
        return profile.writeInt("Home Gopher", "Count of Home Gophers", 2)
            && profile.writeString("Home Gopher", "Home Server 1", QByteArray(4096, 'h'))
            && edit.commit();
    };
    bool written = true;
    if (cause == QLatin1String("read-only directory")) {
        QVERIFY(QFile::setPermissions(dirPath, QFile::ReadOwner | QFile::ExeOwner));
        bool dirWritable = false;
        {
            PermissionChecksEnforced enforced;
            QFile probe(dirPath + QStringLiteral("/probe"));
            dirWritable = probe.open(QIODevice::WriteOnly);
            if (dirWritable)
                probe.remove();
            else
                written = writeGroup();
        }
        QVERIFY(QFile::setPermissions(dirPath, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
        if (dirWritable)
            QSKIP("This system lets the test write into a read-only directory");
    } else {
        FileSizeLimit limit(before.size() + 100);
        QVERIFY(limit.active());
        written = writeGroup();
    }

    QVERIFY(!written);
    QVERIFY(!profile.lastError().isEmpty());
    QCOMPARE(contents(path), before);
    QCOMPARE(QDir(dirPath).entryList(QDir::Files | QDir::Hidden), QStringList{QStringLiteral("tarnwick.ini")});
    QCOMPARE(profile.getInt("Home Gopher", "Count of Home Gophers", 0), 1);
    QVERIFY(!profile.hasKey("Home Gopher", "Home Server 1"));
    QCOMPARE(profile.counters().replacements, 0);
    // Once the cause is gone, the file can be written again.
    QVERIFY(writeGroup());
    QVERIFY(profile.lastError().isEmpty());
    QCOMPARE(profile.getInt("Home Gopher", "Count of Home Gophers", 0), 2);
}

void tst_ProfileFile::writeBelowRegularFileFails()
{
    put("not a directory", m_dir->filePath(QStringLiteral("plain")));
    ProfileFile profile(m_dir->filePath(QStringLiteral("plain/sub/tarnwick.ini")));
    QCOMPARE(profile.getInt("A", "k", 9), 9);
    QVERIFY(!profile.writeInt("A", "k", 1));
    QVERIFY(!profile.lastError().isEmpty());
    QCOMPARE(contents(m_dir->filePath(QStringLiteral("plain"))), QByteArray("not a directory"));
}

void tst_ProfileFile::unreadableFileNotReplaced()
{
    // The settings path names a directory: reads give the defaults, and a
    // write must not put a file in its place.
    const QString path = m_dir->filePath(QStringLiteral("tarnwick.ini"));
    QVERIFY(QDir().mkpath(path + QStringLiteral("/inside")));
    ProfileFile profile(path);
    QCOMPARE(profile.getString("A", "k", "d"), QByteArray("d"));
    QVERIFY(!profile.writeString("A", "k", "v"));
    QVERIFY(!profile.lastError().isEmpty());
    QVERIFY(QFileInfo(path + QStringLiteral("/inside")).isDir());
}

void tst_ProfileFile::writeCreatesDirectory()
{
    const QString path = m_dir->filePath(QStringLiteral("a/b/tarnwick.ini"));
    ProfileFile profile(path);
    QVERIFY2(profile.writeString("Directories", "Download directory", "/tmp"), qPrintable(profile.lastError()));
    QCOMPARE(contents(path), QByteArray("[Directories]\nDownload directory=/tmp\n"));
}

void tst_ProfileFile::writeKeepsPermissions()
{
    put("[A]\nk=1\n");
    QVERIFY(QFile::setPermissions(filePath(), QFile::ReadOwner | QFile::WriteOwner));
    ProfileFile profile(filePath());
    QVERIFY(profile.writeInt("A", "k", 2));
    // Owner, group and other bits; the "user" bits only mirror one of them.
    QCOMPARE(QFile::permissions(filePath()) & QFileDevice::Permissions(0x7077),
             QFileDevice::Permissions(QFile::ReadOwner | QFile::WriteOwner));
}

void tst_ProfileFile::veryLongLines()
{
    const QByteArray longValue(8 * 1024 * 1024, 'v');
    const QByteArray before = "[A]\nlong=" + longValue + "\n" + QByteArray(4 * 1024 * 1024, ';') + "\n[B]\nk=1\n";
    put(before);
    ProfileFile profile(filePath());
    QCOMPARE(profile.getString("B", "k"), QByteArray("1"));
    QCOMPARE(profile.getString("A", "long").size(), 4095);
    QVERIFY(profile.writeInt("B", "k", 2));
    QCOMPARE(profile.getInt("B", "k", 0), 2);
    // One pass over the bytes: neither the reads nor the write parse again.
    QCOMPARE(profile.counters().parses, 1);
    QCOMPARE(profile.counters().bytesParsed, before.size());
    QCOMPARE(profile.counters().replacements, 1);
    QByteArray expected = before;
    expected.chop(2);
    QCOMPARE(contents(), expected + "2\n");
}

void tst_ProfileFile::binaryGarbage()
{
    QRandomGenerator random(20240611);
    QByteArray garbage(512 * 1024, Qt::Uninitialized);
    for (char &c : garbage) {
        // Plenty of the bytes that mean something to the parser.
        static const char special[] = "[]=;\r\n \t\0";
        c = random.bounded(4) == 0 ? special[random.bounded(int(sizeof special))]
                                   : char(random.bounded(256));
    }
    put(garbage);
    ProfileFile profile(filePath());
    for (const QByteArray &section : profile.sections()) {
        for (const QByteArray &key : profile.keys(section)) {
            QVERIFY(profile.hasKey(section, key));
            QVERIFY(profile.getString(section, key).size() <= ProfileFile::MaxValueLength);
            profile.getInt(section, key, 0);
        }
    }
    QVERIFY(profile.writeString("Tarnwick Test", "k", "v"));
    QCOMPARE(profile.getString("Tarnwick Test", "k"), QByteArray("v"));
    // Garbage stays as it was; the new section comes after it.
    QVERIFY(contents().startsWith(garbage));
}

namespace {

QByteArray utf16(const QString &text, bool little, bool mark)
{
    QStringEncoder encoder(little ? QStringConverter::Utf16LE : QStringConverter::Utf16BE);
    const QByteArray order = little ? QByteArray("\xFF\xFE") : QByteArray("\xFE\xFF");
    return (mark ? order : QByteArray()) + QByteArray(encoder(text));
}

} // namespace

void tst_ProfileFile::textForms_data()
{
    // A file as an editor on another system saved it: the settings read, and
    // a write keeps every other line and the file's form.
    QTest::addColumn<QByteArray>("before");
    QTest::addColumn<QByteArray>("after");  // once [A] k=new and [Neu] n=ü are written

    const QString text = QStringLiteral("; Tarnwick\r\n[A]\r\nk=old\r\nTitle=Grüße\r\n");
    const QString written =
        QStringLiteral("; Tarnwick\r\n[A]\r\nk=new\r\nTitle=Grüße\r\n\r\n[Neu]\r\nn=ü\r\n");
    QTest::newRow("UTF-16 LE with byte order mark")
        << utf16(text, true, true) << utf16(written, true, true);
    QTest::newRow("UTF-16 BE with byte order mark")
        << utf16(text, false, true) << utf16(written, false, true);
    QTest::newRow("UTF-8 byte order mark")
        << QByteArray("\xEF\xBB\xBF" + text.toUtf8()) << QByteArray("\xEF\xBB\xBF" + written.toUtf8());
    QTest::newRow("CR line ends") << QByteArray("; Tarnwick\r[A]\rk=old\rTitle=Grüße\r")
                                  << QByteArray("; Tarnwick\r[A]\rk=new\rTitle=Grüße\r\r[Neu]\rn=ü\r");
    QTest::newRow("CR line ends, no final one")
        << QByteArray("[A]\rk=old\rTitle=Grüße") << QByteArray("[A]\rk=new\rTitle=Grüße\r\r[Neu]\rn=ü");
    QTest::newRow("each line its own end")
        << QByteArray("[A]\r\nk=old\nTitle=Grüße\r")
        << QByteArray("[A]\r\nk=new\nTitle=Grüße\r\r\n[Neu]\r\nn=ü\r\n");
}

void tst_ProfileFile::textForms()
{
    QFETCH(QByteArray, before);
    QFETCH(QByteArray, after);
    put(before);
    ProfileFile profile(filePath());
    QCOMPARE(profile.getString("A", "k"), QByteArray("old"));
    QCOMPARE(profile.getString("A", "Title"), QByteArray("Grüße"));
    QCOMPARE(profile.sections(), QList<QByteArray>{"A"});
    QVERIFY2(profile.writeString("A", "k", "new"), qPrintable(profile.lastError()));
    QVERIFY2(profile.writeString("Neu", "n", "ü"), qPrintable(profile.lastError()));
    QCOMPARE(contents(), after);
    ProfileFile fresh(filePath());
    QCOMPARE(fresh.getString("A", "k"), QByteArray("new"));
    QCOMPARE(fresh.getString("Neu", "n"), QByteArray("ü"));
}

void tst_ProfileFile::textFormThatCannotBeKeptIsNotWritten_data()
{
    QTest::addColumn<QByteArray>("before");
    QTest::addColumn<QByteArray>("value");
    QTest::addColumn<QString>("error");  // its beginning, after the path

    QTest::newRow("UTF-16 with an odd last byte")
        << QByteArray(utf16(QStringLiteral("[A]\nk=old\n"), true, true) + 'x') << QByteArray("new")
        << QStringLiteral(": its UTF-16 text would not be written back as it is");
    QTest::newRow("UTF-16 with a lone surrogate")
        << QByteArray(utf16(QStringLiteral("[A]\nk=old\n"), true, true) + QByteArray("\x00\xD8\x0A\x00", 4))
        << QByteArray("new") << QStringLiteral(": its UTF-16 text would not be written back as it is");
    QTest::newRow("UTF-16 without a byte order mark")
        << utf16(QStringLiteral("[A]\r\nk=old\r\n"), true, false) << QByteArray("new")
        << QStringLiteral(": it is UTF-16 without a byte order mark");
    QTest::newRow("UTF-16 BE without a byte order mark")
        << utf16(QStringLiteral("[A]\nk=old\n"), false, false) << QByteArray("new")
        << QStringLiteral(": it is UTF-16 without a byte order mark");
    QTest::newRow("bytes that are no UTF-8 into a UTF-16 file")
        << utf16(QStringLiteral("[A]\nk=old\n"), true, true) << QByteArray("Gr\xFC\xDF")
        << QStringLiteral(": it is kept in UTF-16, and a value is not UTF-8 text");
    QTest::newRow("a UTF-8 sequence cut short at the end of the file")
        << utf16(QStringLiteral("[A]\nk=old"), false, true) << QByteArray("Gr\xC3")
        << QStringLiteral(": it is kept in UTF-16, and a value is not UTF-8 text");
}

void tst_ProfileFile::textFormThatCannotBeKeptIsNotWritten()
{
    QFETCH(QByteArray, before);
    QFETCH(QByteArray, value);
    QFETCH(QString, error);
    put(before);
    ProfileFile profile(filePath());
    QCOMPARE(profile.getString("A", "k"), QByteArray("old"));
    QVERIFY(!profile.writeString("A", "k", value));
    QVERIFY2(profile.lastError().startsWith(QStringLiteral("Cannot write ") + filePath() + error),
             qPrintable(profile.lastError()));
    QCOMPARE(contents(), before);
    QCOMPARE(profile.getString("A", "k"), QByteArray("old"));
}

QTEST_GUILESS_MAIN(tst_ProfileFile)
#include "tst_profilefile.moc"
