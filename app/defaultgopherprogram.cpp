#include "app/defaultgopherprogram.h"

#include "settings/commandline.h"
#include "documents/programlauncher.h"
#include "documents/userinterface.h"

#include <QProcess>
#include <QStandardPaths>

namespace {

// What of the program's error output a message shows.
constexpr qsizetype ShownOutput = 500;

} // namespace

DefaultGopherProgram::DefaultGopherProgram(UserInterface &ui, QObject *parent)
    : QObject(parent), m_ui(ui), m_arguments(defaultArguments())
{
}

DefaultGopherProgram::~DefaultGopherProgram()
{
    if (m_process) {
        m_process->disconnect(this);
        m_process->kill();
        m_process->waitForFinished(1000);
    }
}

QStringList DefaultGopherProgram::defaultArguments()
{
    return {QStringLiteral("xdg-mime"), QStringLiteral("default"),
            QString::fromLatin1(DesktopEntry), QStringLiteral("x-scheme-handler/gopher")};
}

bool DefaultGopherProgram::start()
{
    if (m_process)
        return false;
    const QByteArray commandLine = CommandLine::join(m_arguments).toUtf8();
    QString program = m_arguments.value(0);
    if (!program.contains(u'/'))
        program = QStandardPaths::findExecutable(program);
    if (program.isEmpty()) {
        report(false, "Couldn't run " + commandLine + '\n' + ProgramLauncher::failureText(2));
        return false;
    }
    m_process = new QProcess(this);
    m_process->setProgram(program);
    m_process->setArguments(m_arguments.mid(1));
    m_process->setStandardInputFile(QProcess::nullDevice());
    connect(m_process, &QProcess::finished, this, [this, commandLine](int code,
                                                                       QProcess::ExitStatus status) {
        QProcess *process = std::exchange(m_process, nullptr);
        process->deleteLater();
        if (status == QProcess::NormalExit && code == 0) {
            report(true, {});
            return;
        }
        QByteArray detail = commandLine + (status == QProcess::NormalExit
                                               ? " ended with code " + QByteArray::number(code)
                                               : QByteArray(" crashed"));
        const QByteArray output = process->readAllStandardError().trimmed().left(ShownOutput);
        if (!output.isEmpty())
            detail += ":\n" + output;
        report(false, detail);
    });
    connect(m_process, &QProcess::errorOccurred, this, [this, commandLine](QProcess::ProcessError e) {
        if (e != QProcess::FailedToStart)
            return;
        QProcess *process = std::exchange(m_process, nullptr);
        process->deleteLater();
        report(false, "Couldn't run " + commandLine + '\n' + ProgramLauncher::failureText(5));
    });
    m_process->start();
    return true;
}

void DefaultGopherProgram::report(bool ok, const QByteArray &detail)
{
    if (ok) {
        QByteArray text = Success;
        if (QStandardPaths::locate(QStandardPaths::ApplicationsLocation,
                                   QString::fromLatin1(DesktopEntry))
                .isEmpty())
            text += QByteArray("\n") + NotInstalled;
        m_ui.messageBox(text, UserInterface::Information);
    } else {
        m_ui.messageBox(QByteArray(Failure) + '\n' + detail, UserInterface::Exclamation);
    }
    Q_EMIT finished(ok);
}
