#include "AboutWindow.h"
#include "ApplicationIdentity.h"
#include "GraphBoard.h"
#include "HelpWindow.h"
#include "Histograph.h"
#include "InterfaceTable.h"
#include "LogFolder.h"
#include "MainWindowFixture.h"
#include "OptionsDialog.h"
#include "ShellOpen.h"
#include "SplashWindow.h"
#include "WebLabel.h"

#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBlock>
#include <QTextBrowser>
#include <QTextEdit>
#include <QTimer>
#include <QTreeWidget>
#include <QWindow>

// Records what would have been handed to the desktop; nothing is ever launched.
class RecordingOpener
{
public:
    explicit RecordingOpener(bool accepts = true)
    {
        m_previous = ShellOpen::setOpener([this, accepts](const QUrl &url) {
            urls << url;
            return accepts;
        });
    }
    ~RecordingOpener() { ShellOpen::setOpener(m_previous); }
    QList<QUrl> urls;

private:
    ShellOpen::Opener m_previous;
};

// Runs with the current folder set to a fresh temporary folder.
class InFolder
{
public:
    InFolder() : m_previous(QDir::currentPath()) { QDir::setCurrent(dir.path()); }
    ~InFolder() { QDir::setCurrent(m_previous); }
    QTemporaryDir dir;

private:
    QString m_previous;
};

class TestHelpAbout : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { ApplicationIdentity::apply(); }
    void init() { qunsetenv("OSTRALINE_NO_SPLASH"); }

    // --- window titles -------------------------------------------------------------------

    // The title each window hands to the window system, and no display name that the
    // window system would append to it.
    void windowTitlesAsTheWindowSystemGetsThem_data()
    {
        QTest::addColumn<QString>("window");
        QTest::addColumn<QString>("title");
        QTest::newRow("main window") << "main"
                                     << "Ostraline by Kelvane";
        QTest::newRow("Options") << "options"
                                 << "Options";
        QTest::newRow("single-device panel") << "edit device"
                                             << "Edit device";
        QTest::newRow("About") << "about"
                               << "About";
    }
    void windowTitlesAsTheWindowSystemGetsThem()
    {
        QFETCH(QString, window);
        QFETCH(QString, title);
        qputenv("OSTRALINE_NO_SPLASH", "1");
        MainWindowFixture f;
        TForm1 &form = f.create();
        TForm2 about(&form);
        TForm3 options(form, &form);
        QWidget *shown = &form;
        if (window == "about") {
            shown = &about;
        } else if (window != "main") {
            if (window == "edit device")
                options.editDevice(1);
            shown = &options;
        }
        shown->show();
        QVERIFY(QTest::qWaitForWindowExposed(shown));
        QVERIFY(shown->windowHandle());
        QCOMPARE(shown->windowHandle()->title(), title);

        const QString name = QCoreApplication::applicationName();
        QCoreApplication::setApplicationName(QStringLiteral("probe"));
        const QString displayName = QGuiApplication::applicationDisplayName();
        QCoreApplication::setApplicationName(name);
        QCOMPARE(displayName, QStringLiteral("probe")); // follows the name: none of its own
        QCOMPARE(name, QStringLiteral("Ostraline"));
        shown->hide();
    }

    // --- help and homepage -------------------------------------------------------------

    void helpWithoutAFileOpensTheManual()
    {
        MainWindowFixture f;
        TForm1 &form = f.create();
        RecordingOpener opener;
        InFolder elsewhere;
        form.callforhelp();
        auto *help = form.findChild<HelpWindow *>();
        QVERIFY(help);
        QVERIFY(help->isVisible());
        QVERIFY(help->isWindow());
        form.callforhelp(); // the same window again, not a second one
        QCOMPARE(form.findChildren<HelpWindow *>().size(), 1);
        QVERIFY(f.errors.isEmpty());
        QVERIFY(opener.urls.isEmpty());
    }

    void helpWithNeitherFileNorManualReportsFileNotFound()
    {
        MainWindowFixture f;
        TForm1 &form = f.create();
        RecordingOpener opener;
        InFolder elsewhere;
        HelpWindow::setManualSource(QUrl(QStringLiteral("qrc:/ostraline/manual/none.md")));
        form.callforhelp();
        HelpWindow::setManualSource({});
        QCOMPARE(f.errors, QStringList{"ShellExecute \"osl.chm\" Failed with Error: 2"});
        QVERIFY(!form.findChild<HelpWindow *>());
        QVERIFY(opener.urls.isEmpty());
    }

    // The manual covers the program's topics, and every picture it names is built in.
    void manualHasItsTopicsAndPictures()
    {
        QWidget owner;
        HelpWindow *help = HelpWindow::open(&owner);
        QStringList headings;
        for (QTreeWidgetItemIterator it(help->contents()); *it; ++it)
            headings << (*it)->text(0);
        for (const char *topic :
             {"What the window shows", "The device file", "Discovering interfaces",
              "SNMP v3 and agent profiles", "64-bit counters", "Link health", "History", "Alerts",
              "Metrics for Prometheus", "Keyboard", "Files and settings", "Command line"})
            QVERIFY2(headings.contains(QLatin1String(topic)), topic);

        int pictures = 0;
        QTextDocument *document = help->browser()->document();
        for (QTextBlock block = document->begin(); block.isValid(); block = block.next()) {
            for (auto it = block.begin(); !it.atEnd(); ++it) {
                const QTextCharFormat format = it.fragment().charFormat();
                if (!format.isImageFormat())
                    continue;
                const QString name = format.toImageFormat().name();
                const QVariant image = document->resource(QTextDocument::ImageResource,
                                                          help->browser()->source().resolved(name));
                QVERIFY2(!image.value<QImage>().isNull() || !image.value<QPixmap>().isNull() ||
                             !QImage::fromData(image.toByteArray()).isNull(),
                         qPrintable(name));
                ++pictures;
            }
        }
        QVERIFY(pictures > 0);
    }

    void manualContentsJumpToTheirHeading()
    {
        QWidget owner;
        HelpWindow *help = HelpWindow::open(&owner);
        const QList<QTreeWidgetItem *> found =
            help->contents()->findItems(QStringLiteral("Link health"), Qt::MatchRecursive);
        QCOMPARE(found.size(), 1);
        help->contents()->setCurrentItem(found.first());
        QCOMPARE(help->browser()->textCursor().block().text(), QStringLiteral("Link health"));
    }

    void manualSearchFindsAndWraps()
    {
        QWidget owner;
        HelpWindow *help = HelpWindow::open(&owner);
        help->searchField()->setText(QStringLiteral("KWALLET"));
        help->findNext();
        QCOMPARE(help->browser()->textCursor().selectedText(), QStringLiteral("KWallet"));
        QCOMPARE(help->searchResult(), QStringLiteral("1 match"));
        const int first = help->browser()->textCursor().selectionStart();
        help->findNext(); // wraps to the same, only match
        QCOMPARE(help->browser()->textCursor().selectionStart(), first);

        help->searchField()->setText(QStringLiteral("passphrase"));
        help->findNext();
        const int a = help->browser()->textCursor().selectionStart();
        help->findNext();
        QVERIFY(help->browser()->textCursor().selectionStart() > a);
        help->findPrevious();
        QCOMPARE(help->browser()->textCursor().selectionStart(), a);
        QVERIFY(help->searchResult().endsWith(QLatin1String(" matches")));

        help->searchField()->setText(QStringLiteral("zqxjv"));
        help->findNext();
        QCOMPARE(help->searchResult(), QStringLiteral("No match"));
    }

    void helpOpensTheFileOfTheCurrentFolder_data()
    {
        QTest::addColumn<bool>("accepts");
        QTest::addColumn<QStringList>("errors");
        QTest::newRow("a program takes it") << true << QStringList();
        QTest::newRow("no program for it")
            << false << QStringList{"ShellExecute \"osl.chm\" Failed with Error: 31"};
    }
    void helpOpensTheFileOfTheCurrentFolder()
    {
        QFETCH(bool, accepts);
        QFETCH(QStringList, errors);
        MainWindowFixture f;
        TForm1 &form = f.create();
        RecordingOpener opener(accepts);
        InFolder here;
        QFile help(here.dir.filePath("osl.chm"));
        QVERIFY(help.open(QIODevice::WriteOnly));
        help.close();
        form.callforhelp();
        QCOMPARE(f.errors, errors);
        QCOMPARE(opener.urls, QList<QUrl>{QUrl::fromLocalFile(QFileInfo(help).absoluteFilePath())});
    }

    void homepageOpensTheAboutWindowsLink_data()
    {
        QTest::addColumn<bool>("accepts");
        QTest::addColumn<QStringList>("errors");
        QTest::newRow("opened") << true << QStringList();
        QTest::newRow("failed, message without the prefix")
            << false
            << QStringList{"ShellExecute \"ostraline.kelvane.example\" Failed with Error: 31"};
    }
    void homepageOpensTheAboutWindowsLink()
    {
        QFETCH(bool, accepts);
        QFETCH(QStringList, errors);
        MainWindowFixture f;
        TForm1 &form = f.create();
        TForm2 about(&form);
        form.attachWindows(&about, nullptr, nullptr);
        RecordingOpener opener(accepts);
        form.Producthomepage1Click();
        QCOMPARE(f.errors, errors);
        QCOMPARE(opener.urls, QList<QUrl>{QUrl("http://ostraline.kelvane.example")});
        QVERIFY(!about.isVisible());
    }

    // Tools > Open log folder hands the folder chosen for the logs to the desktop, creating
    // the per-user folder first when no log has been written yet.
    void openLogFolderShowsTheChosenFolder_data()
    {
        QTest::addColumn<bool>("accepts");
        QTest::addColumn<bool>("failed");
        QTest::newRow("opened") << true << false;
        QTest::newRow("no program for folders") << false << true;
    }
    void openLogFolderShowsTheChosenFolder()
    {
        QFETCH(bool, accepts);
        QFETCH(bool, failed);
        MainWindowFixture f;
        TForm1 &form = f.create();
        QTemporaryDir dir;
        const QString user = dir.filePath("share/Kelvane/OSL");
        LogFolder::decide(dir.filePath("unwritable"), user);
        RecordingOpener opener(accepts);
        QAction *item = form.action("Openlogfolder1");
        QVERIFY(item);
        item->trigger();
        QVERIFY(QFileInfo(user).isDir());
        QCOMPARE(opener.urls, QList<QUrl>{QUrl::fromLocalFile(user)});
        const QString message = QStringLiteral("ShellExecute \"%1\" Failed with Error: 31")
                                    .arg(QDir::toNativeSeparators(user));
        QCOMPARE(f.errors, failed ? QStringList{message} : QStringList());
        LogFolder::decide();
    }

    void executeResults_data()
    {
        QTest::addColumn<QString>("target");
        QTest::addColumn<int>("result");
        QTest::addColumn<int>("opened");
        QTest::newRow("mail link") << "mailto:support@kelvane.example" << ShellOpen::Success << 1;
        QTest::newRow("missing file link") << "file:///no/such/osl.chm" << 2 << 0;
        QTest::newRow("missing absolute file") << "/no/such/osl.chm" << 2 << 0;
        QTest::newRow("empty target") << "" << 2 << 0;
    }
    void executeResults()
    {
        QFETCH(QString, target);
        QFETCH(int, result);
        QFETCH(int, opened);
        RecordingOpener opener;
        QCOMPARE(ShellOpen::execute(target), result);
        QCOMPARE(opener.urls.size(), opened);
    }

    // --- Options through the main window ------------------------------------------------

    void optionsOkReachesEveryGraph()
    {
        MainWindowFixture f;
        TForm1 &form = f.create();
        TForm3 options(form, &form);
        form.attachWindows(nullptr, &options, nullptr);
        QTimer::singleShot(0, &options, [&] {
            options.Edit1->setText("80");
            options.Edit2->setText("10");
            options.Button1->click();
        });
        form.Options1Click();
        for (int k = 1; k <= 20; ++k) {
            const THistograph &graph = *form.board().slot(k).Graph;
            QCOMPARE(graph.HighValue(), 80);
            QCOMPARE(graph.LowValue(), 10);
            QCOMPARE(graph.GraphHighColor(), QColor(Qt::red));
        }
        QCOMPARE(f.stored("highvaluecolor"), QStringLiteral("clRed"));
        QVERIFY(f.errors.isEmpty());
    }

    void editDeviceFromASlotMenuRewritesTheRow()
    {
        MainWindowFixture f;
        const QString file = f.writeFile("two.dev", "192.0.2.1;1;1000000;public;first\n"
                                                    "192.0.2.2;2;2000000;public;second\n");
        TForm1 &form = f.create(file);
        TForm3 options(form, &form);
        form.attachWindows(nullptr, &options, nullptr);
        QString caption, shownIp;
        QTimer::singleShot(0, &options, [&] {
            caption = options.windowTitle();
            shownIp = options.Edit4->text();
            options.Edit4->setText("192.0.2.99");
            options.Button4->click();
            options.Button6->click();
        });
        form.board().slot(2).EditDevice->trigger();
        QCOMPARE(caption, QStringLiteral("Edit device"));
        QCOMPARE(shownIp, QStringLiteral("192.0.2.2"));
        QCOMPARE(form.interfaceTable().cell(Col::IP, 2), QStringLiteral("192.0.2.99"));
        QCOMPARE(form.interfaceTable().cell(Col::IP, 1), QStringLiteral("192.0.2.1"));
        QCOMPARE(form.interfaceTable().cell(Col::Description, 2), QStringLiteral("second"));
        QCOMPARE(options.windowTitle(), QStringLiteral("Options"));
    }

    // --- web label ----------------------------------------------------------------------

    void prefixesInOrder()
    {
        const QStringList expected = {"file://", "ftp://", "gopher://", "http://", "https://",
                                      "mailto:", "news:",  "telnet:",   "wais:"};
        QStringList prefixes;
        for (int t = int(TURLType::lnFile); t <= int(TURLType::lnWais); ++t)
            prefixes << urlPrefix(TURLType(t));
        QCOMPARE(prefixes, expected);
    }

    void webLabelDefaults()
    {
        TWebLabel label;
        QCOMPARE(label.link(), QStringLiteral("ostraline.kelvane.example"));
        QCOMPARE(label.text(), label.link());
        QCOMPARE(label.linkType(), TURLType::lnHttp);
        QCOMPARE(label.focusColor(), QColor(Qt::red));
        QCOMPARE(label.fontColor(), QColor(0, 0, 128));
        QCOMPARE(label.normalColor(), QColor(0, 0, 128));
        QVERIFY(label.font().underline());
        QVERIFY(!label.toolTip().isEmpty());
        QCOMPARE(label.cursor().shape(), Qt::BitmapCursor);
        QVERIFY(!label.cursor().pixmap().isNull());
    }

    void webLabelHoverColours()
    {
        TWebLabel label;
        label.setFontColor(Qt::darkGreen);
        int entered = 0, left = 0;
        label.onMouseEnter = [&] {
            QCOMPARE(label.fontColor(), QColor(Qt::red));
            ++entered;
        };
        label.onMouseLeave = [&] { ++left; };
        QEnterEvent enter(QPointF(2, 2), QPointF(2, 2), QPointF(2, 2));
        QApplication::sendEvent(&label, &enter);
        QCOMPARE(label.fontColor(), QColor(Qt::red));
        QCOMPARE(label.normalColor(), QColor(Qt::darkGreen));
        QEvent leave(QEvent::Leave);
        QApplication::sendEvent(&label, &leave);
        QCOMPARE(label.fontColor(), QColor(Qt::darkGreen));
        QCOMPARE(entered, 1);
        QCOMPARE(left, 1);

        // Setting the font colour to FocusColor keeps the remembered colour; any other
        // colour replaces it.
        label.setFontColor(Qt::red);
        QCOMPARE(label.normalColor(), QColor(Qt::darkGreen));
        QPalette p = label.palette();
        p.setColor(QPalette::WindowText, Qt::magenta);
        label.setPalette(p);
        QCOMPARE(label.normalColor(), QColor(Qt::magenta));
    }

    void webLabelOpensOnAnyButtonRelease_data()
    {
        QTest::addColumn<Qt::MouseButton>("button");
        QTest::addColumn<TURLType>("type");
        QTest::addColumn<QString>("link");
        QTest::addColumn<QString>("url");
        QTest::newRow("left, http") << Qt::LeftButton << TURLType::lnHttp << "www.example.org"
                                    << "http://www.example.org";
        QTest::newRow("right, https") << Qt::RightButton << TURLType::lnHttps << "example.org/a"
                                      << "https://example.org/a";
        QTest::newRow("middle, mail")
            << Qt::MiddleButton << TURLType::lnMailto << "support@kelvane.example"
            << "mailto:support@kelvane.example";
        QTest::newRow("left, news") << Qt::LeftButton << TURLType::lnNews << "comp.protocols"
                                    << "news:comp.protocols";
    }
    void webLabelOpensOnAnyButtonRelease()
    {
        QFETCH(Qt::MouseButton, button);
        QFETCH(TURLType, type);
        QFETCH(QString, link);
        QFETCH(QString, url);
        RecordingOpener opener;
        TWebLabel label;
        label.resize(200, 20);
        label.setLinkType(type);
        label.setLink(link);
        QCOMPARE(label.target(), url);
        QTest::mouseClick(&label, button, {}, QPoint(10, 10));
        QCOMPARE(opener.urls, QList<QUrl>{QUrl(url)});
    }

    void webLabelReleaseAwayOrFailing()
    {
        MainWindowFixture f; // records errors
        RecordingOpener opener(false);
        TWebLabel label;
        label.resize(200, 20);
        QTest::mouseRelease(&label, Qt::LeftButton, {}, QPoint(300, 10));
        QVERIFY(opener.urls.isEmpty());
        QTest::mouseClick(&label, Qt::LeftButton, {}, QPoint(10, 10));
        QCOMPARE(f.errors,
                 QStringList{"ShellExecute \"ostraline.kelvane.example\" Failed with Error: 31"});
    }

    // --- About and splash ---------------------------------------------------------------

    void aboutWindowLayout()
    {
        TForm2 about;
        QCOMPARE(about.size(), QSize(335, 482));
        QCOMPARE(about.windowTitle(), QStringLiteral("About"));
        QCOMPARE(about.Memo1->toPlainText(),
                 QStringLiteral("Ostraline, \nOSL.exe\nVersion 1.1.0; April 2005\n"
                                "Network Monitoring Software \nby Kelvane"));
        QVERIFY(about.Memo1->isReadOnly());
        QVERIFY(about.Memo1->font().bold());
        QCOMPARE(about.Image1->height(), 183);
        QVERIFY(!about.Image1->pixmap().isNull());
        QCOMPARE(about.Image1->pixmap().width(), 335);

        QCOMPARE(about.WebLabel1->linkType(), TURLType::lnHttp);
        QCOMPARE(about.WebLabel1->link(), QStringLiteral("ostraline.kelvane.example"));
        QCOMPARE(about.WebLabel1->toolTip(), QStringLiteral("Kelvane Software Homepage"));
        QCOMPARE(about.WebLabel1->fontColor(), QColor(Qt::red));
        // Red is also its focus colour; leaving the label still brings red back.
        QEnterEvent enter(QPointF(2, 2), QPointF(2, 2), QPointF(2, 2));
        QApplication::sendEvent(about.WebLabel1, &enter);
        QEvent leave(QEvent::Leave);
        QApplication::sendEvent(about.WebLabel1, &leave);
        QCOMPARE(about.WebLabel1->normalColor(), QColor(Qt::red));
        QCOMPARE(about.WebLabel1->fontColor(), QColor(Qt::red));
        QVERIFY(about.WebLabel1->font().bold() && about.WebLabel1->font().underline());
        QCOMPARE(about.WebLabel2->linkType(), TURLType::lnMailto);
        QCOMPARE(about.WebLabel2->target(), QStringLiteral("mailto:support@kelvane.example"));
        QCOMPARE(about.WebLabel2->focusColor(), QColor(Qt::blue));
        QCOMPARE(about.WebLabel2->normalColor(), QColor(Qt::blue));
        QCOMPARE(about.Button1->text(), QStringLiteral("&Close"));
    }

    void aboutIsModalUntilClose()
    {
        MainWindowFixture f;
        TForm1 &form = f.create();
        TForm2 about(&form);
        form.attachWindows(&about, nullptr, nullptr);
        bool wasModal = false;
        QWidget *focused = nullptr;
        QTimer::singleShot(0, &about, [&] {
            wasModal = about.isVisible() && about.isModal();
            focused = about.focusWidget();
            about.Button1->click();
        });
        form.About1Click();
        QVERIFY(wasModal);
        QCOMPARE(focused, about.Button1);
        QVERIFY(!about.isVisible());
    }

    void splashLayout()
    {
        TAboutBox1 splash;
        QCOMPARE(splash.size(), QSize(402, 224));
        QVERIFY(splash.windowFlags() & Qt::FramelessWindowHint);
        QCOMPARE(splash.ProgramIcon->size(), QSize(105, 65));
        QVERIFY(!splash.ProgramIcon->pixmap().isNull());
        QCOMPARE(splash.ProductName->text(), QStringLiteral("Ostraline"));
        QVERIFY(splash.ProductName->font().bold());
        QCOMPARE(splash.Version->text(), QStringLiteral("Version: 1.1.0"));
        QVERIFY(splash.OKButton->isDefault());
        splash.show();
        splash.OKButton->click();
        QVERIFY(!splash.isVisible());
        QCOMPARE(splash.result(), int(QDialog::Accepted));
    }

    void splashClosesAtTheFirstTickOfItsTimer()
    {
        QElapsedTimer sinceCreation;
        sinceCreation.start();
        TAboutBox1 splash;
        QVERIFY(splash.Timer1->isActive());
        QCOMPARE(splash.Timer1->interval(), 2000);
        splash.open();
        QTRY_VERIFY_WITH_TIMEOUT(!splash.isVisible(), 5000);
        QVERIFY(sinceCreation.elapsed() >= 1900);
        // The timer keeps running; a tick with the window gone changes nothing.
        QVERIFY(splash.Timer1->isActive());
        splash.Timer1Timer();
        QVERIFY(!splash.isVisible());
    }

    // The splash blocks clicks and keys to the main window while it is up, and still goes
    // away by itself two seconds after it was created.
    void splashBlocksTheMainWindowUntilItCloses()
    {
        MainWindowFixture f;
        TForm1 &form = f.create();
        QElapsedTimer sinceCreation;
        sinceCreation.start();
        TAboutBox1 splash;
        form.attachWindows(nullptr, nullptr, &splash);
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        QVERIFY(splash.isVisible());
        QCOMPARE(QApplication::activeModalWidget(), &splash);

        // Through the window system, as a user's click and keys arrive.
        QMenuBar *bar = form.menuBar();
        const QPoint file = bar->mapTo(&form, bar->actionGeometry(bar->actions().first()).center());
        QTest::mouseClick(form.windowHandle(), Qt::LeftButton, {}, file);
        QTest::keyClick(form.windowHandle(), Qt::Key_F, Qt::AltModifier);
        QTest::qWait(50);
        QVERIFY(!QApplication::activePopupWidget());

        QTRY_VERIFY_WITH_TIMEOUT(!splash.isVisible(), 5000);
        QVERIFY(sinceCreation.elapsed() >= TAboutBox1::TimerInterval - 100);
        QTest::mouseClick(form.windowHandle(), Qt::LeftButton, {}, file);
        QTRY_VERIFY(QApplication::activePopupWidget());
        QApplication::activePopupWidget()->close();
    }

    void mainWindowShowsTheSplashOnce_data()
    {
        QTest::addColumn<bool>("suppressed");
        QTest::newRow("normal start") << false;
        QTest::newRow("suppressed for automated runs") << true;
    }
    void mainWindowShowsTheSplashOnce()
    {
        QFETCH(bool, suppressed);
        if (suppressed)
            qputenv("OSTRALINE_NO_SPLASH", "1");
        MainWindowFixture f;
        TForm1 &form = f.create();
        TAboutBox1 splash;
        form.attachWindows(nullptr, nullptr, &splash);
        form.show();
        QCOMPARE(splash.isVisible(), !suppressed);
        QCOMPARE(splash.isModal(), !suppressed);
        splash.OKButton->click();
        form.hide();
        form.show();
        QVERIFY(!splash.isVisible());
    }
};

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    TestHelpAbout test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_helpabout.moc"
