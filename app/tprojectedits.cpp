#include "app/tprojectedits.h"

#include "app/guarded.h"
#include "app/qtext.h"
#include "app/tchoicebox.h"
#include "app/tpicturebox.h"
#include "app/tlabelchecker.h"
#include "app/tmakepage.h"
#include "app/tprojectsession.h"
#include "app/tqtpicture.h"
#include "app/tsetuppage.h"
#include "project/tlabelpreview.h"
#include "project/tsettingstable.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QRadioButton>

#include <utility>

using DpuProject::TLabelPreview;
using DpuProject::TProject;
using DpuProject::TSettingsTable;

constexpr const char* PictureFilter = "Bitmap files (*.bmp)|*.bmp;*.BMP";

void TProjectEdits::Bind(QObject* Context) {
    auto& ask = P.Ask;
    auto on = [Context](auto* Sender, auto Signal, auto Slot) {
        QObject::connect(Sender, Signal, Context, Slot);
    };
    // The Setup page announces only what the person asks for, never what it is shown.
    TSetupPage* setup = P.Setup;
    on(setup, &TSetupPage::LabelSelected,
       Guarded(ask, [this](int Table, int Code) { OnCellSelected(Code, 2 + Table); }));
    on(setup, &TSetupPage::LabelEdited, Guarded(ask, [this](int Table, int Code, const QString&) {
           OnCellEdited(Code, 2 + Table);
       }));
    on(setup, &TSetupPage::LabelCellsEdited,
       Guarded(ask, [this](const QString& What, const std::vector<TGridEditor::TCellEdit>& Edits) {
           RecordCells(What, Edits);
       }));
    // Both pages' one-to-one controls name their setting by its key.
    auto chooseSetting = [this](const QString& Key, int Value) {
        if (const TSettingsTable::TField* f = TSettingsTable::Find(FromQ(Key)))
            ChooseInt(f->Member, Value);
    };
    on(setup, &TSetupPage::SettingChosen, chooseSetting);
    on(setup, &TSetupPage::MessageColumnToggled,
       [this](int Column, bool On) { ToggleMsgColumn(Column, On); });
    on(setup, &TSetupPage::VersionChosen,
       Guarded(ask, [this](int Index) { OnVersionChosen(Index); }));
    on(setup, &TSetupPage::MessagePictureRequested, Guarded(ask, [this](int State, int Column) {
           OnMessagePictureDoubleClicked(State, Column);
       }));
    on(setup, &TSetupPage::MessagePictureDropped,
       Guarded(ask, [this](int State, int Column, const QString& File) {
           SetSlotFile(State, Column, FromQ(File));
       }));
    on(setup, &TSetupPage::ClearAllRequested, Guarded(ask, [this] { OnClearAll(); }));

    // The Make page too announces only the person's own clicks and edits.
    TMakePage* make = P.Make;
    on(make, &TMakePage::LogoOnRequested, Guarded(ask, [this] { OnLogoOn(); }));
    on(make, &TMakePage::LogoOffRequested, Guarded(ask, [this] { OnLogoOff(); }));
    on(make, &TMakePage::LogoPictureRequested, Guarded(ask, [this] { ChooseLogo(); }));
    on(make, &TMakePage::LogoFileDropped, [this](const QString& File) {
        Guarded(P.Ask, [this, File] { SetLogoFile(FromQ(File)); })();
    });
    on(make, &TMakePage::SettingChosen, chooseSetting);
    on(make, &TMakePage::RomFileChosen,
       [this](const QString& Name) { SetRomFileName(FromQ(Name)); });
    on(make, &TMakePage::IdCodeEdited, [this](const QString& Text) { SetIdCode(FromQ(Text)); });
}

void TProjectEdits::ShowLabels() {
    P.Setup->ShowLabels(P.Project);
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
    P.Setup->ShowPreview(TQtPicture::Image(FPreviewImage), ToQ(why));
}

void TProjectEdits::RefreshPreview() {
    int table = 0, code = 0;
    if (P.Setup->CurrentLabel(table, code)) OnCellSelected(code, 2 + table);
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
        P.Setup->ShowVersionList(P.Config);
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
    // The dialog starts at the picture last chosen, or else at this one's
    // own picture (the stock pictures' folder), never in the working folder.
    std::string file = P.LastPicture ? P.LastPicture() : std::string();
    if (file.empty()) file = P.Project.Slot(State, TSetupPage::ColumnSlot(Column));
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
    // The picture last chosen, or else the logo shown, or else the stock
    // logo's folder: not the working folder, where the blank logo comes first.
    std::string file = P.LastPicture ? P.LastPicture() : std::string();
    if (file.empty() && P.Project.CUSLOGOENABLE != 0) file = P.Project.TITLEFILENAME_C;
    if (file.empty()) file = P.Config.ProgramDir + "DefaultImage2/Logo/";
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
