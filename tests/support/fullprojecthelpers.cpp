#include "support/fullprojecthelpers.h"

#include "rom/trombuilder.h"
#include "support/ttestglyphs.h"

#include <QDir>
#include <QFileInfo>
#include <QImage>

using DpuProject::TProject;

std::vector<std::string> FillFullProject(TProject& Project, const std::string& ProgramDir,
                                         const QString& Folder, bool TrueColourLogo) {
    std::vector<std::string> inputs;
    for (int u = 0; u < 40; ++u) {
        const std::string label = "U" + std::to_string(10 + u);
        const std::string path = DpuRom::TRomBuilder::UserBitmapPath(ProgramDir, 0, label);
        QDir().mkpath(QFileInfo(QString::fromStdString(path)).path());
        MonoPattern(64, 64, u).save(QString::fromStdString(path), "BMP");
        inputs.push_back(path);
        for (int t = 0; t < 3; ++t)
            Project.CodeTables[t][(u + 17 * t) % 256] = label;
    }
    const char* shortLabels[] = {"B1", "B2", "G", "M", "1", "2", "10", "12", "R", "L"};
    for (int t = 0; t < 3; ++t)
        for (int i = 0; i < 10; ++i)
            Project.CodeTables[t][100 + i] = shortLabels[i];
    for (int state = 0; state < TProject::StateCount; ++state)
        for (int slot = 0; slot < 4; ++slot) {
            const QString path = Folder + QString("/MSG%1_%2.bmp").arg(state).arg(slot);
            MonoPattern(64, 16, state * 4 + slot).save(path, "BMP");
            Project.LiftStateSlots[state][slot] = path.toStdString();
            inputs.push_back(path.toStdString());
        }
    const QString logo = Folder + "/LOGO.bmp";
    const QImage picture = MonoPattern(64, 64, 99);
    (TrueColourLogo ? picture.convertToFormat(QImage::Format_RGB32) : picture).save(logo, "BMP");
    Project.CUSLOGOENABLE = 1;
    Project.TITLEFILENAME_C = logo.toStdString();
    inputs.push_back(logo.toStdString());
    return inputs;
}
