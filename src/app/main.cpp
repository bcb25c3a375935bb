#include "ErrorReport.h"
#include "MainWindow.h"
#include "SingleInstance.h"

#include <QApplication>
#include <QMessageBox>

int main(int argc, char *argv[])
{
    // One running copy: a second one ends at once, before any window exists.
    const SingleInstance guard(QStringLiteral("irgendwaseinmaliges"));
    if (guard.anotherIsRunning())
        return 0;

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Ostraline"));
    QApplication::setApplicationDisplayName(QStringLiteral("Ostraline"));

    ErrorReport::setHandler([](const QString &message) {
        QMessageBox::critical(QApplication::activeWindow(), QStringLiteral("Ostraline"), message);
    });

    const QStringList arguments = QApplication::arguments();
    TForm1 form1(arguments.size() > 1 ? arguments.at(1) : QString());
    form1.show();
    return app.exec();
}
