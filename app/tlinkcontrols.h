#pragma once

#include "project/tconfiguration.h"
#include "util/prompts.h"

#include <QObject>

class TMakePage;
namespace DpuLink {
class TLinkSession;
}

// The "Make" tab's link buttons bound to the device link: Connect, Upload,
// Date-Time Sync., the baud list, "Msg On" and the progress bar.
class TLinkControls : public QObject {
public:
    // Session, Make, Config and Ask must outlive the controls; the session's
    // link reports its buttons and progress here from now on.
    TLinkControls(DpuLink::TLinkSession& Session, TMakePage* Make,
                  const DpuProject::TConfiguration& Config, YVclUtil::Prompts& Ask,
                  QObject* Parent);

    // Shows the link's state in the buttons now and once more after the
    // current event.
    void Update();

private:
    void ShowState();
    void OnConnect();
    void OnUpload();
    void OnDateTimeSync();

    DpuLink::TLinkSession& FSession;
    TMakePage* FMake;
    const DpuProject::TConfiguration& FConfig;
    YVclUtil::Prompts& FAsk;
    bool FRecheckQueued = false;
};
