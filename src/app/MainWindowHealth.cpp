// Link health and metrics: the settings, and what a finished poll shows of link health.

#include "MainWindow.h"

#include "LinkHealthDisplay.h"
#include "MetricsFeature.h"
#include "PollResult.h"
#include "PollRun.h"

void TForm1::setLinkHealth(bool on)
{
    m_pollRun->setLinkHealth(on);
    m_linkHealth->setEnabled(on);
}

bool TForm1::linkHealth() const
{
    return m_linkHealth->isEnabled();
}

void TForm1::showPollResult(const PollResult &result)
{
    m_linkHealth->show(result);
}

QString TForm1::setMetricsAddress(const QString &text)
{
    return m_metrics->setAddress(text);
}
