#include "TextEditor.h"

#include "ErrorReport.h"

#include <QCoreApplication>
#include <QProcess>

namespace TextEditor
{

bool open(const QString &path)
{
#ifdef Q_OS_WIN
    const QString program = QStringLiteral("notepad");
#else
    const QString program = QStringLiteral("xdg-open");
#endif
    const auto report = [path](const QString &why) {
        ErrorReport::show(QStringLiteral("Cannot open \"%1\" in a text editor: %2").arg(path, why));
    };
    // The process object deletes itself once the launcher has ended (the launcher hands the
    // file to the editor and returns; an editor it started is not ended with the program).
    auto *process = new QProcess(QCoreApplication::instance());
    process->setProgram(program);
    process->setArguments({path});
    process->setStandardInputFile(QProcess::nullDevice());
    process->setStandardOutputFile(QProcess::nullDevice());
    process->setStandardErrorFile(QProcess::nullDevice());
    process->start();
    if (!process->waitForStarted(5000)) {
        report(
            QStringLiteral("%1 could not be started (%2).").arg(program, process->errorString()));
        delete process;
        return false;
    }
    QObject::connect(
        process, &QProcess::finished, process,
        [process, program, report](int exitCode, QProcess::ExitStatus status) {
            if (status != QProcess::NormalExit)
                report(QStringLiteral("%1 crashed.").arg(program));
            else if (exitCode != 0)
                report(QStringLiteral("%1 ended with exit code %2.").arg(program).arg(exitCode));
            process->deleteLater();
        });
    return true;
}

} // namespace TextEditor
