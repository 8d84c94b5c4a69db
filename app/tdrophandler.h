#pragma once

#include "util/prompts.h"

#include <QObject>
#include <QString>

#include <functional>

class QMimeData;
class TMakePage;
class TSetupPage;

// Files dropped on the window's pages: bitmaps on a message picture or the
// logo, a ROM image on the "Make" tab. Each action runs guarded.
class TDropHandler : public QObject {
public:
    struct TActions {
        std::function<void(const QString&)> Logo;
        std::function<void(const QString&)> RomFile;
        std::function<void(int State, int Column, const QString&)> Slot;
    };
    // Watches the pictures of Setup, the logo and the Make page itself.
    TDropHandler(TSetupPage* Setup, TMakePage* Make, YVclUtil::Prompts& Ask, TActions Actions,
                 QObject* Parent);

    // The local file of a drop with one file, "" otherwise.
    static QString DroppedFile(const QMimeData* Data);
    // True when Path ends in "." Suffix, in any case.
    static bool HasSuffix(const QString& Path, const char* Suffix);

protected:
    bool eventFilter(QObject* Watched, QEvent* Event) override;

private:
    TSetupPage* FSetup;
    TMakePage* FMake;
    YVclUtil::Prompts& FAsk;
    TActions FActions;
};
