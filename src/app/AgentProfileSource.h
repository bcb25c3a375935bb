#pragma once

#include <QObject>

#include <memory>

class AgentProfiles;
class AgentProfileStore;
class TForm1;

// The agent profiles the poll follows: read from their own file through the application's one
// profile store, taken again whenever the store changes, with the passphrases kept in the
// keyring filled in as they are read. Until they are, the first status-bar panel says why
// those agents' readings fail.
class AgentProfileSource : public QObject
{
public:
    // window: the parent of the store and where the status goes; it must outlive the source.
    explicit AgentProfileSource(TForm1 &window);
    ~AgentProfileSource() override;

    // The profiles as last read (the poller points at them).
    AgentProfiles &profiles() { return *m_profiles; }
    const AgentProfiles &profiles() const { return *m_profiles; }
    // The application's one agent profile store (the file at its default path), made at its
    // first use as a child of the window.
    AgentProfileStore &store();
    // Reads the agent profile file again (at start and after the profiles were saved); a
    // fault goes to the error report and leaves no profiles.
    void reload();

private:
    // Passphrases kept in the keyring join the profiles when read.
    void followKeyring();

    TForm1 &m_window;
    AgentProfileStore *m_store = nullptr;
    std::unique_ptr<AgentProfiles> m_profiles;
    bool m_followingKeyring = false;
};
