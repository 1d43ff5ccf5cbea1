#include "app/dumprunner.h"
#include "ui/startup.h"

#include <QApplication>
#include <QCoreApplication>

int main(int argc, char *argv[])
{
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments.append(QString::fromLocal8Bit(argv[i]));
    if (DumpRunner::wantsDump(arguments)) {
        QCoreApplication app(argc, argv);
        QCoreApplication::setApplicationName(QStringLiteral("Tarnwick 2.0"));
        return DumpRunner().run(arguments);
    }
    QApplication app(argc, argv);
    return runTarnwick(arguments);
}
