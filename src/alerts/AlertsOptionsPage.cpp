#include "AlertsOptionsPage.h"

#include <QCheckBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QSpinBox>
#include <QVBoxLayout>

AlertsOptionsPage::AlertsOptionsPage(QWidget *parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("AlertsPage"));
    alerts = new QCheckBox(QStringLiteral("Alert me when a link is busy, down or silent"), this);
    alerts->setObjectName(QStringLiteral("AlertsOn"));
    polls = new QSpinBox(this);
    polls->setObjectName(QStringLiteral("AlertPolls"));
    polls->setRange(AlertSettings::MinPolls, AlertSettings::MaxPolls);
    polls->setSuffix(QStringLiteral(" polls"));
    busy = new QCheckBox(QStringLiteral("Busy: at or above the high threshold"), this);
    busy->setObjectName(QStringLiteral("AlertBusy"));
    down = new QCheckBox(QStringLiteral("Down: link down while enabled (needs link health)"), this);
    down->setObjectName(QStringLiteral("AlertDown"));
    silent = new QCheckBox(QStringLiteral("Silent: no reading"), this);
    silent->setObjectName(QStringLiteral("AlertSilent"));
    command = new QLineEdit(this);
    command->setObjectName(QStringLiteral("AlertCommand"));
    command->setPlaceholderText(QStringLiteral("program and arguments, run without a shell"));

    auto *form = new QFormLayout;
    form->addRow(QStringLiteral("After"), polls);
    form->addRow(QStringLiteral("Command:"), command);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(alerts);
    layout->addLayout(form);
    layout->addWidget(busy);
    layout->addWidget(down);
    layout->addWidget(silent);
    layout->addStretch();
    connect(alerts, &QCheckBox::toggled, this, &AlertsOptionsPage::enableFields);
    setValues(AlertSettings::Values{});
}

void AlertsOptionsPage::setValues(const AlertSettings::Values &values)
{
    alerts->setChecked(values.on);
    polls->setValue(values.polls);
    busy->setChecked(values.busy);
    down->setChecked(values.down);
    silent->setChecked(values.silent);
    command->setText(values.command);
    enableFields();
}

AlertSettings::Values AlertsOptionsPage::values() const
{
    AlertSettings::Values values;
    values.on = alerts->isChecked();
    values.polls = polls->value();
    values.busy = busy->isChecked();
    values.down = down->isChecked();
    values.silent = silent->isChecked();
    values.command = command->text().trimmed();
    return values;
}

void AlertsOptionsPage::enableFields()
{
    for (QWidget *w : std::initializer_list<QWidget *>{polls, busy, down, silent, command})
        w->setEnabled(alerts->isChecked());
}
