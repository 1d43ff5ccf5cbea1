#include <QTest>

class tst_Items: public QObject
{
    Q_OBJECT
};

QTEST_GUILESS_MAIN(tst_Items)
#include "tst_items.moc"
