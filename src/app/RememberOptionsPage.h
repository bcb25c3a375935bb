#pragma once

#include <QWidget>

#include <optional>

class QCheckBox;
class QSpinBox;

// The "Start and logs" page of the Options dialog: whether a start resumes polling on the last
// device file, and for how many days the daily logs are kept. It shows and returns values;
// storing them is the caller's.
class RememberOptionsPage : public QWidget
{
    Q_OBJECT

public:
    explicit RememberOptionsPage(QWidget *parent = nullptr);

    void setValues(bool resumePolling, std::optional<int> keepDays);
    bool resumePolling() const;
    std::optional<int> keepDays() const; // nothing: keep all

    QCheckBox *resume = nullptr;
    QCheckBox *keepLogs = nullptr;
    QSpinBox *days = nullptr;
};
