#include "app/tbeforesuccessbox.h"

#include <utility>

TBeforeSuccessBox::TBeforeSuccessBox(YVclUtil::Prompts& Inner, std::function<bool()> Written,
                                     std::function<void()> Before)
    : FInner(Inner), FWritten(std::move(Written)), FBefore(std::move(Before)) {}

void TBeforeSuccessBox::MessageBox(const std::string& Caption, const std::string& Text) {
    if (!FDone && FWritten()) {
        FDone = true;
        FBefore();
    }
    FInner.MessageBox(Caption, Text);
}

bool TBeforeSuccessBox::AskYesNo(const std::string& Caption, const std::string& Text) {
    return FInner.AskYesNo(Caption, Text);
}

bool TBeforeSuccessBox::OpenFileDialog(const std::string& Filter, const std::string& DefaultExt,
                                       std::string& FileName) {
    return FInner.OpenFileDialog(Filter, DefaultExt, FileName);
}

bool TBeforeSuccessBox::SaveFileDialog(const std::string& Filter, const std::string& DefaultExt,
                                       std::string& FileName) {
    return FInner.SaveFileDialog(Filter, DefaultExt, FileName);
}

bool TBeforeSuccessBox::OpenPictureDialog(const std::string& Filter, std::string& FileName) {
    return FInner.OpenPictureDialog(Filter, FileName);
}

void TBeforeSuccessBox::SetBusyCursor(bool Busy) {
    FInner.SetBusyCursor(Busy);
}
