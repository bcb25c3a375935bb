#include "MainWindow.h"

#include "GraphBoard.h"
#include "PollRun.h"

void TForm1::pollAgain(int slot)
{
    // The entry is checked at the next poll's start (never under a poll in flight); the slot
    // stops looking failed at once.
    m_pollRun->pollAgain(slot);
    m_board->setErrorCaption(slot, QString());
    m_board->slot(slot).PollAgain->setVisible(false);
}
