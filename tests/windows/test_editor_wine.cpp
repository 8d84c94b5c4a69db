// The editor's window under Wine, on the windows platform of a virtual X
// display (tests/windows/editor-wine.sh prepares all of it): start-up in a
// workspace, the sample project loaded, MAKE ROM giving the same bytes as the
// Linux tool, and the image uploaded through a COM port to the native display
// simulator.
//
// The current directory is the workspace: the installation files, and
// LINUX.BIN, what the Linux tool's make-rom made of the same sample.
// DPU_WINE_COM names the COM port the simulator sits behind (a pseudo-
// terminal linked into the prefix's dosdevices).
//
// Wine: Qt logs "SetProcessDpiAwarenessContext(...) failed" once and
// "EnableNonClientDpiScaling() failed" for each window (Wine lacks both), and
// Wine prints "Read access denied for device ... Z:" where a volume serial of
// the Unix file system is asked for. Neither changes what is tested here.
#include "app/tform1.h"
#include "link/devicelink.h"
#include "util/prompts.h"
#include "util/qstringconv.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPlainTextEdit>
#include <QSettings>
#include <QTest>

#include <deque>
#include <string>
#include <utility>
#include <vector>

namespace {

// Answers the window's questions from queues and keeps every box shown; an
// unqueued question is answered No / cancelled and recorded as unexpected.
class TQueuedPrompts : public YVclUtil::Prompts {
public:
    std::deque<std::string> Files;
    std::deque<bool> Answers;
    std::vector<std::pair<std::string, std::string>> Boxes;
    std::vector<std::string> Unexpected;

    void MessageBox(const std::string& Caption, const std::string& Text) override {
        Boxes.emplace_back(Caption, Text);
    }
    bool AskYesNo(const std::string&, const std::string& Text) override {
        if (Answers.empty()) {
            Unexpected.push_back(Text);
            return false;
        }
        const bool answer = Answers.front();
        Answers.pop_front();
        return answer;
    }
    bool OpenFileDialog(const std::string&, const std::string&, std::string& Name) override {
        return Next(Name);
    }
    bool SaveFileDialog(const std::string&, const std::string&, std::string& Name) override {
        return Next(Name);
    }
    bool OpenPictureDialog(const std::string&, std::string& Name) override { return Next(Name); }
    void SetBusyCursor(bool) override {}

private:
    bool Next(std::string& Name) {
        if (Files.empty()) {
            Unexpected.push_back("file dialog");
            return false;
        }
        Name = Files.front();
        Files.pop_front();
        return !Name.empty();
    }
};

QString LogOf(TForm1& Form) {
    auto* log = Form.findChild<QPlainTextEdit*>(QStringLiteral("MessageLog"));
    return log ? log->toPlainText() : QString();
}

QByteArray ReadAll(const QString& Path) {
    QFile f(Path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

bool Click(TForm1& Form, const char* Name) {
    auto* button = Form.findChild<QAbstractButton*>(QString::fromLatin1(Name));
    if (!button || !button->isEnabled()) return false;
    button->click();
    return true;
}

std::string Native(const QString& Path) {
    // The core's own encoding of a path, whatever the platform's.
    return YVclUtil::FromQString(QDir::toNativeSeparators(Path));
}

} // namespace

class TestEditorWine : public QObject {
    Q_OBJECT

private slots:
    void startsInItsWorkspace();
    void makeRomGivesTheLinuxToolsImage();
    void uploadReachesTheSimulatorThroughTheComPort();

private:
    QString Workspace = QDir::currentPath();
};

void TestEditorWine::startsInItsWorkspace() {
    TQueuedPrompts ask;
    TForm1 form(&ask);
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    QVERIFY2(form.StartupCompleted(), LogOf(form).toLocal8Bit().constData());
    QVERIFY2(ask.Boxes.empty(), ask.Boxes.empty() ? "" : ask.Boxes[0].second.c_str());
    QCOMPARE(QDir(form.StartupDir()), QDir(Workspace));
    // The stock bitmaps beside the program: the lift-state slots' defaults.
    QVERIFY(QFileInfo::exists(form.ProgramDir() + QStringLiteral("/DefaultImage2/LiftState")));
    QVERIFY(QFileInfo::exists(YVclUtil::ToQString(form.Project().Slot(0, 0))));
    // A drive letter and the windows platform: this is the Windows build.
    QCOMPARE(QGuiApplication::platformName(), QStringLiteral("windows"));
    QCOMPARE(form.StartupDir().mid(1, 2), QStringLiteral(":/"));
}

void TestEditorWine::makeRomGivesTheLinuxToolsImage() {
    const QByteArray linux = ReadAll(QStringLiteral("LINUX.BIN"));
    QCOMPARE(linux.size(), 64512);
    TQueuedPrompts ask;
    TForm1 form(&ask);
    form.show();
    QVERIFY(form.LoadProjectFile("sample.dcf"));
    const QString rom =
        QDir(Workspace).absoluteFilePath(YVclUtil::ToQString(form.Project().ROMFILENAME));
    QFile::remove(rom);
    // MAKE ROM saves the project first: into a copy, so the sample stays.
    ask.Files.push_back(Native(QDir(Workspace).absoluteFilePath(QStringLiteral("saved.dcf"))));
    QVERIFY(Click(form, "MakeRomButton"));
    QVERIFY2(!ask.Boxes.empty(), LogOf(form).toLocal8Bit().constData());
    QCOMPARE(ask.Boxes.back().second, std::string("DPU-510TK3 Make ROM OK\n\n"));
    QVERIFY(ask.Unexpected.empty());
    QVERIFY2(!LogOf(form).contains(QStringLiteral("[Error]")),
             LogOf(form).toLocal8Bit().constData());
    const QByteArray built = ReadAll(rom);
    QCOMPARE(built.size(), linux.size());
    QVERIFY2(built == linux, "the image differs from the Linux tool's");
    // The settings went where Windows keeps a user's: the registry
    // (HKEY_CURRENT_USER\Software\dpu510tk3\editor), not a file by the program.
    const auto settings = TForm1::OpenSettings();
    QCOMPARE(settings->format(), QSettings::NativeFormat);
    QVERIFY2(settings->fileName().startsWith(QStringLiteral("\\HKEY_CURRENT_USER\\")),
             settings->fileName().toLocal8Bit().constData());
}

void TestEditorWine::uploadReachesTheSimulatorThroughTheComPort() {
    const int com = qEnvironmentVariableIntValue("DPU_WINE_COM");
    QVERIFY2(com >= 1 && com <= 16, "DPU_WINE_COM names the simulator's port");
    const QString rom = QDir(Workspace).absoluteFilePath(QStringLiteral("SAMPLE.BIN"));
    QVERIFY2(QFileInfo::exists(rom), "MAKE ROM ran before");

    TQueuedPrompts ask;
    TForm1 form(&ask);
    form.show();
    auto* ports = form.findChild<QComboBox*>(QStringLiteral("ComPortBox"));
    QVERIFY(ports);
    ports->setCurrentIndex(com - 1);
    QVERIFY(Click(form, "ConnectButton"));
    QVERIFY2(LogOf(form).contains(QStringLiteral(">>> Open COM %1 <<<").arg(com)),
             LogOf(form).toLocal8Bit().constData());
    // The per-frame lines too.
    QVERIFY(Click(form, "MsgOnCheck"));
    ask.Files.push_back(Native(rom));
    ask.Answers.push_back(true);
    QVERIFY(Click(form, "UploadButton"));
    // Generous: the machine may be busy. Wine: the port re-arms its wait every
    // 10 ms on a pseudo-terminal, where Windows' driver would just block.
    QTRY_VERIFY_WITH_TIMEOUT(
        LogOf(form).contains(QStringLiteral("===> UpLoad ROM image finish.<===")), 300000);
    QVERIFY(LogOf(form).contains(QStringLiteral("===> Send data block: 976,CRC = ")));
    QVERIFY(ask.Unexpected.empty());
    QVERIFY2(ask.Boxes.empty(), ask.Boxes.empty() ? "" : ask.Boxes[0].second.c_str());
    // The simulator keeps the port until the window lets go of it.
    QVERIFY(Click(form, "ConnectButton"));
    QVERIFY(LogOf(form).contains(QStringLiteral(">>> Close COM %1 <<<").arg(com)));
    QVERIFY(!form.Link().Connected());
}

QTEST_MAIN(TestEditorWine)
#include "test_editor_wine.moc"
