#include "AboutWindow.h"
#include "ApplicationIdentity.h"
#include "ErrorReport.h"
#include "MainWindow.h"
#include "OptionsDialog.h"
#include "SingleInstance.h"
#include "SplashWindow.h"

#include <QApplication>
#include <QMessageBox>

int main(int argc, char *argv[])
{
    // One running copy: a second one ends at once, before any window exists.
    const SingleInstance guard(QStringLiteral("irgendwaseinmaliges"));
    if (guard.anotherIsRunning())
        return 0;

    QApplication app(argc, argv);
    ApplicationIdentity::apply();

    ErrorReport::setHandler([](const QString &message) {
        QMessageBox::critical(QApplication::activeWindow(), QStringLiteral("Ostraline"), message);
    });

    const QStringList arguments = QApplication::arguments();
    // The windows in their order of creation: the main window (which applies the settings and
    // loads a device file), About, Options (which fills itself from the settings), the splash
    // (whose two-second timer starts now).
    TForm1 form1(arguments.size() > 1 ? arguments.at(1) : QString());
    TForm2 form2(&form1);
    TForm3 form3(form1, &form1);
    TAboutBox1 splash;
    form1.attachWindows(&form2, &form3, &splash);
    form1.show();
    return app.exec();
}
