#include "tfontset.h"

#include <QFile>
#include <QFontDatabase>

namespace {

struct FaceFile {
    const char* Path;
    const char* Package;
    const char* Family; // only for collections, where the face is chosen by family
    bool Bold;
};

const FaceFile kFaces[TFontSet::FaceCount] = {
    {"/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf", "fonts-dejavu-core", nullptr, true},
    {"/usr/share/fonts/truetype/dejavu/DejaVuSansCondensed-Bold.ttf", "fonts-dejavu-extra", nullptr,
     true},
    {"/usr/share/fonts/truetype/dejavu/DejaVuSansCondensed-BoldOblique.ttf", "fonts-dejavu-extra",
     nullptr, true},
    {"/usr/share/fonts/truetype/dejavu/DejaVuSerifCondensed-Bold.ttf", "fonts-dejavu-extra",
     nullptr, true},
    {"/usr/share/fonts/truetype/dejavu/DejaVuSansMono.ttf", "fonts-dejavu-core", nullptr, false},
    {"/usr/share/fonts/truetype/dejavu/DejaVuSansMono-Bold.ttf", "fonts-dejavu-core", nullptr,
     true},
    {"/usr/share/fonts/opentype/noto/NotoSansCJK-Regular.ttc", "fonts-noto-cjk", "Noto Sans CJK TC",
     false},
};

} // namespace

bool TFontSet::Load() {
    for (int i = 0; i < FaceCount; ++i) {
        const FaceFile& f = kFaces[i];
        if (!QFile::exists(QString::fromLatin1(f.Path))) {
            LastErrMsg = QStringLiteral("font file %1 is missing (Debian package %2)")
                             .arg(QString::fromLatin1(f.Path), QString::fromLatin1(f.Package));
            return false;
        }
        Paths[i] = QString::fromLatin1(f.Path);
        if (f.Family) {
            // A collection holds one face per region; the traditional Chinese one is
            // picked by family name after registering the file.
            if (QFontDatabase::addApplicationFont(Paths[i]) < 0) {
                LastErrMsg = QStringLiteral("cannot load font file %1").arg(Paths[i]);
                return false;
            }
            Families[i] = QString::fromLatin1(f.Family);
        }
        const QRawFont probe = Raw(Face(i), 32);
        if (!probe.isValid()) {
            LastErrMsg = QStringLiteral("cannot load font file %1").arg(Paths[i]);
            return false;
        }
    }
    return true;
}

QRawFont TFontSet::Raw(Face face, qreal pixelSize, bool hinted) const {
    const QFont::HintingPreference hint =
        hinted ? QFont::PreferVerticalHinting : QFont::PreferNoHinting;
    if (Families[face].isEmpty()) return QRawFont(Paths[face], pixelSize, hint);
    QFont font(Families[face]);
    font.setPixelSize(qMax(1, qRound(pixelSize)));
    font.setBold(kFaces[face].Bold);
    font.setHintingPreference(hint);
    font.setStyleStrategy(QFont::NoFontMerging);
    return QRawFont::fromFont(font);
}
