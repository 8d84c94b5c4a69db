#include "app/tform1.h"

#include "app/tfilebrowser.h"
#include "app/tpicturebox.h"
#include "app/tqtprompts.h"
#include "project/dputext.h"
#include "project/tlabelpreview.h"
#include "project/tstartup.h"
#include "rom/tmakerom.h"
#include "fieldbus/tpcuart.h"
#include "serial/comports.h"
#include "util/qstringconv.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStyle>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QStatusBar>
#include <QTabWidget>
#include <QTableWidget>
#include <QTimer>
#include <QVBoxLayout>

#include <type_traits>
#include <utility>

using DpuProject::TLabelPreview;
using DpuProject::TProjectFile;
using DpuProject::TProject;
using DpuProject::TStartupResult;
using DpuProject::TStartup;
using DpuRom::TMakeRom;
namespace DpuText = DpuProject::DpuText;

namespace {

// Grid column widths: wide enough for "bit [ 5..0 ]" and "FF (255 )" in the
// desktop font, label columns for a few characters each.
constexpr int GridColWidth[TForm1::GridCols] = {84, 80, 66, 66, 66};
constexpr int GridRowHeight = 20;

constexpr const char* PictureFilter = "Bitmap files (*.bmp)|*.bmp;*.BMP";

constexpr auto& Q = YVclUtil::ToQString;

QLabel* Caption(const QString& Text, QWidget* Parent) { return new QLabel(Text, Parent); }

} // namespace

TForm1::TForm1(YVclUtil::Prompts* Prompts, QWidget* Parent) : QMainWindow(Parent) {
    if (Prompts) {
        FPrompts = Prompts;
    } else {
        FOwnPrompts = std::make_unique<TQtPrompts>(this);
        FPrompts = FOwnPrompts.get();
    }
    setObjectName("Form1");
    setWindowTitle(QString::fromLatin1(TStartup::DesignCaption));

    FConfig.SetDirectoriesFromProcess();
    FProgramDir = Q(FConfig.ProgramDir);
    FStartupDir = Q(FConfig.StartupDir);
    FProjectFile = std::make_unique<TProjectFile>(FProject, FConfig, FLibrary, *FPrompts, *this);

    // PcUart1 as the form sets it up; the link owns its settings.
    auto* uart = new OrvCtrl::TPcUart(this);
    PcUart1 = uart;
    PcUart1->setObjectName("PcUart1");
    PcUart1->pw_UartPortNumber(1);
    PcUart1->pw_UartBaud(115200);
    PcUart1->pw_UartBitsPerByte(8);
    PcUart1->pw_SysUartTxdQueueSize(1024);
    PcUart1->pw_SysUartRxdQueueSize(1024);
    PcUart1->pw_SysUartRxdIntervalTimeout(3);
    PcUart1->pw_RxdFilter_DelimiterChar('\n');
    PcUart1->pw_BytesOfRxdPacket(1);
    DpuLink::TUartLinkPort::ApplyLinkSettings(*PcUart1);
    FLinkPort = std::make_unique<DpuLink::TUartLinkPort>(*PcUart1);
    FResponseTimer = std::make_unique<DpuLink::TQtLinkTimer>(10000, this);
    FLink = std::make_unique<DpuLink::TDeviceLink>(*FLinkPort, *FResponseTimer, FClock, *this);
    FLinkPort->Bind(*FLink);
    FResponseTimer->OnExpired = [this] { FLink->OnResponseTimer(); };
    FLink->OnControlsChanged = [this] { UpdateLinkControls(); };
    FLink->OnProgress = [this](unsigned BlockNo) { FProgress->setValue(static_cast<int>(BlockNo)); };

    FTabs = new QTabWidget(this);
    FTabs->setObjectName("PageControl");
    auto* setup = new QWidget(FTabs);
    setup->setObjectName("SetupPage");
    auto* make = new QWidget(FTabs);
    make->setObjectName("MakePage");
    FTabs->addTab(setup, QStringLiteral("Setup"));
    FTabs->addTab(make, QStringLiteral("Make"));
    setCentralWidget(FTabs);

    BuildSetupTab(setup);
    BuildMakeTab(make);
    BuildStatusBar();
    StartUp();
    ConnectSignals();
}

TForm1::~TForm1() {
    // The port goes first: its monitor thread must not deliver into a link
    // that is being destroyed.
    if (FResponseTimer)
        FResponseTimer->Stop();
    FLinkPort.reset();
    if (PcUart1) {
        PcUart1->Close();
        delete PcUart1;
        PcUart1 = nullptr;
    }
    FLibrary.Release();
}

YVclUtil::Prompts& TForm1::Ask() { return *FPrompts; }

// ---------------------------------------------------------------- "Setup"

QWidget* TForm1::BuildGrid() {
    auto* box = new QWidget;
    auto* v = new QVBoxLayout(box);
    v->setContentsMargins(0, 0, 0, 0);
    v->setSpacing(2);

    FGrid = new QTableWidget(GridRows - 1, GridCols, box);
    FGrid->setObjectName("CodeGrid");
    FGrid->setToolTip(QStringLiteral("Double click"));
    FGrid->setHorizontalHeaderLabels({QStringLiteral("bit [ 5..0 ]"), QStringLiteral("HEX (DEC)"),
                                      QStringLiteral("CTBL0"), QStringLiteral("CTBL1"),
                                      QStringLiteral("CTBL2")});
    FGrid->verticalHeader()->hide();
    FGrid->verticalHeader()->setDefaultSectionSize(GridRowHeight);
    FGrid->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    FGrid->horizontalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    FGrid->horizontalHeader()->setHighlightSections(false);
    for (int c = 0; c < GridCols; ++c)
        FGrid->setColumnWidth(c, GridColWidth[c]);
    FGrid->setSelectionMode(QAbstractItemView::ExtendedSelection);
    FGrid->setSelectionBehavior(QAbstractItemView::SelectItems);
    FGrid->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed |
                           QAbstractItemView::AnyKeyPressed);
    FGrid->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    FGrid->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);

    // The two code columns look and behave like fixed cells: not editable, not selectable.
    const QBrush fixedBrush = palette().brush(QPalette::Button);
    for (int row = 0; row < GridRows - 1; ++row) {
        for (int c = 0; c < GridCols; ++c) {
            auto* item = new QTableWidgetItem;
            if (c < 2) {
                item->setFlags(Qt::ItemIsEnabled);
                item->setBackground(fixedBrush);
            }
            FGrid->setItem(row, c, item);
        }
        // Code n as two upper-case hex digits, then its decimal value: "0A (10 )".
        FGrid->item(row, 1)->setText(QStringLiteral("%1 (%2 )")
                                         .arg(row, 2, 16, QLatin1Char('0'))
                                         .toUpper()
                                         .arg(row));
    }
    int width = 2 * FGrid->frameWidth() + FGrid->verticalScrollBar()->sizeHint().width();
    for (int c = 0; c < GridCols; ++c)
        width += GridColWidth[c];
    FGrid->setFixedWidth(width);

    // The default-table radio buttons stand above the three label columns.
    auto* radios = new QWidget(box);
    auto* h = new QHBoxLayout(radios);
    h->setContentsMargins(FGrid->frameWidth(), 0, 0, 0);
    h->setSpacing(0);
    h->addSpacing(GridColWidth[0] + GridColWidth[1]);
    FCtblGroup = new QButtonGroup(this);
    for (int t = 0; t < 3; ++t) {
        auto* holder = new QWidget(radios);
        holder->setFixedWidth(GridColWidth[2 + t]);
        auto* hh = new QHBoxLayout(holder);
        hh->setContentsMargins(0, 0, 0, 0);
        FCtblRadio[t] = new QRadioButton(holder);
        FCtblRadio[t]->setObjectName(QStringLiteral("CtblRadio%1").arg(t));
        FCtblRadio[t]->setToolTip(QStringLiteral("Default code table CTBL%1").arg(t));
        hh->addWidget(FCtblRadio[t], 0, Qt::AlignHCenter);
        FCtblGroup->addButton(FCtblRadio[t], t);
        h->addWidget(holder);
    }
    h->addStretch();
    FCtblRadio[0]->setChecked(true);

    v->addWidget(radios);
    v->addWidget(FGrid, 1);
    return box;
}

QWidget* TForm1::BuildMessagePage(int FirstState) {
    auto* page = new QWidget;
    auto* g = new QGridLayout(page);
    g->setContentsMargins(8, 8, 8, 8);
    g->setHorizontalSpacing(10);
    g->setVerticalSpacing(10);
    for (int r = 0; r < 5; ++r) {
        const int s = FirstState + r;
        FMsgName[s] = new TPictureBox(64, 16, page);
        FMsgName[s]->setObjectName(QStringLiteral("MsgName%1").arg(s));
        FMsgName[s]->SetFramed(false);
        g->addWidget(FMsgName[s], r, 0);
        for (int k = 0; k < 4; ++k) {
            auto* pic = new TPictureBox(64, 16, page);
            pic->setObjectName(QStringLiteral("MsgImage%1_%2").arg(s).arg(k));
            pic->setToolTip(QStringLiteral("Double click to choose a bitmap"));
            pic->setCursor(Qt::PointingHandCursor);
            FMsgImage[s][k] = pic;
            g->addWidget(pic, r, 1 + k);
        }
    }
    g->setColumnStretch(5, 1);
    g->setRowStretch(5, 1);
    return page;
}

void TForm1::BuildSetupTab(QWidget* Page) {
    auto* top = new QHBoxLayout(Page);
    top->setContentsMargins(8, 8, 8, 8);
    top->setSpacing(12);
    top->addWidget(BuildGrid());

    auto* right = new QVBoxLayout;
    right->setSpacing(8);
    top->addLayout(right, 1);

    // Preview and the two style pickers.
    auto* styles = new QHBoxLayout;
    styles->setSpacing(10);
    auto* previewBox = new QGroupBox(QStringLiteral("Preview:"), Page);
    auto* pv = new QVBoxLayout(previewBox);
    FPreview = new TPictureBox(64, 64, previewBox);
    FPreview->setObjectName("PreviewImage");
    pv->addWidget(FPreview, 0, Qt::AlignCenter);
    styles->addWidget(previewBox);

    auto* flBox = new QGroupBox(QStringLiteral("FL Style:"), Page);
    flBox->setObjectName("FlStyleBox");
    auto* fl = new QGridLayout(flBox);
    FFlGroup = new QButtonGroup(this);
    for (int k = 0; k < 4; ++k) {
        FFlRadio[k] = new QRadioButton(QStringLiteral("Style %1").arg(k), flBox);
        FFlRadio[k]->setObjectName(QStringLiteral("FlStyle%1").arg(k));
        FFlImage[k] = new TPictureBox(64, 64, flBox);
        FFlImage[k]->setObjectName(QStringLiteral("FlStyleImage%1").arg(k));
        FFlGroup->addButton(FFlRadio[k], k);
        fl->addWidget(FFlRadio[k], 0, k, Qt::AlignHCenter);
        fl->addWidget(FFlImage[k], 1, k, Qt::AlignHCenter);
    }
    FFlRadio[0]->setChecked(true);
    styles->addWidget(flBox);
    styles->addStretch();
    right->addLayout(styles);

    auto* row2 = new QHBoxLayout;
    row2->setSpacing(10);
    auto* dirBox = new QGroupBox(QStringLiteral("DIR Style:"), Page);
    dirBox->setObjectName("DirStyleBox");
    auto* dl = new QGridLayout(dirBox);
    FDirGroup = new QButtonGroup(this);
    for (int k = 0; k < 5; ++k) {
        FDirRadio[k] = new QRadioButton(QStringLiteral("Style %1").arg(k), dirBox);
        FDirRadio[k]->setObjectName(QStringLiteral("DirStyle%1").arg(k));
        FDirImage[k] = new TPictureBox(48, 48, dirBox);
        FDirImage[k]->setObjectName(QStringLiteral("DirStyleImage%1").arg(k));
        FDirGroup->addButton(FDirRadio[k], k);
        dl->addWidget(FDirRadio[k], 0, k, Qt::AlignHCenter);
        dl->addWidget(FDirImage[k], 1, k, Qt::AlignHCenter);
    }
    FDirRadio[0]->setChecked(true);
    row2->addWidget(dirBox);

    auto* side = new QVBoxLayout;
    auto* dpBox = new QGroupBox(Page);
    dpBox->setObjectName("DpStyleBox");
    auto* dp = new QVBoxLayout(dpBox);
    FRight = new QRadioButton(QStringLiteral("Right"), dpBox);
    FRight->setObjectName("DpStyleRight");
    FLeft = new QRadioButton(QStringLiteral("Left"), dpBox);
    FLeft->setObjectName("DpStyleLeft");
    FRight->setChecked(true);
    dp->addWidget(FRight);
    dp->addWidget(FLeft);
    side->addWidget(dpBox);
    auto* verRow = new QHBoxLayout;
    verRow->addWidget(Caption(QStringLiteral("Version:"), Page));
    FVersion = new QComboBox(Page);
    FVersion->setObjectName("VersionBox");
    FVersion->setMinimumWidth(130);
    verRow->addWidget(FVersion, 1);
    side->addLayout(verRow);
    side->addStretch();
    row2->addLayout(side);
    row2->addStretch();
    right->addLayout(row2);

    auto* buttons = new QHBoxLayout;
    FClearAll = new QPushButton(QStringLiteral("Clear ALL"), Page);
    FClearAll->setObjectName("ClearAllButton");
    FLoad = new QPushButton(QStringLiteral("Load"), Page);
    FLoad->setObjectName("LoadButton");
    FSave = new QPushButton(QStringLiteral("Save"), Page);
    FSave->setObjectName("SaveButton");
    for (QPushButton* b : {FClearAll, FLoad, FSave}) {
        b->setMinimumWidth(96);
        buttons->addWidget(b);
    }
    buttons->addStretch();
    right->addLayout(buttons);

    // The lift-state messages: four check boxes above the picture columns, then the two pages.
    auto* msgBox = new QGroupBox(QStringLiteral("Lift state messages"), Page);
    auto* mv = new QVBoxLayout(msgBox);
    FMsgPages = new QTabWidget(msgBox);
    FMsgPages->setObjectName("MessagePages");
    FMsgPages->setTabPosition(QTabWidget::West);
    FMsgPages->addTab(BuildMessagePage(0), QStringLiteral("Message"));
    FMsgPages->addTab(BuildMessagePage(5), QStringLiteral("Message"));

    auto* checks = new QHBoxLayout;
    checks->setSpacing(0);
    // Centres each box over its picture column of the pages (after the tab
    // bar, the page's frame and margin and the name column).
    const int tabBarWidth = FMsgPages->tabBar()->sizeHint().width();
    const int frame = FMsgPages->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, FMsgPages);
    checks->addSpacing(tabBarWidth + frame + 8 + 66 + 10);
    for (int k = 0; k < 4; ++k) {
        auto* holder = new QWidget(msgBox);
        holder->setFixedWidth(66);
        auto* hh = new QHBoxLayout(holder);
        hh->setContentsMargins(0, 0, 0, 0);
        FMsgCheck[k] = new QCheckBox(holder);
        FMsgCheck[k]->setObjectName(QStringLiteral("MsgCheck%1").arg(k));
        FMsgCheck[k]->setToolTip(QStringLiteral("Use this message column"));
        hh->addWidget(FMsgCheck[k], 0, Qt::AlignHCenter);
        checks->addWidget(holder);
        if (k < 3)
            checks->addSpacing(10);
    }
    checks->addStretch();
    FMsgCheck[0]->setChecked(true);
    FMsgCheck[1]->setChecked(true);
    mv->addLayout(checks);
    mv->addWidget(FMsgPages);
    right->addWidget(msgBox);
    right->addStretch();
}

// ---------------------------------------------------------------- "Make"

void TForm1::BuildMakeTab(QWidget* Page) {
    auto* top = new QHBoxLayout(Page);
    top->setContentsMargins(8, 8, 8, 8);
    top->setSpacing(12);

    // Left: the ROM file and the browser.
    auto* romBox = new QGroupBox(QStringLiteral("ROM image"), Page);
    auto* rv = new QVBoxLayout(romBox);
    rv->addWidget(Caption(QStringLiteral("ROM Filename:"), romBox));
    FRomFileName = new QLineEdit(QStringLiteral("DPU510TK3.BIN"), romBox);
    FRomFileName->setObjectName("RomFileNameEdit");
    rv->addWidget(FRomFileName);
    FBrowser = new TFileBrowser(FPrompts, romBox);
    FBrowser->setObjectName("FileBrowser");
    FBrowser->SetMask(QStringLiteral("*.BIN"));
    rv->addWidget(FBrowser, 1);
    FMakeRom = new QPushButton(QStringLiteral("MAKE ROM"), romBox);
    FMakeRom->setObjectName("MakeRomButton");
    FMakeRom->setMinimumHeight(32);
    rv->addWidget(FMakeRom);
    romBox->setMinimumWidth(230);
    top->addWidget(romBox);

    // Middle: serial link and device settings.
    auto* mid = new QVBoxLayout;
    mid->setSpacing(8);
    top->addLayout(mid);

    auto* linkBox = new QGroupBox(QStringLiteral("Link"), Page);
    auto* lg = new QGridLayout(linkBox);
    lg->addWidget(Caption(QStringLiteral("COM port:"), linkBox), 0, 0);
    FComPort = new QComboBox(linkBox);
    FComPort->setObjectName("ComPortBox");
    for (int i = 1; i <= 20; ++i)
        FComPort->addItem(QStringLiteral("COM %1").arg(i));
    FComPort->setCurrentIndex(0);
    lg->addWidget(FComPort, 0, 1);
    FConnect = new QPushButton(QStringLiteral("Connect"), linkBox);
    FConnect->setObjectName("ConnectButton");
    lg->addWidget(FConnect, 0, 2);
    FComDevice = new QLabel(linkBox);
    FComDevice->setObjectName("ComPortDevice");
    FComDevice->setToolTip(QStringLiteral("The device this COM port stands for"));
    lg->addWidget(FComDevice, 3, 0, 1, 3);
    FBaud = new QComboBox(linkBox);
    FBaud->setObjectName("BaudBox");
    FBaud->addItems({"14400", "19200", "38400", "57600", "115200"});
    FBaud->setCurrentIndex(4);
    FBaud->setVisible(false);
    FUpload = new QPushButton(QStringLiteral("UpLoad ROM Image"), linkBox);
    FUpload->setObjectName("UploadButton");
    FDateTimeSync = new QPushButton(QStringLiteral("Date-Time Sync."), linkBox);
    FDateTimeSync->setObjectName("DateTimeSyncButton");
    FUpload->setEnabled(false);
    FDateTimeSync->setEnabled(false);
    lg->addWidget(FUpload, 1, 0, 1, 2);
    lg->addWidget(FDateTimeSync, 1, 2);
    FProgress = new QProgressBar(linkBox);
    FProgress->setObjectName("ProgressBar");
    FProgress->setRange(0, 975);
    FProgress->setValue(0);
    lg->addWidget(FProgress, 2, 0, 1, 3);
    mid->addWidget(linkBox);

    auto* logoBox = new QGroupBox(QStringLiteral("Customer Logo"), Page);
    logoBox->setObjectName("CustomerLogoBox");
    auto* lo = new QGridLayout(logoBox);
    FLogoOff = new QRadioButton(QStringLiteral("OFF"), logoBox);
    FLogoOff->setObjectName("LogoOff");
    FLogoOn = new QRadioButton(QStringLiteral("ON (Sec.)"), logoBox);
    FLogoOn->setObjectName("LogoOn");
    FLogoOff->setChecked(true);
    FLogoSeconds = new QComboBox(logoBox);
    FLogoSeconds->setObjectName("LogoSecondsBox");
    for (int s = 1; s <= 30; ++s)
        FLogoSeconds->addItem(QString::number(s));
    FLogoSeconds->setCurrentIndex(0);
    FLogoSeconds->setEnabled(false);
    lo->addWidget(FLogoOff, 0, 0);
    lo->addWidget(FLogoOn, 1, 0);
    lo->addWidget(FLogoSeconds, 1, 1);
    auto* logoCol = new QVBoxLayout;
    logoCol->addWidget(Caption(QStringLiteral("Customer logo:  64 x 64"), logoBox));
    FLogo = new TPictureBox(64, 64, logoBox);
    FLogo->setObjectName("LogoImage");
    FLogo->SetStretch(true);
    FLogo->setCursor(Qt::PointingHandCursor);
    FLogo->setToolTip(QStringLiteral("Click to choose the logo bitmap"));
    logoCol->addWidget(FLogo, 0, Qt::AlignLeft);
    lo->addLayout(logoCol, 0, 2, 3, 1);
    lo->setColumnStretch(3, 1);
    mid->addWidget(logoBox);

    auto* devBox = new QGroupBox(QStringLiteral("Device"), Page);
    auto* dg = new QGridLayout(devBox);
    dg->addWidget(Caption(QStringLiteral("ID Code (4 bytes):"), devBox), 0, 0);
    FIdCode = new QLineEdit(devBox);
    FIdCode->setObjectName("IdCodeEdit");
    FIdCode->setMaximumWidth(90);
    dg->addWidget(FIdCode, 0, 1);
    dg->addWidget(Caption(QStringLiteral("LCD BL Power saving:"), devBox), 1, 0);
    FPowerSaving = new QComboBox(devBox);
    FPowerSaving->setObjectName("PowerSavingBox");
    for (int choice : TProject::PowerSavingChoices())
        FPowerSaving->addItem(QString::number(choice));
    dg->addWidget(FPowerSaving, 1, 1);
    dg->addWidget(Caption(QStringLiteral("Node Address:"), devBox), 2, 0);
    FNodeAddress = new QComboBox(devBox);
    FNodeAddress->setObjectName("NodeAddressBox");
    for (int a = 0; a < 64; ++a)
        FNodeAddress->addItem(QString::number(a));
    dg->addWidget(FNodeAddress, 2, 1);
    FDateTimeCheck = new QCheckBox(QStringLiteral("Enable Date and Time function"), devBox);
    FDateTimeCheck->setObjectName("DateTimeCheck");
    dg->addWidget(FDateTimeCheck, 3, 0, 1, 2);
    dg->setColumnStretch(2, 1);
    mid->addWidget(devBox);

    auto* posBox = new QGroupBox(QStringLiteral("Massage position:"), Page);
    posBox->setObjectName("MsgPosBox");
    auto* pg = new QGridLayout(posBox);
    FMsgPosGroup = new QButtonGroup(this);
    for (int k = 0; k < 3; ++k) {
        FMsgPosRadio[k] = new QRadioButton(QString::number(k + 1), posBox);
        FMsgPosRadio[k]->setObjectName(QStringLiteral("MsgPos%1").arg(k));
        FMsgPosImage[k] = new TPictureBox(64, 128, posBox);
        FMsgPosImage[k]->setObjectName(QStringLiteral("MsgPosImage%1").arg(k));
        FMsgPosGroup->addButton(FMsgPosRadio[k], k);
        pg->addWidget(FMsgPosRadio[k], 0, k, Qt::AlignHCenter);
        pg->addWidget(FMsgPosImage[k], 1, k, Qt::AlignHCenter);
    }
    FMsgPosRadio[2]->setChecked(true);
    mid->addWidget(posBox);
    mid->addStretch();

    // Right: the message log.
    auto* logCol = new QVBoxLayout;
    logCol->addWidget(Caption(QStringLiteral("Message box:"), Page));
    FLog = new QPlainTextEdit(Page);
    FLog->setObjectName("MessageLog");
    FLog->setReadOnly(true);
    // Long lines (paths, warnings) wrap, so nothing needs scrolling sideways.
    FLog->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    FLog->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    FLog->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    FLog->setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    QFont mono(QStringLiteral("Monospace"));
    mono.setStyleHint(QFont::TypeWriter);
    FLog->setFont(mono);
    FLog->setMinimumWidth(360);
    logCol->addWidget(FLog, 1);
    FMsgOn = new QCheckBox(QStringLiteral("Msg. on"), Page);
    FMsgOn->setObjectName("MsgOnCheck");
    logCol->addWidget(FMsgOn);
    top->addLayout(logCol, 1);
}

void TForm1::BuildStatusBar() {
    QStatusBar* bar = statusBar();
    bar->setObjectName("StatusBar");
    bar->setSizeGripEnabled(true);
    const int widths[4] = {400, 160, 230, 90};
    for (int i = 0; i < 4; ++i) {
        FStatus[i] = new QLabel(bar);
        FStatus[i]->setObjectName(QStringLiteral("StatusPanel%1").arg(i));
        FStatus[i]->setMinimumWidth(widths[i]);
        FStatus[i]->setFrameShape(QFrame::StyledPanel);
        FStatus[i]->setFrameShadow(QFrame::Sunken);
        bar->addWidget(FStatus[i], i == 0 ? 1 : 0);
    }
    FStatus[3]->setText(QStringLiteral("Orvane Tech."));
}

// ---------------------------------------------------------------- sinks

void TForm1::AppendLog(const std::string& Line) {
    FLog->appendPlainText(Q(Line));
    FLog->verticalScrollBar()->setValue(FLog->verticalScrollBar()->maximum());
}

void TForm1::ClearLog() { FLog->clear(); }

void TForm1::SetStatus(int Panel, const std::string& Text) {
    if (Panel >= 0 && Panel < 4)
        FStatus[Panel]->setText(Q(Text));
}

QString TForm1::StatusText(int Panel) const {
    return Panel >= 0 && Panel < 4 ? FStatus[Panel]->text() : QString();
}

QString TForm1::Cell(int Col, int Row) const {
    if (Col < 0 || Col >= GridCols || Row < 0 || Row >= GridRows)
        return QString();
    if (Row == 0)
        return FGrid->horizontalHeaderItem(Col)->text();
    const QTableWidgetItem* item = FGrid->item(Row - 1, Col);
    return item ? item->text() : QString();
}

void TForm1::SetCell(int Col, int Row, const QString& Text) {
    if (Col < 0 || Col >= GridCols || Row < 0 || Row >= GridRows)
        return;
    if (Row == 0) {
        FGrid->horizontalHeaderItem(Col)->setText(Text);
        return;
    }
    FGrid->item(Row - 1, Col)->setText(Text);
}

void TForm1::changeEvent(QEvent* Event) {
    if (Event->type() == QEvent::ActivationChange && isActiveWindow() && FComPort)
        ShowComPortDevice();
    QMainWindow::changeEvent(Event);
}

void TForm1::closeEvent(QCloseEvent* Event) {
    // Closing while connected or uploading ends the transfer and releases the port.
    if (FResponseTimer)
        FResponseTimer->Stop();
    if (PcUart1 && PcUart1->pr_IsOpened())
        PcUart1->Close();
    Event->accept();
}

// ---------------------------------------------------------------- start-up

void TForm1::StartUp() {
    for (int c = 0; c < GridCols; ++c)
        SetCell(c, 0, Q(TStartup::GridHeader(c)));
    for (int n = 0; n < 256; ++n)
        SetCell(1, n + 1, Q(DpuText::CodeText(n)));
    // The start-up directory is where the "Make" tab's browser starts.
    FBrowser->SetDirectory(FStartupDir);
    FUpload->setEnabled(false);
    FDateTimeSync->setEnabled(false);
    SetStatus(3, TStartup::MakerStatus);

    const TStartupResult result = TStartup::Run(FConfig, FLibrary, FProject, Ask(), *this);
    FStartupCompleted = result.Completed;
    setWindowTitle(Q(result.Caption));
    ShowVersionList();
    ShowBitPatterns();
    if (result.Completed) {
        for (int k = 0; k < 4; ++k)
            FFlImage[k]->SetPicture(result.FlStylePreviews[k]);
        for (int k = 0; k < 5; ++k)
            FDirImage[k]->SetPicture(result.DirStylePreviews[k]);
        for (int k = 0; k < 3; ++k)
            FMsgPosImage[k]->SetPicture(result.MsgPosPreviews[k]);
        ShowAllSlots();
    }
    // The position choice shows the record's value, so a project saved
    // without touching it stores what the window showed.
    if (FProject.DEF_MSGPOS >= 0 && FProject.DEF_MSGPOS < 3)
        FMsgPosRadio[static_cast<size_t>(FProject.DEF_MSGPOS)]->setChecked(true);
    ShowBlankLogo();
    ShowComPortDevice();
}

void TForm1::ConnectSignals() {
    // Every action runs guarded: an exception from the core ends that action
    // with a message box and the window goes on.
    auto G = [this](auto Fn) {
        return [this, Fn](auto&&... Args) -> void {
            try {
                if constexpr (std::is_invocable_v<decltype(Fn), decltype(Args)...>)
                    Fn(std::forward<decltype(Args)>(Args)...);
                else
                    Fn();
            } catch (const std::exception& e) {
                Ask().SetBusyCursor(false);
                Ask().MessageBox("Error", std::string(e.what()) + "\n\n");
            }
        };
    };
    connect(FGrid, &QTableWidget::currentCellChanged, this,
            G([this](int Row, int Col, int, int) { OnCellSelected(Row, Col); }));
    // A click selects the cell again even when it is already the current one
    // (after editing it, say), and shows its preview as any selection does.
    connect(FGrid, &QTableWidget::cellPressed, this, G([this](int Row, int Col) { OnCellSelected(Row, Col); }));
    connect(FGrid, &QTableWidget::cellChanged, this, G([this](int Row, int Col) { OnCellEdited(Row, Col); }));

    connect(FCtblGroup, &QButtonGroup::idClicked, this, [this](int Id) {
        if (!FShowing)
            FProject.DEF_CTBL = Id;
    });
    connect(FFlGroup, &QButtonGroup::idClicked, this, [this](int Id) {
        if (!FShowing)
            FProject.DEF_FL = Id;
    });
    connect(FDirGroup, &QButtonGroup::idClicked, this, [this](int Id) {
        if (!FShowing)
            FProject.DEF_DIR = Id;
    });
    connect(FMsgPosGroup, &QButtonGroup::idClicked, this, [this](int Id) {
        if (!FShowing)
            FProject.DEF_MSGPOS = Id;
    });
    connect(FRight, &QRadioButton::clicked, this, [this] { FProject.DPSTYLE = 1; });
    connect(FLeft, &QRadioButton::clicked, this, [this] { FProject.DPSTYLE = 2; });
    for (int k = 0; k < 4; ++k)
        connect(FMsgCheck[k], &QCheckBox::toggled, this, [this, k](bool On) {
            if (!FShowing)
                FProject.MsgColumnChecked[k] = On;
        });
    connect(FVersion, &QComboBox::activated, this, G([this](int Index) { OnVersionChosen(Index); }));
    for (int s = 0; s < 10; ++s)
        for (int k = 0; k < 4; ++k)
            connect(FMsgImage[s][k], &TPictureBox::DoubleClicked, this,
                    G([this, s, k] { OnMessagePictureDoubleClicked(s, k); }));
    connect(FClearAll, &QPushButton::clicked, this, G([this] { OnClearAll(); }));
    connect(FLoad, &QPushButton::clicked, this, G([this] { OnLoad(); }));
    connect(FSave, &QPushButton::clicked, this, G([this] { OnSave(); }));

    connect(FRomFileName, &QLineEdit::textEdited, this,
            [this](const QString& Text) { FProject.ROMFILENAME = Text.toLocal8Bit().toStdString(); });
    connect(FBrowser, &TFileBrowser::FileClicked, this, [this](const QString& Name) {
        FRomFileName->setText(Name);
        FProject.ROMFILENAME = Name.toLocal8Bit().toStdString();
    });
    connect(FMakeRom, &QPushButton::clicked, this, G([this] { OnMakeRom(); }));
    connect(FComPort, &QComboBox::currentIndexChanged, this, [this] { ShowComPortDevice(); });
    // A port link made while the window is open shows when the person comes back to it.
    connect(FTabs, &QTabWidget::currentChanged, this, [this] { ShowComPortDevice(); });
    connect(FConnect, &QPushButton::clicked, this, G([this] { OnConnect(); }));
    connect(FBaud, &QComboBox::activated, this,
            [this] { FLink->BaudListChanged(FBaud->currentText().toStdString()); });
    connect(FUpload, &QPushButton::clicked, this, G([this] { OnUpload(); }));
    connect(FDateTimeSync, &QPushButton::clicked, this, G([this] { OnDateTimeSync(); }));
    connect(FMsgOn, &QCheckBox::toggled, this, [this](bool On) { FLink->SetMsgOn(On); });

    connect(FLogoOn, &QRadioButton::clicked, this, G([this] { OnLogoOn(); }));
    connect(FLogoOff, &QRadioButton::clicked, this, G([this] { OnLogoOff(); }));
    connect(FLogo, &TPictureBox::Clicked, this, G([this] { OnLogoClicked(); }));
    connect(FLogoSeconds, &QComboBox::activated, this, [this](int Index) { FProject.SWAPTIME = Index; });
    connect(FIdCode, &QLineEdit::textEdited, this,
            [this](const QString& Text) { FProject.CUSIDCODE = Text.toLocal8Bit().toStdString(); });
    connect(FPowerSaving, &QComboBox::activated, this, [this](int Index) { FProject.PWRSAVING = Index; });
    connect(FNodeAddress, &QComboBox::activated, this, [this](int Index) { FProject.NODEADDR = Index; });
    connect(FDateTimeCheck, &QCheckBox::toggled, this, [this](bool On) {
        if (!FShowing)
            FProject.DISPDT = On ? 1 : 0;
    });
}

// ---------------------------------------------------------------- showing the record

namespace {
// Checks button Index of a group when it is in range; otherwise the group keeps its choice.
template <size_t N>
void CheckIfInRange(const std::array<QRadioButton*, N>& Buttons, int Index) {
    if (Index >= 0 && Index < static_cast<int>(N))
        Buttons[static_cast<size_t>(Index)]->setChecked(true);
}

void SelectIfInRange(QComboBox* Box, int Index) {
    if (Index >= 0 && Index < Box->count())
        Box->setCurrentIndex(Index);
}
} // namespace

void TForm1::ShowProject() {
    FShowing = true;
    ShowLabels();
    CheckIfInRange(FCtblRadio, FProject.DEF_CTBL);
    CheckIfInRange(FFlRadio, FProject.DEF_FL);
    CheckIfInRange(FDirRadio, FProject.DEF_DIR);
    CheckIfInRange(FMsgPosRadio, FProject.DEF_MSGPOS);
    if (FProject.DPSTYLE == 1)
        FRight->setChecked(true);
    else
        FLeft->setChecked(true);
    for (int k = 0; k < 4; ++k)
        FMsgCheck[k]->setChecked(FProject.MsgColumnChecked[k]);
    FDateTimeCheck->setChecked(FProject.DISPDT != 0);
    FIdCode->setText(Q(FProject.CUSIDCODE));
    FRomFileName->setText(Q(FProject.ROMFILENAME));
    SelectIfInRange(FPowerSaving, FProject.PWRSAVING);
    SelectIfInRange(FNodeAddress, FProject.NODEADDR);
    SelectIfInRange(FLogoSeconds, FProject.SWAPTIME);
    ShowLogo();
    ShowVersionList();
    ShowBitPatterns();
    ShowAllSlots();
    FShowing = false;
}

void TForm1::ShowLabels() {
    const bool wasShowing = FShowing;
    FShowing = true;
    for (int t = 0; t < TProject::TableCount; ++t)
        for (int n = 0; n < TProject::CodeCount; ++n)
            SetCell(2 + t, n + 1, Q(FProject.Label(t, n)));
    FShowing = wasShowing;
}

void TForm1::ShowBitPatterns() {
    for (int n = 0; n < 256; ++n)
        SetCell(0, n + 1, Q(FConfig.BitPattern(n)));
}

void TForm1::ShowVersionList() {
    const QSignalBlocker block(FVersion);
    FVersion->clear();
    for (const std::string& v : FConfig.VersionList)
        FVersion->addItem(Q(v));
    FVersion->setCurrentIndex(FConfig.VersionIndex);
}

void TForm1::ShowAllSlots() {
    // Columns left to right show slots B, D, A, C; the name picture slot A.
    static constexpr int ColumnSlot[4] = {1, 3, 0, 2};
    for (int s = 0; s < TProject::StateCount; ++s) {
        FMsgName[s]->LoadFromFile(Q(FProject.Slot(s, 0)));
        for (int k = 0; k < 4; ++k)
            FMsgImage[s][k]->LoadFromFile(Q(FProject.Slot(s, ColumnSlot[k])));
    }
}

void TForm1::ShowBlankLogo() { FLogo->LoadFromFile(Q(FConfig.BlankLogoPath())); }

void TForm1::ShowLogo() {
    if (FProject.CUSLOGOENABLE != 0) {
        FLogoOn->setChecked(true);
        FLogoSeconds->setEnabled(true);
        if (!FLogo->LoadFromFile(Q(FProject.TITLEFILENAME_C)))
            FLogo->ClearPicture();
    } else {
        FLogoOff->setChecked(true);
        FLogoSeconds->setEnabled(false);
        ShowBlankLogo();
    }
}

// ---------------------------------------------------------------- "Setup" actions

void TForm1::OnCellSelected(int Row, int Col) {
    if (Row < 0 || Col < 2)
        return;
    const std::string text = Cell(Col, Row + 1).toLocal8Bit().toStdString();
    if (TLabelPreview::Render(text, FProject.DEF_FL, FConfig.UserFloorStylePrefix(), FLibrary,
                              FPreviewImage))
        FPreview->SetPicture(FPreviewImage);
}

void TForm1::OnCellEdited(int Row, int Col) {
    if (FShowing || Col < 2 || Row < 0 || Row >= TProject::CodeCount)
        return;
    FProject.SetLabel(Col - 2, Row, Cell(Col, Row + 1).toLocal8Bit().toStdString());
}

void TForm1::OnVersionChosen(int Index) {
    FConfig.SelectVersion(Index, this);
    ShowBitPatterns();
}

void TForm1::OnMessagePictureDoubleClicked(int State, int Column) {
    static constexpr int ColumnSlot[4] = {1, 3, 0, 2};
    std::string file;
    if (!Ask().OpenPictureDialog(PictureFilter, file))
        return;
    FProject.SetSlot(State, ColumnSlot[Column], file);
    // Only the double-clicked picture changes; the row's name picture waits
    // for the next full display.
    FMsgImage[State][Column]->LoadFromFile(Q(file));
}

bool TForm1::ChooseLogo() {
    std::string file;
    if (!Ask().OpenPictureDialog(PictureFilter, file))
        return false;
    FProject.TITLEFILENAME_C = file;
    if (!FLogo->LoadFromFile(Q(file)))
        FLogo->ClearPicture();
    return true;
}

void TForm1::OnLogoClicked() { ChooseLogo(); }

void TForm1::OnLogoOn() {
    if (FProject.SetLogoOn())
        ChooseLogo();
    FLogoSeconds->setEnabled(true);
    FLogoOn->setChecked(true);
}

void TForm1::OnLogoOff() {
    FProject.SetLogoOff();
    FLogoSeconds->setEnabled(false);
    FLogoOff->setChecked(true);
    ShowBlankLogo();
}

void TForm1::OnClearAll() {
    FProjectFile->ClearAll();
    ShowLabels();
}

void TForm1::OnLoad() { ShowLoaded(FProjectFile->Load()); }

bool TForm1::LoadProjectFile(const std::string& Path) {
    return ShowLoaded(FProjectFile->LoadFrom(Path)) == TProjectFile::TLoadResult::Loaded;
}

TProjectFile::TLoadResult TForm1::ShowLoaded(TProjectFile::TLoadResult Result) {
    if (Result == TProjectFile::TLoadResult::Loaded || Result == TProjectFile::TLoadResult::ConversionError) {
        // Showing the project reads its 40 lift-state bitmaps: still part of the load.
        Ask().SetBusyCursor(true);
        ShowProject();
        FBrowser->Refresh();
        Ask().SetBusyCursor(false);
    }
    return Result;
}

void TForm1::OnSave() {
    FProjectFile->Save();
    // Save writes the ROM file name as the field must show it now.
    FRomFileName->setText(Q(FProject.ROMFILENAME));
}

void TForm1::SelectFirstLabel() {
    for (int n = 0; n < TProject::CodeCount; ++n)
        for (int t = 0; t < TProject::TableCount; ++t)
            if (!DpuText::Trim(FProject.Label(t, n)).empty()) {
                FGrid->setCurrentCell(n, 2 + t);
                return;
            }
}

// ---------------------------------------------------------------- "Make" actions

void TForm1::OnMakeRom() {
    TMakeRom command(FProject, FConfig, FLibrary, Ask(), this);
    command.SaveStep = [this] {
        const bool saved = FProjectFile->Save();
        FRomFileName->setText(Q(FProject.ROMFILENAME));
        return saved;
    };
    const bool built = command.Run();
    // The build's own log lines only report trouble; say where the image went.
    if (built)
        AppendLog("===> ROM image written: " +
                  QFileInfo(Q(command.RomFilePath)).absoluteFilePath().toLocal8Bit().toStdString() + " <===");
    // Labels whose user bitmap was missing were emptied by the build.
    const bool wasShowing = FShowing;
    FShowing = true;
    for (const auto& [table, code] : command.CancelledCells)
        SetCell(2 + table, code + 1, QString());
    FShowing = wasShowing;
    FRomFileName->setText(Q(FProject.ROMFILENAME));
    // The new image shows in the file list.
    FBrowser->Refresh();
}

namespace {
// What "COM n" stands for, in words: the device, followed through a port link
// to the device it names, or why there is none.
QString ComPortDeviceText(unsigned Number) {
    if (Number > TForm1::UsableComPorts)
        return QStringLiteral("COM %1 is not supported (COM 1 to COM %2)").arg(Number).arg(TForm1::UsableComPorts);
    const std::string dev = YVclCtrl::ResolveComPort(Number);
    if (dev.empty())
        return QStringLiteral("Device: none");
    const QFileInfo info(Q(dev));
    if (!info.isSymLink())
        return QStringLiteral("Device: ") + Q(dev);
    const QString target = info.symLinkTarget();
    return QStringLiteral("Device: ") + target +
           (QFileInfo::exists(target) ? QString() : QStringLiteral(" (not present)"));
}
} // namespace

void TForm1::ShowComPortDevice() {
    for (int i = 0; i < FComPort->count(); ++i)
        FComPort->setItemData(i, ComPortDeviceText(static_cast<unsigned>(i + 1)), Qt::ToolTipRole);
    const unsigned current = static_cast<unsigned>(FComPort->currentIndex() + 1);
    FComDevice->setText(ComPortDeviceText(current));
    const std::string dev = current <= UsableComPorts ? YVclCtrl::ResolveComPort(current) : std::string();
    FComDevice->setToolTip(dev.empty() ? QStringLiteral("The device this COM port stands for")
                                       : QStringLiteral("COM %1 opens %2").arg(current).arg(Q(dev)));
}

void TForm1::UpdateLinkControls() {
    const bool connected = FLink->Connected();
    FConnect->setText(connected ? QStringLiteral("Disconnect") : QStringLiteral("Connect"));
    FComPort->setEnabled(!connected);
    FUpload->setEnabled(FLink->UploadEnabled());
    FDateTimeSync->setEnabled(FLink->SyncEnabled());
}

void TForm1::OnConnect() {
    if (!FLink->Connected()) {
        ShowComPortDevice();
        FLink->Connect(static_cast<unsigned>(FComPort->currentIndex() + 1));
    } else {
        FLink->Disconnect();
    }
    UpdateLinkControls();
}

void TForm1::OnUpload() {
    if (FLink->UploadRomImageAction(FConfig.ENCODE, Ask()))
        FProgress->setValue(0);
    UpdateLinkControls();
}

void TForm1::OnDateTimeSync() {
    FLink->StartDateTimeSync();
    UpdateLinkControls();
}
