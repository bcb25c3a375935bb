#include "AboutWindow.h"
#include "ApplicationIdentity.h"
#include "ErrorBox.h"
#include "LogFolder.h"
#include "MainWindow.h"
#include "OptionsDialog.h"
#include "OstralineVersion.h"
#include "SingleInstance.h"
#include "SplashWindow.h"

#include <QApplication>

#include <cstdio>
#include <cstring>

int main(int argc, char *argv[])
{
    // The version alone needs no window and no lock.
    if (argc == 2 && std::strcmp(argv[1], "--version") == 0) {
        std::printf("Ostraline %s\n", OSTRALINE_VERSION);
        return 0;
    }

    // One running copy: a second one ends at once, before any window exists.
    const SingleInstance guard(QStringLiteral("irgendwaseinmaliges"));
    if (guard.anotherIsRunning())
        return 0;

    QApplication app(argc, argv);
    ApplicationIdentity::apply();
    // Where the logs go is settled once, before any window can switch one on.
    LogFolder::decide();

    ErrorBox::install();

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
