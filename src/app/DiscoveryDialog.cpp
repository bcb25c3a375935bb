#include "DiscoveryDialog.h"

#include "AgentProfileStore.h"
#include "DeviceFileWriter.h"
#include "ErrorReport.h"
#include "NumberFormat.h"
#include "PassphraseKeyring.h"
#include "SecurityFields.h"
#include "SnmpHost.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFileInfo>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QShortcut>
#include <QSortFilterProxyModel>
#include <QTableView>
#include <QVBoxLayout>

DiscoveryDialog::DiscoveryDialog(std::function<QString(const QString &)> chooseSavePath,
                                 std::function<void(const QString &)> load, QWidget *parent)
    : QDialog(parent), m_chooseSavePath(std::move(chooseSavePath)), m_load(std::move(load))
{
    setWindowTitle(QStringLiteral("Discover interfaces"));
    setObjectName(QStringLiteral("DiscoveryDialog"));
    m_askLoad = [this](const QString &path) {
        return QMessageBox::question(this, QStringLiteral("Discover interfaces"),
                                     QStringLiteral("Load %1 now?").arg(path)) == QMessageBox::Yes;
    };

    m_address = new QLineEdit(this);
    m_address->setPlaceholderText(QStringLiteral("192.0.2.1, [2001:db8::1]:161 or router.example"));
    m_community = new QLineEdit(QStringLiteral("public"), this);
    m_version = new QComboBox(this);
    m_version->addItem(QStringLiteral("auto"), int(SnmpVersion::Auto));
    m_version->addItem(QStringLiteral("1"), int(SnmpVersion::V1));
    m_version->addItem(QStringLiteral("2c"), int(SnmpVersion::V2c));
    m_version->addItem(QStringLiteral("3"), int(SnmpVersion::V3));
    m_security = new SecurityFields(this);
    m_saveProfile =
        new QCheckBox(QStringLiteral("Save these settings as the agent's pr&ofile"), this);
    m_saveProfile->setChecked(true);
    m_saveProfile->setToolTip(QStringLiteral("The window polls an agent with its profile; "
                                             "without one it uses SNMP v1 and the community."));
    m_form = new QFormLayout;
    m_form->addRow(QStringLiteral("&Address:"), m_address);
    m_form->addRow(QStringLiteral("SNMP &version:"), m_version);
    m_form->addRow(QStringLiteral("Co&mmunity:"), m_community);
    m_form->addRow(m_security);
    m_form->addRow(m_saveProfile);
    auto *form = m_form;

    m_discover = new QPushButton(QStringLiteral("&Discover"), this);
    m_discover->setDefault(true);
    m_cancel = new QPushButton(QStringLiteral("Ca&ncel"), this);
    m_cancel->setEnabled(false);
    m_busy = new QProgressBar(this);
    m_busy->setRange(0, 0);
    m_busy->setVisible(false);
    m_busy->setMaximumWidth(120);
    m_progress = new QLabel(this);
    auto *run = new QHBoxLayout;
    run->addWidget(m_discover);
    run->addWidget(m_cancel);
    run->addWidget(m_busy);
    run->addWidget(m_progress, 1);

    m_filter = new QLineEdit(this);
    m_filter->setPlaceholderText(QStringLiteral("Filter"));
    // Ctrl+F reaches the filter field from anywhere in the dialog.
    connect(new QShortcut(QKeySequence::Find, this), &QShortcut::activated, m_filter,
            [this] { m_filter->setFocus(Qt::ShortcutFocusReason); });
    m_filter->setClearButtonEnabled(true);
    m_proxy = new QSortFilterProxyModel(this);
    m_proxy->setSourceModel(&m_model);
    m_proxy->setFilterKeyColumn(-1);
    m_proxy->setFilterCaseSensitivity(Qt::CaseInsensitive);
    m_view = new QTableView(this);
    m_view->setModel(m_proxy);
    m_view->verticalHeader()->hide();
    m_view->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_view->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed |
                            QAbstractItemView::SelectedClicked);
    m_view->horizontalHeader()->setStretchLastSection(true);

    m_message = new QLabel(this);
    m_message->setWordWrap(true);
    m_message->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_count = new QLabel(this);
    m_save = new QPushButton(QStringLiteral("&Save as device file..."), this);
    m_save->setEnabled(false);
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    buttons->button(QDialogButtonBox::Close)->setText(QStringLiteral("&Close")); // every platform
    buttons->addButton(m_save, QDialogButtonBox::ActionRole);
    // The Close button must not be the default: Enter in the address field discovers.
    buttons->button(QDialogButtonBox::Close)->setAutoDefault(false);

    auto *layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addLayout(run);
    layout->addWidget(m_filter);
    layout->addWidget(m_view, 1);
    layout->addWidget(m_message);
    layout->addWidget(m_count);
    layout->addWidget(buttons);
    resize(760, 480);

    connect(m_version, &QComboBox::currentIndexChanged, this, &DiscoveryDialog::followVersion);
    connect(m_address, &QLineEdit::editingFinished, this, &DiscoveryDialog::prefillSecurity);
    followVersion();
    connect(m_discover, &QPushButton::clicked, this, &DiscoveryDialog::discover);
    connect(m_address, &QLineEdit::returnPressed, this, &DiscoveryDialog::discover);
    connect(m_cancel, &QPushButton::clicked, this, &DiscoveryDialog::cancelDiscovery);
    connect(m_save, &QPushButton::clicked, this, &DiscoveryDialog::save);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(m_filter, &QLineEdit::textChanged, m_proxy,
            &QSortFilterProxyModel::setFilterFixedString);
    connect(&m_discovery, &InterfaceDiscovery::progress, this, [this](int values, int requests) {
        m_progress->setText(
            NumberFormat::counted(values, QStringLiteral("value read"),
                                  QStringLiteral("values read")) +
            QStringLiteral(" in ") +
            NumberFormat::counted(requests, QStringLiteral("request"), QStringLiteral("requests")));
    });
    connect(&m_discovery, &InterfaceDiscovery::finished, this, &DiscoveryDialog::discovered);
    // Closing the dialog (Close, Escape or the title bar) ends a walk in progress.
    connect(this, &QDialog::finished, this, &DiscoveryDialog::cancelDiscovery);
    connect(&m_model, &DiscoveryModel::checkedChanged, this, &DiscoveryDialog::showCount);
    connect(&m_model, &DiscoveryModel::limitReached, this, [this] {
        showMessage(QStringLiteral("At most %1 interfaces can be polled: uncheck one before "
                                   "checking another.")
                        .arg(Discovery::MaxPolled),
                    true);
    });
}

DiscoveryDialog::~DiscoveryDialog()
{
    // Hiding the dialog on destruction takes the focus from the address field, whose
    // editingFinished must not reach this half-destroyed dialog.
    disconnect(m_address, nullptr, this, nullptr);
}

void DiscoveryDialog::setAgentProfiles(AgentProfileStore *store)
{
    m_store = store;
    followVersion();
}

void DiscoveryDialog::setAgentProfiles(const QString &path, std::function<void()> saved)
{
    auto *store = new AgentProfileStore(path, this);
    if (saved)
        connect(store, &AgentProfileStore::changed, this, std::move(saved));
    setAgentProfiles(store);
}

// SNMP v3 asks for a user instead of a community.
void DiscoveryDialog::followVersion()
{
    const bool v3 = m_version->currentData().toInt() == int(SnmpVersion::V3);
    m_form->setRowVisible(m_community, !v3);
    m_form->setRowVisible(m_security, v3);
    m_form->setRowVisible(m_saveProfile, v3 && m_store);
    if (v3)
        prefillSecurity();
}

// A saved v3 profile of the address fills the fields, unless the operator has typed a user
// for this address already.
void DiscoveryDialog::prefillSecurity()
{
    const QString address = m_address->text().trimmed();
    if (!m_store || address.isEmpty() || address == m_prefilledFor ||
        m_version->currentData().toInt() != int(SnmpVersion::V3))
        return;
    if (!m_security->user->text().isEmpty() && m_prefilledFor.isEmpty())
        return;
    QString error;
    if (!m_store->load(&error))
        return; // the Agents dialog and the poll report a broken file
    // Passphrases kept in the keyring, where read already (Tools > Agents... and the poll
    // read them).
    AgentProfiles profiles = m_store->profiles();
    PassphraseKeyring::shared().fillIn(&profiles);
    const auto security = profiles.v3Security(address);
    if (!security)
        return;
    m_security->setSecurity(*security);
    m_prefilledFor = address;
}
QString DiscoveryDialog::messageText() const
{
    return m_message->text();
}

void DiscoveryDialog::discover()
{
    if (m_discovery.isRunning())
        return;
    const QString address = m_address->text().trimmed();
    QString problem = SnmpHost::problem(address);
    if (problem.isEmpty())
        problem = Discovery::communityProblem(m_community->text());
    if (!problem.isEmpty()) {
        showMessage(problem, true);
        return;
    }
    const auto version = static_cast<SnmpVersion>(m_version->currentData().toInt());
    m_walkSecurity.reset();
    if (version == SnmpVersion::V3) {
        prefillSecurity();
        const SnmpSecurity security = m_security->security();
        if (!security.isUsable()) {
            showMessage(QStringLiteral("Enter the user and, for its security level, the "
                                       "passphrases (at least %1 characters each).")
                            .arg(SnmpSecurity::MinPassphrase),
                        true);
            return;
        }
        m_walkSecurity = std::make_shared<const SnmpSecurity>(security);
    }
    showMessage(QString(), false);
    m_progress->setText(QStringLiteral("Asking %1...").arg(address));
    setRunning(true);
    // A v3 agent gets no community; the device file's community field stays empty.
    m_discovery.start(address, m_walkSecurity ? QString() : m_community->text(), version,
                      m_walkSecurity);
}

void DiscoveryDialog::cancelDiscovery()
{
    if (!m_discovery.isRunning())
        return;
    m_discovery.cancel();
    setRunning(false);
    m_progress->setText(QStringLiteral("Cancelled."));
}

void DiscoveryDialog::discovered(const DiscoveryResult &result)
{
    setRunning(false);
    m_result = result;
    m_model.setInterfaces(result.interfaces);
    m_view->resizeColumnsToContents();
    m_progress->setText(
        result.answered
            ? QStringLiteral("%1 over SNMP v%2%3")
                  .arg(NumberFormat::counted(result.interfaces.size(), QStringLiteral("interface"),
                                             QStringLiteral("interfaces")))
                  .arg(snmpVersionText(result.version),
                       result.sysName.isEmpty() ? QString()
                                                : QStringLiteral(" from ") + result.sysName)
            : QString());
    QStringList notes = result.warnings;
    if (!result.message.isEmpty())
        notes.prepend(result.answered ? QStringLiteral("Stopped early: ") + result.message
                                      : result.message);
    if (result.answered && result.interfaces.isEmpty())
        notes.append(QStringLiteral("The agent lists no interfaces."));
    bool error = !result.message.isEmpty() || !notes.isEmpty();
    if (result.answered && result.version == SnmpVersion::V3 && m_walkSecurity &&
        m_saveProfile->isChecked() && m_store) {
        const QString problem = saveProfile(result);
        notes.append(problem.isEmpty()
                         ? QStringLiteral("The SNMP v3 settings were saved as the profile of %1.")
                               .arg(result.address)
                         : problem);
        error = error || !problem.isEmpty();
    }
    showMessage(notes.join(QLatin1Char('\n')), error);
    showCount();
}

// Stores the settings the agent answered to as its profile; the reason when it cannot.
QString DiscoveryDialog::saveProfile(const DiscoveryResult &result)
{
    QString error;
    AgentProfile profile;
    profile.address = result.address;
    profile.version = AgentProfile::Version::V3;
    profile.security = *m_walkSecurity;
    if (!m_store->change([&](AgentProfiles &profiles) { profiles.set(profile); }, &error))
        return error;
    // Into the keyring, and out of the file once it holds them.
    PassphraseKeyring::shared().store(m_store->path(), m_store->profiles());
    m_prefilledFor = result.address;
    return QString();
}

void DiscoveryDialog::showCount()
{
    const int checked = m_model.checkedCount();
    m_save->setEnabled(checked > 0 && !m_discovery.isRunning());
    if (m_model.rowCount() == 0) {
        m_count->clear();
        return;
    }
    QString text = QStringLiteral("%1 of %2 interfaces checked (at most %3).")
                       .arg(checked)
                       .arg(m_model.rowCount())
                       .arg(Discovery::MaxPolled);
    if (m_model.checkedHaveUnknownBandwidth())
        text += QStringLiteral(" Enter the bandwidth of each checked interface whose speed is "
                               "unknown (double-click the speed).");
    m_count->setText(text);
}

void DiscoveryDialog::showMessage(const QString &text, bool error)
{
    m_message->setText(text);
    m_message->setStyleSheet(error ? QStringLiteral("color: #b00000;") : QString());
}

void DiscoveryDialog::setRunning(bool running)
{
    m_discover->setEnabled(!running);
    m_cancel->setEnabled(running);
    m_busy->setVisible(running);
    m_save->setEnabled(!running && m_model.checkedCount() > 0);
}

void DiscoveryDialog::save()
{
    const QList<DiscoveredInterface> checked = m_model.checkedInterfaces();
    if (checked.isEmpty()) {
        showMessage(QStringLiteral("Check at least one interface."), true);
        return;
    }
    QStringList unknown;
    for (const DiscoveredInterface &entry : checked) {
        if (entry.bandwidth == 0)
            unknown.append(entry.name.isEmpty() ? QString::number(entry.index) : entry.name);
    }
    if (!unknown.isEmpty()) {
        showMessage(QStringLiteral("Enter the bandwidth first (the agent reports no speed for %1).")
                        .arg(unknown.join(QStringLiteral(", "))),
                    true);
        return;
    }
    const QString path =
        m_chooseSavePath(Discovery::proposedFileName(m_result.sysName, m_result.address));
    if (path.isEmpty())
        return;
    QStringList lines;
    for (const DiscoveredInterface &entry : checked)
        lines.append(Discovery::deviceLine(m_result.address, entry, m_result.community));
    try {
        DeviceFileWriter::write(path, lines);
    } catch (const OstralineError &error) {
        showMessage(error.message(), true);
        return;
    }
    showMessage(QStringLiteral("%1 saved to %2.")
                    .arg(NumberFormat::counted(lines.size(), QStringLiteral("interface"),
                                               QStringLiteral("interfaces")),
                         path),
                false);
    if (m_askLoad(path))
        m_load(path);
}
