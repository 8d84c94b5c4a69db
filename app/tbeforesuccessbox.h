#pragma once

#include "util/prompts.h"

#include <functional>
#include <string>

// The window's prompts for one MAKE ROM: the build shows its success box
// once the image is written (Written() holds then), and Before runs first,
// so the log says where the image went while the box is up. Everything else
// goes to Inner as it is; nothing here fails.
class TBeforeSuccessBox : public YVclUtil::Prompts {
public:
    // Inner must outlive this object.
    TBeforeSuccessBox(YVclUtil::Prompts& Inner, std::function<bool()> Written,
                      std::function<void()> Before);
    void MessageBox(const std::string& Caption, const std::string& Text) override;
    bool AskYesNo(const std::string& Caption, const std::string& Text) override;
    bool OpenFileDialog(const std::string& Filter, const std::string& DefaultExt,
                        std::string& FileName) override;
    bool SaveFileDialog(const std::string& Filter, const std::string& DefaultExt,
                        std::string& FileName) override;
    bool OpenPictureDialog(const std::string& Filter, std::string& FileName) override;
    void SetBusyCursor(bool Busy) override;
    // True once Before has run.
    bool Done() const { return FDone; }

private:
    YVclUtil::Prompts& FInner;
    std::function<bool()> FWritten;
    std::function<void()> FBefore;
    bool FDone = false;
};
