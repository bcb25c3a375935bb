#include "MainWindow.h"

#include "AgentProfileSource.h"
#include "AttachedWindows.h"
#include "InterfaceList.h"
#include "InterfaceTable.h"
#include "PollCycle.h"

#include "PollRun.h"

#include "DailyLogFile.h"
#include "DeviceFileChooser.h"
#include "ErrorReport.h"
#include "FixedCellsModel.h"
#include "GraphBoard.h"
#include "Histograph.h"
#include "LinkHealthDisplay.h"
#include "MenuMnemonics.h"
#include "MetricsFeature.h"
#include "PanelStatusBar.h"
#include "PollValuesDisplay.h"

#include <QAction>
#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QCloseEvent>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenuBar>
#include <QPushButton>
#include <QRadioButton>
#include <QStatusBar>
#include <QTabWidget>
#include <QTableView>
#include <QVBoxLayout>

#include <algorithm>

namespace
{

constexpr int GraphAreaHeight = 477;

} // namespace

TForm1::TForm1(const QString &commandLineFile, QWidget *parent)
    : QMainWindow(parent), m_tableOwner(std::make_unique<InterfaceTable>()),
      m_listOwner(std::make_unique<InterfaceList>()),
      m_pollCycleOwner(std::make_unique<PollCycle>()), m_table(*m_tableOwner), m_list(*m_listOwner),
      m_pollCycle(*m_pollCycleOwner), m_agents(std::make_unique<AgentProfileSource>(*this)),
      m_logEnvironment(std::make_unique<LogEnvironment>()),
      m_pollRun(std::make_unique<PollRun>(m_table, m_list, *m_logEnvironment))
{
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QStringLiteral("Ostraline by Kelvane"));
    // A fixed single border with the system menu and a minimise box.
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                   Qt::WindowCloseButtonHint);
    m_deviceFileChooser = std::make_unique<DeviceFileChooser>(this);
    m_windows = std::make_unique<AttachedWindows>();
    createGraphArea();
    createButtonColumn();
    createPages();
    createMenus();
    createStatusBar();
    connectModel();
    FormCreate(commandLineFile);
}

TForm1::~TForm1()
{
    m_pollRun->cancel();
}

void TForm1::createGraphArea()
{
    auto *central = new QWidget(this);
    auto *layout = new QVBoxLayout(central);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    m_graphArea = new QWidget(central);
    m_graphArea->setFixedHeight(GraphAreaHeight);
    // At the top of the client area whether or not the table is shown below it.
    layout->addWidget(m_graphArea, 0, Qt::AlignTop);
    setCentralWidget(central);

    Panel2 = new QWidget(m_graphArea);
    Panel2->setObjectName(QStringLiteral("Panel2"));
    Panel2->setGeometry(584, 0, 297, 473);
    Panel2->hide();
    Panel3 = new QWidget(m_graphArea);
    Panel3->setObjectName(QStringLiteral("Panel3"));
    Panel3->setGeometry(881, 0, 297, 473);
    Panel3->hide();
    // Panels paint their own background so that a panel drawn over the buttons hides them.
    for (QWidget *panel : {Panel2, Panel3})
        panel->setAutoFillBackground(true);

    m_board = std::make_unique<GraphBoard>(m_graphArea, Panel2, Panel3);
    m_linkHealth = std::make_unique<LinkHealthDisplay>(
        *m_board, [this](const QString &text) { setStatusText(0, text); });
    m_pollValues = std::make_unique<PollValuesDisplay>(*m_board, m_table, m_list, *m_pollRun);
    m_metrics = std::make_unique<MetricsFeature>(*m_pollRun);
    m_pollRun->poller().setSlots(m_board.get());
    m_pollRun->poller().setProfiles(&m_agents->profiles());
}

void TForm1::createButtonColumn()
{
    GroupBox1 = new QGroupBox(m_graphArea);
    GroupBox1->setObjectName(QStringLiteral("GroupBox1"));
    Button3 = new QPushButton(QStringLiteral("&Start polling"), GroupBox1);
    Button3->setObjectName(QStringLiteral("Button3"));
    Button4 = new QPushButton(QStringLiteral("Sto&p polling"), GroupBox1);
    Button4->setObjectName(QStringLiteral("Button4"));
    Button6 = new QPushButton(QStringLiteral("Reset graph"), GroupBox1);
    Button6->setObjectName(QStringLiteral("Button6"));
    Button1 = new QPushButton(QStringLiteral("&Quit"), m_graphArea);
    Button1->setObjectName(QStringLiteral("Button1"));
    Button9 = new QPushButton(QStringLiteral("Show &less"), m_graphArea);
    Button9->setObjectName(QStringLiteral("Button9"));

    // 100 x 30 buttons, grown where the desktop's font needs more room for the captions.
    constexpr int inset = 8;
    int width = 100;
    int height = 30;
    for (QPushButton *button : {Button3, Button4, Button6, Button1, Button9}) {
        const QSize hint = button->sizeHint();
        width =
            std::max(width, hint.width() + (button->parentWidget() == GroupBox1 ? 2 * inset : 0));
        height = std::max(height, hint.height());
    }
    const int top = 16;
    GroupBox1->setGeometry(590, 4, width, top + height + 11);
    for (QPushButton *button : {Button3, Button4, Button6})
        button->setGeometry(inset, top, width - 2 * inset, height);
    Button1->setGeometry(590, 98, width, height);
    Button9->setGeometry(590, 426, width, height);
    Button3->setEnabled(false);
    Button4->hide();
    Button6->hide();

    connect(Button3, &QPushButton::clicked, this, [this] { Button3Click(); });
    connect(Button4, &QPushButton::clicked, this, [this] { Button4Click(); });
    connect(Button6, &QPushButton::clicked, this, [this] { Button6Click(); });
    connect(Button1, &QPushButton::clicked, this, [this] { Button1Click(); });
    connect(Button9, &QPushButton::clicked, this, [this] { Button9Clickr(); });

    // The panels lie above the button column: with 20 graphs they cover it.
    Panel2->raise();
    Panel3->raise();
}

void TForm1::applyButtonColumnX(int x)
{
    GroupBox1->move(x, GroupBox1->y());
    Button1->move(x, Button1->y());
    Button9->move(x, Button9->y());
}

void TForm1::createPages()
{
    PageControl1 = new QTabWidget(centralWidget());
    PageControl1->setObjectName(QStringLiteral("PageControl1"));
    static_cast<QVBoxLayout *>(centralWidget()->layout())->addWidget(PageControl1, 1);

    StringGrid1 = new QTableView;
    StringGrid1->setObjectName(QStringLiteral("StringGrid1"));
    StringGrid1->setModel(new FixedCellsModel(StringGrid1));
    static_cast<FixedCellsModel *>(StringGrid1->model())->setSourceModel(&m_table);
    StringGrid1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    StringGrid1->horizontalHeader()->hide();
    StringGrid1->verticalHeader()->hide();
    StringGrid1->verticalHeader()->setDefaultSectionSize(16);
    StringGrid1->horizontalHeader()->setDefaultSectionSize(64);
    StringGrid1->setColumnWidth(1, 87);
    StringGrid1->setWordWrap(false);
    auto *tablePage = new QWidget;
    auto *tableLayout = new QVBoxLayout(tablePage);
    tableLayout->setContentsMargins(0, 0, 0, 0);
    tableLayout->addWidget(StringGrid1);
    PageControl1->addTab(tablePage, QStringLiteral("Table"));

    auto *optionsPage = new QWidget;
    createOptionsPage(optionsPage);
    PageControl1->addTab(optionsPage, QStringLiteral("Options"));
    PageControl1->setTabVisible(1, false);
    // The hidden settings page must not make the table area taller than the room below the
    // graphs.
    PageControl1->setMinimumSize(1, 1);
    PageControl1->hide();
}

void TForm1::createOptionsPage(QWidget *page)
{
    auto *layout = new QVBoxLayout(page);
    const auto radio = [&](const QString &caption, QButtonGroup *group, bool checked) {
        auto *button = new QRadioButton(caption, page);
        button->setChecked(checked);
        group->addButton(button);
        layout->addWidget(button);
        return button;
    };
    const auto check = [&](const QString &caption, const char *name) {
        auto *box = new QCheckBox(caption, page);
        box->setObjectName(QLatin1String(name));
        layout->addWidget(box);
        return box;
    };

    auto *intervalGroup = new QButtonGroup(page);
    layout->addWidget(new QLabel(QStringLiteral("Poll intervall"), page));
    for (std::size_t i = 0; i < PollCycle::Intervals.size(); ++i) {
        m_intervalRadios[i] =
            radio(QStringLiteral("Every %1 sec").arg(PollCycle::Intervals[i]), intervalGroup,
                  PollCycle::Intervals[i] == PollCycle::DefaultInterval);
    }
    auto *maxGroup = new QButtonGroup(page);
    RadioButton8 = radio(QStringLiteral("Graph max value = 100"), maxGroup, true);
    RadioButton7 = radio(QStringLiteral("Graph max value = 50"), maxGroup, false);
    RadioButton12 = radio(QStringLiteral("Graph max value = 10"), maxGroup, false);
    auto *countGroup = new QButtonGroup(page);
    RadioButton13 = radio(QStringLiteral("Show 10 graphs"), countGroup, true);
    RadioButton14 = radio(QStringLiteral("Show 15 graphs"), countGroup, false);
    RadioButton15 = radio(QStringLiteral("Show 20 graphs"), countGroup, false);
    auto *valueGroup = new QButtonGroup(page);
    RadioButton9 = radio(QStringLiteral("Show util IN"), valueGroup, false);
    RadioButton10 = radio(QStringLiteral("Show util out"), valueGroup, false);
    RadioButton11 = radio(QStringLiteral("Show util combined"), valueGroup, true);
    RadioButtonInOut = radio(QStringLiteral("Show util in and out"), valueGroup, false);

    CheckBox2 = check(QStringLiteral("Show last values"), "CheckBox2");
    CheckBox3 = check(QStringLiteral("Show interface names"), "CheckBox3");
    CheckBox4 = check(QStringLiteral("Show errors"), "CheckBox4");
    CheckBoxDouble = check(QStringLiteral("Double update speed"), "CheckBox1");
    CheckBoxUtilLog = check(QStringLiteral("Write util log"), "CheckBox5");
    CheckBoxAnalysisLog = check(QStringLiteral("Write analysis log"), "CheckBox6");
    CheckBox7 = check(QStringLiteral("Always use"), "CheckBox7");
    CheckBoxRatesInBits = check(QStringLiteral("Rates in bit/s"), "CheckBoxRatesInBits");

    layout->addWidget(new QLabel(QStringLiteral("0 = continue; 1 = stop"), page));
    Edit1 = new QLineEdit(QStringLiteral("0"), page);
    Edit1->setObjectName(QStringLiteral("Edit1"));
    layout->addWidget(Edit1);
    Label32 = new QLabel(QString::number(PollCycle::DefaultInterval), page);
    Label32->setObjectName(QStringLiteral("Label32"));
    layout->addWidget(Label32);
    Edit4 = new QLineEdit(QStringLiteral("0"), page);
    Edit4->setObjectName(QStringLiteral("Edit4"));
    layout->addWidget(Edit4);
    layout->addWidget(new QLabel(QStringLiteral("List of interfaces"), page));
    CheckListBox1 = new QListWidget(page);
    CheckListBox1->setObjectName(QStringLiteral("CheckListBox1"));
    layout->addWidget(CheckListBox1);

    // A control changed from code runs its handler exactly as a user's click would.
    for (QRadioButton *button : m_intervalRadios)
        connect(button, &QRadioButton::toggled, this, [this](bool on) {
            if (on)
                RadioButton5Click();
        });
    connect(CheckBoxDouble, &QCheckBox::toggled, this, [this] { RadioButton5Click(); });
    for (QRadioButton *button : {RadioButton8, RadioButton7, RadioButton12})
        connect(button, &QRadioButton::toggled, this, [this](bool on) {
            if (on)
                RadioButton8Click();
        });
    for (QRadioButton *button : {RadioButton13, RadioButton14, RadioButton15})
        connect(button, &QRadioButton::toggled, this, [this](bool on) {
            if (on)
                RadioButton13Click();
        });
    for (QRadioButton *button : {RadioButton9, RadioButton10, RadioButton11, RadioButtonInOut})
        connect(button, &QRadioButton::toggled, this, [this](bool on) {
            if (on)
                RadioButton9Clic();
        });
    connect(CheckBox2, &QCheckBox::toggled, this, [this] { CheckBox2Click(); });
    connect(CheckBox3, &QCheckBox::toggled, this, [this] { CheckBox3Click(); });
    connect(CheckBox4, &QCheckBox::toggled, this, [this] { CheckBox4Click(); });
    connect(CheckBoxUtilLog, &QCheckBox::toggled, this, [this] { CheckBoxUtilLogClick(); });
    connect(CheckBoxAnalysisLog, &QCheckBox::toggled, this, [this] { CheckBoxAnalysisLogClick(); });
    connect(CheckBoxRatesInBits, &QCheckBox::toggled, this, [this] { CheckBoxRatesInBitsClick(); });
}

void TForm1::createMenus()
{
    const auto item = [this](QMenu *menu, const QString &text, const char *name, auto handler,
                             bool checkable = false, bool checked = false) {
        QAction *action = menu->addAction(text);
        action->setObjectName(QLatin1String(name));
        action->setCheckable(checkable);
        action->setChecked(checked);
        connect(action, &QAction::triggered, this, [this, handler] { (this->*handler)(); });
        return action;
    };

    QMenu *file = menuBar()->addMenu(QStringLiteral("&File"));
    item(file, QStringLiteral("Open device file"), "Opendevicefile1", &TForm1::Button8Click);
    item(file, QStringLiteral("Discover interfaces..."), "Discoverinterfaces1",
         &TForm1::Discoverinterfaces1Click);
    file->addSeparator();
    QMenu *interval = file->addMenu(QStringLiteral("Polling interval"));
    using Handler = void (TForm1::*)();
    const std::array<Handler, 6> intervalHandlers = {
        &TForm1::N3seconds1Click,  &TForm1::N6seconds1Click,  &TForm1::N12seconds1Click,
        &TForm1::N30seconds1Click, &TForm1::N60seconds1Click, &TForm1::N120seconds1Click};
    for (std::size_t i = 0; i < PollCycle::Intervals.size(); ++i) {
        const QByteArray name = "N" + QByteArray::number(PollCycle::Intervals[i]) + "seconds1";
        m_intervalItems[i] = item(
            interval, QStringLiteral("%1 seconds").arg(PollCycle::Intervals[i]), name.constData(),
            intervalHandlers[i], true, PollCycle::Intervals[i] == PollCycle::DefaultInterval);
    }
    item(file, QStringLiteral("Reset graphs"), "Resetgraphs1", &TForm1::Button6Click);
    file->addSeparator();
    item(file, QStringLiteral("Start polling"), "Startpolling1", &TForm1::Button3Click);
    item(file, QStringLiteral("Stop polling"), "Stoppolling1", &TForm1::Button4Click);
    file->addSeparator();
    item(file, QStringLiteral("&Exit"), "Exit1", &TForm1::Button1Click);

    QMenu *view = menuBar()->addMenu(QStringLiteral("View"));
    QMenu *count = view->addMenu(QStringLiteral("Number of graphs"));
    item(count, QStringLiteral("Show 10 graphs"), "Show10graphs1", &TForm1::Show10graphs1Click,
         true, true);
    item(count, QStringLiteral("Show 15 graphs"), "Show15graphs1", &TForm1::Show15graphs1Click,
         true);
    item(count, QStringLiteral("Show 20 graphs"), "Show20graphs1", &TForm1::Show20graphs1Click,
         true);
    QMenu *maximum = view->addMenu(QStringLiteral("Graph max value"));
    item(maximum, QStringLiteral("10%"), "N101", &TForm1::N101Click, true);
    item(maximum, QStringLiteral("50%"), "N501", &TForm1::N501Click, true);
    item(maximum, QStringLiteral("100%"), "N1001", &TForm1::N1001Click, true);
    QMenu *shown = view->addMenu(QStringLiteral("Show utilization"));
    item(shown, QStringLiteral("In"), "In1", &TForm1::In1Click, true);
    item(shown, QStringLiteral("Out"), "Out1", &TForm1::Out1Click, true);
    item(shown, QStringLiteral("Combined"), "Combined1", &TForm1::Combined1Click, true, true);
    item(shown, QStringLiteral("In and out"), "InOut1", &TForm1::InOut1Click, true);
    view->addSeparator();
    item(view, QStringLiteral("Show interface names"), "Showinterfacenames1",
         &TForm1::Showinterfacenames1Click, true);
    item(view, QStringLiteral("Show last values"), "Showlastvalues1", &TForm1::Showlastvalues1Click,
         true);
    item(view, QStringLiteral("Show errors"), "Showerrors1", &TForm1::Showerrors1Click, true);
    item(view, QStringLiteral("Rates in bit/s"), "Ratesinbits1", &TForm1::Ratesinbits1Click, true);
    view->addSeparator();
    item(view, QStringLiteral("Double update speed"), "Doubleupdatespeed1",
         &TForm1::Doubleupdatespeed1Click, true);
    m_showMoreItem = item(view, QStringLiteral("Show More"), "ShowMore1", &TForm1::Button9Clickr);

    QMenu *tools = menuBar()->addMenu(QStringLiteral("T&ools"));
    m_stayOnTopItem =
        item(tools, QStringLiteral("Stay on top"), "Stayontop1", &TForm1::Stayontop1Click, true);
    item(tools, QStringLiteral("Options"), "Options1", &TForm1::Options1Click);
    item(tools, QStringLiteral("Agents..."), "Agents1", &TForm1::Agents1Click);
    item(tools, QStringLiteral("Edit device file"), "Editdevicefile1",
         &TForm1::Editdevicefile1Click);
    item(tools, QStringLiteral("Write util log"), "Writeutillog1", &TForm1::Writeutillog1Click,
         true);
    item(tools, QStringLiteral("Write analysis log"), "Writeanalysislog1",
         &TForm1::Writeanalysislog1Click, true);
    item(tools, QStringLiteral("Open log folder"), "Openlogfolder1", &TForm1::Openlogfolder1Click);

    QMenu *help = menuBar()->addMenu(QStringLiteral("?"));
    item(help, QStringLiteral("OSL Help"), "OSLHelp1", &TForm1::callforhelp)
        ->setShortcut(QKeySequence::HelpContents);
    item(help, QStringLiteral("Product Homepage"), "Producthomepage1",
         &TForm1::Producthomepage1Click);
    help->addSeparator();
    item(help, QStringLiteral("&About"), "About1", &TForm1::About1Click);
    MenuMnemonics::assign(menuBar());
    m_stayOnTopItem->setToolTip(QStringLiteral(
        "Keeps the window above the others. Under Wayland the compositor decides whether it may."));
    tools->setToolTipsVisible(true);

    // The slot menus: each item calls its named entry point.
    using SlotHandlers = std::array<Handler, 3>;
    const std::array<SlotHandlers, MaxInterfaces> slotHandlers = {{
        {&TForm1::test11Click, &TForm1::test21Click, &TForm1::Maxvalue1001Click},
        {&TForm1::MenuItem1Click, &TForm1::MenuItem2Click, &TForm1::MenuItem3Click},
        {&TForm1::MenuItem4Click, &TForm1::MenuItem5Click, &TForm1::MenuItem6Click},
        {&TForm1::MenuItem7Click, &TForm1::MenuItem8Click, &TForm1::MenuItem9Click},
        {&TForm1::MenuItem10Click, &TForm1::MenuItem11Click, &TForm1::MenuItem12Click},
        {&TForm1::MenuItem13Click, &TForm1::MenuItem14Click, &TForm1::MenuItem15Click},
        {&TForm1::MenuItem16Click, &TForm1::MenuItem17Click, &TForm1::MenuItem18Click},
        {&TForm1::MenuItem19Click, &TForm1::MenuItem20Click, &TForm1::MenuItem21Click},
        {&TForm1::MenuItem22Click, &TForm1::MenuItem23Click, &TForm1::MenuItem24Click},
        {&TForm1::MenuItem25Click, &TForm1::MenuItem26Click, &TForm1::MenuItem27Click},
        {&TForm1::MenuItem28Click, &TForm1::MenuItem29Click, &TForm1::MenuItem30Click},
        {&TForm1::MenuItem31Click, &TForm1::MenuItem32Click, &TForm1::MenuItem33Click},
        {&TForm1::MenuItem34Click, &TForm1::MenuItem35Click, &TForm1::MenuItem36Click},
        {&TForm1::MenuItem37Click, &TForm1::MenuItem38Click, &TForm1::MenuItem39Click},
        {&TForm1::MenuItem40Click, &TForm1::MenuItem41Click, &TForm1::MenuItem42Click},
        {&TForm1::MenuItem43Click, &TForm1::MenuItem44Click, &TForm1::MenuItem45Click},
        {&TForm1::MenuItem46Click, &TForm1::MenuItem47Click, &TForm1::MenuItem48Click},
        {&TForm1::MenuItem49Click, &TForm1::MenuItem50Click, &TForm1::MenuItem51Click},
        {&TForm1::MenuItem52Click, &TForm1::MenuItem53Click, &TForm1::MenuItem54Click},
        {&TForm1::MenuItem55Click, &TForm1::MenuItem56Click, &TForm1::MenuItem57Click},
    }};
    for (int k = 1; k <= GraphSlotControl::SlotCount; ++k) {
        const GraphSlot &slot = m_board->slot(k);
        MenuMnemonics::assign(slot.SlotMenu);
        const SlotHandlers &handlers = slotHandlers[std::size_t(k - 1)];
        const std::array<QAction *, 3> actions = {slot.MaxValue10, slot.MaxValue50,
                                                  slot.MaxValue100};
        for (std::size_t i = 0; i < 3; ++i) {
            const Handler handler = handlers[i];
            connect(actions[i], &QAction::triggered, this, [this, handler] { (this->*handler)(); });
        }
        connect(slot.EditDevice, &QAction::triggered, this, [this, k] { editDevice(k); });
        connect(slot.PollAgain, &QAction::triggered, this, [this, k] { pollAgain(k); });
    }
}

void TForm1::createStatusBar()
{
    // Panel 0 is 550 wide; panel 1 starts at x = 550 and takes the rest of the bar.
    auto *bar = new PanelStatusBar({550}, this);
    setStatusBar(bar);
    for (std::size_t i = 0; i < m_statusPanels.size(); ++i)
        m_statusPanels[i] = bar->panel(int(i));
}

void TForm1::connectModel()
{
    connect(&m_pollCycle, &PollCycle::countdownTextChanged, this, [this](const QString &text) {
        setStatusText(1, text);
        Edit4->setText(QString::number(m_pollCycle.countdown()));
    });
    connect(&m_pollCycle, &PollCycle::pollDue, this, [this] { runPoll(); });
    connectPollRun();

    m_logEnvironment->status = [this](const QString &text) { setStatusText(0, text); };
}

QString TForm1::statusText(int panel) const
{
    return m_statusPanels.at(std::size_t(panel))->text();
}

void TForm1::setStatusText(int panel, const QString &text)
{
    m_statusPanels.at(std::size_t(panel))->setText(text);
}

QAction *TForm1::action(const QString &objectName) const
{
    return findChild<QAction *>(objectName);
}

QRadioButton *TForm1::intervalRadio(int seconds) const
{
    for (std::size_t i = 0; i < PollCycle::Intervals.size(); ++i) {
        if (PollCycle::Intervals[i] == seconds)
            return m_intervalRadios[i];
    }
    return nullptr;
}

bool TForm1::startFileFlag() const
{
    return CheckBox7->isChecked();
}

void TForm1::setStartFileFlag(bool on)
{
    CheckBox7->setChecked(on);
}

OnErrorMode TForm1::onErrorMode() const
{
    return Edit1->text() == QLatin1String("1") ? OnErrorMode::Stop : OnErrorMode::Zeroes;
}

void TForm1::setOnErrorMode(OnErrorMode mode)
{
    Edit1->setText(mode == OnErrorMode::Stop ? QStringLiteral("1") : QStringLiteral("0"));
    m_pollRun->setOnErrorMode(mode);
}

void TForm1::setOuterSize(int width, int height)
{
    m_outerSize = QSize(width, height);
    setFixedSize(width, height);
}

bool TForm1::isExpanded() const
{
    return m_outerSize.height() != 550;
}

void TForm1::Button1Click()
{
    cancelPollInFlight();
    m_pollCycle.stop();
    QApplication::quit();
}

void TForm1::Stayontop1Click()
{
    const bool onTop = !windowFlags().testFlag(Qt::WindowStaysOnTopHint);
    const QRect where = geometry();
    setWindowFlag(Qt::WindowStaysOnTopHint, onTop);
    setGeometry(where);
    show();
    m_stayOnTopItem->setChecked(onTop);
}

void TForm1::closeEvent(QCloseEvent *event)
{
    cancelPollInFlight();
    m_pollCycle.stop();
    QMainWindow::closeEvent(event);
}
