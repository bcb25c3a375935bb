#pragma once

#include <QDialog>

class QLabel;
class QPushButton;
class QTimer;

// The borderless greeting shown over the main window when that is first shown. Its timer
// starts with the window's creation at program start; the first tick that finds the window
// showing closes it, so it goes away about two seconds after start or at "OK".
class TAboutBox1 : public QDialog
{
    Q_OBJECT

public:
    static constexpr int TimerInterval = 2000;

    explicit TAboutBox1(QWidget *parent = nullptr);

    // The environment variable OSTRALINE_NO_SPLASH (any non-empty value) keeps the splash
    // from being shown at start, for automated runs.
    static bool suppressed();

    QTimer *Timer1 = nullptr;
    QLabel *ProgramIcon = nullptr; // the picture
    QLabel *ProductName = nullptr;
    QLabel *Version = nullptr;
    QPushButton *OKButton = nullptr;

    void Timer1Timer();
};
