// The main window's agent profiles (AgentProfileSource) and Tools > Agents...

#include "MainWindow.h"

#include "AgentAddresses.h"
#include "AgentProfileSource.h"
#include "AgentsDialog.h"
#include "InterfaceList.h"

const AgentProfiles &TForm1::agentProfiles() const
{
    return m_agents->profiles();
}

void TForm1::Agents1Click()
{
    auto *dialog = new AgentsDialog(AgentAddresses::communities(m_table, m_list.count()),
                                    m_agents->store(), this);
    dialog->setObjectName(QStringLiteral("AgentsDialog"));
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setModal(true);
    dialog->show();
}
