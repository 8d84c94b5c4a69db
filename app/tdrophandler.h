#pragma once

#include "util/prompts.h"

#include <QObject>
#include <QString>

#include <functional>

class QMimeData;
class TMakePage;

// Files dropped on the "Make" tab: a bitmap on the logo, a ROM image anywhere
// else on the page. Each action runs guarded. (The "Setup" tab's message
// pictures take their bitmaps themselves.)
class TDropHandler : public QObject {
public:
    struct TActions {
        std::function<void(const QString&)> Logo;
        std::function<void(const QString&)> RomFile;
    };
    // Watches the logo and the Make page itself.
    TDropHandler(TMakePage* Make, YVclUtil::Prompts& Ask, TActions Actions, QObject* Parent);

    // The local file of a drop with one file, "" otherwise.
    static QString DroppedFile(const QMimeData* Data);
    // True when Path ends in "." Suffix, in any case.
    static bool HasSuffix(const QString& Path, const char* Suffix);

protected:
    bool eventFilter(QObject* Watched, QEvent* Event) override;

private:
    TMakePage* FMake;
    YVclUtil::Prompts& FAsk;
    TActions FActions;
};
