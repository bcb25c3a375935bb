#include "AboutWindow.h"
#include "AlertsFeature.h"
#include "ApplicationIdentity.h"
#include "CommandLine.h"
#include "DisplayCheck.h"
#include "ErrorBox.h"
#include "HistoryFeature.h"
#include "HistoryFolder.h"
#include "LogFolder.h"
#include "MainWindow.h"
#include "OptionsDialog.h"
#include "PortsFeature.h"
#include "RememberFeature.h"
#include "SingleInstance.h"
#include "SplashWindow.h"
#include "WindowHandover.h"

#include <QApplication>

#include <algorithm>
#include <cstdio>
#include <optional>
#include <vector>

int main(int argc, char *argv[])
{
    // Options (--discover, --help, ...) run without a window and without the lock.
    QStringList given;
    for (int i = 1; i < argc; ++i)
        given.append(QString::fromLocal8Bit(argv[i]));
    // Qt's own options (-style, -platform, ...) go to Qt; the first argument left is the
    // device file.
    const CommandLine::Arguments split = CommandLine::splitQtOptions(given);
    const std::optional<QString> deviceFile = CommandLine::windowArgument(split.own);
    if (!deviceFile)
        return CommandLine::run(argc, argv);

    // Without a display there is no window to show: one line, not Qt's abort. A platform
    // named on the command line is Qt's to judge.
    const bool platformGiven = std::any_of(split.qt.begin(), split.qt.end(), [](const QString &a) {
        return a == QLatin1String("-platform") || a == QLatin1String("--platform") ||
               a.startsWith(QLatin1String("-platform=")) ||
               a.startsWith(QLatin1String("--platform="));
    });
    if (const QString missing = DisplayCheck::missingDisplay();
        !platformGiven && !missing.isEmpty()) {
        std::fputs(missing.toLocal8Bit().constData(), stderr);
        return 1;
    }

    // One running copy: a second one ends at once, before any window exists, after handing
    // its device file (or nothing) to the running copy, which comes to the front. A hand-over
    // that fails is said on standard error, with exit code 1.
    const SingleInstance guard(QStringLiteral("irgendwaseinmaliges"));
    if (guard.anotherIsRunning()) {
        const QCoreApplication request(argc, argv); // no window: the socket needs its loop
        const WindowHandover::Result result = WindowHandover::handOver(*deviceFile);
        if (result == WindowHandover::Result::Taken)
            return 0;
        std::fputs(WindowHandover::failureMessage(result, *deviceFile).toLocal8Bit().constData(),
                   stderr);
        return 1;
    }

    // Qt sees its own options only, so that nothing of the program's is taken for one.
    std::vector<QByteArray> qtArguments{QByteArray(argv[0])};
    for (const QString &argument : split.qt)
        qtArguments.push_back(argument.toLocal8Bit());
    std::vector<char *> qtArgv;
    for (QByteArray &argument : qtArguments)
        qtArgv.push_back(argument.data());
    qtArgv.push_back(nullptr);
    int qtArgc = static_cast<int>(qtArguments.size());
    std::optional<DisplayCheck::Guard> displayGuard(std::in_place);
    QApplication app(qtArgc, qtArgv.data());
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
    AlertsFeature alerts(form1, form3);
    new PortsFeature(form1); // owned by form1
    // Last: a start that resumes polling starts it as the Start button does, for every feature.
    new RememberFeature(form1, form3); // owned by form1
    WindowHandoverServer handover(
        [&form1](const QString &file) { return form1.takeOverStart(file); });
    handover.listen();
    form1.show();
    return app.exec();
}
