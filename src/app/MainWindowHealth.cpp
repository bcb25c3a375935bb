// Link health: the setting, and what a finished poll shows of it.

#include "MainWindow.h"

#include "HealthLog.h"
#include "LinkHealthDisplay.h"
#include "PollResult.h"

#include <QCheckBox>

void TForm1::setLinkHealth(bool on)
{
    m_linkHealth->setEnabled(on);
}

bool TForm1::linkHealth() const
{
    return m_linkHealth->isEnabled();
}

void TForm1::showPollResult(const PollResult &result)
{
    if (!m_linkHealth->isEnabled())
        return;
    m_linkHealth->show(result);
    if (CheckBoxUtilLog->isChecked() || CheckBoxAnalysisLog->isChecked()) {
        writeLogLine(QStringLiteral("Health log"),
                     [&] { HealthLog::write(result, m_deviceFilePath, *m_logEnvironment); });
    }
}
