#include "ShellOpen.h"

#include "ErrorReport.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QProcess>

namespace ShellOpen
{
namespace
{

Opener &currentOpener()
{
    static Opener opener = [](const QUrl &url) { return QDesktopServices::openUrl(url); };
    return opener;
}

// A scheme of one letter is a drive letter ("C:\..."), not a link.
bool hasScheme(const QUrl &url)
{
    return url.scheme().size() > 1;
}

} // namespace

Opener setOpener(Opener opener)
{
    Opener previous = currentOpener();
    currentOpener() = opener
                          ? std::move(opener)
                          : Opener([](const QUrl &url) { return QDesktopServices::openUrl(url); });
    return previous;
}

int execute(const QString &target)
{
    QUrl url(target);
    if (!hasScheme(url)) {
        // A file name: relative names are looked up in the current folder.
        const QFileInfo file(QDir::current(), target);
        if (target.isEmpty() || !file.exists())
            return FileNotFound;
        url = QUrl::fromLocalFile(file.absoluteFilePath());
    } else if (!url.isValid()) {
        return FileNotFound;
    } else if (url.isLocalFile() && !QFileInfo::exists(url.toLocalFile())) {
        return FileNotFound;
    }
    return currentOpener()(url) ? Success : NoAssociation;
}

QString failureMessage(const QString &name, int result)
{
    return QStringLiteral("ShellExecute \"%1\" Failed with Error: %2")
        .arg(name, QString::number(result));
}

void open(const QString &target, const QString &shownName)
{
    const int result = execute(target);
    if (result <= 32)
        throw OstralineError(failureMessage(shownName, result));
}

bool openInTextEditor(const QString &path)
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

} // namespace ShellOpen
