// Saves a picture of one X window as PNG, as it is on the screen: the
// editor's window under Wine, for the documentation (tests/windows/editor-wine.sh).
// Built natively beside Wine, run on the X display the window is on.
//
//   windowshot WINDOW-ID OUT.png
//
// Prints the picture's size ("1024x700"). Exit status 1 when the window
// cannot be read or the file not written; 3 when the picture is one plain
// colour (a window not drawn yet), so the caller can try again.
#include <QGuiApplication>
#include <QImage>
#include <QPixmap>
#include <QScreen>

#include <cstdio>
#include <cstdlib>

int main(int argc, char* argv[]) {
    // The X display's own platform, whatever the environment says.
    qputenv("QT_QPA_PLATFORM", "xcb");
    QGuiApplication app(argc, argv);
    if (argc != 3) {
        std::fprintf(stderr, "usage: windowshot WINDOW-ID OUT.png\n");
        return 2;
    }
    const WId window = static_cast<WId>(std::strtoull(argv[1], nullptr, 0));
    const QImage image = QGuiApplication::primaryScreen()->grabWindow(window).toImage();
    if (image.isNull()) {
        std::fprintf(stderr, "windowshot: window %s cannot be read\n", argv[1]);
        return 1;
    }
    const QRgb first = image.pixel(0, 0);
    bool plain = true;
    for (int y = 0; y < image.height() && plain; ++y)
        for (int x = 0; x < image.width() && plain; ++x)
            plain = image.pixel(x, y) == first;
    if (plain) return 3;
    if (!image.save(QString::fromLocal8Bit(argv[2]), "PNG")) {
        std::fprintf(stderr, "windowshot: cannot write %s\n", argv[2]);
        return 1;
    }
    std::printf("%dx%d\n", image.width(), image.height());
    return 0;
}
