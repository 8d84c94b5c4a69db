#pragma once

#include "util/prompts.h"

#include <QTemporaryDir>

#include <cstdint>
#include <deque>
#include <map>
#include <string>
#include <utility>
#include <vector>

// Answers the core's questions from a script and records what it was asked.
class ScriptedPrompts : public YVclUtil::Prompts {
public:
    std::vector<std::pair<std::string, std::string>> Messages; // caption, text
    std::vector<std::pair<std::string, std::string>> Questions;
    std::deque<bool> YesNoAnswers;       // empty: answer No
    std::deque<std::string> FileAnswers; // empty: cancel
    std::vector<bool> CursorCalls;

    void MessageBox(const std::string& Caption, const std::string& Text) override;
    bool AskYesNo(const std::string& Caption, const std::string& Text) override;
    bool OpenFileDialog(const std::string& Filter, const std::string& DefaultExt,
                        std::string& FileName) override;
    bool SaveFileDialog(const std::string& Filter, const std::string& DefaultExt,
                        std::string& FileName) override;
    bool OpenPictureDialog(const std::string& Filter, std::string& FileName) override;
    void SetBusyCursor(bool Busy) override;

    bool CursorBalanced() const;

private:
    bool NextFile(std::string& FileName);
};

class RecordingSink : public YVclUtil::MessageSink {
public:
    std::vector<std::string> Log;
    std::map<int, std::string> Status;
    int Clears = 0;
    void AppendLog(const std::string& Line) override { Log.push_back(Line); }
    void ClearLog() override {
        Log.clear();
        ++Clears;
    }
    void SetStatus(int Panel, const std::string& Text) override { Status[Panel] = Text; }
};

// A temporary folder that is also the current directory while it lives
// (the glyph library's working file goes to the current directory).
class TempWorkDir {
public:
    TempWorkDir();
    ~TempWorkDir();
    std::string Path() const;
    std::string File(const std::string& Name) const;

private:
    QTemporaryDir Dir;
    std::string Previous;
};

// Glyph library images built in memory.
struct GlbEntry {
    int Group;
    int Index;
    std::vector<uint8_t> Payload;
};
std::vector<uint8_t> MakeGlb(const std::vector<GlbEntry>& Entries, int Groups = 8);
// Sets entry (Group, Index) of an image to any offset and length.
void PokeDirectory(std::vector<uint8_t>& Image, int Group, int Index, uint32_t Offset,
                   uint32_t Length);
// A Windows bitmap of Width x Height, all black except pixel (0,0) red.
std::vector<uint8_t> MakeBmp(int Width, int Height, uint32_t Fill = 0xFF000000u);

void WriteFile(const std::string& Path, const std::vector<uint8_t>& Bytes);
void WriteText(const std::string& Path, const std::string& Text);
std::string ReadText(const std::string& Path);
