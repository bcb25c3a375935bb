#include "DiscoveryDialog.h"

#include "DeviceFileWriter.h"
#include "ErrorReport.h"

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
    auto *form = new QFormLayout;
    form->addRow(QStringLiteral("Address:"), m_address);
    form->addRow(QStringLiteral("Community:"), m_community);
    form->addRow(QStringLiteral("SNMP version:"), m_version);

    m_discover = new QPushButton(QStringLiteral("Discover"), this);
    m_discover->setDefault(true);
    m_cancel = new QPushButton(QStringLiteral("Cancel"), this);
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
    m_save = new QPushButton(QStringLiteral("Save as device file..."), this);
    m_save->setEnabled(false);
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
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

    connect(m_discover, &QPushButton::clicked, this, &DiscoveryDialog::discover);
    connect(m_address, &QLineEdit::returnPressed, this, &DiscoveryDialog::discover);
    connect(m_cancel, &QPushButton::clicked, this, &DiscoveryDialog::cancelDiscovery);
    connect(m_save, &QPushButton::clicked, this, &DiscoveryDialog::save);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(m_filter, &QLineEdit::textChanged, m_proxy,
            &QSortFilterProxyModel::setFilterFixedString);
    connect(&m_discovery, &InterfaceDiscovery::progress, this, [this](int values, int requests) {
        m_progress->setText(
            QStringLiteral("%1 values read in %2 requests").arg(values).arg(requests));
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

DiscoveryDialog::~DiscoveryDialog() = default;

QString DiscoveryDialog::messageText() const
{
    return m_message->text();
}

void DiscoveryDialog::discover()
{
    if (m_discovery.isRunning())
        return;
    const QString address = m_address->text().trimmed();
    const QString problem = Discovery::communityProblem(m_community->text());
    if (!problem.isEmpty()) {
        showMessage(problem, true);
        return;
    }
    showMessage(QString(), false);
    m_progress->setText(QStringLiteral("Asking %1...").arg(address));
    setRunning(true);
    m_discovery.start(address, m_community->text(),
                      static_cast<SnmpVersion>(m_version->currentData().toInt()));
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
    m_progress->setText(result.answered ? QStringLiteral("%1 interfaces over SNMP v%2%3")
                                              .arg(result.interfaces.size())
                                              .arg(Discovery::versionName(result.version),
                                                   result.sysName.isEmpty()
                                                       ? QString()
                                                       : QStringLiteral(" from ") + result.sysName)
                                        : QString());
    QStringList notes = result.warnings;
    if (!result.message.isEmpty())
        notes.prepend(result.answered ? QStringLiteral("Stopped early: ") + result.message
                                      : result.message);
    if (result.answered && result.interfaces.isEmpty())
        notes.append(QStringLiteral("The agent lists no interfaces."));
    showMessage(notes.join(QLatin1Char('\n')), !result.message.isEmpty() || !notes.isEmpty());
    showCount();
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
    showMessage(QStringLiteral("%1 interfaces saved to %2.").arg(lines.size()).arg(path), false);
    if (m_askLoad(path))
        m_load(path);
}
