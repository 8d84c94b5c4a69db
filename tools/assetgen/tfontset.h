#pragma once

#include <QFont>
#include <QRawFont>
#include <QString>
#include <QStringList>

// The font faces the generator renders from, taken from Debian's font packages
// (fonts-dejavu-core, fonts-dejavu-extra, fonts-noto-cjk) by file, so the output
// does not depend on the font configuration of the machine.
class TFontSet {
public:
    enum Face {
        SansBold,
        SansCondensedBold,
        SansCondensedBoldOblique,
        SerifCondensedBold,
        SansMono,
        SansMonoBold,
        CjkSansTC,
        FaceCount
    };

    // Loads every face. Returns false when a font file is missing or unreadable;
    // the reason (naming the Debian package to install) is in LastErrMsg.
    bool Load();

    // The face at the given pixel size, unhinted (for outlines) or hinted
    // vertically (for small crisp text). Only valid after a successful Load().
    QRawFont Raw(Face face, qreal pixelSize, bool hinted = false) const;

    QString LastErrMsg;

private:
    QString Paths[FaceCount];
    QString Families[FaceCount];
};
