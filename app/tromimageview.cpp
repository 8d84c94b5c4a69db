#include "app/tromimageview.h"

#include "app/tqtpicture.h"
#include "project/tconfiguration.h"
#include "rom/glyphlibrary.h"
#include "rom/tglyphlibraryentries.h"
#include "rom/tromimagepainter.h"
#include "rom/tromimagereader.h"
#include "rom/tromimagetext.h"
#include "util/prompts.h"

#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollArea>
#include <QSpinBox>
#include <QVBoxLayout>

using DpuProject::TConfiguration;
using DpuRom::GlyphLibrary;
using DpuRom::TGlyphLibraryEntries;

namespace {

QString Q(const std::string& Text) {
    return QString::fromUtf8(Text.data(), static_cast<qsizetype>(Text.size()));
}

QScrollArea* Scrolled(QLabel* Label, QWidget* Parent, const char* Name) {
    auto* area = new QScrollArea(Parent);
    area->setObjectName(Name);
    area->setWidget(Label);
    area->setWidgetResizable(false);
    area->setBackgroundRole(QPalette::Dark);
    return area;
}

} // namespace

TRomImageView::TRomImageView(const std::string& ImagePath, const TConfiguration& Config,
                             const GlyphLibrary& Library, YVclUtil::Prompts& Prompts,
                             QWidget* Parent)
    : QDialog(Parent), Config(Config), Library(Library), Ask(Prompts) {
    setWindowTitle(QStringLiteral("ROM image"));
    setObjectName("RomImageView");
    auto* top = new QVBoxLayout(this);

    auto* fileRow = new QHBoxLayout;
    fileRow->addWidget(new QLabel(QStringLiteral("ROM file:"), this));
    PathEdit = new QLineEdit(this);
    PathEdit->setObjectName("RomImagePath");
    fileRow->addWidget(PathEdit, 1);
    auto* browse = new QPushButton(QStringLiteral("Open..."), this);
    browse->setObjectName("RomImageOpen");
    // Enter in the file field opens the typed name; it must not also press
    // this button as the dialog's default.
    browse->setAutoDefault(false);
    browse->setDefault(false);
    fileRow->addWidget(browse);
    top->addLayout(fileRow);
    Status = new QLabel(this);
    Status->setObjectName("RomImageStatus");
    Status->setWordWrap(true);
    top->addWidget(Status);

    auto* body = new QHBoxLayout;
    auto* left = new QVBoxLayout;
    Table = new QComboBox(this);
    Table->setObjectName("RomImageTable");
    Table->addItems({"CTBL0", "CTBL1", "CTBL2"});
    left->addWidget(Table);
    Codes = new QListWidget(this);
    Codes->setObjectName("RomImageCodes");
    Codes->setMinimumWidth(180);
    left->addWidget(Codes, 1);
    body->addLayout(left);

    auto* middle = new QGridLayout;
    middle->addWidget(new QLabel(QStringLiteral("Zoom:"), this), 0, 0);
    ZoomBox = new QSpinBox(this);
    ZoomBox->setObjectName("RomImageZoom");
    ZoomBox->setRange(1, 16);
    ZoomBox->setValue(4);
    middle->addWidget(ZoomBox, 0, 1);
    Zone = new QComboBox(this);
    Zone->setObjectName("RomImageZone");
    Zone->addItems({"Floor glyphs", "User bitmaps", "Messages", "Direction frames", "Logo",
                    "Small glyphs", "Screen picture"});
    middle->addWidget(Zone, 0, 2);
    CodeLabel = new QLabel(this);
    CodeLabel->setObjectName("RomImageCodePicture");
    ZoneLabel = new QLabel(this);
    ZoneLabel->setObjectName("RomImageZonePicture");
    CodeArea = Scrolled(CodeLabel, this, "RomImageCodeArea");
    middle->addWidget(CodeArea, 1, 0, 1, 2, Qt::AlignTop);
    middle->addWidget(Scrolled(ZoneLabel, this, "RomImageZoneArea"), 1, 2);
    middle->setColumnStretch(2, 1);
    body->addLayout(middle, 1);

    Settings = new QPlainTextEdit(this);
    Settings->setObjectName("RomImageSettings");
    Settings->setReadOnly(true);
    Settings->setMinimumWidth(220);
    body->addWidget(Settings);
    top->addLayout(body, 1);
    resize(980, 560);

    connect(browse, &QPushButton::clicked, this, [this] { ChooseFile(); });
    connect(PathEdit, &QLineEdit::returnPressed, this,
            [this] { Open(PathEdit->text().toUtf8().toStdString()); });
    connect(Table, &QComboBox::currentIndexChanged, this, [this] { ShowCodes(); });
    connect(Codes, &QListWidget::currentRowChanged, this, [this] { ShowCode(); });
    connect(Zone, &QComboBox::currentIndexChanged, this, [this] { ShowZone(); });
    connect(ZoomBox, &QSpinBox::valueChanged, this, [this] { Zoom(); });

    PathEdit->setText(Q(ImagePath));
    if (!ImagePath.empty()) Open(ImagePath);
}

TRomImageView::~TRomImageView() = default;

void TRomImageView::ChooseFile() {
    std::string path;
    if (Ask.OpenFileDialog("DPU-510TK3 ROM image (*.BIN)|*.BIN", "BIN", path)) Open(path);
}

bool TRomImageView::Open(const std::string& Path) {
    PathEdit->setText(Q(Path));
    TGlyphLibraryEntries entries(Library, Config.GlbName);
    DpuRom::TRomImageReader reader;
    reader.Library = Library.IsLoaded() ? &entries : nullptr;
    reader.Cfi = Config.CFI;
    reader.AssumedDispHv = Config.DISPHV;
    reader.ProgramDir = Config.ProgramDir;
    reader.UserDir = Config.StartupDir.empty() ? std::string() : Config.StartupDir + "/";
    DpuRom::TRomImage image;
    Loaded = reader.ReadFile(Path, image);
    if (Loaded) {
        Read = std::move(image);
        Error.clear();
        Status->setText(QStringLiteral("%1: %2 user bitmaps, %3 messages%4")
                            .arg(Q(Path))
                            .arg(Read.UserBitmaps.size())
                            .arg(Read.MessagePictures)
                            .arg(Read.Notes.empty() ? QString() : "; " + Q(Read.Notes.front())));
    } else {
        Read = DpuRom::TRomImage{};
        Error = reader.LastErrMsg;
        // A file that cannot be read is not called "not a ROM image".
        Status->setText(reader.LastErrOffset == 0 && Error.rfind("Cannot read", 0) == 0
                            ? Q(Error)
                            : QStringLiteral("Not a ROM image: ") + Q(Error));
    }
    QString settings;
    if (Loaded)
        for (const auto& [key, value] : DpuRom::TRomImageText::Settings(Read))
            settings += Q(key) + ": " + Q(value) + "\n";
    Settings->setPlainText(settings);
    {
        const QSignalBlocker block(Table);
        Table->setCurrentIndex(Loaded ? Read.Settings.DEF_CTBL % 3 : 0);
    }
    ShowCodes();
    ShowZone();
    return Loaded;
}

void TRomImageView::ShowCodes() {
    const QSignalBlocker block(Codes);
    Codes->clear();
    if (Loaded) {
        const int t = Table->currentIndex();
        for (int n = 0; n < DpuRom::TRomImage::CodeCount; ++n)
            Codes->addItem(QString::asprintf("%3d (%02X): ", n, n) +
                           Q(DpuRom::TRomImageText::CodeTextAsTyped(Read, t, n)));
        // The first code that shows something.
        int first = 0;
        while (first < DpuRom::TRomImage::CodeCount &&
               Read.Codes[static_cast<size_t>(t)][static_cast<size_t>(first)].Kind ==
                   DpuRom::TRomCode::TKind::Nothing)
            ++first;
        Codes->setCurrentRow(first < DpuRom::TRomImage::CodeCount ? first : 0);
    }
    ShowCode();
}

QImage TRomImageView::CodePicture() const {
    return TQtPicture::Image(CodeShown);
}

QImage TRomImageView::ZonePicture() const {
    return TQtPicture::Image(ZoneShown);
}

void TRomImageView::ShowCode() {
    const int row = Codes->currentRow();
    CodeShown = Loaded && row >= 0
                    ? DpuRom::TRomImagePainter::Code(Read, Table->currentIndex(), row)
                    : YVclUtil::TRasterImage();
    Zoom();
}

void TRomImageView::ShowZone() {
    ZoneShown = {};
    if (Loaded) {
        std::vector<YVclUtil::TRasterImage> pictures;
        auto add = [&pictures](const DpuRom::TRomPicture& P) {
            if (P.Present()) pictures.push_back(DpuRom::TRomImagePainter::Picture(P));
        };
        int columns = 8;
        switch (Zone->currentIndex()) {
        case 0:
            for (const auto& p : Read.Glyphs)
                add(p);
            columns = 16;
            break;
        case 1:
            for (const auto& p : Read.UserBitmaps)
                add(p);
            break;
        case 2:
            for (const auto& p : Read.Messages)
                add(p);
            columns = 4;
            break;
        case 3:
            for (const auto& style : Read.DirFrames)
                for (const auto& p : style)
                    pictures.push_back(DpuRom::TRomImagePainter::Picture(p));
            columns = 12;
            break;
        case 4:
            add(Read.Logo);
            break;
        case 5:
            for (const auto& p : Read.SmallGlyphs)
                add(p);
            columns = 13;
            break;
        default:
            add(Read.Screen);
            break;
        }
        ZoneShown = DpuRom::TRomImagePainter::Sheet(pictures, columns);
    }
    Zoom();
}

void TRomImageView::Zoom() {
    const int f = ZoomBox->value();
    auto show = [f](QLabel* Label, const YVclUtil::TRasterImage& Image) {
        if (Image.IsNull()) {
            Label->clear();
            Label->resize(1, 1);
            return;
        }
        Label->setPixmap(
            QPixmap::fromImage(TQtPicture::Image(DpuRom::TRomImagePainter::Zoomed(Image, f))));
        Label->resize(Label->pixmap().size());
    };
    show(CodeLabel, CodeShown);
    show(ZoneLabel, ZoneShown);
    // The code's picture is seen whole up to the 4x it opens with; larger
    // zooms scroll.
    const int frame = 2 * CodeArea->frameWidth();
    const QSize whole =
        CodeLabel->size().boundedTo(QSize(64 * 4, 64 * 4)).expandedTo(QSize(64, 64));
    CodeArea->setMinimumSize(whole + QSize(frame, frame));
}

void TRomImageView::SelectCode(int TableIndex, int Code) {
    Table->setCurrentIndex(TableIndex);
    Codes->setCurrentRow(Code);
}

void TRomImageView::SelectZone(int ZoneIndex) {
    Zone->setCurrentIndex(ZoneIndex);
}

void TRomImageView::SetZoom(int Factor) {
    ZoomBox->setValue(Factor);
}

QString TRomImageView::SettingsText() const {
    return Settings->toPlainText();
}
