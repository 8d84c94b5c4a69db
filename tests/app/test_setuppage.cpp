// The "Setup" page on its own: it announces what the person asks for through
// its signals, and nothing while it is shown the record.
#include "app/tsetuppage.h"
#include "app/tpicturebox.h"

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QLineEdit>
#include <QMimeData>
#include <QSignalSpy>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>

#include <gtest/gtest.h>

#include <utility>
#include <vector>

using DpuProject::TProject;

namespace {

template <typename T> T* Child(TSetupPage& Page, const char* Name) {
    T* w = Page.findChild<T*>(QString::fromLatin1(Name));
    EXPECT_NE(w, nullptr) << Name;
    return w;
}

TEST(SetupPageIntents, ClicksAndTypingAreAnnouncedAsWhatThePersonAsksFor) {
    TSetupPage page;
    page.show();
    QSignalSpy load(&page, &TSetupPage::LoadRequested);
    QSignalSpy save(&page, &TSetupPage::SaveRequested);
    QSignalSpy clear(&page, &TSetupPage::ClearAllRequested);
    QSignalSpy setting(&page, &TSetupPage::SettingChosen);
    QSignalSpy column(&page, &TSetupPage::MessageColumnToggled);
    QSignalSpy picture(&page, &TSetupPage::MessagePictureRequested);
    QSignalSpy edited(&page, &TSetupPage::LabelEdited);
    QSignalSpy selected(&page, &TSetupPage::LabelSelected);

    Child<QAbstractButton>(page, "LoadButton")->click();
    Child<QAbstractButton>(page, "SaveButton")->click();
    Child<QAbstractButton>(page, "ClearAllButton")->click();
    Child<QAbstractButton>(page, "FlStyle2")->click();
    Child<QAbstractButton>(page, "CtblRadio1")->click();
    Child<QAbstractButton>(page, "DpStyleLeft")->click();
    Child<QAbstractButton>(page, "DirStyle4")->click();
    Child<QAbstractButton>(page, "DpStyleRight")->click();
    Child<QAbstractButton>(page, "MsgCheck3")->click();
    emit Child<TPictureBox>(page, "MsgImage4_1")->DoubleClicked();
    EXPECT_EQ(load.count(), 1);
    EXPECT_EQ(save.count(), 1);
    EXPECT_EQ(clear.count(), 1);
    // Each choice names its setting by its project-file key.
    const std::vector<std::pair<QString, int>> chosen = {
        {"DEF_FL", 2}, {"DEF_CTBL", 1}, {"DPSTYLE", 2}, {"DEF_DIR", 4}, {"DPSTYLE", 1}};
    ASSERT_EQ(setting.count(), static_cast<int>(chosen.size()));
    for (size_t i = 0; i < chosen.size(); ++i) {
        EXPECT_EQ(setting[static_cast<int>(i)][0].toString(), chosen[i].first) << i;
        EXPECT_EQ(setting[static_cast<int>(i)][1].toInt(), chosen[i].second) << i;
    }
    ASSERT_EQ(column.count(), 1);
    EXPECT_EQ(column[0][0].toInt(), 3);
    EXPECT_TRUE(column[0][1].toBool());
    ASSERT_EQ(picture.count(), 1);
    EXPECT_EQ(picture[0][0].toInt(), 4);
    EXPECT_EQ(picture[0][1].toInt(), 1);

    // Typing into CTBL2, code 7: the cell is selected, then its text edited.
    auto* grid = Child<QTableWidget>(page, "CodeGrid");
    QApplication::setActiveWindow(&page);
    grid->setCurrentCell(7, 4);
    ASSERT_GE(selected.count(), 1);
    EXPECT_EQ(selected.last()[0].toInt(), 2);
    EXPECT_EQ(selected.last()[1].toInt(), 7);
    grid->editItem(grid->item(7, 4));
    auto* editor = qobject_cast<QLineEdit*>(QApplication::focusWidget());
    ASSERT_NE(editor, nullptr);
    QTest::keyClicks(editor, "ROOF");
    QTest::keyClick(editor, Qt::Key_Return);
    QCoreApplication::processEvents();
    ASSERT_EQ(edited.count(), 1);
    EXPECT_EQ(edited[0][0].toInt(), 2);
    EXPECT_EQ(edited[0][1].toInt(), 7);
    EXPECT_EQ(edited[0][2].toString(), "ROOF");
}

TEST(SetupPageIntents, ShowingTheRecordAnnouncesNothing) {
    TSetupPage page;
    page.show();
    TProject project;
    project.SetLabel(1, 3, "LOBBY");
    project.DEF_FL = 3;
    project.DEF_CTBL = 2;
    project.DPSTYLE = 2;
    project.MsgColumnChecked = {false, true, true, false};
    DpuProject::TConfiguration config;
    config.VersionList = {"V-TEST", "ORV-GRY"};
    config.VersionIndex = 1;

    QSignalSpy any(&page, &TSetupPage::LabelEdited);
    QSignalSpy choices(&page, &TSetupPage::MessageColumnToggled);
    QSignalSpy version(&page, &TSetupPage::VersionChosen);
    QSignalSpy setting(&page, &TSetupPage::SettingChosen);
    page.ShowLabels(project);
    page.ShowChoices(project);
    page.ShowVersionList(config);
    page.SetCell(2, 1, QStringLiteral("G"));
    // A tint and its tool tip change the cell, not the label.
    page.ShowLabelProblem(1, 3, QStringLiteral("No user bitmap \"LOBBY.bmp\""));
    page.ShowLabelProblem(1, 3, QString());
    EXPECT_EQ(any.count(), 0);
    EXPECT_EQ(choices.count(), 0);
    EXPECT_EQ(version.count(), 0);
    EXPECT_EQ(setting.count(), 0);
    EXPECT_EQ(page.Cell(3, 4), "LOBBY");
    EXPECT_TRUE(Child<QAbstractButton>(page, "MsgCheck2")->isChecked());
    EXPECT_TRUE(Child<QAbstractButton>(page, "FlStyle3")->isChecked());
    EXPECT_TRUE(Child<QAbstractButton>(page, "CtblRadio2")->isChecked());
    EXPECT_TRUE(Child<QAbstractButton>(page, "DpStyleLeft")->isChecked());
    // A value no button stands for shows none checked, not a neighbour.
    project.DPSTYLE = 0;
    project.DEF_DIR = 9;
    page.ShowChoices(project);
    EXPECT_FALSE(Child<QAbstractButton>(page, "DpStyleLeft")->isChecked());
    EXPECT_FALSE(Child<QAbstractButton>(page, "DpStyleRight")->isChecked());
    for (int k = 0; k < 5; ++k)
        EXPECT_FALSE(
            Child<QAbstractButton>(page, QStringLiteral("DirStyle%1").arg(k).toLatin1().constData())
                ->isChecked())
            << k;
    // And the next value shows again, one button checked.
    project.DPSTYLE = 1;
    page.ShowChoices(project);
    EXPECT_TRUE(Child<QAbstractButton>(page, "DpStyleRight")->isChecked());
    EXPECT_EQ(setting.count(), 0);
    EXPECT_EQ(Child<QComboBox>(page, "VersionBox")->currentIndex(), 1);
}

TEST(SetupPageIntents, ABitmapDroppedOnAMessagePictureIsAnnounced) {
    TSetupPage page;
    QSignalSpy dropped(&page, &TSetupPage::MessagePictureDropped);
    auto* target = Child<TPictureBox>(page, "MsgImage2_3");
    auto drop = [&](const QString& Path) {
        QMimeData data;
        data.setUrls({QUrl::fromLocalFile(Path)});
        QDragEnterEvent enter(QPoint(2, 2), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(target, &enter);
        if (!enter.isAccepted()) return false;
        QDropEvent event(QPointF(2, 2), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(target, &event);
        return event.isAccepted();
    };
    EXPECT_FALSE(drop(QStringLiteral("/tmp/notes.txt")));
    EXPECT_TRUE(drop(QStringLiteral("/tmp/ALARM.BMP")));
    ASSERT_EQ(dropped.count(), 1);
    EXPECT_EQ(dropped[0][0].toInt(), 2);
    EXPECT_EQ(dropped[0][1].toInt(), 3);
    EXPECT_EQ(dropped[0][2].toString(), "/tmp/ALARM.BMP");
}

} // namespace
