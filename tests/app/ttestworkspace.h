#pragma once

#include <QImage>
#include <QString>
#include <QTemporaryDir>

#include <string>

// A start-up directory for one test: configuration file, a small glyph
// library made here (so the tests know every pixel of it) and the blank logo.
// The process's current directory is the workspace while the object lives.
class TTestWorkspace {
public:
    struct TOptions {
        bool WithIni = true;
        bool WithGlb = true;
        bool WithBlankLogo = true;
        // Extra text appended to the configuration file.
        std::string IniText =
            "[GLOBAL]\r\nGLB=D510TK3.GLB\r\nVCN=3\r\nITEM1=V-TEST\r\nITEM2=\r\nITEM3=ORV-GRY\r\n"
            "[V-TEST]\r\nCFI=48\r\nIFI=41\r\nDISPHV=1\r\nENCODE=1\r\n"
            "[ORV-GRY]\r\nCFI=48\r\nIFI=41\r\nDISPHV=0\r\nENCODE=1\r\n";
    };

    TTestWorkspace();
    explicit TTestWorkspace(const TOptions& Options);
    ~TTestWorkspace();

    QString Path() const { return Dir.path(); }
    std::string File(const std::string& Name) const;

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
