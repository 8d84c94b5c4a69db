#include "app/tprojectedits.h"

#include "app/guarded.h"
#include "app/qtext.h"
#include "app/tchoicebox.h"
#include "app/tpicturebox.h"
#include "app/tlabelchecker.h"
#include "app/tmakepage.h"
#include "app/tprojectsession.h"
#include "app/tsetuppage.h"
#include "project/tlabelpreview.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QTableWidget>

#include <utility>

using DpuProject::TLabelPreview;
using DpuProject::TProject;

constexpr const char* PictureFilter = "Bitmap files (*.bmp)|*.bmp;*.BMP";

void TProjectEdits::Bind(QObject* Context) {
    auto& ask = P.Ask;
    QTableWidget* grid = P.Setup->Grid();
    auto on = [Context](auto* Sender, auto Signal, auto Slot) {
        QObject::connect(Sender, Signal, Context, Slot);
    };
    on(grid, &QTableWidget::currentCellChanged,
       Guarded(ask, [this](int Row, int Col, int, int) { OnCellSelected(Row, Col); }));
    // A click selects the cell again even when it is already the current one
    // (after editing it, say), and shows its preview as any selection does.
    on(grid, &QTableWidget::cellPressed,
       Guarded(ask, [this](int Row, int Col) { OnCellSelected(Row, Col); }));
    on(grid, &QTableWidget::cellChanged,
       Guarded(ask, [this](int Row, int Col) { OnCellEdited(Row, Col); }));
    new TGridEditor(grid, 2, [this](const QString& What, const auto& Edits) {
        Guarded(P.Ask, [&] { RecordCells(What, Edits); })();
    });

    // Radio groups and check boxes report only the person's clicks; the
    // record is shown with setChecked.
    auto choice = [this, on](QButtonGroup* Group, int TProject::*Field) {
        on(Group, &QButtonGroup::idClicked, [this, Field](int Id) { ChooseInt(Field, Id); });
    };
    choice(P.Setup->CtblGroup(), &TProject::DEF_CTBL);
    choice(P.Setup->FlStyleBox()->Group(), &TProject::DEF_FL);
    choice(P.Setup->DirStyleBox()->Group(), &TProject::DEF_DIR);
    on(P.Setup->RightButton(), &QRadioButton::clicked,
       [this] { ChooseInt(&TProject::DPSTYLE, 1); });
    on(P.Setup->LeftButton(), &QRadioButton::clicked, [this] { ChooseInt(&TProject::DPSTYLE, 2); });
    for (int k = 0; k < 4; ++k)
        on(P.Setup->MsgCheck(k), &QCheckBox::clicked,
           [this, k](bool On) { ToggleMsgColumn(k, On); });
    on(P.Setup->VersionBox(), &QComboBox::activated,
       Guarded(ask, [this](int Index) { OnVersionChosen(Index); }));
    for (int s = 0; s < 10; ++s)
        for (int k = 0; k < 4; ++k)
            on(P.Setup->MsgImage(s, k), &TPictureBox::DoubleClicked,
               Guarded(ask, [this, s, k] { OnMessagePictureDoubleClicked(s, k); }));
    on(P.Setup->ClearAllButton(), &QPushButton::clicked, Guarded(ask, [this] { OnClearAll(); }));

    TMakePage* make = P.Make;
    on(make, &TMakePage::LogoOnRequested, Guarded(ask, [this] { OnLogoOn(); }));
    on(make, &TMakePage::LogoOffRequested, Guarded(ask, [this] { OnLogoOff(); }));
    on(make, &TMakePage::LogoPictureRequested, Guarded(ask, [this] { ChooseLogo(); }));
    on(make, &TMakePage::LogoFileDropped, [this](const QString& File) {
        Guarded(P.Ask, [this, File] { SetLogoFile(FromQ(File)); })();
    });
    on(make, &TMakePage::LogoSecondsChosen,
       [this](int Index) { ChooseInt(&TProject::SWAPTIME, Index); });
    on(make, &TMakePage::PowerSavingChosen,
       [this](int Index) { ChooseInt(&TProject::PWRSAVING, Index); });
    on(make, &TMakePage::NodeAddressChosen,
       [this](int Index) { ChooseInt(&TProject::NODEADDR, Index); });
    on(make, &TMakePage::MsgPosChosen, [this](int Id) { ChooseInt(&TProject::DEF_MSGPOS, Id); });
    on(make, &TMakePage::DateTimeDisplayChosen,
       [this](bool On) { ChooseInt(&TProject::DISPDT, On ? 1 : 0); });
    on(make, &TMakePage::RomFileChosen,
       [this](const QString& Name) { SetRomFileName(FromQ(Name)); });
    on(make, &TMakePage::IdCodeEdited, [this](const QString& Text) { SetIdCode(FromQ(Text)); });
}

void TProjectEdits::ShowLabels() {
    {
        const QSignalBlocker block(P.Setup->Grid());
        P.Setup->ShowLabels(P.Project);
    }
    P.Checker.CheckAll();
    RefreshPreview();
}

void TProjectEdits::ShowChoicesAgain() {
    P.Setup->ShowChoices(P.Project);
    P.Make->ShowSettings(P.Project);
    P.Checker.CheckAll();
    // The floor style may have changed.
    RefreshPreview();
}

void TProjectEdits::ApplyLabels(const std::vector<TLabelValue>& Values) {
    const QSignalBlocker block(P.Setup->Grid());
    for (const TLabelValue& v : Values) {
        P.Project.SetLabel(v.Table, v.Code, v.Text);
        P.Setup->SetCell(2 + v.Table, v.Code + 1, ToQ(v.Text));
        P.Checker.CheckCell(v.Table, v.Code);
    }
    RefreshPreview();
}

void TProjectEdits::OnCellSelected(int Row, int Col) {
    if (Row < 0 || Row >= TProject::CodeCount || Col < 2 || Col >= 2 + TProject::TableCount) return;
    // The record, not the cell: while an edit is being committed the cell may
    // already hold text that the record (and so MAKE ROM) does not.
    std::string why;
    TLabelPreview::Render(P.Project.Label(Col - 2, Row), P.Project.DEF_FL,
                          P.Config.UserBitmapFolders(P.Project.DEF_FL), P.Library, FPreviewImage,
                          why);
    P.Setup->ShowPreview(FPreviewImage, ToQ(why));
}

void TProjectEdits::RefreshPreview() {
    const QTableWidget* grid = P.Setup->Grid();
    OnCellSelected(grid->currentRow(), grid->currentColumn());
}

void TProjectEdits::RecordMakeRomCancel(const std::vector<std::pair<int, int>>& Cells,
                                        const TCodeTables& Before) {
    std::vector<TLabelValue> before;
    std::vector<TLabelValue> after;
    for (const auto& [table, code] : Cells) {
        if (table < 0 || table >= TProject::TableCount || code < 0 || code >= TProject::CodeCount)
            continue;
        const std::string& was = Before[static_cast<size_t>(table)][static_cast<size_t>(code)];
        if (was.empty()) continue;
        before.push_back({table, code, was});
        after.push_back({table, code, std::string()});
    }
    if (after.empty()) return;
    // The build has emptied the record already; the step's redo shows that in
    // the grid (text, tint, tool tip) and its undo brings the labels back.
    P.Session.Record(
        QStringLiteral("MAKE ROM emptied %1 label%2")
            .arg(after.size())
            .arg(after.size() == 1 ? "" : "s"),
        [this, after] { ApplyLabels(after); }, [this, before] { ApplyLabels(before); });
}

void TProjectEdits::OnCellEdited(int Row, int Col) {
    if (Col < 2 || Row < 0 || Row >= TProject::CodeCount) return;
    const int table = Col - 2;
    const std::string before = P.Project.Label(table, Row);
    const std::string after = FromQ(P.Setup->Cell(Col, Row + 1));
    // Tints and tool tips change the item too; only a new text is an edit.
    if (before == after) return;
    P.Session.Record(
        QStringLiteral("Edit label"),
        [this, table, Row, after] {
            ApplyLabels({{table, Row, after}});
        },
        [this, table, Row, before] {
            ApplyLabels({{table, Row, before}});
        });
}

void TProjectEdits::RecordCells(const QString& What,
                                const std::vector<TGridEditor::TCellEdit>& Edits) {
    std::vector<TLabelValue> before;
    std::vector<TLabelValue> after;
    for (const TGridEditor::TCellEdit& e : Edits) {
        const int table = e.Col - 2;
        if (table < 0 || table >= TProject::TableCount || e.Row < 0 || e.Row >= TProject::CodeCount)
            continue;
        const std::string text = FromQ(e.Text);
        if (P.Project.Label(table, e.Row) == text) continue;
        before.push_back({table, e.Row, P.Project.Label(table, e.Row)});
        after.push_back({table, e.Row, text});
    }
    if (after.empty()) return;
    P.Session.Record(
        What, [this, after] { ApplyLabels(after); }, [this, before] { ApplyLabels(before); });
}

void TProjectEdits::ChooseInt(int TProject::*Field, int Value) {
    const int before = P.Project.*Field;
    if (before == Value) return;
    auto apply = [this, Field](int V) {
        P.Project.*Field = V;
        ShowChoicesAgain();
    };
    P.Session.Record(
        QStringLiteral("Choice"), [apply, Value] { apply(Value); },
        [apply, before] { apply(before); });
}

void TProjectEdits::ToggleMsgColumn(int Column, bool On) {
    if (P.Project.MsgColumnChecked[Column] == On) return;
    auto apply = [this, Column](bool Value) {
        P.Project.MsgColumnChecked[Column] = Value;
        ShowChoicesAgain();
    };
    P.Session.Record(
        QStringLiteral("Message column"), [apply, On] { apply(On); }, [apply, On] { apply(!On); });
}

void TProjectEdits::OnVersionChosen(int Index) {
    const int before = P.Config.VersionIndex;
    auto apply = [this](int I) {
        P.Config.SelectVersion(I, &P.Sink);
        P.Setup->ShowBitPatterns(P.Config);
        const QSignalBlocker block(P.Setup->VersionBox());
        P.Setup->VersionBox()->setCurrentIndex(P.Config.VersionIndex);
    };
    if (before == Index) {
        apply(Index);
        return;
    }
    P.Session.Record(
        QStringLiteral("Version"), [apply, Index] { apply(Index); },
        [apply, before] { apply(before); });
}

void TProjectEdits::OnMessagePictureDoubleClicked(int State, int Column) {
    std::string file;
    if (!P.Ask.OpenPictureDialog(PictureFilter, file)) return;
    SetSlotFile(State, Column, file);
}

void TProjectEdits::SetSlotFile(int State, int Column, const std::string& File) {
    const int slot = TSetupPage::ColumnSlot(Column);
    const std::string before = P.Project.Slot(State, slot);
    // Only this picture changes; the row's name picture waits for the next
    // full display.
    auto apply = [this, State, Column, slot](const std::string& F) {
        P.Project.SetSlot(State, slot, F);
        P.Setup->ShowSlotPicture(State, Column, F);
    };
    P.Session.Record(
        QStringLiteral("Message picture"), [apply, File] { apply(File); },
        [apply, before] { apply(before); });
}

void TProjectEdits::ApplyLogo(const TLogoState& State) {
    P.Project.CUSLOGOENABLE = State.Enable;
    P.Project.TITLEFILENAME_C = State.Path;
    P.Make->ShowLogo(State.Enable != 0, State.Path.empty() ? P.Config.BlankLogoPath() : State.Path);
}

void TProjectEdits::RecordLogo(const TLogoState& Before) {
    const TLogoState after = LogoState();
    if (after == Before) return;
    P.Session.Record(
        QStringLiteral("Logo"), [this, after] { ApplyLogo(after); },
        [this, Before] { ApplyLogo(Before); });
}

bool TProjectEdits::ChooseLogo() {
    std::string file;
    if (!P.Ask.OpenPictureDialog(PictureFilter, file)) return false;
    SetLogoFile(file);
    return true;
}

void TProjectEdits::SetLogoFile(const std::string& File) {
    const TLogoState before = LogoState();
    P.Project.TITLEFILENAME_C = File;
    P.Make->ShowLogoFile(File);
    RecordLogo(before);
}

void TProjectEdits::OnLogoOn() {
    const TLogoState before = LogoState();
    if (P.Project.SetLogoOn()) ChooseLogo();
    P.Make->ShowLogoChoice(true);
    RecordLogo(before);
}

void TProjectEdits::OnLogoOff() {
    const TLogoState before = LogoState();
    P.Project.SetLogoOff();
    P.Make->ShowLogo(false, P.Config.BlankLogoPath());
    RecordLogo(before);
}

void TProjectEdits::OnClearAll() {
    const auto tables = P.Project.CodeTables;
    const auto flags = P.Project.UsedCharFlags;
    // Undo shows the project file again as panel 0 named it before.
    const std::string status = P.ProjectStatus ? P.ProjectStatus() : std::string();
    P.Session.Record(
        QStringLiteral("Clear ALL"),
        [this] {
            P.ProjectFile.ClearAll();
            ShowLabels();
        },
        [this, tables, flags, status] {
            P.Project.CodeTables = tables;
            P.Project.UsedCharFlags = flags;
            if (P.ProjectStatus) P.Sink.SetStatus(0, status);
            ShowLabels();
        });
}

void TProjectEdits::SetRomFileName(const std::string& Name) {
    P.Project.ROMFILENAME = Name;
    P.Session.MarkOtherChange();
}

void TProjectEdits::SetIdCode(const std::string& Text) {
    P.Project.CUSIDCODE = Text;
    P.Session.MarkOtherChange();
}
