// Saves a picture of each tab of the editor's main window, as the person sees
// it right after start-up in the current directory. Used by
// scripts/screenshot.sh under a virtual X display for the documentation.
//
//   dpu510tk3-editor-shot OUTDIR [PROJECT.dcf [SUFFIX]]
//
// The window has the size and place it takes by itself on first start on
// the display's screen (nothing remembered). Under a window manager the
// picture is taken from the screen and holds the whole frame, title bar
// included; without one it is the window alone. The files are named
// editor-setup<SUFFIX>.png and editor-make<SUFFIX>.png. Screen scaling comes
// from QT_SCALE_FACTOR as for any Qt program.
//
// With PROJECT.dcf the project is loaded first (as "Load" does), the first
// label cell holding text is selected, so the preview shows a label, and
// MAKE ROM is run (saving over PROJECT.dcf), so the log shows a build.

#include "app/tform1.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QPixmap>
#include <QPushButton>
#include <QScreen>
#include <QTabWidget>
#include <QTimer>
#include <QWindow>

#include <cstdio>

namespace {

// Nobody is there to answer: boxes go to standard error, the save dialog
// answers SaveAs (overwriting it), other dialogs are cancelled.
class TUnattendedPrompts : public YVclUtil::Prompts {
public:
    std::string SaveAs;
    void MessageBox(const std::string& Caption, const std::string& Text) override {
        std::fprintf(stderr, "[%s] %s\n", Caption.c_str(), Text.c_str());
    }
    bool AskYesNo(const std::string&, const std::string&) override { return !SaveAs.empty(); }
    bool OpenFileDialog(const std::string&, const std::string&, std::string&) override {
        return false;
    }
    bool SaveFileDialog(const std::string&, const std::string&, std::string& FileName) override {
        if (SaveAs.empty()) return false;
        FileName = SaveAs;
        return true;
    }
    bool OpenPictureDialog(const std::string&, std::string&) override { return false; }
    void SetBusyCursor(bool) override {}
};

} // namespace

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s OUTDIR [PROJECT.dcf [SUFFIX]]\n", argv[0]);
        return 2;
    }
    const QString outDir = QString::fromLocal8Bit(argv[1]);
    const QString project = argc > 2 ? QString::fromLocal8Bit(argv[2]) : QString();
    QDir().mkpath(outDir);

    TUnattendedPrompts prompts;
    const QString suffix = argc > 3 ? QString::fromLocal8Bit(argv[3]) : QString();
    TForm1 form(&prompts);
    form.show();
    std::fprintf(stderr, "window %dx%d\n", form.width(), form.height());
    if (!project.isEmpty() && !form.LoadProjectFile(project.toUtf8().toStdString())) {
        std::fprintf(stderr, "cannot load %s\n", argv[2]);
        return 1;
    }
    form.SelectFirstLabel();
    if (!project.isEmpty()) {
        // Builds the sample's image too, so the log and the file list show a build.
        prompts.SaveAs = QFileInfo(project).absoluteFilePath().toUtf8().toStdString();
        if (auto* make = form.findChild<QPushButton*>("MakeRomButton")) make->click();
    }

    int status = 0;
    // The window manager frames the window after it is shown and the window
    // then fits its frame on the screen: the pictures wait for both (at most
    // five seconds for a frame; none comes where no window manager runs).
    QElapsedTimer waited;
    waited.start();
    QTimer framed;
    framed.setInterval(50);
    QObject::connect(&framed, &QTimer::timeout, [&] {
        const bool known = form.windowHandle() && !form.windowHandle()->frameMargins().isNull();
        if (!known && waited.elapsed() < 5000) return;
        framed.stop();
        QTimer::singleShot(500, [&] {
            auto* tabs = form.findChild<QTabWidget*>("PageControl");
            const char* names[2] = {"editor-setup", "editor-make"};
            for (int i = 0; i < 2; ++i) {
                tabs->setCurrentIndex(i);
                app.processEvents();
                const QString path =
                    outDir + '/' + QString::fromLatin1(names[i]) + suffix + QStringLiteral(".png");
                const QRect frame = form.frameGeometry();
                const QPixmap picture =
                    frame == form.geometry()
                        ? form.grab()
                        : form.screen()->grabWindow(0, frame.x(), frame.y(), frame.width(),
                                                    frame.height());
                if (!picture.save(path)) {
                    std::fprintf(stderr, "cannot write %s\n", path.toLocal8Bit().constData());
                    status = 1;
                } else {
                    std::printf("%s\n", path.toLocal8Bit().constData());
                }
            }
            app.quit();
        });
    });
    framed.start();
    app.exec();
    return status;
}
