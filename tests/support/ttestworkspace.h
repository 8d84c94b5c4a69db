#pragma once

#include <QImage>
#include <QString>
#include <QTemporaryDir>

#include <string>
#include <vector>

// A temporary folder for one test, removed with the object. By default it is
// a start-up directory: configuration file, a small glyph library made here
// (so the tests know every pixel of it) and the blank logo; Empty() gives a
// bare folder. The process's current directory is the workspace while the
// object lives, unless MakeCurrent is off.
class TTestWorkspace {
public:
    struct TOptions {
        bool WithIni = true;
        bool WithGlb = true;
        bool WithBlankLogo = true;
        bool MakeCurrent = true;
        // Extra text appended to the configuration file.
        std::string IniText =
            "[GLOBAL]\r\nGLB=D510TK3.GLB\r\nVCN=3\r\nITEM1=V-TEST\r\nITEM2=\r\nITEM3=ORV-GRY\r\n"
            "[V-TEST]\r\nCFI=48\r\nIFI=41\r\nDISPHV=1\r\nENCODE=1\r\n"
            "[ORV-GRY]\r\nCFI=48\r\nIFI=41\r\nDISPHV=0\r\nENCODE=1\r\n";
    };

    // Options for a bare folder: no file in it, still the current directory.
    static TOptions Empty();
    // A bare folder that leaves the current directory alone (a fuzz target's
    // current directory is its corpus folder).
    static TOptions Aside();

    TTestWorkspace();
    explicit TTestWorkspace(const TOptions& Options);
    ~TTestWorkspace();
    TTestWorkspace(const TTestWorkspace&) = delete;
    TTestWorkspace& operator=(const TTestWorkspace&) = delete;

    QString Path() const { return Dir.path(); }
    std::string Folder() const { return Dir.path().toStdString(); }
    std::string File(const std::string& Name) const;
    // Writes Bytes as the file Name in the workspace and returns its path;
    // "" when the file cannot be written.
    std::string Write(const std::string& Name, const std::string& Bytes) const;

    // The pictures the library holds: floor glyph of character C in style K
    // (32 x 64), and a plain test bitmap of any size with a black corner mark.
    static QImage Glyph(int Style, int C);
    static QImage Mark(int Width, int Height, int Seed);
    // Writes Image as a BMP file; false on failure.
    static bool SaveBmp(const QImage& Image, const std::string& Path);

private:
    void Build(const TOptions& Options);
    QTemporaryDir Dir;
    QString OldCwd;
};
