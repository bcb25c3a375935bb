#pragma once

#include "AlertSettings.h"

#include <QWidget>

class QCheckBox;
class QLineEdit;
class QSpinBox;

// The "Alerts" page of the Options dialog: alerts on or off, after how many polls, each
// condition on or off, and the command to run. It shows and returns values; storing them is
// the caller's.
class AlertsOptionsPage : public QWidget
{
    Q_OBJECT

public:
    explicit AlertsOptionsPage(QWidget *parent = nullptr);

    void setValues(const AlertSettings::Values &values);
    AlertSettings::Values values() const;

    QCheckBox *alerts = nullptr;
    QSpinBox *polls = nullptr;
    QCheckBox *busy = nullptr;
    QCheckBox *down = nullptr;
    QCheckBox *silent = nullptr;
    QLineEdit *command = nullptr;

private:
    void enableFields();
};
