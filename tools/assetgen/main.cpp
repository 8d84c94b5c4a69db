// dpu510tk3-assetgen [--assets DIR] [--previews DIR]
// Renders the installation files from the fonts of Debian's font packages and
// writes them into DIR (default ./assets) and the preview pages into the
// previews folder (default ./docs/assets).
#include "tassetgenerator.h"

#include <QGuiApplication>
#include <cstdio>
#include <cstring>

int main(int argc, char** argv) {
    // Fonts and painting need a GUI application but never a screen.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QString assets = QStringLiteral("assets");
    QString previews = QStringLiteral("docs/assets");
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--assets") == 0 && i + 1 < argc) {
            assets = QString::fromLocal8Bit(argv[++i]);
        } else if (std::strcmp(argv[i], "--previews") == 0 && i + 1 < argc) {
            previews = QString::fromLocal8Bit(argv[++i]);
        } else {
            std::fprintf(stderr, "usage: %s [--assets DIR] [--previews DIR]\n", argv[0]);
            return 2;
        }
    }
    QGuiApplication app(argc, argv);
    TAssetGenerator generator(assets, previews);
    if (!generator.Run()) {
        std::fprintf(stderr, "dpu510tk3-assetgen: %s\n", qPrintable(generator.LastErrMsg));
        return 1;
    }
    std::printf("Installation files written to %s, previews to %s\n", qPrintable(assets),
                qPrintable(previews));
    return 0;
}
