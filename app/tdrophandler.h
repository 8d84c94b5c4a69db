#pragma once

#include "util/prompts.h"

#include <QObject>
#include <QString>

#include <functional>

class QMimeData;
class TSetupPage;

// Files dropped on the "Setup" tab: bitmaps on a message picture. Each action
// runs guarded. (The "Make" tab takes its own drops and announces them.)
class TDropHandler : public QObject {
public:
    struct TActions {
        std::function<void(int State, int Column, const QString&)> Slot;
    };
    // Watches the pictures of Setup.
    TDropHandler(TSetupPage* Setup, YVclUtil::Prompts& Ask, TActions Actions, QObject* Parent);

    // The local file of a drop with one file, "" otherwise.
    static QString DroppedFile(const QMimeData* Data);
    // True when Path ends in "." Suffix, in any case.
    static bool HasSuffix(const QString& Path, const char* Suffix);

protected:
    bool eventFilter(QObject* Watched, QEvent* Event) override;

private:
    TSetupPage* FSetup;
    YVclUtil::Prompts& FAsk;
    TActions FActions;
};
