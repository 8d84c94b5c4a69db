#pragma once

#include "app/tgrideditor.h"
#include "project/tconfiguration.h"
#include "project/tproject.h"

#include <QString>
#include <QWidget>

#include <array>
#include <string>
#include <vector>

class QButtonGroup;
class QCheckBox;
class QComboBox;
class QFont;
class QImage;
class QLabel;
class QMenu;
class QPushButton;
class QRadioButton;
class QTabWidget;
class QTableWidget;
class QToolButton;
class QSpacerItem;
class TChoiceBox;
class TPictureBox;
class TSettingBindings;

// The "Setup" tab: the code-table grid with its default-table buttons, the
// preview, the style pickers, "Right"/"Left", "Version:", "Clear ALL", "Load",
// "Save" and the lift-state message pages. It shows what it is given and
// announces what the person asks for through its signals; showing never
// announces anything.
class TSetupPage : public QWidget {
    Q_OBJECT
public:
    explicit TSetupPage(QWidget* Parent = nullptr);

    static constexpr int GridRows = 257;
    static constexpr int GridCols = 5;
    // The slot (0 = A .. 3 = D) that message-picture column Column (0..3) shows.
    static int ColumnSlot(int Column);
    // "Fire", "Earthquake", ... for state 0..9; "" for another number.
    static QString StateName(int State);

    // The grid as 257 rows by 5 columns, row 0 the header; "" (or nothing
    // done) outside it.
    QString Cell(int Col, int Row) const;
    void SetCell(int Col, int Row, const QString& Text);

    void ShowLabels(const DpuProject::TProject& Project);
    // Tints the label cell and puts Why in its tool tip; an empty Why clears both.
    void ShowLabelProblem(int Table, int Code, const QString& Why);
    void ShowBitPatterns(const DpuProject::TConfiguration& Config);
    void ShowVersionList(const DpuProject::TConfiguration& Config);
    void ShowAllSlots(const DpuProject::TProject& Project);
    // The choices of the page: default table, styles, "Right"/"Left", message columns.
    void ShowChoices(const DpuProject::TProject& Project);
    // The pictures of the "FL Style:" and "DIR Style:" choices (null ones blank).
    void ShowStylePictures(const std::array<QImage, 4>& FlStyles,
                           const std::array<QImage, 5>& DirStyles);
    // The preview picture and the line under it saying what cannot be shown
    // ("" hides the line). The line keeps its room whatever the text: a text
    // too long for it is cut with "..." and shown whole in its tool tip.
    void ShowPreview(const QImage& Image, const QString& Why = QString());
    // The whole text given to ShowPreview.
    QString PreviewReason() const;
    // Text as it shows in Lines lines of Width pixels: unchanged when it fits
    // wrapped at words, else broken into lines and cut with "..." on the
    // last. Never fails.
    static QString FitLines(const QString& Text, const QFont& Font, int Width, int Lines);
    // The room of the line under the preview.
    static constexpr int PreviewReasonWidth = 140;
    static constexpr int PreviewReasonLines = 3;
    // Shows File in message picture (State, Column) only; false when it did not load.
    bool ShowSlotPicture(int State, int Column, const std::string& File);
    // Makes the first label cell holding text the current one (which announces it).
    void SelectFirstLabel(const DpuProject::TProject& Project);
    // The current label cell as (table, code); false when no label cell is current.
    bool CurrentLabel(int& Table, int& Code) const;

signals:
    // A label cell became the current one, or was clicked again.
    void LabelSelected(int Table, int Code);
    // The person typed Text into a label cell.
    void LabelEdited(int Table, int Code, const QString& Text);
    // Label cells written by paste, cut, delete or fill, as one step named What.
    // Rows are codes, columns grid columns (2..4).
    void LabelCellsEdited(const QString& What, const std::vector<TGridEditor::TCellEdit>& Edits);
    // A control bound one to one to integer setting Key (its project-file
    // key, DpuProject::TSettingsTable) chose Value: the default table (the
    // radio button above label column 0..2), "FL Style:", "DIR Style:", and
    // "Right" (1) or "Left" (2).
    void SettingChosen(const QString& Key, int Value);
    // The check box above message-picture column 0..3.
    void MessageColumnToggled(int Column, bool On);
    void VersionChosen(int Index);
    // Message picture (State, Column) wants a bitmap chosen in the picture dialog.
    void MessagePictureRequested(int State, int Column);
    // A bitmap file was dropped on message picture (State, Column).
    void MessagePictureDropped(int State, int Column, const QString& File);
    void ClearAllRequested();
    void LoadRequested();
    void SaveRequested();
    // "Recent" is about to open its menu: Menu is to be filled with the
    // recent projects now.
    void RecentMenuOpening(QMenu* Menu);

protected:
    bool eventFilter(QObject* Watched, QEvent* Event) override;

private:
    QWidget* BuildGrid();
    QWidget* BuildMessagePage(int FirstState);
    QWidget* BuildMessageBox();
    void AlignMessageChecks();
    void ConnectIntents();
    // Arrow keys on a message picture move to its neighbour on the same
    // page; true when the key was one of them.
    bool MoveAmongPictures(int State, int Column, int Key);
    // Screen-reader names of the controls that have no caption of their own.
    void NameControls();

    QTableWidget* FGrid = nullptr;
    TGridEditor* FGridEditor = nullptr;
    std::array<QRadioButton*, 3> FCtblRadio{};
    QButtonGroup* FCtblGroup = nullptr;
    TPictureBox* FPreview = nullptr;
    QLabel* FPreviewWhy = nullptr;
    QString FPreviewWhyText;
    TChoiceBox* FFlBox = nullptr;
    TChoiceBox* FDirBox = nullptr;
    QRadioButton* FRight = nullptr;
    QRadioButton* FLeft = nullptr;
    QButtonGroup* FDpGroup = nullptr;
    TSettingBindings* FSettings = nullptr;
    QComboBox* FVersion = nullptr;
    QPushButton* FClearAll = nullptr;
    QPushButton* FLoad = nullptr;
    QPushButton* FSave = nullptr;
    QToolButton* FRecent = nullptr;
    std::array<QCheckBox*, 4> FMsgCheck{};
    std::array<QWidget*, 4> FMsgCheckHolder{};
    QSpacerItem* FMsgCheckLead = nullptr;
    QTabWidget* FMsgPages = nullptr;
    std::array<TPictureBox*, 10> FMsgName{};
    // Column pictures per state, left to right: slots B, D, A, C.
    std::array<std::array<TPictureBox*, 4>, 10> FMsgImage{};
};
