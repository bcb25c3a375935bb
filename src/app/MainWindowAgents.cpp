// The main window's agent profiles: read from their own file, followed by the poll.

#include "MainWindow.h"

#include "AgentProfileFile.h"
#include "ErrorReport.h"

void TForm1::reloadAgentProfiles()
{
    AgentProfiles profiles;
    QString error;
    if (!AgentProfileFile::load(AgentProfileFile::defaultPath(), &profiles, &error)) {
        ErrorReport::show(error);
        profiles = AgentProfiles();
    }
    // A poll in flight keeps the security it was sent with; the next one follows the file.
    m_agentProfiles = profiles;
}
