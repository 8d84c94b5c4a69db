#include "apphelpers.h"
#include "tscriptededitorprompts.h"
#include "support/ttestworkspace.h"

#include "app/tromimageview.h"
#include "rom/tmakerom.h"

#include <QLabel>
#include <QListWidget>
#include <QScrollArea>
#include <QPushButton>
#include <QTimer>

using DpuRom::TMakeRom;

using namespace DpuProject;
using namespace DpuRom;

namespace {

// Builds the window's project into Name in the workspace; true when written.
bool BuildInto(TForm1& Form, TScriptedEditorPrompts& Ask, const std::string& Path) {
    TMakeRom make(Form.Project(), Form.Config(), Form.Library(), Ask, nullptr);
    make.OutputFile = Path;
    return make.Run();
}

TEST(RomImageView, ShowsCodesSettingsAndZonesOfTheImage) {
    TTestWorkspace ws;
    TScriptedEditorPrompts ask;
    TForm1 form(&ask);
    form.Project().SetLabel(0, 3, "1");
    form.Project().SetLabel(1, 10, "23");
    form.Project().CUSIDCODE = "ZX9";
    form.Project().PWRSAVING = 5;
    const std::string path = ws.File("VIEW.BIN");
    ASSERT_TRUE(BuildInto(form, ask, path));

    TRomImageView view(path, form.Config(), form.Library(), ask);
    ASSERT_TRUE(view.HasImage()) << view.ErrorText();
    EXPECT_TRUE(view.SettingsText().contains("CUSIDCODE: \"ZX9\""));
    EXPECT_TRUE(view.SettingsText().contains("PWRSAVING: 40"));
    EXPECT_TRUE(view.SettingsText().contains("DISPHV: 1 (library)"));

    // One glyph stands in the middle of the 64 x 64 preview, as drawn in the library.
    view.SelectCode(0, 3);
    const QImage one = view.CodePicture();
    ASSERT_EQ(one.size(), QSize(64, 64));
    const QImage glyph = TTestWorkspace::Glyph(0, '1');
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 32; ++x)
            ASSERT_EQ(one.pixel(16 + x, y) == qRgb(0, 0, 0), glyph.pixel(x, y) == qRgb(0, 0, 0))
                << x << "," << y;
    // Two glyphs side by side.
    view.SelectCode(1, 10);
    const QImage two = view.CodePicture();
    const QImage three = TTestWorkspace::Glyph(0, '3');
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 32; ++x)
            ASSERT_EQ(two.pixel(32 + x, y) == qRgb(0, 0, 0), three.pixel(x, y) == qRgb(0, 0, 0))
                << x << "," << y;

    // Zooming scales what is shown, pixel for pixel.
    view.SetZoom(3);
    auto* label = view.findChild<QLabel*>("RomImageCodePicture");
    ASSERT_NE(label, nullptr);
    EXPECT_EQ(label->pixmap().size(), QSize(192, 192));

    view.SelectZone(0);
    EXPECT_FALSE(view.ZonePicture().isNull());
    // The stock lift-state pictures of start-up, four to a row.
    view.SelectZone(2);
    ASSERT_EQ(view.Image().MessagePictures, 40);
    EXPECT_EQ(view.ZonePicture().size(), QSize(2 + 4 * 66, 2 + 10 * 18));
}

TEST(RomImageView, RefusesWhatIsNoImageAndOpensFromTheMakeTab) {
    TEditorOnWorkspace editor;
    auto& [ws, ask, form] = editor;
    form.Project().SetLabel(2, 0, "7");
    ASSERT_TRUE(BuildInto(form, ask, ws.File("MAKE.BIN")));
    QFile cut(QString::fromStdString(ws.File("CUT.BIN")));
    ASSERT_TRUE(cut.open(QIODevice::WriteOnly));
    cut.write(QByteArray(100, '\0'));
    cut.close();

    TRomImageView view(ws.File("MAKE.BIN"), form.Config(), form.Library(), ask);
    ASSERT_TRUE(view.HasImage());
    ask.QueueFile(ws.File("CUT.BIN"));
    view.findChild<QPushButton*>("RomImageOpen")->click();
    EXPECT_FALSE(view.HasImage());
    EXPECT_NE(view.ErrorText().find("offset 0x0064 (end of file)"), std::string::npos)
        << view.ErrorText();
    EXPECT_TRUE(view.findChild<QLabel*>("RomImageStatus")->text().startsWith("Not a ROM image"));
    EXPECT_TRUE(view.CodePicture().isNull());

    // The Make tab's button opens the image its "ROM Filename:" names.
    auto* name = Find<QLineEdit>(form, "RomFileNameEdit");
    name->setText(QString::fromStdString(ws.File("MAKE.BIN")));
    bool shown = false, loaded = false;
    QTimer::singleShot(0, [&] {
        if (auto* v = qobject_cast<TRomImageView*>(QApplication::activeModalWidget())) {
            shown = true;
            loaded = v->HasImage() && v->Image().Codes[2][0].Label == "7";
            v->close();
        }
    });
    Click(form, "RomImageViewButton");
    EXPECT_TRUE(shown);
    EXPECT_TRUE(loaded);
}

// Enter in the file field opens the typed file and asks for nothing else; a
// label that is not ASCII reads as typed; the code's picture is seen whole at
// the 4x the window opens with.
TEST(RomImageView, EnterOpensTheTypedFileLabelsReadAsTypedAndThePictureIsWhole) {
    TTestWorkspace ws;
    TScriptedEditorPrompts ask;
    TForm1 form(&ask);
    form.Project().SetLabel(0, 3, "1");
    form.Project().SetLabel(0, 4, "12");
    form.Project().SetLabel(0, 5, "23");
    ASSERT_TRUE(BuildInto(form, ask, ws.File("TYPED.BIN")));
    // "é" as its UTF-8 bytes (code 4) and as one byte of the single-byte set (code 5).
    QFile file(QString::fromStdString(ws.File("TYPED.BIN")));
    ASSERT_TRUE(file.open(QIODevice::ReadWrite));
    QByteArray bytes = file.readAll();
    bytes[0x21B8 + 4] = '\xC3';
    bytes[0x22B8 + 4] = '\xA9';
    bytes[0x21B8 + 5] = '\0';
    bytes[0x22B8 + 5] = '\xE9';
    ASSERT_TRUE(file.seek(0));
    ASSERT_EQ(file.write(bytes), bytes.size());
    file.close();

    TRomImageView view("", form.Config(), form.Library(), ask);
    view.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&view));
    auto* path = view.findChild<QLineEdit*>("RomImagePath");
    ASSERT_NE(path, nullptr);
    path->setText(QString::fromStdString(ws.File("TYPED.BIN")));
    path->setFocus();
    QTest::keyClick(path, Qt::Key_Return);
    ASSERT_TRUE(view.HasImage()) << view.ErrorText();
    EXPECT_TRUE(ask.DialogFilters.empty()) << "an open dialog was asked for";
    EXPECT_TRUE(view.isVisible());

    auto* codes = view.findChild<QListWidget*>("RomImageCodes");
    ASSERT_NE(codes, nullptr);
    view.SelectCode(0, 3);
    EXPECT_EQ(codes->item(4)->text(), QString::fromUtf8("  4 (04): \xC3\xA9"));
    EXPECT_EQ(codes->item(5)->text(), QString::fromUtf8("  5 (05): \xC3\xA9"));

    view.SetZoom(4);
    QApplication::processEvents();
    auto* area = view.findChild<QScrollArea*>("RomImageCodeArea");
    ASSERT_NE(area, nullptr);
    EXPECT_EQ(view.findChild<QLabel*>("RomImageCodePicture")->size(), QSize(256, 256));
    EXPECT_GE(area->viewport()->width(), 256);
    EXPECT_GE(area->viewport()->height(), 256);
}

} // namespace
