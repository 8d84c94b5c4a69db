#pragma once

#include "rom/tromimage.h"
#include "util/trasterimage.h"

#include <QDialog>
#include <QImage>

#include <string>
#include <vector>

namespace DpuProject {
class TConfiguration;
} // namespace DpuProject
namespace DpuRom {
class GlyphLibrary;
} // namespace DpuRom
class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPlainTextEdit;
class QScrollArea;
class QSpinBox;
namespace YVclUtil {
class Prompts;
}

// The "ROM image" window of the Make tab: a .BIN read back with the same
// reader as "dpu510tk3 inspect", a code table and a code picked to see what
// the display holds for it, zoomable, with the settings and the pictures of
// every zone beside it. The image of the "ROM Filename:" field is offered first.
class TRomImageView : public QDialog {
    Q_OBJECT
public:
    // Config and Library (the glyph library of this run) must outlive the view;
    // Prompts gives the open dialog.
    TRomImageView(const std::string& ImagePath, const DpuProject::TConfiguration& Config,
                  const DpuRom::GlyphLibrary& Library, YVclUtil::Prompts& Prompts,
                  QWidget* Parent = nullptr);
    ~TRomImageView() override;

    // Reads the image at Path and shows it. False when it is not a ROM image
    // or cannot be read; the reason is then shown in the window and in ErrorText().
    bool Open(const std::string& Path);

    // Picks table and code in the lists.
    void SelectCode(int Table, int Code);
    // Picks the zone shown beside the code: 0 floor glyphs, 1 user bitmaps,
    // 2 messages, 3 direction frames, 4 logo, 5 small glyphs, 6 screen picture.
    void SelectZone(int Zone);
    void SetZoom(int Factor);

    bool HasImage() const { return Loaded; }
    const DpuRom::TRomImage& Image() const { return Read; }
    const std::string& ErrorText() const { return Error; }
    // The pictures as shown, before zooming.
    QImage CodePicture() const;
    QImage ZonePicture() const;
    // The settings text shown.
    QString SettingsText() const;

private:
    void ChooseFile();
    void ShowCodes();
    void ShowCode();
    void ShowZone();
    void Zoom();

    const DpuProject::TConfiguration& Config;
    const DpuRom::GlyphLibrary& Library;
    YVclUtil::Prompts& Ask;
    DpuRom::TRomImage Read;
    bool Loaded = false;
    std::string Error;
    YVclUtil::TRasterImage CodeShown;
    YVclUtil::TRasterImage ZoneShown;

    QLineEdit* PathEdit = nullptr;
    QLabel* Status = nullptr;
    QComboBox* Table = nullptr;
    QListWidget* Codes = nullptr;
    QComboBox* Zone = nullptr;
    QSpinBox* ZoomBox = nullptr;
    QLabel* CodeLabel = nullptr;
    QLabel* ZoneLabel = nullptr;
    QScrollArea* CodeArea = nullptr;
    QPlainTextEdit* Settings = nullptr;
};
