#include "tinstallfiles.h"

#include "tmessagerenderer.h"

namespace {

struct VersionSection {
    const char* Name;
    int Cfi;
    int Ifi;
    int DispHv;
    int Encode;
};

// The normal version first (it is the one selected at start-up); the Gray-coded
// variant; and the factory download version that carries the auxiliary block
// unencoded.
const VersionSection kVersions[] = {
    {"ORV-INITDL", 48, 41, 1, 1},
    {"ORV-GRY", 48, 41, 1, 1},
    {"ORV-PINITDL", 48, 41, 1, 0},
};

class TIniText {
public:
    void Section(const char* name) {
        Close();
        Text += QStringLiteral("[%1]\r\n").arg(QLatin1String(name));
        Open = true;
    }
    void Key(const QString& key, const QString& value) {
        Text += key + QLatin1Char('=') + value + QStringLiteral("\r\n");
    }
    void Key(const QString& key, int value) { Key(key, QString::number(value)); }
    QByteArray Bytes() {
        Close();
        return Text.toLatin1();
    }

private:
    void Close() {
        if (Open) Text += QStringLiteral("\r\n");
        Open = false;
    }
    QString Text;
    bool Open = false;
};

} // namespace

QList<int> TInstallFiles::CharacterBlockEntries() {
    QList<int> entries;
    for (const VersionSection& v : kVersions) {
        if (!entries.contains(v.Cfi)) entries << v.Cfi;
    }
    return entries;
}

QByteArray TInstallFiles::ConfigFile() {
    TIniText ini;
    ini.Section("GLOBAL");
    ini.Key(QStringLiteral("GLB"), QStringLiteral("D510TK3.GLB"));
    ini.Key(QStringLiteral("UBFGLB"), QString());
    ini.Key(QStringLiteral("VCN"), int(std::size(kVersions)));
    for (size_t i = 0; i < std::size(kVersions); ++i)
        ini.Key(QStringLiteral("ITEM%1").arg(i + 1), QString::fromLatin1(kVersions[i].Name));
    for (const VersionSection& v : kVersions) {
        ini.Section(v.Name);
        ini.Key(QStringLiteral("CFI"), v.Cfi);
        ini.Key(QStringLiteral("IFI"), v.Ifi);
        ini.Key(QStringLiteral("DISPHV"), v.DispHv);
        ini.Key(QStringLiteral("ENCODE"), v.Encode);
    }
    return ini.Bytes();
}

QStringList TInstallFiles::UserFloorLabels() {
    return {QStringLiteral("B1F"),   QStringLiteral("B2F"),  QStringLiteral("B3F"),
            QStringLiteral("LOBBY"), QStringLiteral("ROOF"), QStringLiteral("PARKING")};
}

QStringList TInstallFiles::SampleLabels(int table) {
    // Stops by code: 0 B2, 1 B1, 2 ground, 3..21 the nineteen floors above
    // (numbered without 13), 22 the roof.
    QStringList labels(256);
    QStringList floors;
    for (int n = 1; n <= 20; ++n) {
        if (n != 13) floors << QString::number(n);
    }
    switch (table) {
    case 0: // British numbering: G, then 1..20.
        labels[0] = QStringLiteral("B2");
        labels[1] = QStringLiteral("B1");
        labels[2] = QStringLiteral("G");
        for (int i = 0; i < floors.size(); ++i)
            labels[3 + i] = floors[i];
        labels[22] = QStringLiteral("RF");
        break;
    case 1: // American numbering: the lobby is floor 1, so the floors above start at 2.
        labels[0] = QStringLiteral("B2");
        labels[1] = QStringLiteral("B1");
        labels[2] = QStringLiteral("LOBBY");
        for (int i = 0; i < floors.size(); ++i) {
            const int floor = i + 2;
            labels[3 + i] = QString::number(floor >= 13 ? floor + 1 : floor);
        }
        labels[22] = QStringLiteral("ROOF");
        break;
    default: // Floor numbers with a leading zero and basements as B1F/B2F pictures.
        labels[0] = QStringLiteral("B2F");
        labels[1] = QStringLiteral("B1F");
        for (int i = 0; i < 20; ++i) {
            const int floor = i + 1 + (i + 1 >= 13 ? 1 : 0);
            labels[2 + i] = QStringLiteral("%1").arg(floor, 2, 10, QLatin1Char('0'));
        }
        labels[22] = QStringLiteral("ROOF");
        break;
    }
    return labels;
}

QByteArray TInstallFiles::SampleProject() {
    TIniText ini;
    ini.Section("GLOBAL");
    ini.Key(QStringLiteral("CODENAME"), QStringLiteral("DVE510TK3"));
    ini.Key(QStringLiteral("VERSION"), QStringLiteral("1.0"));
    ini.Key(QStringLiteral("CUSIDCODE"), QStringLiteral("TK01"));
    ini.Key(QStringLiteral("ROMFILENAME"), QStringLiteral("SAMPLE.BIN"));
    ini.Key(QStringLiteral("TITLEFILENAME_C"), QString());
    ini.Key(QStringLiteral("SWAPTIME"), 4);
    ini.Key(QStringLiteral("CUSLOGOENABLE"), 0);
    ini.Key(QStringLiteral("PWRSAVING"), 2);
    ini.Key(QStringLiteral("NODEADDR"), 1);
    ini.Key(QStringLiteral("DEF_CTBL"), 0);
    ini.Key(QStringLiteral("DEF_FL"), 0);
    ini.Key(QStringLiteral("DEF_DIR"), 0);
    ini.Key(QStringLiteral("CODEVER"), QString::fromLatin1(kVersions[0].Name));
    ini.Key(QStringLiteral("DPSTYLE"), 1);
    ini.Key(QStringLiteral("DISPDT"), 1);
    ini.Key(QStringLiteral("DEF_MSG"), 3);
    ini.Key(QStringLiteral("DEF_MSGPOS"), 1);

    // Bare file names: they name no file in the project's folder, so loading takes
    // the bitmaps of the same names from this installation's stock folder.
    ini.Section("LiftStateImage");
    for (int state = 0; state < TMessageRenderer::StateCount; ++state) {
        const QStringList names = TMessageRenderer::FileNames(state);
        for (int slot = 0; slot < 4; ++slot)
            ini.Key(QStringLiteral("LeftState_%1_%2").arg(state).arg(QChar('A' + slot)),
                    names[slot]);
    }

    const QStringList tables[3] = {SampleLabels(0), SampleLabels(1), SampleLabels(2)};
    for (int t = 0; t < 3; ++t) {
        const QByteArray name = "CTBL" + QByteArray::number(t);
        ini.Section(name.constData());
        for (int n = 0; n < 256; ++n)
            ini.Key(QStringLiteral("CODE_%1").arg(n), tables[t][n]);
    }
    return ini.Bytes();
}
