#include "TextEditor.h"

#include <QProcess>

namespace TextEditor {

bool open(const QString &path)
{
#ifdef Q_OS_WIN
    const QString program = QStringLiteral("notepad");
#else
    const QString program = QStringLiteral("xdg-open");
#endif
    return QProcess::startDetached(program, {path});
}

} // namespace TextEditor
