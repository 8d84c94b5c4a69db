#pragma once

#include "util/prompts.h"

#include <map>
#include <string>

// Passes every question on to Inner, but a file dialog the core opens with
// no suggestion starts at the file last used for the same purpose: the
// project for Load and Save, the image just built for upload, the last
// bitmap for pictures. The purpose is the extension of the filter's first
// pattern ("dcf", "bin", "bmp"). Inner must outlive this object.
class TRememberingPrompts : public YVclUtil::Prompts {
public:
    explicit TRememberingPrompts(YVclUtil::Prompts& Inner) : FInner(Inner) {}

    void MessageBox(const std::string& Caption, const std::string& Text) override;
    bool AskYesNo(const std::string& Caption, const std::string& Text) override;
    bool OpenFileDialog(const std::string& Filter, const std::string& DefaultExt,
                        std::string& FileName) override;
    bool SaveFileDialog(const std::string& Filter, const std::string& DefaultExt,
                        std::string& FileName) override;
    bool OpenPictureDialog(const std::string& Filter, std::string& FileName) override;
    void SetBusyCursor(bool Busy) override;

    // "dcf" for "DVE510TK3 Project File (*.dcf)|*.dcf"; "" when the filter
    // names no extension.
    static std::string Purpose(const std::string& Filter);
    // Makes Path the start of the next dialog for Purpose (an empty path forgets it).
    void Remember(const std::string& Purpose, const std::string& Path);
    // The remembered file for Purpose, "" when none.
    std::string LastFile(const std::string& Purpose) const;
    const std::map<std::string, std::string>& All() const { return FLast; }

private:
    void Suggest(const std::string& Filter, std::string& FileName) const;
    YVclUtil::Prompts& FInner;
    std::map<std::string, std::string> FLast;
};
