#include "app/tsetuppage.h"

#include "app/qtext.h"
#include "app/tchoicebox.h"
#include "app/tgridcellitem.h"
#include "app/tpicturebox.h"
#include "app/tsettingbindings.h"
#include "project/dputext.h"
#include "project/tstartup.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QStyle>
#include <QTabWidget>
#include <QTextLayout>
#include <QTableWidget>
#include <QMenu>
#include <QSignalBlocker>
#include <QTabBar>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>

namespace DpuText = DpuProject::DpuText;

using DpuProject::TConfiguration;
using DpuProject::TProject;
using DpuProject::TStartup;

namespace {

// Grid column widths: wide enough for "bit [ 5..0 ]" and "FF (255 )" in the
// desktop font, label columns for a few characters each.
constexpr int GridColWidth[TSetupPage::GridCols] = {84, 80, 66, 66, 66};
constexpr int GridRowHeight = 20;

QStringList StyleCaptions(int Count) {
    QStringList captions;
    for (int k = 0; k < Count; ++k)
        captions << QStringLiteral("Style %1").arg(k);
    return captions;
}

} // namespace

int TSetupPage::ColumnSlot(int Column) {
    // Columns left to right show slots B, D, A, C.
    static constexpr int Slot[4] = {1, 3, 0, 2};
    return Slot[Column];
}

QString TSetupPage::StateName(int State) {
    static const char* const Names[TProject::StateCount] = {
        "Fire",        "Earthquake", "Alarm", "Out of service", "Overload",
        "Maintenance", "Full",       "VIP",   "Parking",        "Independent service"};
    return State >= 0 && State < TProject::StateCount ? QString::fromLatin1(Names[State])
                                                      : QString();
}

TSetupPage::TSetupPage(QWidget* Parent) : QWidget(Parent) {
    setObjectName("SetupPage");
    // First, so a control can be bound to its setting where it is made.
    FSettings = new TSettingBindings(this);
    auto* top = new QHBoxLayout(this);
    top->setContentsMargins(8, 8, 8, 8);
    top->setSpacing(12);
    top->addWidget(BuildGrid());

    auto* right = new QVBoxLayout;
    right->setSpacing(8);
    top->addLayout(right, 1);

    // Preview and the two style pickers.
    auto* styles = new QHBoxLayout;
    styles->setSpacing(10);
    auto* previewBox = new QGroupBox(QStringLiteral("Preview:"), this);
    auto* pv = new QVBoxLayout(previewBox);
    FPreview = new TPictureBox(64, 64, previewBox);
    FPreview->setObjectName("PreviewImage");
    pv->addWidget(FPreview, 0, Qt::AlignCenter);
    // Why the preview is blank or part of it is: a few words, wrapped in the
    // box. The line's room is fixed, so nothing beside or below the box moves
    // as the text comes, goes or grows; what does not fit is cut with "..."
    // and the whole text is in the tool tip.
    FPreviewWhy = new QLabel(previewBox);
    FPreviewWhy->setObjectName("PreviewReason");
    FPreviewWhy->setWordWrap(true);
    FPreviewWhy->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    FPreviewWhy->setFixedSize(PreviewReasonWidth,
                              PreviewReasonLines * FPreviewWhy->fontMetrics().lineSpacing());
    pv->addWidget(FPreviewWhy, 0, Qt::AlignHCenter);
    styles->addWidget(previewBox);
    FFlBox =
        new TChoiceBox(QStringLiteral("FL Style:"), StyleCaptions(4), QStringLiteral("FlStyle"),
                       QStringLiteral("FlStyleImage"), QSize(64, 64), this);
    FFlBox->setObjectName("FlStyleBox");
    styles->addWidget(FFlBox);
    styles->addStretch();
    right->addLayout(styles);

    auto* row2 = new QHBoxLayout;
    row2->setSpacing(10);
    FDirBox =
        new TChoiceBox(QStringLiteral("DIR Style:"), StyleCaptions(5), QStringLiteral("DirStyle"),
                       QStringLiteral("DirStyleImage"), QSize(48, 48), this);
    FDirBox->setObjectName("DirStyleBox");
    row2->addWidget(FDirBox);

    auto* side = new QVBoxLayout;
    // Titled, so a screen reader says what "Right" and "Left" choose.
    auto* dpBox = new QGroupBox(QStringLiteral("Display style:"), this);
    dpBox->setObjectName("DpStyleBox");
    auto* dp = new QVBoxLayout(dpBox);
    FRight = new QRadioButton(QStringLiteral("Right"), dpBox);
    FRight->setObjectName("DpStyleRight");
    FLeft = new QRadioButton(QStringLiteral("Left"), dpBox);
    FLeft->setObjectName("DpStyleLeft");
    FRight->setChecked(true);
    FDpGroup = new QButtonGroup(dpBox);
    FDpGroup->addButton(FRight, 1);
    FDpGroup->addButton(FLeft, 2);
    dp->addWidget(FRight);
    dp->addWidget(FLeft);
    side->addWidget(dpBox);
    auto* verRow = new QHBoxLayout;
    auto* verLabel = new QLabel(QStringLiteral("Version:"), this);
    verRow->addWidget(verLabel);
    FVersion = new QComboBox(this);
    FVersion->setObjectName("VersionBox");
    verLabel->setBuddy(FVersion);
    FVersion->setMinimumWidth(130);
    verRow->addWidget(FVersion, 1);
    side->addLayout(verRow);
    side->addStretch();
    row2->addLayout(side);
    row2->addStretch();
    right->addLayout(row2);

    auto* buttons = new QHBoxLayout;
    // Alt+C, Alt+L, Alt+S: the '&' only underlines the letter.
    FClearAll = new QPushButton(QStringLiteral("&Clear ALL"), this);
    FClearAll->setObjectName("ClearAllButton");
    FLoad = new QPushButton(QStringLiteral("&Load"), this);
    FLoad->setObjectName("LoadButton");
    FSave = new QPushButton(QStringLiteral("&Save"), this);
    FSave->setObjectName("SaveButton");
    for (QPushButton* b : {FClearAll, FLoad, FSave}) {
        b->setMinimumWidth(96);
        buttons->addWidget(b);
    }
    FRecent = new QToolButton(this);
    FRecent->setObjectName("RecentButton");
    FRecent->setText(QStringLiteral("Recent"));
    FRecent->setToolTip(QStringLiteral("Load a recently used project"));
    FRecent->setPopupMode(QToolButton::InstantPopup);
    FRecent->setMenu(new QMenu(FRecent));
    buttons->addWidget(FRecent);
    buttons->addStretch();
    right->addLayout(buttons);
    right->addWidget(BuildMessageBox());
    right->addStretch();
    ConnectIntents();
    NameControls();

    // The message pictures zoom together, the name pictures with them.
    for (int s = 0; s < TProject::StateCount; ++s)
        for (int k = 0; k < 4; ++k)
            connect(FMsgImage[s][k], &TPictureBox::ZoomChanged, this, [this](int Zoom) {
                for (int t = 0; t < TProject::StateCount; ++t) {
                    FMsgName[t]->SetZoom(Zoom);
                    for (TPictureBox* pic : FMsgImage[t])
                        pic->SetZoom(Zoom);
                }
                AlignMessageChecks();
            });
}

QWidget* TSetupPage::BuildGrid() {
    auto* box = new QWidget;
    auto* v = new QVBoxLayout(box);
    v->setContentsMargins(0, 0, 0, 0);
    v->setSpacing(2);

    FGrid = new QTableWidget(GridRows - 1, GridCols, box);
    FGrid->setObjectName("CodeGrid");
    FGrid->setToolTip(QStringLiteral("Double click"));
    // The header row and the code column as start-up fills them.
    QStringList headers;
    for (int c = 0; c < GridCols; ++c)
        headers << ToQ(TStartup::GridHeader(c));
    FGrid->setHorizontalHeaderLabels(headers);
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
            auto* item = new TGridCellItem(c, row);
            if (c < 2) {
                item->setFlags(Qt::ItemIsEnabled);
                item->setBackground(fixedBrush);
            }
            FGrid->setItem(row, c, item);
        }
        FGrid->item(row, 1)->setText(ToQ(DpuProject::DpuText::CodeText(row)));
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
    // Everything written to the grid by paste, cut, delete and fill goes out
    // as one step; the grid itself is changed only when the step is shown.
    FGridEditor = new TGridEditor(FGrid, 2, [this](const QString& What, const auto& Edits) {
        emit LabelCellsEdited(What, Edits);
    });
    // The keyboard comes into the grid in the default table's column.
    FGridEditor->SetEntryColumn([this] { return 2 + std::max(FCtblGroup->checkedId(), 0); });
    return box;
}

QWidget* TSetupPage::BuildMessagePage(int FirstState) {
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
    for (int r = 0; r < 5; ++r)
        for (TPictureBox* pic : FMsgImage[FirstState + r])
            pic->installEventFilter(this);
    return page;
}

QWidget* TSetupPage::BuildMessageBox() {
    // The lift-state messages: four check boxes above the picture columns, then the two pages.
    auto* msgBox = new QGroupBox(QStringLiteral("Lift state messages"), this);
    auto* mv = new QVBoxLayout(msgBox);
    FMsgPages = new QTabWidget(msgBox);
    FMsgPages->setObjectName("MessagePages");
    FMsgPages->setTabPosition(QTabWidget::West);
    // Its tabs take the focus; the frame around them is no control of its own.
    FMsgPages->setFocusPolicy(Qt::NoFocus);
    FMsgPages->addTab(BuildMessagePage(0), QStringLiteral("Message"));
    FMsgPages->addTab(BuildMessagePage(5), QStringLiteral("Message"));

    auto* checks = new QHBoxLayout;
    checks->setSpacing(0);
    FMsgCheckLead = new QSpacerItem(0, 0, QSizePolicy::Fixed, QSizePolicy::Minimum);
    checks->addSpacerItem(FMsgCheckLead);
    for (int k = 0; k < 4; ++k) {
        auto* holder = new QWidget(msgBox);
        FMsgCheckHolder[k] = holder;
        auto* hh = new QHBoxLayout(holder);
        hh->setContentsMargins(0, 0, 0, 0);
        FMsgCheck[k] = new QCheckBox(holder);
        FMsgCheck[k]->setObjectName(QStringLiteral("MsgCheck%1").arg(k));
        FMsgCheck[k]->setToolTip(QStringLiteral("Use this message column"));
        hh->addWidget(FMsgCheck[k], 0, Qt::AlignHCenter);
        checks->addWidget(holder);
        if (k < 3) checks->addSpacing(10);
    }
    checks->addStretch();
    FMsgCheck[0]->setChecked(true);
    FMsgCheck[1]->setChecked(true);
    mv->addLayout(checks);
    mv->addWidget(FMsgPages);
    // The page tabs stand one above the other: Up and Down switch them too.
    FMsgPages->tabBar()->installEventFilter(this);
    AlignMessageChecks();
    return msgBox;
}

void TSetupPage::AlignMessageChecks() {
    // Centres each box over its picture column of the pages (after the tab
    // bar, the page's frame and margin and the name column), whatever the
    // pictures' zoom and the screen's scaling.
    const int tabBarWidth = FMsgPages->tabBar()->sizeHint().width();
    const int frame =
        FMsgPages->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, FMsgPages);
    FMsgCheckLead->changeSize(tabBarWidth + frame + 8 + FMsgName[0]->sizeHint().width() + 10, 0,
                              QSizePolicy::Fixed, QSizePolicy::Minimum);
    for (int k = 0; k < 4; ++k)
        FMsgCheckHolder[k]->setFixedWidth(FMsgImage[0][k]->sizeHint().width());
    if (QLayout* l = FMsgCheckHolder[0]->parentWidget()->layout()) l->invalidate();
}

// ---------------------------------------------------------------- showing

QString TSetupPage::Cell(int Col, int Row) const {
    if (Col < 0 || Col >= GridCols || Row < 0 || Row >= GridRows) return QString();
    if (Row == 0) return FGrid->horizontalHeaderItem(Col)->text();
    const QTableWidgetItem* item = FGrid->item(Row - 1, Col);
    return item ? item->text() : QString();
}

void TSetupPage::SetCell(int Col, int Row, const QString& Text) {
    const QSignalBlocker quiet(this);
    if (Col < 0 || Col >= GridCols || Row < 0 || Row >= GridRows) return;
    if (Row == 0) {
        FGrid->horizontalHeaderItem(Col)->setText(Text);
        return;
    }
    FGrid->item(Row - 1, Col)->setText(Text);
}

void TSetupPage::ShowLabels(const TProject& Project) {
    const QSignalBlocker quiet(this);
    for (int t = 0; t < TProject::TableCount; ++t)
        for (int n = 0; n < TProject::CodeCount; ++n)
            SetCell(2 + t, n + 1, ToQ(Project.Label(t, n)));
}

void TSetupPage::ShowLabelProblem(int Table, int Code, const QString& Why) {
    QTableWidgetItem* item = FGrid->item(Code, 2 + Table);
    if (Table < 0 || Table >= TProject::TableCount || !item) return;
    item->setData(Qt::BackgroundRole,
                  Why.isEmpty() ? QVariant() : QVariant(QBrush(QColor(255, 214, 196))));
    item->setToolTip(Why);
}

void TSetupPage::ShowBitPatterns(const TConfiguration& Config) {
    const QSignalBlocker quiet(this);
    for (int n = 0; n < 256; ++n)
        SetCell(0, n + 1, ToQ(Config.BitPattern(n)));
}

void TSetupPage::ShowVersionList(const TConfiguration& Config) {
    const QSignalBlocker quiet(this);
    FVersion->clear();
    for (const std::string& v : Config.VersionList)
        FVersion->addItem(ToQ(v));
    FVersion->setCurrentIndex(Config.VersionIndex);
}

void TSetupPage::ShowAllSlots(const TProject& Project) {
    // The name picture shows slot A.
    for (int s = 0; s < TProject::StateCount; ++s) {
        FMsgName[s]->LoadFromFile(ToQ(Project.Slot(s, 0)));
        for (int k = 0; k < 4; ++k)
            FMsgImage[s][k]->LoadFromFile(ToQ(Project.Slot(s, ColumnSlot(k))));
    }
}

void TSetupPage::ShowChoices(const TProject& Project) {
    const QSignalBlocker quiet(this);
    FSettings->Show(Project);
    for (int k = 0; k < 4; ++k)
        FMsgCheck[k]->setChecked(Project.MsgColumnChecked[k]);
}

void TSetupPage::ShowStylePictures(const std::array<QImage, 4>& FlStyles,
                                   const std::array<QImage, 5>& DirStyles) {
    FFlBox->ShowPictures(FlStyles);
    FDirBox->ShowPictures(DirStyles);
}

void TSetupPage::ShowPreview(const QImage& Image, const QString& Why) {
    FPreview->SetPicture(Image);
    FPreviewWhyText = Why;
    FPreviewWhy->setText(
        FitLines(Why, FPreviewWhy->font(), PreviewReasonWidth, PreviewReasonLines));
    FPreviewWhy->setToolTip(Why);
    FPreview->setToolTip(Why);
}

QString TSetupPage::PreviewReason() const {
    return FPreviewWhyText;
}

QString TSetupPage::FitLines(const QString& Text, const QFont& Font, int Width, int Lines) {
    const QFontMetrics metrics(Font);
    const QRect wrapped = metrics.boundingRect(QRect(0, 0, Width, 1 << 20), Qt::TextWordWrap, Text);
    if (wrapped.width() <= Width && wrapped.height() <= Lines * metrics.lineSpacing()) return Text;
    // Broken into lines of the width (a word too long for one is broken
    // anywhere); the last line that shows ends in "..." when more follows.
    QTextLayout layout(Text, Font);
    QTextOption option;
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    layout.setTextOption(option);
    QStringList shown;
    layout.beginLayout();
    for (int n = 0; n < Lines; ++n) {
        QTextLine line = layout.createLine();
        if (!line.isValid()) break;
        line.setLineWidth(Width);
        const int start = line.textStart();
        if (n == Lines - 1) {
            shown << metrics.elidedText(Text.mid(start).simplified(), Qt::ElideRight, Width);
            break;
        }
        shown << Text.mid(start, line.textLength()).trimmed();
    }
    layout.endLayout();
    return shown.join(QLatin1Char('\n'));
}

bool TSetupPage::ShowSlotPicture(int State, int Column, const std::string& File) {
    if (State < 0 || State >= TProject::StateCount || Column < 0 || Column >= 4) return false;
    return FMsgImage[static_cast<size_t>(State)][static_cast<size_t>(Column)]->LoadFromFile(
        ToQ(File));
}

void TSetupPage::SelectFirstLabel(const TProject& Project) {
    for (int n = 0; n < TProject::CodeCount; ++n)
        for (int t = 0; t < TProject::TableCount; ++t)
            if (!DpuText::Trim(Project.Label(t, n)).empty()) {
                FGrid->setCurrentCell(n, 2 + t);
                return;
            }
}

bool TSetupPage::CurrentLabel(int& Table, int& Code) const {
    if (FGrid->currentRow() < 0 || FGrid->currentColumn() < 2) return false;
    Table = FGrid->currentColumn() - 2;
    Code = FGrid->currentRow();
    return true;
}

// ---------------------------------------------------------------- intents

void TSetupPage::ConnectIntents() {
    auto selected = [this](int Row, int Col) {
        if (Row >= 0 && Col >= 2) emit LabelSelected(Col - 2, Row);
    };
    connect(FGrid, &QTableWidget::currentCellChanged, this,
            [selected](int Row, int Col, int, int) { selected(Row, Col); });
    // A click selects the cell again even when it is already the current one
    // (after editing it, say).
    connect(FGrid, &QTableWidget::cellPressed, this, selected);
    // Only a new text is an edit: tints and tool tips change the cells too.
    connect(FGrid->model(), &QAbstractItemModel::dataChanged, this,
            [this](const QModelIndex& TopLeft, const QModelIndex& BottomRight,
                   const QList<int>& Roles) {
                if (!Roles.isEmpty() && !Roles.contains(Qt::DisplayRole) &&
                    !Roles.contains(Qt::EditRole))
                    return;
                for (int row = TopLeft.row(); row <= BottomRight.row(); ++row)
                    for (int col = std::max(TopLeft.column(), 2); col <= BottomRight.column();
                         ++col)
                        emit LabelEdited(col - 2, row, FGrid->item(row, col)->text());
            });

    // The controls that show one integer setting each, by its key; they
    // report only the person's clicks.
    FSettings->Bind("DEF_CTBL", FCtblGroup);
    FSettings->Bind("DEF_FL", FFlBox->Group());
    FSettings->Bind("DEF_DIR", FDirBox->Group());
    FSettings->Bind("DPSTYLE", FDpGroup);
    connect(FSettings, &TSettingBindings::Chosen, this, &TSetupPage::SettingChosen);
    for (int k = 0; k < 4; ++k)
        connect(FMsgCheck[k], &QCheckBox::toggled, this,
                [this, k](bool On) { emit MessageColumnToggled(k, On); });
    connect(FVersion, &QComboBox::activated, this, &TSetupPage::VersionChosen);
    for (int s = 0; s < TProject::StateCount; ++s)
        for (int k = 0; k < 4; ++k) {
            TPictureBox* pic = FMsgImage[s][k];
            connect(pic, &TPictureBox::DoubleClicked, this,
                    [this, s, k] { emit MessagePictureRequested(s, k); });
            pic->AcceptDroppedFiles(QStringLiteral("bmp"));
            connect(pic, &TPictureBox::FileDropped, this,
                    [this, s, k](const QString& File) { emit MessagePictureDropped(s, k, File); });
        }
    connect(FClearAll, &QPushButton::clicked, this, &TSetupPage::ClearAllRequested);
    connect(FLoad, &QPushButton::clicked, this, &TSetupPage::LoadRequested);
    connect(FSave, &QPushButton::clicked, this, &TSetupPage::SaveRequested);
    QMenu* recent = FRecent->menu();
    connect(recent, &QMenu::aboutToShow, this, [this, recent] { emit RecentMenuOpening(recent); });
}

// ---------------------------------------------------------------- keyboard

bool TSetupPage::eventFilter(QObject* Watched, QEvent* Event) {
    if (Event->type() != QEvent::KeyPress) return QWidget::eventFilter(Watched, Event);
    auto* key = static_cast<QKeyEvent*>(Event);
    if ((key->modifiers() & ~Qt::KeypadModifier) != Qt::NoModifier)
        return QWidget::eventFilter(Watched, Event);
    if (Watched == FMsgPages->tabBar() &&
        (key->key() == Qt::Key_Up || key->key() == Qt::Key_Down)) {
        const int page = FMsgPages->currentIndex() + (key->key() == Qt::Key_Down ? 1 : -1);
        if (page >= 0 && page < FMsgPages->count()) FMsgPages->setCurrentIndex(page);
        return true;
    }
    for (int s = 0; s < TProject::StateCount; ++s)
        for (int k = 0; k < 4; ++k)
            if (Watched == FMsgImage[s][k]) return MoveAmongPictures(s, k, key->key());
    return QWidget::eventFilter(Watched, Event);
}

bool TSetupPage::MoveAmongPictures(int State, int Column, int Key) {
    // Five states a page: Up and Down stay on the page, Left and Right in the row.
    const int first = State - State % 5;
    int s = State, k = Column;
    switch (Key) {
    case Qt::Key_Left:
        k = std::max(k - 1, 0);
        break;
    case Qt::Key_Right:
        k = std::min(k + 1, 3);
        break;
    case Qt::Key_Up:
        s = std::max(s - 1, first);
        break;
    case Qt::Key_Down:
        s = std::min(s + 1, first + 4);
        break;
    default:
        return false;
    }
    FMsgImage[static_cast<size_t>(s)][static_cast<size_t>(k)]->setFocus(Qt::OtherFocusReason);
    return true;
}

// ---------------------------------------------------------------- screen readers

void TSetupPage::NameControls() {
    // Controls with a caption are named by it; these have none of their own,
    // or share one ("Message") with a twin.
    FGrid->setAccessibleName(QStringLiteral("Code tables"));
    FGrid->setAccessibleDescription(
        QStringLiteral("Type or double click to edit a label; Ctrl+Tab leaves the grid"));
    for (int t = 0; t < 3; ++t)
        FCtblRadio[t]->setAccessibleName(QStringLiteral("Default code table CTBL%1").arg(t));
    for (int k = 0; k < 4; ++k)
        FMsgCheck[k]->setAccessibleName(QStringLiteral("Use message column %1 (slot %2)")
                                            .arg(k + 1)
                                            .arg(QChar('A' + ColumnSlot(k))));
    FVersion->setAccessibleName(QStringLiteral("Version"));
    FPreview->setAccessibleName(QStringLiteral("Preview"));
    for (int s = 0; s < TProject::StateCount; ++s) {
        FMsgName[s]->setAccessibleName(StateName(s));
        for (int k = 0; k < 4; ++k) {
            FMsgImage[s][k]->setAccessibleName(
                QStringLiteral("%1, slot %2").arg(StateName(s)).arg(QChar('A' + ColumnSlot(k))));
            FMsgImage[s][k]->setAccessibleDescription(
                QStringLiteral("Enter, Space or double click chooses a bitmap"));
        }
    }
    FMsgPages->setAccessibleName(QStringLiteral("Lift state messages"));
    for (int page = 0; page < 2; ++page)
        FMsgPages->tabBar()->setAccessibleTabName(
            page,
            QStringLiteral("Message: %1 to %2").arg(StateName(5 * page), StateName(5 * page + 4)));
}
