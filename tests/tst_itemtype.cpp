#include <QTest>

class tst_ItemType: public QObject
{
    Q_OBJECT
};

QTEST_GUILESS_MAIN(tst_ItemType)
#include "tst_itemtype.moc"
