#include "SplashWindow.h"

#include "OstralineVersion.h"
#include "Pictures.h"

#include <QFrame>
#include <QGuiApplication>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QTimer>

TAboutBox1::TAboutBox1(QWidget *parent) : QDialog(parent, Qt::Dialog | Qt::FramelessWindowHint)
{
    setObjectName(QStringLiteral("AboutBox1"));
    setWindowTitle(QStringLiteral("Ostraline"));
    setFixedSize(402, 224);

    auto *panel = new QFrame(this);
    panel->setObjectName(QStringLiteral("Panel1"));
    panel->setFrameStyle(QFrame::Panel | QFrame::Raised);
    panel->setLineWidth(2);
    panel->setGeometry(8, 8, 386, 161);

    ProgramIcon = new QLabel(panel);
    ProgramIcon->setObjectName(QStringLiteral("ProgramIcon"));
    ProgramIcon->setGeometry(16, 16, 105, 65);
    ProgramIcon->setScaledContents(true);
    ProgramIcon->setPixmap(Pictures::splashPicture());

    ProductName = new QLabel(QStringLiteral("Ostraline"), panel);
    ProductName->setObjectName(QStringLiteral("ProductName"));
    QFont bold = ProductName->font();
    bold.setBold(true);
    bold.setPointSize(bold.pointSize() + 4);
    ProductName->setFont(bold);
    ProductName->setGeometry(144, 24, 220, 28);

    Version = new QLabel(QStringLiteral("Version: " OSTRALINE_VERSION), panel);
    Version->setObjectName(QStringLiteral("Version"));
    Version->setGeometry(144, 60, 220, 20);

    OKButton = new QPushButton(QStringLiteral("OK"), this);
    OKButton->setObjectName(QStringLiteral("OKButton"));
    OKButton->setDefault(true);
    OKButton->setGeometry(163, 182, 75, 27);
    connect(OKButton, &QPushButton::clicked, this, &QDialog::accept);

    // Centred on the screen, not on the main window.
    if (const QScreen *screen = QGuiApplication::primaryScreen()) {
        QRect frame(QPoint(), size());
        frame.moveCenter(screen->availableGeometry().center());
        move(frame.topLeft());
    }

    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setInterval(TimerInterval);
    connect(Timer1, &QTimer::timeout, this, &TAboutBox1::Timer1Timer);
    Timer1->start();
}

bool TAboutBox1::suppressed()
{
    return !qEnvironmentVariableIsEmpty("OSTRALINE_NO_SPLASH");
}

void TAboutBox1::Timer1Timer()
{
    // The timer keeps running; once the window is gone its ticks change nothing.
    if (isVisible())
        close();
}
