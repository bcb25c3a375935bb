#include "AboutWindow.h"
#include "ApplicationIdentity.h"
#include "CommandLine.h"
#include "DisplayCheck.h"
#include "ErrorBox.h"
#include "HistoryFeature.h"
#include "HistoryFolder.h"
#include "LogFolder.h"
#include "MainWindow.h"
#include "MainWindowAlerts.h"
#include "OptionsDialog.h"
#include "SingleInstance.h"
#include "SplashWindow.h"

#include <QApplication>

#include <cstdio>
#include <optional>

int main(int argc, char *argv[])
{
    // Options (--discover, --help, ...) run without a window and without the lock.
    QStringList given;
    for (int i = 1; i < argc; ++i)
        given.append(QString::fromLocal8Bit(argv[i]));
    const std::optional<QString> deviceFile = CommandLine::windowArgument(given);
    if (!deviceFile)
        return CommandLine::run(argc, argv);

    // Without a display there is no window to show: one line, not Qt's abort.
    if (const QString missing = DisplayCheck::missingDisplay(); !missing.isEmpty()) {
        std::fputs(missing.toLocal8Bit().constData(), stderr);
        return 1;
    }

    // One running copy: a second one ends at once, before any window exists.
    const SingleInstance guard(QStringLiteral("irgendwaseinmaliges"));
    if (guard.anotherIsRunning())
        return 0;

    std::optional<DisplayCheck::Guard> displayGuard(std::in_place);
    QApplication app(argc, argv);
    displayGuard.reset();
    ApplicationIdentity::apply();
    // Where the logs go is settled once, before any window can switch one on.
    LogFolder::decide();

    ErrorBox::install();

    // The windows in their order of creation: the main window (which applies the settings and
    // loads a device file), About, Options (which fills itself from the settings), the splash
    // (whose two-second timer starts now).
    TForm1 form1(*deviceFile);
    TForm2 form2(&form1);
    TForm3 form3(form1, &form1);
    TAboutBox1 splash;
    form1.attachWindows(&form2, &form3, &splash);
    new HistoryFeature(form1, HistoryFolder::defaultPath()); // owned by form1
    MainWindowAlerts alerts(form1, form3);
    form1.show();
    return app.exec();
}
