#pragma once

#include <QDialog>

#include <functional>
#include <memory>

class MetricsOptions;
class OptionsTarget;
class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QTabWidget;
class TColourPicker;

// The Options dialog: the two utilisation thresholds with the three bar colours, the on-error
// mode of polling and the device file for the first start. Its second face, the single-device
// panel, covers the whole dialog and rewrites the address, index, bandwidth and community of
// one interface-table row. One dialog lives for the whole run; its controls keep their state
// between showings, and Cancel reloads them from the settings store.
class TForm3 : public QDialog
{
    Q_OBJECT

public:
    // Fills the controls from the settings store at once.
    explicit TForm3(OptionsTarget &target, QWidget *parent = nullptr);
    ~TForm3() override;

    // Copies the stored values into the dialog (writing the default of any that is absent)
    // and applies the on-error mode and the start-file flag to the target. A value that
    // cannot be applied is reported and ends the fill. Returns false then.
    bool Fill();

    void Button1Click(); // OK: store and apply, then close; stays open after an error
    void Button2Click(); // Cancel: Fill, then close
    void Button3Click(); // "...": choose the first-start device file

    // Prepares the single-device panel for table row 1 to 20; the caller shows the dialog.
    void editDevice(int row);
    void Button4Click(); // Use for polling
    void Button5Click(); // Use and edit device file
    void Button6Click(); // &Quit: leave the panel and close
    bool isPanelShown() const;

    // Starts the text editor on a device file; the target's openInTextEditor unless replaced.
    void setEditorOpener(std::function<bool(const QString &path)> opener)
    {
        m_openEditor = std::move(opener);
    }

    // Adds a page of another module's options: the dialog's own face becomes the first tab
    // ("General") and OK and Cancel move below the tabs. The page stores its values when the
    // dialog is accepted and reloads them when it is rejected.
    void addPage(const QString &title, QWidget *page);
    QTabWidget *pages() const { return m_pages; }

    // Escape and the window's close button act as Cancel.
    void reject() override;

    // The Options face.
    QWidget *OptionsFace = nullptr;
    QGroupBox *GroupBox1 = nullptr;            // Utilization thresholds
    QLineEdit *Edit1 = nullptr;                // high value
    QLineEdit *Edit2 = nullptr;                // low value
    TColourPicker *ColorBox1 = nullptr;        // high bars
    TColourPicker *ColorBox2 = nullptr;        // bars between the thresholds
    TColourPicker *ColorBox3 = nullptr;        // low bars
    QRadioButton *RadioButton1 = nullptr;      // stop polling when errors occur
    QRadioButton *RadioButton2 = nullptr;      // continue with zero values
    QCheckBox *CheckBox1 = nullptr;            // always use this device file for first start
    QLineEdit *Edit3 = nullptr;                // first-start device file
    QPushButton *Button3 = nullptr;            // ...
    QCheckBox *CheckBox2 = nullptr;            // automatically start polling (never enabled)
    QCheckBox *CheckBox64 = nullptr;           // use 64-bit counters where the agent has them
    QCheckBox *CheckBoxHealth = nullptr;       // watch link state, errors and discards
    TColourPicker *ColorBoxOutLine = nullptr;  // the output line of "In and out"
    std::unique_ptr<MetricsOptions> m_metrics; // serve metrics for Prometheus
    QPushButton *Button1 = nullptr;            // OK
    QPushButton *Button2 = nullptr;            // Cancel

    // The single-device panel.
    QWidget *Panel1 = nullptr;
    QLineEdit *Edit4 = nullptr;     // IP address
    QLineEdit *Edit5 = nullptr;     // Interface
    QLineEdit *Edit6 = nullptr;     // Bandwidth
    QLineEdit *Edit7 = nullptr;     // SNMP community
    QLineEdit *Edit8 = nullptr;     // row being edited (hidden)
    QPushButton *Button4 = nullptr; // Use for polling
    QPushButton *Button5 = nullptr; // Use and edit device file
    QPushButton *Button6 = nullptr; // &Quit

    // Which counters the row is read with (32-bit or 64-bit).
    QLabel *CountersLabel = nullptr;

protected:
    void showEvent(QShowEvent *event) override;

private:
    void createOptionsFace();
    void createDevicePanel();
    void widenForCounters64Text();
    void addLinkHealthBox();
    void addOutLineColourRow();
    void showPanel(bool shown);
    void showCounters(int row);

    OptionsTarget &m_target;
    QTabWidget *m_pages = nullptr;
    std::function<bool(const QString &path)> m_openEditor;
};
