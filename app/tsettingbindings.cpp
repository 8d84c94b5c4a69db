#include "app/tsettingbindings.h"

#include "project/tproject.h"
#include "project/tsettingstable.h"
#include "util/eygeneral.h"

#include <QAbstractButton>
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>

#include <utility>

using DpuProject::TProject;
using DpuProject::TSettingsTable;

void TSettingBindings::Add(const char* Key, std::function<void(int)> Show) {
    if (!TSettingsTable::Find(Key))
        throw YVclUtil::EYGeneral("Err: no integer setting named %s !!!", Key);
    FControls.push_back({QString::fromLatin1(Key), std::move(Show)});
}

// Each control reports only what the person does (activated, idClicked,
// clicked), never a value it is shown.
void TSettingBindings::Bind(const char* Key, QComboBox* List) {
    Add(Key, [List](int Value) {
        if (Value >= 0 && Value < List->count()) List->setCurrentIndex(Value);
    });
    const QString key = FControls.back().Key;
    connect(List, &QComboBox::activated, this, [this, key](int Index) { emit Chosen(key, Index); });
}

void TSettingBindings::Bind(const char* Key, QButtonGroup* Group) {
    Add(Key, [Group](int Value) {
        if (QAbstractButton* button = Group->button(Value)) {
            button->setChecked(true);
            return;
        }
        // An exclusive group keeps one button checked unless let go for a moment.
        const bool exclusive = Group->exclusive();
        Group->setExclusive(false);
        for (QAbstractButton* button : Group->buttons())
            button->setChecked(false);
        Group->setExclusive(exclusive);
    });
    const QString key = FControls.back().Key;
    connect(Group, &QButtonGroup::idClicked, this, [this, key](int Id) { emit Chosen(key, Id); });
}

void TSettingBindings::Bind(const char* Key, QCheckBox* Check) {
    Add(Key, [Check](int Value) { Check->setChecked(Value != 0); });
    const QString key = FControls.back().Key;
    connect(Check, &QCheckBox::clicked, this,
            [this, key](bool On) { emit Chosen(key, On ? 1 : 0); });
}

void TSettingBindings::Show(const TProject& Project) const {
    for (const TControl& c : FControls)
        if (const int* value = Project.IntSetting(c.Key.toStdString())) c.Show(*value);
}
