#pragma once

#include "DiscoveryModel.h"
#include "InterfaceDiscovery.h"

#include <QDialog>

#include <functional>

class QCheckBox;
class QComboBox;
class QFormLayout;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QSortFilterProxyModel;
class QTableView;
class SecurityFields;

// File > "Discover interfaces...": walks an agent's interfaces, lets the operator check up to
// 20 of them (and fill in unknown bandwidths), writes them as a device file and offers to
// load it. The walk runs on the event loop, so the main window keeps polling meanwhile.
class AgentProfileStore;

class DiscoveryDialog : public QDialog
{
    Q_OBJECT

public:
    // chooseSavePath: the shared device-file chooser in save mode, given the proposed file
    // name; returns the chosen path or empty. load: the normal device-file load of a path.
    DiscoveryDialog(std::function<QString(const QString &)> chooseSavePath,
                    std::function<void(const QString &)> load, QWidget *parent = nullptr);
    ~DiscoveryDialog() override;

    // The agent profile file: a v3 discovery starts from the address's saved profile and,
    // when the agent answers, stores its settings there (unless unchecked); saved() follows.
    // The application's store (it must outlive the dialog), or a store of the dialog's own for
    // the file at path, whose saves call saved.
    void setAgentProfiles(AgentProfileStore *store);
    void setAgentProfiles(const QString &path, std::function<void()> saved);

    // For tests: replaces the question whether to load the saved file.
    void setLoadQuestion(std::function<bool(const QString &)> ask) { m_askLoad = std::move(ask); }

    QLineEdit *addressEdit() const { return m_address; }
    QLineEdit *communityEdit() const { return m_community; }
    QComboBox *versionBox() const { return m_version; }
    SecurityFields *securityFields() const { return m_security; }
    QCheckBox *saveProfileBox() const { return m_saveProfile; }
    QLineEdit *filterEdit() const { return m_filter; }
    QPushButton *discoverButton() const { return m_discover; }
    QPushButton *cancelButton() const { return m_cancel; }
    QPushButton *saveButton() const { return m_save; }
    QTableView *view() const { return m_view; }
    DiscoveryModel &model() { return m_model; }
    InterfaceDiscovery &discovery() { return m_discovery; }
    QString messageText() const;
    bool isDiscovering() const { return m_discovery.isRunning(); }

    void discover();
    void cancelDiscovery();
    void save();

private:
    void discovered(const DiscoveryResult &result);
    void showCount();
    void showMessage(const QString &text, bool error);
    void setRunning(bool running);
    void followVersion();
    void prefillSecurity();
    QString saveProfile(const DiscoveryResult &result);

    std::function<QString(const QString &)> m_chooseSavePath;
    std::function<void(const QString &)> m_load;
    std::function<bool(const QString &)> m_askLoad;
    InterfaceDiscovery m_discovery;
    DiscoveryModel m_model;
    DiscoveryResult m_result;
    QSortFilterProxyModel *m_proxy = nullptr;
    QLineEdit *m_address = nullptr;
    QLineEdit *m_community = nullptr;
    QComboBox *m_version = nullptr;
    QFormLayout *m_form = nullptr;
    SecurityFields *m_security = nullptr;
    QCheckBox *m_saveProfile = nullptr;
    AgentProfileStore *m_store = nullptr;
    QString m_prefilledFor; // the address whose saved profile filled the v3 fields
    std::shared_ptr<const SnmpSecurity> m_walkSecurity; // of the walk running or last run
    QPushButton *m_discover = nullptr;
    QPushButton *m_cancel = nullptr;
    QProgressBar *m_busy = nullptr;
    QLabel *m_progress = nullptr;
    QLineEdit *m_filter = nullptr;
    QTableView *m_view = nullptr;
    QLabel *m_message = nullptr;
    QLabel *m_count = nullptr;
    QPushButton *m_save = nullptr;
};
