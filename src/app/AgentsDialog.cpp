#include "AgentsDialog.h"

#include "AgentProfileFile.h"
#include "ErrorReport.h"
#include "IfMib.h"
#include "SecurityFields.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

namespace
{

} // namespace

AgentProfileEditor::AgentProfileEditor(const AgentProfile &profile, QWidget *parent)
    : QDialog(parent), m_start(profile)
{
    setWindowTitle(QStringLiteral("Agent profile"));
    address = new QLineEdit(profile.address, this);
    version = new QComboBox(this);
    version->addItems({QStringLiteral("1"), QStringLiteral("2c"), QStringLiteral("3")});
    version->setCurrentText(AgentProfile::versionText(profile.version));
    fields = new SecurityFields(this);
    fields->setSecurity(profile.security);
    auto *form = new QFormLayout;
    form->addRow(QStringLiteral("Address:"), address);
    form->addRow(QStringLiteral("SNMP version:"), version);
    auto *box = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(fields);
    layout->addStretch();
    layout->addWidget(box);
    // Only a v3 profile has a user.
    const auto followVersion = [this] {
        fields->setVisible(version->currentText() == QLatin1String("3"));
        adjustSize();
    };
    connect(version, &QComboBox::currentTextChanged, this, followVersion);
    followVersion();
    connect(box, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(box, &QDialogButtonBox::rejected, this, &QDialog::reject);
}

AgentProfile AgentProfileEditor::profile() const
{
    AgentProfile p = m_start;
    p.address = address->text().trimmed();
    p.version = AgentProfile::parseVersion(version->currentText()).value_or(p.version);
    p.security = fields->security();
    return p;
}

AgentsDialog::AgentsDialog(const QMap<QString, QByteArray> &communities, const QString &profilePath,
                           QWidget *parent)
    : QDialog(parent), m_communities(communities), m_path(profilePath)
{
    setWindowTitle(QStringLiteral("Agents"));
    QString error;
    if (!AgentProfileFile::load(m_path, &m_profiles, &error))
        ErrorReport::show(error);

    table = new QTableWidget(0, 3, this);
    table->setHorizontalHeaderLabels(
        {QStringLiteral("Agent"), QStringLiteral("Version"), QStringLiteral("User")});
    table->setSelectionBehavior(QAbstractItemView::SelectRows);
    table->setSelectionMode(QAbstractItemView::SingleSelection);
    table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table->horizontalHeader()->setStretchLastSection(true);
    table->verticalHeader()->hide();
    addButton = new QPushButton(QStringLiteral("Add..."), this);
    editButton = new QPushButton(QStringLiteral("Edit..."), this);
    testButton = new QPushButton(QStringLiteral("Test"), this);
    removeButton = new QPushButton(QStringLiteral("Remove"), this);
    testResult = new QLabel(this);
    testResult->setWordWrap(true);
    buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);

    auto *side = new QVBoxLayout;
    for (QPushButton *button : {addButton, editButton, testButton, removeButton})
        side->addWidget(button);
    side->addStretch();
    auto *row = new QHBoxLayout;
    row->addWidget(table, 1);
    row->addLayout(side);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(row);
    layout->addWidget(testResult);
    layout->addWidget(buttons);
    resize(560, 320);

    m_editor = [this](const AgentProfile &start) -> std::optional<AgentProfile> {
        AgentProfileEditor editor(start, this);
        if (editor.exec() != QDialog::Accepted)
            return std::nullopt;
        return editor.profile();
    };
    connect(addButton, &QPushButton::clicked, this, &AgentsDialog::add);
    connect(editButton, &QPushButton::clicked, this, &AgentsDialog::edit);
    connect(testButton, &QPushButton::clicked, this, &AgentsDialog::test);
    connect(removeButton, &QPushButton::clicked, this, &AgentsDialog::remove);
    connect(buttons, &QDialogButtonBox::accepted, this, &AgentsDialog::save);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(&m_test, &SnmpBatch::finished, this, [this](const QStringList &values) {
        testResult->setText(testMessage(m_test.failures().value(0), values.value(0)));
        testButton->setEnabled(true);
    });
    refresh();
}

void AgentsDialog::refresh()
{
    const QString selected = selectedAddress();
    QStringList addresses = m_communities.keys();
    for (const AgentProfile &p : m_profiles.all()) {
        if (!addresses.contains(p.address))
            addresses << p.address;
    }
    addresses.sort();
    table->setRowCount(0);
    for (const QString &address : addresses) {
        const int row = table->rowCount();
        table->insertRow(row);
        const AgentProfile *p = m_profiles.find(address);
        QString version = QStringLiteral("no profile");
        QString user;
        if (p) {
            version = AgentProfile::versionText(p->version);
            if (p->version == AgentProfile::Version::V3)
                user = p->security.user;
        }
        table->setItem(row, 0, new QTableWidgetItem(address));
        table->setItem(row, 1, new QTableWidgetItem(version));
        table->setItem(row, 2, new QTableWidgetItem(user));
        if (address == selected)
            table->selectRow(row);
    }
}

QString AgentsDialog::selectedAddress() const
{
    const int row = table->currentRow();
    const QTableWidgetItem *item = row >= 0 ? table->item(row, 0) : nullptr;
    return item && item->isSelected() ? item->text() : QString();
}

void AgentsDialog::add()
{
    AgentProfile start;
    start.address = selectedAddress();
    if (const AgentProfile *existing = m_profiles.find(start.address))
        start = *existing;
    if (const auto profile = m_editor(start); profile && !profile->address.isEmpty()) {
        m_profiles.set(*profile);
        refresh();
    }
}

void AgentsDialog::edit()
{
    const QString address = selectedAddress();
    if (address.isEmpty())
        return;
    AgentProfile start;
    start.address = address;
    if (const AgentProfile *existing = m_profiles.find(address))
        start = *existing;
    if (const auto profile = m_editor(start); profile && !profile->address.isEmpty()) {
        if (profile->address != address)
            m_profiles.remove(address);
        m_profiles.set(*profile);
        refresh();
    }
}

void AgentsDialog::remove()
{
    if (m_profiles.remove(selectedAddress()))
        refresh();
}

void AgentsDialog::test()
{
    const QString address = selectedAddress();
    if (address.isEmpty())
        return;
    SnmpRequest request{IfMib::sysUpTime0Text(), QString(), address, m_communities.value(address)};
    if (request.communityBytes.isNull())
        request.communityBytes = QByteArray("");
    if (auto security = m_profiles.v3Security(address)) {
        request.version = SnmpVersion::V3;
        request.security = std::move(security);
    }
    testResult->setText(QStringLiteral("Testing..."));
    testButton->setEnabled(false);
    m_test.start({request});
}

void AgentsDialog::save()
{
    QString error;
    if (!AgentProfileFile::save(m_path, m_profiles, &error)) {
        ErrorReport::show(error);
        return;
    }
    Q_EMIT saved();
    accept();
}

QString AgentsDialog::testMessage(SnmpFailure failure, const QString &uptimeTicks)
{
    if (failure != SnmpFailure::None)
        return snmpFailureText(failure);
    bool ok = false;
    const qulonglong ticks = uptimeTicks.toULongLong(&ok);
    if (!ok)
        return QStringLiteral("The agent answered without an uptime.");
    const qulonglong seconds = ticks / 100;
    return QStringLiteral("The agent answered: up %1 days %2:%3:%4.")
        .arg(seconds / 86400)
        .arg(seconds / 3600 % 24, 2, 10, QLatin1Char('0'))
        .arg(seconds / 60 % 60, 2, 10, QLatin1Char('0'))
        .arg(seconds % 60, 2, 10, QLatin1Char('0'));
}
