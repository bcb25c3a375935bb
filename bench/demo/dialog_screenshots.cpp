// Saves pictures of the Options dialog, the single-device panel ("Edit device"), the About
// window and the splash, each opened the way the program opens it (the README's pictures).
// Run under xvfb-run.
//
// Usage: dialog_screenshots [--out FOLDER]
//
// Writes options-dialog.png, device-panel.png, about-window.png and splash-window.png. The
// main window loads a small device file with documentation addresses; nothing is polled, so
// nothing is sent. The settings live in a private folder for the run.

#include "AboutWindow.h"
#include "ApplicationIdentity.h"
#include "BenchSupport.h"
#include "MainWindow.h"
#include "OptionsDialog.h"
#include "SplashWindow.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdio>
#include <functional>

namespace
{

// Opens `dialog` with `open` (which runs the dialog's own modal loop, as the program does),
// saves a picture of it once it is laid out and on screen, and closes it again.
bool capture(QDialog &dialog, const std::function<void()> &open, const QString &path)
{
    bool saved = false;
    QTimer::singleShot(500, &dialog, [&] {
        saved = BenchSupport::savePicture(dialog, path);
        std::printf("%s: %dx%d, title \"%s\"%s\n", qPrintable(path), dialog.width(),
                    dialog.height(), qPrintable(dialog.windowTitle()), saved ? "" : " NOT SAVED");
        dialog.reject();
    });
    open();
    return saved;
}

} // namespace

int main(int argc, char **argv)
{
    BenchSupport::usePrivateSettings();
    // The splash is taken on its own below, not over the main window.
    qputenv("OSTRALINE_NO_SPLASH", "1");
    QApplication app(argc, argv);
    ApplicationIdentity::apply();

    QCommandLineParser parser;
    parser.addHelpOption();
    const QCommandLineOption outOption("out", "Folder for the pictures.", "folder", ".");
    parser.addOption(outOption);
    parser.process(app);
    const QDir out(parser.value(outOption));
    if (!out.exists()) {
        std::fprintf(stderr, "no folder %s\n", qPrintable(out.path()));
        return 2;
    }

    QTemporaryDir folder;
    const QString device = folder.filePath("core.dev");
    QFile file(device);
    if (!file.open(QIODevice::WriteOnly) ||
        file.write("192.0.2.1;3;100000000;public;Core uplink\r\n"
                   "192.0.2.1;7;1000000000;public;Server farm A\r\n") < 0) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(device));
        return 1;
    }
    file.close();

    // The windows as the program entry creates them.
    TForm1 form(device);
    TForm2 about(&form);
    TForm3 options(form, &form);
    form.attachWindows(&about, &options, nullptr);
    form.show();

    bool ok = capture(
        options, [&] { form.Options1Click(); }, out.filePath("options-dialog.png"));
    ok = capture(
             options, [&] { form.editDevice(1); }, out.filePath("device-panel.png")) &&
         ok;
    ok = capture(
             about, [&] { about.showAbout(); }, out.filePath("about-window.png")) &&
         ok;
    // Created last: its own timer closes it two seconds after creation.
    TAboutBox1 splash;
    ok = capture(
             splash, [&] { splash.exec(); }, out.filePath("splash-window.png")) &&
         ok;
    return ok ? 0 : 1;
}
