#pragma once

#include "OnErrorMode.h"
#include "OptionsTarget.h"
#include "PollResult.h"

#include <QMainWindow>

#include <array>
#include <functional>
#include <memory>
#include <vector>

class AgentProfileSource;
class AttachedWindows;
class AgentProfiles;
class InterfaceList;
class InterfaceTable;
class PollCycle;
class DeviceFileChooser;
class DiscoveryDialog;
class PollRun;
class Poller;
class GraphBoard;
class LinkHealthDisplay;
class MetricsFeature;
class PollValuesDisplay;
class QAction;
class QActionGroup;
class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QMenu;
class QPushButton;
class QRadioButton;
class QTabWidget;
class QTableView;
class QWidget;
class SettingsStore;
class TForm2;
class TForm3;
class TAboutBox1;
struct LogEnvironment;

// The main window. Its handlers are named after the controls that first served them and
// stay thin: the work is done by the interface table, the device file, the poll model, the
// logs and the graph board. The current choice of every setting is the state of a control
// on the hidden "Options" page; changing such a control runs its handler, which applies the
// setting and stores it at once.
class TForm1 : public QMainWindow, public OptionsTarget
{
    Q_OBJECT

public:
    // commandLineFile: the first command-line argument (a device file to load), or empty.
    explicit TForm1(const QString &commandLineFile = QString(), QWidget *parent = nullptr);
    ~TForm1() override;

    // --- Model and parts, for the dialogs and for tests -------------------------------------
    InterfaceTable &interfaceTable() override { return m_table; }
    InterfaceList &interfaceList() { return m_list; }
    GraphBoard &board() { return *m_board; }
    PollCycle &pollCycle() { return m_pollCycle; }
    PollRun &pollRun() { return *m_pollRun; }
    Poller &poller();
    // The agent profiles the poll follows, as last read from their file.
    const AgentProfiles &agentProfiles() const;
    void Agents1Click(); // Tools > Agents...
    // The one device-file chooser of the program (load, edit, Options): the file the user
    // confirmed, or empty after a cancel. It remembers the last name chosen.
    QString chooseDeviceFile() override;
    bool openInTextEditor(const QString &path) override;
    // Replaces the dialog, for tests: returns the chosen path or empty for a cancel.
    void setDeviceFileChooser(std::function<QString()> chooser);
    LogEnvironment &logEnvironment() { return *m_logEnvironment; }
    QString statusText(int panel) const;
    void setStatusText(int panel, const QString &text);
    QString deviceFilePath() const { return m_deviceFilePath; }
    void setDeviceFilePath(const QString &path) { m_deviceFilePath = path; }
    bool startFileFlag() const;
    void setStartFileFlag(bool on) override;
    OnErrorMode onErrorMode() const;
    void setOnErrorMode(OnErrorMode mode);
    bool isExpanded() const;
    QAction *action(const QString &objectName) const;
    QPushButton *startButton() const { return Button3; }
    QPushButton *stopButton() const { return Button4; }
    TForm3 *optionsDialog() const;

    // OptionsTarget: what the Options dialog changes.
    void setHighValueAll(int value) override;
    void setLowValueAll(int value) override;
    void setGraphHighColorAll(const QColor &color) override;
    void setGraphNormalColorAll(const QColor &color) override;
    void setGraphLowColorAll(const QColor &color) override;
    void setStopOnErrors(bool stop) override;
    void rowRewritten(int row) override;
    void setCounters64(bool on) override;
    QString counterDescription(int row) const override;
    void setLinkHealth(bool on) override;
    bool linkHealth() const;
    LinkHealthDisplay &linkHealthDisplay() { return *m_linkHealth; }
    // One finished poll: its link health on the board and in the status bar.
    void showPollResult(const PollResult &result);
    QString setMetricsAddress(const QString &text) override;

    // The other windows, created after this one by the program entry.
    void attachWindows(TForm2 *about, TForm3 *options, TAboutBox1 *splash);

    // Sizes of the window as the operator sees it (outer size, frame included where the
    // platform reports one).
    QSize outerSize() const { return m_outerSize; }

    // --- Device file ---------------------------------------------------------------------
    void Button8Click();             // load the device file ("read device.txt", File > Open)
    void Editdevicefile1Click();     // Tools > Edit device file
    void Discoverinterfaces1Click(); // File > Discover interfaces...
    // The normal load of a given device file (as if named on the command line).
    void loadDeviceFile(const QString &path);
    // A later start's request: the window comes to the front (at most once a second) and
    // loads deviceFile (unless empty) as File > Open does with that file chosen. False when
    // the file cannot be loaded now because a modal window is up.
    bool takeOverStart(const QString &deviceFile);
    DiscoveryDialog *discoveryDialog() const { return m_discoveryDialog; }
    // The interfaces loaded now, by row: address, ifIndex, bandwidth and the description,
    // all as the device file gave them (the table's identity columns and its description).
    QList<InterfaceReading> loadedInterfaces() const;

    // --- Poll cycle ---------------------------------------------------------------------
    void Button3Click();      // Start polling
    void Button4Click();      // Stop polling
    void Timer1Timer();       // poll timer
    void Timer2Timer();       // countdown timer
    void RadioButton5Click(); // interval change
    void N3seconds1Click();
    void N6seconds1Click();
    void N12seconds1Click();
    void N30seconds1Click();
    void N60seconds1Click();
    void N120seconds1Click();
    void Doubleupdatespeed1Click();
    void Button7Click(); // get
    void Button2Click(); // Calculate
    void Button5Click(); // to graph

    // --- Graph board ----------------------------------------------------------------------
    void Activegraphs();
    void Button6Click();     // reset graphs
    void RadioButton9Clic(); // shown value change
    void In1Click();
    void Out1Click();
    void Combined1Click();
    void RadioButton8Click(); // graph maximum change
    void N101Click();
    void N501Click();
    void N1001Click();
    void RadioButton13Click(); // number of graphs change
    void Show10graphs1Click();
    void Show15graphs1Click();
    void Show20graphs1Click();
    void Button9Clickr();  // show more / show less
    void Button12Click();  // show values list
    void CheckBox2Click(); // show last values
    void CheckBox3Click(); // show interface names
    void CheckBox4Click(); // show errors
    void Showlastvalues1Click();
    void Showinterfacenames1Click();
    void Showerrors1Click();
    // The operator's units: "In and out", "Rates in bit/s" and the output line's colour.
    void InOut1Click();
    void Ratesinbits1Click();
    void CheckBoxRatesInBitsClick();
    void setOutLineColorAll(const QColor &color) override;
    // Per-slot maximum: the three "Max value" items of slot k's menu.
    void setSlotMaximum(int slot, int maximum);
    void editDevice(int slot);
    // "Poll again" of a stopped graph: the entry is polled from the next poll on, afresh.
    void pollAgain(int slot);
    // Named entry points of the slot menus (slot 1, then MenuItem1Click.. for slots 2 to 20).
    void test11Click() { setSlotMaximum(1, 10); }
    void test21Click() { setSlotMaximum(1, 50); }
    void Maxvalue1001Click() { setSlotMaximum(1, 100); }
#define OSL_SLOT_MENU_HANDLERS(k, a, b, c)                                                         \
    void MenuItem##a##Click()                                                                      \
    {                                                                                              \
        setSlotMaximum(k, 10);                                                                     \
    }                                                                                              \
    void MenuItem##b##Click()                                                                      \
    {                                                                                              \
        setSlotMaximum(k, 50);                                                                     \
    }                                                                                              \
    void MenuItem##c##Click()                                                                      \
    {                                                                                              \
        setSlotMaximum(k, 100);                                                                    \
    }
    OSL_SLOT_MENU_HANDLERS(2, 1, 2, 3)
    OSL_SLOT_MENU_HANDLERS(3, 4, 5, 6)
    OSL_SLOT_MENU_HANDLERS(4, 7, 8, 9)
    OSL_SLOT_MENU_HANDLERS(5, 10, 11, 12)
    OSL_SLOT_MENU_HANDLERS(6, 13, 14, 15)
    OSL_SLOT_MENU_HANDLERS(7, 16, 17, 18)
    OSL_SLOT_MENU_HANDLERS(8, 19, 20, 21)
    OSL_SLOT_MENU_HANDLERS(9, 22, 23, 24)
    OSL_SLOT_MENU_HANDLERS(10, 25, 26, 27)
    OSL_SLOT_MENU_HANDLERS(11, 28, 29, 30)
    OSL_SLOT_MENU_HANDLERS(12, 31, 32, 33)
    OSL_SLOT_MENU_HANDLERS(13, 34, 35, 36)
    OSL_SLOT_MENU_HANDLERS(14, 37, 38, 39)
    OSL_SLOT_MENU_HANDLERS(15, 40, 41, 42)
    OSL_SLOT_MENU_HANDLERS(16, 43, 44, 45)
    OSL_SLOT_MENU_HANDLERS(17, 46, 47, 48)
    OSL_SLOT_MENU_HANDLERS(18, 49, 50, 51)
    OSL_SLOT_MENU_HANDLERS(19, 52, 53, 54)
    OSL_SLOT_MENU_HANDLERS(20, 55, 56, 57)
#undef OSL_SLOT_MENU_HANDLERS

    // --- Logs -------------------------------------------------------------------------------
    void writeutillog();
    void writeanallog();
    void CheckBoxUtilLogClick();
    void CheckBoxAnalysisLogClick();
    void Writeutillog1Click();
    void Writeanalysislog1Click();

    // --- Window ------------------------------------------------------------------------------
    void Button1Click();    // Quit
    void Stayontop1Click(); // Tools > Stay on top
    void Options1Click();   // Tools > Options
    void callforhelp();     // ? > OSL Help
    void Producthomepage1Click();
    void About1Click();
    void Openlogfolder1Click(); // Tools > Open log folder

    // The hidden "Options" page controls that hold the settings (for tests and the dialogs).
    QRadioButton *intervalRadio(int seconds) const;
    QRadioButton *RadioButton8 = nullptr;     // graph max 100
    QRadioButton *RadioButton7 = nullptr;     // graph max 50
    QRadioButton *RadioButton12 = nullptr;    // graph max 10
    QRadioButton *RadioButton13 = nullptr;    // 10 graphs
    QRadioButton *RadioButton14 = nullptr;    // 15 graphs
    QRadioButton *RadioButton15 = nullptr;    // 20 graphs
    QRadioButton *RadioButton9 = nullptr;     // show util in
    QRadioButton *RadioButton10 = nullptr;    // show util out
    QRadioButton *RadioButton11 = nullptr;    // show util combined
    QRadioButton *RadioButtonInOut = nullptr; // show util in and out
    QCheckBox *CheckBoxRatesInBits = nullptr; // rates in bit/s
    QCheckBox *CheckBox2 = nullptr;           // show last values
    QCheckBox *CheckBox3 = nullptr;           // show interface names
    QCheckBox *CheckBox4 = nullptr;           // show errors
    QCheckBox *CheckBoxDouble = nullptr;      // double update speed
    QCheckBox *CheckBoxUtilLog = nullptr;     // write util log
    QCheckBox *CheckBoxAnalysisLog = nullptr; // write analysis log
    QCheckBox *CheckBox7 = nullptr;           // always use (start-file flag)

Q_SIGNALS:
    // A device file was read and its interfaces loaded (path as given or chosen).
    void deviceFileLoaded(const QString &path);
    // A device file load ended (with interfaces or none): whatever keeps something per
    // interface drops the interfaces that are no longer loaded.
    void interfacesLoaded(const QList<InterfaceReading> &loaded);

protected:
    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    // Construction, in the order the constructor calls them.
    void createGraphArea();
    void createButtonColumn();
    void createPages();
    void createOptionsPage(QWidget *page);
    void createMenus();
    void createStatusBar();
    void connectModel();
    void FormCreate(const QString &commandLineFile);

    void setOuterSize(int width, int height);
    void refreshInterfaceListView();
    void stopForLoad();
    void showLoadedSlots();
    void runPoll();
    void connectPollRun();
    void resetComputedCellsOfCheckedRows();
    // While a poll is in flight, queues a handler that resets or re-bases the graphs or the
    // table to run right after the poll's steps (or when the poll is cancelled) and returns
    // true: the handler then ends in the state it would have had after the poll. Otherwise
    // returns false and the handler goes on at once.
    bool deferredUntilPollEnds(void (TForm1::*handler)());
    void runDeferredHandlers();
    // Discards the poll in flight, then runs the handlers that waited for it.
    void cancelPollInFlight();
    void selectInterval(int seconds, QAction *menuItem);
    int selectedInterval() const;
    int selectedNumberOfGraphs() const;
    int selectedMaximum() const;
    void setCaptionSwitch(QCheckBox *box, int caption, QAction *menuItem, QStringView settingName);
    void storeSetting(QStringView name, const QString &text);
    void applyButtonColumnX(int x);

    // Held through pointers so that this header needs none of their headers; the references
    // keep the handlers' code short.
    std::unique_ptr<InterfaceTable> m_tableOwner;
    std::unique_ptr<InterfaceList> m_listOwner;
    std::unique_ptr<PollCycle> m_pollCycleOwner;
    InterfaceTable &m_table;
    InterfaceList &m_list;
    PollCycle &m_pollCycle;
    std::unique_ptr<GraphBoard> m_board;
    std::unique_ptr<AgentProfileSource> m_agents;     // before the poll run, which points at it
    std::unique_ptr<LogEnvironment> m_logEnvironment; // before the poll run, which writes it
    std::unique_ptr<PollRun> m_pollRun;
    std::unique_ptr<LinkHealthDisplay> m_linkHealth;
    std::unique_ptr<PollValuesDisplay> m_pollValues;
    std::unique_ptr<MetricsFeature> m_metrics;
    QString m_deviceFilePath;
    QString m_loadSource; // "", "param" or "startfile"
    std::vector<void (TForm1::*)()> m_deferredHandlers;
    QSize m_outerSize;
    bool m_splashShown = false;

    QWidget *m_graphArea = nullptr;
    QWidget *Panel2 = nullptr;
    QWidget *Panel3 = nullptr;
    QGroupBox *GroupBox1 = nullptr;
    QPushButton *Button3 = nullptr; // &Start polling
    QPushButton *Button4 = nullptr; // Sto&p polling
    QPushButton *Button6 = nullptr; // Reset graph (never shown)
    QPushButton *Button1 = nullptr; // &Quit
    QPushButton *Button9 = nullptr; // Show &more
    QTabWidget *PageControl1 = nullptr;
    QTableView *StringGrid1 = nullptr;
    QListWidget *CheckListBox1 = nullptr; // the list of interfaces
    std::array<QRadioButton *, 6> m_intervalRadios{};
    QLineEdit *Edit1 = nullptr; // on-error mode: "0" continue with zeroes, "1" stop
    QLabel *Label32 = nullptr;  // poll interval in seconds
    QLineEdit *Edit4 = nullptr; // countdown
    std::array<QLabel *, 2> m_statusPanels{};
    std::array<QAction *, 6> m_intervalItems{};
    QAction *m_showMoreItem = nullptr;
    QAction *m_stayOnTopItem = nullptr;

    std::unique_ptr<DeviceFileChooser> m_deviceFileChooser;
    DiscoveryDialog *m_discoveryDialog = nullptr;
    std::unique_ptr<AttachedWindows> m_windows;
};
