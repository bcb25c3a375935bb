#include "RememberOptionsPage.h"

#include "RememberSettings.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QSpinBox>
#include <QVBoxLayout>

RememberOptionsPage::RememberOptionsPage(QWidget *parent) : QWidget(parent)
{
    resume = new QCheckBox(QStringLiteral("At start, &load the last device file and start polling"),
                           this);
    resume->setObjectName(QStringLiteral("ResumePolling"));
    keepLogs = new QCheckBox(QStringLiteral("&Keep daily logs for"), this);
    keepLogs->setObjectName(QStringLiteral("KeepLogs"));
    days = new QSpinBox(this);
    days->setObjectName(QStringLiteral("KeepLogsDays"));
    days->setRange(1, RememberSettings::MaxLogKeepDays);
    days->setValue(30);
    auto *note = new QLabel(QStringLiteral("Without it every daily log is kept. Older logs of "
                                           "this program are removed from the log folder at "
                                           "the first write of a day."),
                            this);
    note->setWordWrap(true);

    auto *keepRow = new QHBoxLayout;
    keepRow->addWidget(keepLogs);
    keepRow->addWidget(days);
    keepRow->addWidget(new QLabel(QStringLiteral("days"), this));
    keepRow->addStretch(1);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(resume);
    layout->addLayout(keepRow);
    layout->addWidget(note);
    layout->addStretch(1);
    connect(keepLogs, &QCheckBox::toggled, days, &QWidget::setEnabled);
    days->setEnabled(false);
}

void RememberOptionsPage::setValues(bool resumePolling, std::optional<int> keepDays)
{
    resume->setChecked(resumePolling);
    keepLogs->setChecked(keepDays.has_value());
    days->setEnabled(keepDays.has_value());
    if (keepDays)
        days->setValue(*keepDays);
}

bool RememberOptionsPage::resumePolling() const
{
    return resume->isChecked();
}

std::optional<int> RememberOptionsPage::keepDays() const
{
    return keepLogs->isChecked() ? std::optional<int>(days->value()) : std::nullopt;
}
