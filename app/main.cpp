#include <QApplication>
#include <QMainWindow>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Tarnwick 2.0"));
    QMainWindow frame;
    frame.setWindowTitle(QStringLiteral("Tarnwick 2.0"));
    frame.show();
    return app.exec();
}
