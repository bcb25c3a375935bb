#include "AgentsDialog.h"

#include "AgentProfileFile.h"
#include "AgentProfileStore.h"
#include "ErrorReport.h"
#include "IfMib.h"
#include "NumberFormat.h"
#include "PassphraseKeyring.h"
#include "SecurityFields.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QShortcut>
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
    form->addRow(QStringLiteral("&Address:"), address);
    form->addRow(QStringLiteral("SNMP &version:"), version);
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
    : AgentsDialog(communities, *new AgentProfileStore(profilePath), parent)
{
    m_store->setParent(this);
}

AgentsDialog::AgentsDialog(const QMap<QString, QByteArray> &communities, AgentProfileStore &store,
                           QWidget *parent)
    : QDialog(parent), m_communities(communities), m_store(&store)
{
    setWindowTitle(QStringLiteral("Agents"));
    QString error;
    if (!m_store->load(&error))
        ErrorReport::show(error);
    m_loaded = m_store->profiles();
    m_profiles = m_loaded;

    table = new QTableWidget(0, 3, this);
    table->setHorizontalHeaderLabels(
        {QStringLiteral("Agent"), QStringLiteral("Version"), QStringLiteral("User")});
    table->setSelectionBehavior(QAbstractItemView::SelectRows);
    table->setSelectionMode(QAbstractItemView::SingleSelection);
    table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    // Whole addresses: the agent column takes the room the others leave, and only a window
    // too narrow for an address cuts it, in the middle, where the port stays readable.
    table->horizontalHeader()->setSectionResizeMode(0, QHeaderView::Stretch);
    table->horizontalHeader()->setSectionResizeMode(1, QHeaderView::ResizeToContents);
    table->horizontalHeader()->setSectionResizeMode(2, QHeaderView::ResizeToContents);
    table->setTextElideMode(Qt::ElideMiddle);
    table->setWordWrap(false);
    table->verticalHeader()->hide();
    addButton = new QPushButton(QStringLiteral("&Add..."), this);
    editButton = new QPushButton(QStringLiteral("&Edit..."), this);
    testButton = new QPushButton(QStringLiteral("&Test"), this);
    removeButton = new QPushButton(QStringLiteral("&Remove"), this);
    testResult = new QLabel(this);
    testResult->setWordWrap(true);
    storeLabel = new QLabel(this);
    storeLabel->setWordWrap(true);
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
    layout->addWidget(storeLabel);
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
    // Enter on a row edits it (rather than ending the dialog), Delete removes it; a double
    // click edits it too.
    connect(table, &QTableWidget::itemDoubleClicked, this, &AgentsDialog::edit);
    for (const QKeySequence &key : {QKeySequence(Qt::Key_Return), QKeySequence(Qt::Key_Enter),
                                    QKeySequence(QKeySequence::Delete)}) {
        auto *shortcut = new QShortcut(key, table);
        shortcut->setContext(Qt::WidgetShortcut);
        if (key == QKeySequence(QKeySequence::Delete))
            connect(shortcut, &QShortcut::activated, this, &AgentsDialog::remove);
        else
            connect(shortcut, &QShortcut::activated, this, &AgentsDialog::edit);
    }
    connect(buttons, &QDialogButtonBox::accepted, this, &AgentsDialog::save);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(&m_test, &SnmpBatch::finished, this, [this](const QStringList &values) {
        testResult->setText(testMessage(m_test.failures().value(0), values.value(0)));
        testButton->setEnabled(true);
    });
    followKeyring();
    refresh();
}

void AgentsDialog::followKeyring()
{
    PassphraseKeyring &keyring = PassphraseKeyring::shared();
    connect(&keyring, &PassphraseKeyring::storeFailed, this, [this](const QString &reason) {
        if (m_storing)
            m_storeFailure = reason;
    });
    connect(&keyring, &PassphraseKeyring::stored, this, &AgentsDialog::storeEnded);
    describeStore();
    // Passphrases kept in the keyring join the profiles as they are read, for Test and for
    // the next save.
    connect(&keyring, &PassphraseKeyring::passphrasesRead, this,
            [this, &keyring] { keyring.fillIn(&m_profiles); });
    const QStringList missing = keyring.fillIn(&m_profiles);
    keyring.read(missing);
    if (keyring.state() == PassphraseKeyring::State::Unknown && missing.isEmpty())
        keyring.probe();
}

// The store as the file shows it now, and why the keyring did not take the passphrases when a
// write failed.
void AgentsDialog::describeStore(const QString &failure)
{
    AgentProfiles inFile;
    QString error;
    if (!AgentProfileFile::load(m_store->path(), &inFile, &error))
        inFile = m_store->profiles();
    QString text = passphraseStore(inFile, m_store->path());
    if (!failure.isEmpty())
        text = QStringLiteral("The desktop's keyring did not store the passphrases: %1")
                   .arg(failure.trimmed()) +
               (failure.trimmed().endsWith(QLatin1Char('.')) ? QString() : QStringLiteral(".")) +
               QLatin1Char(' ') + text;
    storeLabel->setText(text);
}

void AgentsDialog::storeEnded(bool inKeyring)
{
    if (!m_storing) {
        describeStore(); // another window's save
        return;
    }
    m_storing = false;
    buttons->button(QDialogButtonBox::Ok)->setEnabled(true);
    if (inKeyring || m_storeFailure.isEmpty()) {
        // Into the keyring, or no keyring was there to try (the file keeps them, as the
        // dialog said before OK).
        accept();
        return;
    }
    // The keyring refused: the dialog stays to say so, once; OK then closes it.
    m_loaded = m_profiles;
    describeStore(m_storeFailure);
}

QString AgentsDialog::passphraseStore(const AgentProfiles &inFile, const QString &path)
{
    QStringList keyring, file;
    for (const AgentProfile &p : inFile.all()) {
        if (p.version != AgentProfile::Version::V3 ||
            p.security.level == SnmpSecurity::Level::NoAuthNoPriv)
            continue;
        (PassphraseKeyring::lacksPassphrases(p) ? keyring : file) << p.address;
    }
    const QString shownPath = QDir::toNativeSeparators(path);
    if (keyring.isEmpty() && file.isEmpty())
        return QStringLiteral("No SNMP v3 passphrases are stored. Saved ones go into the "
                              "desktop's keyring when it takes them, otherwise into %1, readable "
                              "by you only.")
            .arg(shownPath);
    QStringList sentences;
    if (!keyring.isEmpty())
        sentences << QStringLiteral("The passphrases of %1 are kept in the desktop's keyring.")
                         .arg(keyring.join(QStringLiteral(", ")));
    if (!file.isEmpty())
        sentences << QStringLiteral("The passphrases of %1 are kept in %2, readable by you only.")
                         .arg(file.join(QStringLiteral(", ")), shownPath);
    return sentences.join(QLatin1Char(' '));
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
    fitAddresses();
}

void AgentsDialog::fitAddresses()
{
    // Wide enough for the longest address, up to most of the screen.
    int agent = table->horizontalHeader()->sectionSizeHint(0);
    for (int row = 0; row < table->rowCount(); ++row)
        agent = std::max(agent, table->sizeHintForIndex(table->model()->index(row, 0)).width());
    const int others =
        table->horizontalHeader()->sectionSize(1) + table->horizontalHeader()->sectionSize(2);
    const int chrome = width() - table->viewport()->width();
    const QScreen *screen = this->screen();
    const int most = screen ? screen->availableGeometry().width() * 9 / 10 : 1600;
    const int wanted = std::min(most, agent + others + chrome + 8);
    if (wanted > width())
        resize(wanted, height());
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
    // Only what changed here: the profiles removed, and the ones added or edited.
    QStringList removed;
    for (const AgentProfile &p : m_loaded.all()) {
        if (!m_profiles.find(p.address))
            removed << p.address;
    }
    QList<AgentProfile> set;
    for (const AgentProfile &p : m_profiles.all()) {
        const AgentProfile *before = m_loaded.find(p.address);
        if (!before || !(*before == p))
            set << p;
    }
    // Saved already, and the keyring refused what it was given: OK only closes.
    if (!m_storeFailure.isEmpty() && removed.isEmpty() && set.isEmpty()) {
        accept();
        return;
    }
    QString error;
    const bool ok = m_store->change(
        [&](AgentProfiles &profiles) {
            for (const QString &address : removed)
                profiles.remove(address);
            for (const AgentProfile &p : set)
                profiles.set(p);
        },
        &error);
    if (!ok) {
        ErrorReport::show(error);
        return;
    }
    // Then into the keyring, and out of the file once it holds them. The dialog closes when
    // the keyring has answered (at once when it is not asked).
    m_storing = true;
    m_storeFailure.clear();
    PassphraseKeyring::shared().store(m_store->path(), m_profiles, removed);
    Q_EMIT saved();
    if (m_storing) {
        buttons->button(QDialogButtonBox::Ok)->setEnabled(false);
        storeLabel->setText(QStringLiteral("Storing the passphrases in the desktop's keyring..."));
    }
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
    return QStringLiteral("The agent answered: up %1 %2:%3:%4.")
        .arg(NumberFormat::counted(qint64(seconds / 86400), QStringLiteral("day"),
                                   QStringLiteral("days")))
        .arg(seconds / 3600 % 24, 2, 10, QLatin1Char('0'))
        .arg(seconds / 60 % 60, 2, 10, QLatin1Char('0'))
        .arg(seconds % 60, 2, 10, QLatin1Char('0'));
}
