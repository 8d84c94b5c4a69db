#pragma once

#include <QString>

class QMimeData;

// What a drop carries. Each page takes its own drops (message pictures on the
// "Setup" tab, the logo and ROM images on the "Make" tab, projects on the
// window) and announces them; these are the rules they share.
class TDropHandler {
public:
    // The local file of a drop with one file, "" otherwise.
    static QString DroppedFile(const QMimeData* Data);
    // True when Path ends in "." Suffix, in any case.
    static bool HasSuffix(const QString& Path, const char* Suffix);
};
