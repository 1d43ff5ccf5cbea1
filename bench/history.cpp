// History bench: a history of 100,000 entries read from its file, its window
// opened and shown, and words found in it, on the offscreen platform; then
// what recording one visit costs, appended to a history of the usual
// capacity. Prints the wall-clock time of each step (the median of several
// runs where a step is repeated).
//
//   cmake --build build --target bench_history && build/bench_history [ENTRIES]

#include "documents/historystore.h"
#include "ui/history/historymodel.h"
#include "ui/history/historywindow.h"
#include "ui/itemicons.h"
#include "ui/qtuserinterface.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

constexpr int Runs = 7;

// Titles and addresses of some variety, so that a word is found in some
// entries and not in others.
const char *const Words[] = {"heron", "tarn", "kestrel", "moss", "beck", "fell", "ghyll", "scree"};

QByteArray historyText(int count)
{
    QByteArray text;
    text.reserve(qsizetype(count) * 110);
    for (int i = 0; i < count; ++i) {
        const QByteArray n = QByteArray::number(i);
        HistoryEntry entry;
        entry.time = 1700000000 + i;
        entry.type = i % 3 == 0 ? '1' : '0';
        entry.title = QByteArray("Notes on the ") + Words[i % 8] + " by the " + Words[(i / 8) % 8]
                      + ", part " + n;
        entry.url = "gopher://gopher.example.org/" + QByteArray(1, entry.type) + "%2Fnotes%2F"
                    + Words[(i / 64) % 8] + "%2F" + n + ".txt";
        text += HistoryStore::format(entry);
    }
    return text;
}

double ms(qint64 ns)
{
    return double(ns) / 1e6;
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

void report(const char *step, const std::vector<double> &runs, const char *target = nullptr,
            double limit = 0)
{
    const double mid = median(runs);
    std::printf("  %-34s median %8.2f ms  (min %.2f, max %.2f)", step, mid,
                *std::min_element(runs.begin(), runs.end()), *std::max_element(runs.begin(), runs.end()));
    if (target)
        std::printf("   %s %s", target, mid <= limit ? "met" : "NOT MET");
    std::printf("\n");
}

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    const int count = argc > 1 ? QByteArray(argv[1]).toInt() : 100000;
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("history"));
    {
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly) || file.write(historyText(count)) < 0)
            return 1;
    }
    std::printf("history of %d entries, %.1f MB\n", count, double(QFileInfo(path).size()) / 1e6);

    QtUserInterface ui;
    ItemIcons icons;
    std::vector<double> reads, opens, finds, many, none, all;
    bool ok = true;
    for (int run = 0; run < Runs; ++run) {
        HistoryStore store(path);
        store.setCapacity(count);
        QElapsedTimer timer;
        timer.start();
        ok = ok && int(store.entries().size()) == count;
        reads.push_back(ms(timer.nsecsElapsed()));

        // The window as the History command opens it: the file read again
        // (another running copy may have added to it), the window made and
        // shown with its rows painted.
        timer.restart();
        store.reload();
        HistoryWindow window(store, ui, &icons, [](const HistoryEntry &) {});
        window.show();
        ok = ok && QTest::qWaitForWindowExposed(&window);
        QApplication::processEvents();
        opens.push_back(ms(timer.nsecsElapsed()));

        // Find as the user types it: the field, Enter, the list redrawn.
        const auto find = [&](const QString &words, std::vector<double> &times, int expected) {
            window.findField()->setText(words);
            timer.restart();
            QTest::keyClick(window.findField(), Qt::Key_Return);
            QApplication::processEvents();
            times.push_back(ms(timer.nsecsElapsed()));
            if (expected >= 0 && window.model()->rowCount() != expected) {
                std::printf("  '%s' found %d entries, not %d\n", qPrintable(words), window.model()->rowCount(),
                            expected);
                ok = false;
            }
        };
        // One part's number: a word in one title and one address.
        find(QStringLiteral("%1").arg(count / 2 + 7), finds, -1);
        find(QStringLiteral("heron AND kestrel"), many, -1);
        find(QStringLiteral("ptarmigan"), none, 0);
        find(QString(), all, count);
    }
    std::printf("window and Find, %d runs each\n", Runs);
    report("read the file", reads);
    report("open the window, reading the file", opens, "(target: under 100 ms)", 100);
    report("find a word in one entry", finds, "(target: under 100 ms)", 100);
    report("find \"heron AND kestrel\"", many, "(target: under 100 ms)", 100);
    report("find a word in none", none, "(target: under 100 ms)", 100);
    report("list every entry again", all);

    // Recording: what opening an item adds, one appended line, on a history
    // that has reached the usual capacity. The first visit of a run counts
    // the file's lines once; the rest only append.
    const QString usual = dir.filePath(QStringLiteral("usual"));
    {
        QFile file(usual);
        if (!file.open(QIODevice::WriteOnly)
            || file.write(historyText(HistoryStore::DefaultCapacity)) < 0)
            return 1;
    }
    HistoryStore store(usual);
    HistoryEntry visit;
    visit.type = '1';
    visit.title = "A menu opened in the bench";
    visit.url = "gopher://gopher.example.org/1%2Fbench";
    QElapsedTimer timer;
    timer.start();
    ok = store.add(visit) && ok;
    const double first = ms(timer.nsecsElapsed());
    std::vector<double> adds;
    // Up to the capacity's quarter, so that no compaction falls in the runs.
    for (int i = 0; i < 1000; ++i) {
        visit.time = i;
        timer.restart();
        ok = store.add(visit) && ok;
        adds.push_back(ms(timer.nsecsElapsed()));
    }
    std::printf("recording a visit, history of %d entries\n", HistoryStore::DefaultCapacity);
    std::printf("  %-34s %8.2f ms\n", "first visit of a run", first);
    report("each further visit (1,000)", adds);
    // The oldest beyond the capacity go once a quarter more have come.
    HistoryStore full(usual);
    timer.restart();
    for (int i = 0; i < HistoryStore::DefaultCapacity / 4; ++i)
        ok = full.add(visit) && ok;
    std::printf("  %-34s %8.2f ms  (%d visits, one of them dropping the oldest)\n", "a quarter of the capacity",
                ms(timer.nsecsElapsed()), HistoryStore::DefaultCapacity / 4);
    std::printf("%s\n", ok ? "ok" : "FAILED");
    return ok ? 0 : 1;
}
