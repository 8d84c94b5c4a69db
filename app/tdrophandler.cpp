#include "app/tdrophandler.h"

#include "app/guarded.h"
#include "app/tpicturebox.h"
#include "app/tsetuppage.h"
#include "project/tproject.h"

#include <QDropEvent>
#include <QFileInfo>
#include <QMimeData>

using DpuProject::TProject;

TDropHandler::TDropHandler(TSetupPage* Setup, YVclUtil::Prompts& Ask, TActions Actions,
                           QObject* Parent)
    : QObject(Parent), FSetup(Setup), FAsk(Ask), FActions(std::move(Actions)) {
    for (int s = 0; s < TProject::StateCount; ++s)
        for (int k = 0; k < 4; ++k) {
            FSetup->MsgImage(s, k)->setAcceptDrops(true);
            FSetup->MsgImage(s, k)->installEventFilter(this);
        }
}

QString TDropHandler::DroppedFile(const QMimeData* Data) {
    if (!Data || !Data->hasUrls() || Data->urls().size() != 1 ||
        !Data->urls().first().isLocalFile())
        return QString();
    return Data->urls().first().toLocalFile();
}

bool TDropHandler::HasSuffix(const QString& Path, const char* Suffix) {
    return QFileInfo(Path).suffix().compare(QLatin1String(Suffix), Qt::CaseInsensitive) == 0;
}

bool TDropHandler::eventFilter(QObject* Watched, QEvent* Event) {
    const bool enter = Event->type() == QEvent::DragEnter;
    if (!enter && Event->type() != QEvent::Drop) return QObject::eventFilter(Watched, Event);
    auto* drop = static_cast<QDropEvent*>(Event);
    const QString file = DroppedFile(drop->mimeData());
    std::function<void()> action;
    for (int s = 0; s < TProject::StateCount && !action; ++s)
        for (int k = 0; k < 4; ++k)
            if (Watched == FSetup->MsgImage(s, k) && HasSuffix(file, "bmp")) {
                action = [this, s, k, file] { FActions.Slot(s, k, file); };
                break;
            }
    if (!action) return QObject::eventFilter(Watched, Event);
    drop->acceptProposedAction();
    if (!enter) Guarded(FAsk, action)();
    return true;
}
