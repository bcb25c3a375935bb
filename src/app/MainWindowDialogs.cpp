// The main window's side of the other windows: Options, the single-device panel, help,
// homepage, About and the splash.

#include "MainWindow.h"

#include "ErrorReport.h"
#include "GraphBoard.h"

void TForm1::attachWindows(TForm2 *about, TForm3 *options, TAboutBox1 *splash)
{
    m_form2 = about;
    m_form3 = options;
    m_splash = splash;
}

void TForm1::setHighValueAll(int value)
{
    m_board->setHighValueAll(value);
}

void TForm1::setLowValueAll(int value)
{
    m_board->setLowValueAll(value);
}

void TForm1::setGraphHighColorAll(const QColor &color)
{
    m_board->setGraphHighColorAll(color);
}

void TForm1::setGraphNormalColorAll(const QColor &color)
{
    m_board->setGraphNormalColorAll(color);
}

void TForm1::setGraphLowColorAll(const QColor &color)
{
    m_board->setGraphLowColorAll(color);
}

void TForm1::setStopOnErrors(bool stop)
{
    setOnErrorMode(stop ? OnErrorMode::Stop : OnErrorMode::Zeroes);
}

void TForm1::rowRewritten(int row)
{
    m_poller.discardRow(row);
}

// The dialogs are attached by the program entry; until they are, these do nothing.
void TForm1::Options1Click() {}
void TForm1::editDevice(int) {}
void TForm1::callforhelp() {}
void TForm1::Producthomepage1Click() {}
void TForm1::About1Click() {}
void TForm1::showSplash() {}
