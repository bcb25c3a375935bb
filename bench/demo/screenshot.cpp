// Opens the main window on a device file, starts polling, lets it run and saves a picture of
// the window: the pictures of the README are made with it.
//
//   demo_screenshot --device FILE [--loopback-traffic] --out PNG [options]
//   demo_screenshot --simulated --out PNG [options]
//
// Options: --seconds N of polling (150), --interval 3|6|12 (3), --double ("Double update
// speed"), --graphs 10|15|20 (10), --table ("Show more"), --settings INI (a settings file to
// start from, such as the run command's demo settings written by scripts/demo-agent.sh).
//
// --simulated serves twenty interfaces with moving counters from a loopback snmpd;
// --loopback-traffic sends datagrams from 127.0.0.1 to 127.0.0.1 meanwhile. The settings live
// in a private folder for the run.

#include "BenchSupport.h"
#include "GraphBoard.h"
#include "MainWindow.h"

#include <QApplication>
#include <QCheckBox>
#include <QCommandLineParser>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdio>

int main(int argc, char **argv)
{
    BenchSupport::usePrivateSettings();
    qputenv("OSTRALINE_NO_SPLASH", "1");
    QApplication app(argc, argv);

    QCommandLineParser parser;
    parser.addHelpOption();
    const QCommandLineOption deviceOption("device", "Device file to open.", "file");
    const QCommandLineOption simulatedOption("simulated", "Twenty simulated interfaces.");
    const QCommandLineOption trafficOption("loopback-traffic", "Send traffic over 127.0.0.1.");
    const QCommandLineOption outOption("out", "PNG file to write.", "png");
    const QCommandLineOption secondsOption("seconds", "Seconds of polling before the picture.", "n",
                                           "150");
    const QCommandLineOption graphsOption("graphs", "Graphs shown: 10, 15 or 20.", "n", "10");
    const QCommandLineOption tableOption("table", "Show the table (\"Show more\").");
    const QCommandLineOption intervalOption("interval", "Poll interval in seconds.", "s", "3");
    const QCommandLineOption doubleOption("double", "\"Double update speed\" on.");
    const QCommandLineOption settingsOption("settings", "Settings file to start from.", "ini");
    parser.addOptions({deviceOption, simulatedOption, trafficOption, outOption, secondsOption,
                       graphsOption, tableOption, intervalOption, doubleOption, settingsOption});
    parser.process(app);
    if (!parser.isSet(outOption) || parser.isSet(deviceOption) == parser.isSet(simulatedOption)) {
        std::fprintf(stderr, "give --out and either --device or --simulated\n");
        return 2;
    }

    // A copy in the private settings folder, so the given file itself stays as it is.
    if (parser.isSet(settingsOption)) {
        const QString copy =
            qEnvironmentVariable("XDG_CONFIG_HOME") + QStringLiteral("/Kelvane/OSL.ini");
        QDir().mkpath(QFileInfo(copy).absolutePath());
        if (!QFile::copy(parser.value(settingsOption), copy)) {
            std::fprintf(stderr, "cannot read %s\n", qPrintable(parser.value(settingsOption)));
            return 1;
        }
    }

    QTemporaryDir folder;
    SimulatedNetwork network;
    QString device = parser.value(deviceOption);
    if (parser.isSet(simulatedOption)) {
        device = folder.filePath("network.dev");
        if (!network.start() || !network.writeDeviceFile(device)) {
            std::fprintf(stderr, "simulated network: %s\n", qPrintable(network.errorString()));
            return 1;
        }
    }
    LoopbackTraffic traffic;
    if (parser.isSet(trafficOption) && !traffic.start()) {
        std::fprintf(stderr, "no loopback socket\n");
        return 1;
    }

    TForm1 form(QFileInfo(device).absoluteFilePath());
    form.show();
    switch (parser.value(intervalOption).toInt()) {
    case 6:
        form.N6seconds1Click();
        break;
    case 12:
        form.N12seconds1Click();
        break;
    default:
        form.N3seconds1Click();
        break;
    }
    if (parser.isSet(doubleOption) && !form.CheckBoxDouble->isChecked())
        form.Doubleupdatespeed1Click();
    switch (parser.value(graphsOption).toInt()) {
    case 15:
        form.Show15graphs1Click();
        break;
    case 20:
        form.Show20graphs1Click();
        break;
    default:
        form.Show10graphs1Click();
        break;
    }
    if (!form.CheckBox2->isChecked())
        form.Showlastvalues1Click();
    if (!form.CheckBox3->isChecked())
        form.Showinterfacenames1Click();
    if (parser.isSet(tableOption) && !form.isExpanded())
        form.Button9Clickr();
    form.Button3Click();

    const int seconds = parser.value(secondsOption).toInt();
    QTimer::singleShot(seconds * 1000, &app, [&] {
        const QString out = parser.value(outOption);
        if (!BenchSupport::savePicture(form, out)) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(out));
            app.exit(1);
            return;
        }
        std::printf("%s: %dx%d after %d s of polling; status: %s\n", qPrintable(out), form.width(),
                    form.height(), seconds, qPrintable(form.statusText(0)));
        app.exit(0);
    });
    return app.exec();
}
