#pragma once

#include <QObject>
#include <QString>

#include <functional>
#include <vector>

namespace DpuProject {
class TProject;
} // namespace DpuProject
class QButtonGroup;
class QCheckBox;
class QComboBox;

// The window's controls that each show one integer setting of the record,
// bound by the setting's project-file key (DpuProject::TSettingsTable). A
// bound control announces the person's choice as Chosen(Key, Value); Show
// puts the record's values into every bound control without announcing
// anything. A page owns one and passes Chosen on as its own signal, so a new
// setting's control needs one Bind line in its page and nothing more here.
class TSettingBindings : public QObject {
    Q_OBJECT
public:
    explicit TSettingBindings(QObject* Parent) : QObject(Parent) {}

    // Binding to a Key that is no integer setting is a programming error:
    // YVclUtil::EYGeneral.
    // A list: the value is the entry's index; a value outside the list leaves
    // the list's choice as it was.
    void Bind(const char* Key, QComboBox* List);
    // Radio buttons: the value is the button's id in Group; a value no button
    // has shows none checked.
    void Bind(const char* Key, QButtonGroup* Group);
    // A check box: 1 checked, 0 not (any other value shows checked).
    void Bind(const char* Key, QCheckBox* Check);

    // Shows Project's value of each bound setting in its control.
    void Show(const DpuProject::TProject& Project) const;

signals:
    void Chosen(const QString& Key, int Value);

private:
    struct TControl {
        QString Key;
        std::function<void(int)> Show;
    };
    // Checks Key and keeps Show for it.
    void Add(const char* Key, std::function<void(int)> Show);
    std::vector<TControl> FControls;
};
