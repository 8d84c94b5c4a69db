#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

// The text files of the installation: the configuration file and the sample
// project, in the layout the INI engine itself saves (CR LF lines, no blanks
// around '=', an empty line after every section).
class TInstallFiles {
public:
    // The configuration file: GLOBAL with the library name and three versions,
    // then one section per version.
    static QByteArray ConfigFile();

    // The sample project: a building with two basements, a ground floor, floors
    // 1..20 without 13 and a roof stop, labelled three ways in the three code tables.
    static QByteArray SampleProject();

    // The labels of code table `table` (0..2) of the sample project, by code.
    static QStringList SampleLabels(int table);

    // The user floor bitmap labels shipped in every style folder.
    static QStringList UserFloorLabels();

    // The group-0 entries the versions of the configuration file name for their
    // character block (CFI), each once.
    static QList<int> CharacterBlockEntries();
};
