#include <QTest>

class tst_ProfileFile: public QObject
{
    Q_OBJECT
};

QTEST_GUILESS_MAIN(tst_ProfileFile)
#include "tst_profilefile.moc"
