#include "ShellOpen.h"

#include "ErrorReport.h"

#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>

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

} // namespace ShellOpen
