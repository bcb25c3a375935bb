#pragma once

#include <QString>

class QCheckBox;
class QLabel;
class QLineEdit;
class QSpinBox;
class QWidget;

// The Options dialog's row "Serve metrics for Prometheus at" (address and port) for the
// setting "metrics address". It proposes 127.0.0.1:9650; another address is taken only as
// typed, and then the row says who can read what is served.
class MetricsOptions
{
public:
    // Creates the row on parent at the given top; height() pixels tall.
    MetricsOptions(QWidget *parent, int top);
    static constexpr int Height = 98;

    // Shows the stored text (empty: off, with the proposal in the fields).
    void fill(const QString &settingText);
    // The text to store; throws OstralineError for an address that is no IP address.
    QString settingText() const;

    QCheckBox *checkBox() const { return m_on; }

private:
    void updateWarning();

    QCheckBox *m_on;
    QLineEdit *m_address;
    QSpinBox *m_port;
    QLabel *m_warning;
};
