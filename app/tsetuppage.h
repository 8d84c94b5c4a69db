#pragma once

#include "project/tconfiguration.h"
#include "project/tproject.h"

#include <QString>
#include <QWidget>

#include <array>
#include <string>

class QButtonGroup;
class QCheckBox;
class QComboBox;
class QImage;
class QLabel;
class QPushButton;
class QRadioButton;
class QTabWidget;
class QTableWidget;
class QToolButton;
class QSpacerItem;
class TChoiceBox;
class TPictureBox;

// The "Setup" tab: the code-table grid with its default-table buttons, the
// preview, the style pickers, "Right"/"Left", "Version:", "Clear ALL", "Load",
// "Save" and the lift-state message pages. It only shows what it is given;
// the window binds its controls to the project.
class TSetupPage : public QWidget {
    Q_OBJECT
public:
    explicit TSetupPage(QWidget* Parent = nullptr);

    static constexpr int GridRows = 257;
    static constexpr int GridCols = 5;
    // The slot (0 = A .. 3 = D) that message-picture column Column (0..3) shows.
    static int ColumnSlot(int Column);

    // The grid as 257 rows by 5 columns, row 0 the header; "" (or nothing
    // done) outside it.
    QString Cell(int Col, int Row) const;
    void SetCell(int Col, int Row, const QString& Text);

    void ShowLabels(const DpuProject::TProject& Project);
    void ShowBitPatterns(const DpuProject::TConfiguration& Config);
    void ShowVersionList(const DpuProject::TConfiguration& Config);
    void ShowAllSlots(const DpuProject::TProject& Project);
    // The choices of the page: default table, styles, "Right"/"Left", message columns.
    void ShowChoices(const DpuProject::TProject& Project);
    // The preview picture and the line under it saying what cannot be shown
    // ("" hides the line).
    void ShowPreview(const QImage& Image, const QString& Why = QString());
    QString PreviewReason() const;
    // Shows File in message picture (State, Column) only; false when it did not load.
    bool ShowSlotPicture(int State, int Column, const std::string& File);
    // Makes the first label cell holding text the current one (which shows its preview).
    void SelectFirstLabel(const DpuProject::TProject& Project);

    QTableWidget* Grid() const { return FGrid; }
    QButtonGroup* CtblGroup() const { return FCtblGroup; }
    TChoiceBox* FlStyleBox() const { return FFlBox; }
    TChoiceBox* DirStyleBox() const { return FDirBox; }
    QRadioButton* RightButton() const { return FRight; }
    QRadioButton* LeftButton() const { return FLeft; }
    QComboBox* VersionBox() const { return FVersion; }
    QPushButton* ClearAllButton() const { return FClearAll; }
    QPushButton* LoadButton() const { return FLoad; }
    QPushButton* SaveButton() const { return FSave; }
    // "Recent" beside "Save": its menu lists recent projects (the window fills it).
    QToolButton* RecentButton() const { return FRecent; }
    QCheckBox* MsgCheck(int Column) const { return FMsgCheck[static_cast<size_t>(Column)]; }
    TPictureBox* MsgImage(int State, int Column) const {
        return FMsgImage[static_cast<size_t>(State)][static_cast<size_t>(Column)];
    }

private:
    QWidget* BuildGrid();
    QWidget* BuildMessagePage(int FirstState);
    QWidget* BuildMessageBox();
    void AlignMessageChecks();

    QTableWidget* FGrid = nullptr;
    std::array<QRadioButton*, 3> FCtblRadio{};
    QButtonGroup* FCtblGroup = nullptr;
    TPictureBox* FPreview = nullptr;
    QLabel* FPreviewWhy = nullptr;
    TChoiceBox* FFlBox = nullptr;
    TChoiceBox* FDirBox = nullptr;
    QRadioButton* FRight = nullptr;
    QRadioButton* FLeft = nullptr;
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
