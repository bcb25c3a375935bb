#pragma once

#include "AgentProfile.h"
#include "SnmpQuery.h"

#include <QDialog>
#include <QMap>

#include <functional>
#include <optional>

class QComboBox;
class QDialogButtonBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTableWidget;
class SecurityFields;

// One profile's fields. Passphrases are typed, never shown: editing a profile starts with
// empty passphrase fields, and an empty field keeps the stored passphrase.
class AgentProfileEditor : public QDialog
{
    Q_OBJECT

public:
    explicit AgentProfileEditor(const AgentProfile &profile, QWidget *parent = nullptr);
    AgentProfile profile() const;

    QLineEdit *address = nullptr;
    QComboBox *version = nullptr;
    SecurityFields *fields = nullptr; // the v3 user, shown for version 3

private:
    AgentProfile m_start;
};

// Tools > Agents...: the agents of the loaded device file and every saved profile, with their
// version and user; profiles are added, edited, tested and removed here and written to their
// file only by OK (Cancel leaves the file as it is).
class AgentProfileStore;

class AgentsDialog : public QDialog
{
    Q_OBJECT

public:
    // communities: each device-file address with the community of its first row (a v1 or
    // v2c test uses it).
    // The profiles come from store and OK writes the operator's changes into it: only the
    // profiles added, edited or removed here, applied to the file as it stands then, so a
    // profile another window saved meanwhile survives. store must outlive the dialog.
    AgentsDialog(const QMap<QString, QByteArray> &communities, AgentProfileStore &store,
                 QWidget *parent = nullptr);
    // The same with a store of its own for the file at profilePath.
    AgentsDialog(const QMap<QString, QByteArray> &communities, const QString &profilePath,
                 QWidget *parent = nullptr);

    // Add and Edit ask this for the new fields (by default the editor above, modal).
    using Editor = std::function<std::optional<AgentProfile>(const AgentProfile &start)>;
    void setEditor(Editor editor) { m_editor = std::move(editor); }

    const AgentProfiles &profiles() const { return m_profiles; }
    // The Test outcome in words.
    static QString testMessage(SnmpFailure failure, const QString &uptimeTicks);
    // Where each v3 agent's passphrases are kept, as the profile file at path shows it (inFile
    // as read from it): the passphrases it holds are there; those it lacks were taken out only
    // after the keyring had stored them.
    static QString passphraseStore(const AgentProfiles &inFile, const QString &path);

    QTableWidget *table = nullptr;
    QPushButton *addButton = nullptr;
    QPushButton *editButton = nullptr;
    QPushButton *testButton = nullptr;
    QPushButton *removeButton = nullptr;
    QLabel *testResult = nullptr;
    QLabel *storeLabel = nullptr; // where the passphrases are kept
    QDialogButtonBox *buttons = nullptr;

Q_SIGNALS:
    // The profiles were written to their file.
    void saved();

private:
    void refresh();
    void followKeyring();
    void describeStore(const QString &failure = QString());
    void storeEnded(bool inKeyring);
    void fitAddresses();
    QString selectedAddress() const;
    void add();
    void edit();
    void test();
    void remove();
    void save();

    QMap<QString, QByteArray> m_communities;
    AgentProfileStore *m_store = nullptr;
    AgentProfiles m_loaded;   // as the dialog found them
    AgentProfiles m_profiles; // with the operator's changes
    Editor m_editor;
    SnmpBatch m_test;
    bool m_storing = false; // OK waits for the keyring to take the passphrases
    QString m_storeFailure; // why the keyring did not take them, at the last OK
};
