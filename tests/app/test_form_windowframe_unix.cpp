// The first window under a real window manager: an X server (Xvfb) and
// openbox started by the test on a free display, the editor itself started
// on it with a fresh home, and its frame read back from the X server with
// xprop and xwininfo. The offscreen platform has no frame to test.
#include "support/programhelpers.h"
#include "support/ttestworkspace.h"
#include "support/waithelpers.h"

#include <QDir>
#include <QProcess>
#include <QProcessEnvironment>
#include <QRect>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <algorithm>

namespace {

// Generous bounds: the machine may be busy.
constexpr int StartMs = 60000;

// A program this test starts, ended by its own process id when the test ends.
struct TChild {
    QProcess Process;
    ~TChild() {
        if (Process.state() == QProcess::NotRunning) return;
        Process.terminate();
        if (!Process.waitForFinished(10000)) {
            Process.kill();
            Process.waitForFinished(10000);
        }
    }
};

// What the X tools say, with DISPLAY set; "" when they fail.
QString XTool(const QString& Display, const QString& Program, const QStringList& Args) {
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("DISPLAY"), Display);
    p.setProcessEnvironment(env);
    p.start(Program, Args);
    if (!p.waitForFinished(20000) || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0)
        return QString();
    return QString::fromLocal8Bit(p.readAllStandardOutput());
}

// The whole numbers after "NAME(CARDINAL) = " or "NAME(WINDOW): window id # "
// in xprop's answer.
QList<long long> Cardinals(const QString& Text) {
    QList<long long> out;
    static const QRegularExpression start(QStringLiteral("[=#]"));
    const int eq = static_cast<int>(Text.indexOf(start));
    if (eq < 0) return out;
    static const QRegularExpression number(QStringLiteral("(0x[0-9a-fA-F]+|\\d+)"));
    for (auto it = number.globalMatch(Text.mid(eq + 1)); it.hasNext();)
        out << it.next().captured(1).toLongLong(nullptr, 0);
    return out;
}

// One "Name:  value" line of xwininfo.
int WinInfo(const QString& Text, const QString& Name) {
    const QRegularExpression line(QRegularExpression::escape(Name) +
                                  QStringLiteral(":\\s*(-?\\d+)"));
    const auto m = line.match(Text);
    return m.hasMatch() ? m.captured(1).toInt() : -100000;
}

class FirstWindowFrame : public ::testing::Test {
protected:
    // Starts an X server of Screen pixels and openbox on it.
    void StartDesktop(QSize Screen) {
        for (const char* tool : {"Xvfb", "openbox", "xprop", "xwininfo"})
            if (QStandardPaths::findExecutable(QString::fromLatin1(tool)).isEmpty())
                GTEST_SKIP() << tool << " is not installed";
        // The server picks a free display itself and writes its number. It
        // must not reset when its last client leaves: a probe that ends
        // before openbox has connected would take openbox's connection down.
        FXvfb.Process.start(QStringLiteral("Xvfb"),
                            {QStringLiteral("-displayfd"), QStringLiteral("1"),
                             QStringLiteral("-noreset"), QStringLiteral("-nolisten"),
                             QStringLiteral("tcp"), QStringLiteral("-screen"), QStringLiteral("0"),
                             QStringLiteral("%1x%2x24").arg(Screen.width()).arg(Screen.height())});
        ASSERT_TRUE(FXvfb.Process.waitForStarted(StartMs));
        ASSERT_TRUE(WaitFor(
            [&] {
                return FXvfb.Process.canReadLine() || FXvfb.Process.state() == QProcess::NotRunning;
            },
            StartMs));
        const QString number = QString::fromLatin1(FXvfb.Process.readLine()).trimmed();
        ASSERT_FALSE(number.isEmpty()) << "Xvfb gave no display";
        FDisplay = QLatin1Char(':') + number;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("DISPLAY"), FDisplay);
        env.insert(QStringLiteral("HOME"), FHome.path());
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), FHome.path() + QStringLiteral("/config"));
        FWm.Process.setProcessEnvironment(env);
        FWm.Process.start(QStringLiteral("openbox"), {QStringLiteral("--sm-disable")});
        ASSERT_TRUE(FWm.Process.waitForStarted(StartMs));
        // The window manager is up once it names itself on the root window.
        ASSERT_TRUE(WaitFor(
            [&] {
                return Cardinals(XTool(FDisplay, QStringLiteral("xprop"),
                                       {QStringLiteral("-root"),
                                        QStringLiteral("_NET_SUPPORTING_WM_CHECK")}))
                           .size() == 1;
            },
            StartMs))
            << "openbox did not start on " << FDisplay.toStdString() << " (openbox "
            << (FWm.Process.state() == QProcess::Running ? "running" : "ended") << ", Xvfb "
            << (FXvfb.Process.state() == QProcess::Running ? "running" : "ended")
            << "): " << FWm.Process.readAllStandardError().toStdString()
            << FXvfb.Process.readAllStandardError().toStdString();
        FScreen = QRect(QPoint(0, 0), Screen);
    }

    // Starts the editor on the display, at Scale, in a start-up folder of its own.
    void StartEditor(const QString& Scale) {
        const QString program = BuiltProgram(QStringLiteral("dpu510tk3-editor"));
        ASSERT_FALSE(program.isEmpty()) << "dpu510tk3-editor is not built";
        QProcessEnvironment env = FWm.Process.processEnvironment();
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
        env.insert(QStringLiteral("QT_SCALE_FACTOR"), Scale);
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), FHome.path());
        FEditor.Process.setProcessEnvironment(env);
        FEditor.Process.setWorkingDirectory(FWs.Path());
        FEditor.Process.start(program, {});
        ASSERT_TRUE(FEditor.Process.waitForStarted(StartMs));
    }

    // The editor's main window: the client the window manager lists with the
    // editor's process id and caption; 0 while there is none.
    long long EditorWindow() {
        const QList<long long> clients =
            Cardinals(XTool(FDisplay, QStringLiteral("xprop"),
                            {QStringLiteral("-root"), QStringLiteral("_NET_CLIENT_LIST")}));
        for (long long id : clients) {
            const QString hex = QStringLiteral("0x%1").arg(id, 0, 16);
            const QString info = XTool(FDisplay, QStringLiteral("xprop"),
                                       {QStringLiteral("-id"), hex, QStringLiteral("_NET_WM_PID"),
                                        QStringLiteral("_NET_WM_NAME")});
            const QList<long long> pid = Cardinals(info.section('\n', 0, 0));
            if (pid.size() == 1 && pid[0] == FEditor.Process.processId() &&
                info.contains(QStringLiteral("DPU-510TK3")))
                return id;
        }
        return 0;
    }

    // The window's frame on the root window, from its inner area and the
    // frame extents the window manager set; null while they are not known.
    QRect Frame(long long Window, QString& Said, int& TitleBar) {
        const QString hex = QStringLiteral("0x%1").arg(Window, 0, 16);
        const QString info =
            XTool(FDisplay, QStringLiteral("xwininfo"), {QStringLiteral("-id"), hex});
        const QList<long long> extents =
            Cardinals(XTool(FDisplay, QStringLiteral("xprop"),
                            {QStringLiteral("-id"), hex, QStringLiteral("_NET_FRAME_EXTENTS")}));
        const QRect inner(WinInfo(info, QStringLiteral("Absolute upper-left X")),
                          WinInfo(info, QStringLiteral("Absolute upper-left Y")),
                          WinInfo(info, QStringLiteral("Width")),
                          WinInfo(info, QStringLiteral("Height")));
        Said = QStringLiteral("inner %1x%2%3%4%5%6")
                   .arg(inner.width())
                   .arg(inner.height())
                   .arg(inner.x() < 0 ? "" : "+")
                   .arg(inner.x())
                   .arg(inner.y() < 0 ? "" : "+")
                   .arg(inner.y());
        if (extents.size() != 4) return QRect();
        TitleBar = static_cast<int>(extents[2]);
        Said += QStringLiteral(", frame extents %1,%2,%3,%4")
                    .arg(extents[0])
                    .arg(extents[1])
                    .arg(extents[2])
                    .arg(extents[3]);
        // Left, right, top, bottom.
        return inner.adjusted(static_cast<int>(-extents[0]), static_cast<int>(-extents[2]),
                              static_cast<int>(extents[1]), static_cast<int>(extents[3]));
    }

    // The editor's first window on a Screen at Scale: its whole frame, title
    // bar included, lies on the screen, and the window is not made smaller
    // than it needs to be.
    void ExpectWholeFrameOnScreen(QSize Screen, const QString& Scale) {
        StartDesktop(Screen);
        if (IsSkipped() || HasFatalFailure()) return;
        StartEditor(Scale);
        if (HasFatalFailure()) return;
        long long window = 0;
        ASSERT_TRUE(WaitFor([&] { return (window = EditorWindow()) != 0; }, StartMs))
            << "no editor window (editor "
            << (FEditor.Process.state() == QProcess::Running ? "running" : "ended") << ", exit "
            << FEditor.Process.exitCode()
            << "): " << FEditor.Process.readAllStandardError().toStdString()
            << FEditor.Process.readAllStandardOutput().toStdString();
        QString said;
        QRect frame;
        int titleBar = 0;
        // The window manager frames the window, then the editor fits it.
        const bool onScreen = WaitFor(
            [&] {
                frame = Frame(window, said, titleBar);
                return !frame.isNull() && FScreen.contains(frame);
            },
            30000);
        EXPECT_TRUE(onScreen) << said.toStdString() << " on " << Screen.width() << "x"
                              << Screen.height();
        // openbox draws a title bar: the frame reaches above the inner area.
        EXPECT_GT(titleBar, 0) << said.toStdString();
        // Not shrunk below what the screen leaves for it: at least the design
        // minimum or nine tenths of the screen, whichever is smaller.
        EXPECT_GE(frame.width(), std::min(640, Screen.width() * 9 / 10)) << said.toStdString();
        EXPECT_GE(frame.height(), std::min(480, Screen.height() * 9 / 10)) << said.toStdString();
    }

    TTestWorkspace FWs;
    QTemporaryDir FHome;
    QString FDisplay;
    QRect FScreen;
    // Ended in the reverse order: the editor, the window manager, the server.
    TChild FXvfb;
    TChild FWm;
    TChild FEditor;
};

TEST_F(FirstWindowFrame, WholeOnScreenAt1280x720) {
    ExpectWholeFrameOnScreen(QSize(1280, 720), QStringLiteral("1"));
}

TEST_F(FirstWindowFrame, WholeOnScreenAt1920x1080Scaled150) {
    ExpectWholeFrameOnScreen(QSize(1920, 1080), QStringLiteral("1.5"));
}

TEST_F(FirstWindowFrame, WholeOnScreenAt1024x768) {
    ExpectWholeFrameOnScreen(QSize(1024, 768), QStringLiteral("1"));
}

TEST_F(FirstWindowFrame, WholeOnScreenAt800x600) {
    ExpectWholeFrameOnScreen(QSize(800, 600), QStringLiteral("1"));
}

} // namespace
