#include "AttachedWindows.h"

#include "AboutWindow.h"
#include "ErrorReport.h"
#include "OptionsDialog.h"
#include "ShellOpen.h"
#include "SplashWindow.h"
#include "WebLabel.h"

void AttachedWindows::attach(TForm2 *about, TForm3 *options, TAboutBox1 *splash)
{
    m_about = about;
    m_options = options;
    m_splash = splash;
}

void AttachedWindows::showOptions()
{
    if (m_options)
        m_options->exec();
}

void AttachedWindows::editDevice(int slot)
{
    if (!m_options)
        return;
    m_options->editDevice(slot);
    // Modal, but the poll timers keep firing while it is open.
    m_options->exec();
}

void AttachedWindows::openHomepage()
{
    if (!m_about)
        return;
    ErrorReport::guarded([this] {
        const QString link = m_about->WebLabel1->link();
        ShellOpen::open(QStringLiteral("http://") + link, link);
    });
}

void AttachedWindows::showAbout()
{
    if (m_about)
        m_about->showAbout();
}

void AttachedWindows::showSplash()
{
    // Modal for the whole application (the splash has no parent window, so a window-modal
    // one would block nothing) but without a nested event loop, so that the window's own
    // showing completes; the splash closes itself at its timer or at "OK".
    if (m_splash && !TAboutBox1::suppressed()) {
        m_splash->setWindowModality(Qt::ApplicationModal);
        m_splash->show();
    }
}
