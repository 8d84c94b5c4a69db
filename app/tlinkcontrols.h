#pragma once

#include "project/tconfiguration.h"
#include "util/prompts.h"

#include <QObject>

#include <string>

class QShortcut;
class TMakePage;
namespace DpuLink {
class TLinkSession;
}
namespace DpuRom {
class TUploadImage;
}

// The "Make" tab's link requests answered by the device link: Connect,
// Upload, Date-Time Sync., Cancel (and Esc), the baud list, "Msg On" and the
// progress bar.
class TLinkControls : public QObject {
public:
    // Session, Make, Config and Ask must outlive the controls; the session's
    // link reports its buttons and progress here from now on (until the
    // controls are destroyed).
    TLinkControls(DpuLink::TLinkSession& Session, TMakePage* Make,
                  const DpuProject::TConfiguration& Config, YVclUtil::Prompts& Ask,
                  QObject* Parent);
    ~TLinkControls() override;

    // Shows the link's state in the buttons now and once more after the
    // current event.
    void Update();

    // The image MAKE ROM has just written (full path): the upload offers it
    // from now on. Until then the upload offers the file in "ROM Filename:".
    void NoteBuiltImage(const std::string& Path) { FBuiltImage = Path; }
    // The file the upload's dialog starts at.
    std::string ImageToOffer() const;

    static constexpr const char* RomFileFilter = "DVE510TK3 ROM File (*.bin)|*.bin";

private:
    void ShowState();
    // Port is a port name as DpuLink::TPortName reads it.
    void OnConnect(const std::string& Port);
    void OnDisconnect();
    void OnUpload();
    void OnDateTimeSync();
    void OnCancel();
    // The question before sending Image (its file's name and modification
    // time are shown); true to send. An image whose bytes do not read as one
    // (its Problem) is sent only when the person answers Yes to "Send it
    // anyway?"; declined, the log says why.
    bool ConfirmUpload(const DpuRom::TUploadImage& Image);

    DpuLink::TLinkSession& FSession;
    TMakePage* FMake;
    const DpuProject::TConfiguration& FConfig;
    YVclUtil::Prompts& FAsk;
    QShortcut* FEscape = nullptr;
    std::string FBuiltImage;
    bool FRecheckQueued = false;
};
