#include "app/tdrophandler.h"

#include "app/guarded.h"
#include "app/tmakepage.h"
#include "app/tpicturebox.h"

#include <QDropEvent>
#include <QFileInfo>
#include <QMimeData>

TDropHandler::TDropHandler(TMakePage* Make, YVclUtil::Prompts& Ask, TActions Actions,
                           QObject* Parent)
    : QObject(Parent), FMake(Make), FAsk(Ask), FActions(std::move(Actions)) {
    FMake->setAcceptDrops(true);
    FMake->installEventFilter(this);
    FMake->Logo()->setAcceptDrops(true);
    FMake->Logo()->installEventFilter(this);
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
    if (Watched == FMake->Logo() && HasSuffix(file, "bmp")) {
        action = [this, file] { FActions.Logo(file); };
    } else if (Watched == FMake && HasSuffix(file, "bin")) {
        action = [this, file] { FActions.RomFile(file); };
    }
    if (!action) return QObject::eventFilter(Watched, Event);
    drop->acceptProposedAction();
    if (!enter) Guarded(FAsk, action)();
    return true;
}
