#include "project/tuserworkspace.h"

#include "project/dputext.h"
#include "project/tconfiguration.h"
#include "util/fileaccess.h"
#include "util/qstringconv.h"

#include <QDir>

#include <cinttypes>
#include <cstdio>
#include <map>

namespace DpuProject {

namespace {

using YVclUtil::FromQString;
using YVclUtil::ToQString;

// Installation files are small; anything larger is not one of them.
constexpr uint64_t kMaxFileBytes = 64u << 20;

// "<FNV-1a 64 in hex>-<size>": enough to tell a file from its replacement,
// the same on every platform and run.
std::string Checksum(const std::vector<uint8_t>& Bytes) {
    uint64_t hash = 0xcbf29ce484222325ull;
    for (uint8_t b : Bytes) {
        hash ^= b;
        hash *= 0x100000001b3ull;
    }
    char text[48];
    std::snprintf(text, sizeof text, "%016" PRIx64 "-%zu", hash, Bytes.size());
    return text;
}

// The checksum of the regular file at Path, "" when there is none to read.
std::string ChecksumOf(const std::string& Path) {
    std::vector<uint8_t> bytes;
    std::string reason;
    if (!YVclUtil::IsRegularFile(Path) ||
        !YVclUtil::ReadWholeFile(Path, bytes, reason, kMaxFileBytes))
        return {};
    return Checksum(bytes);
}

// Name -> checksum as the manifest records them; an unreadable or missing
// manifest records nothing.
std::map<std::string, std::string> ReadManifest(const std::string& Path) {
    std::map<std::string, std::string> out;
    std::vector<uint8_t> bytes;
    std::string reason;
    if (!YVclUtil::IsRegularFile(Path) ||
        !YVclUtil::ReadWholeFile(Path, bytes, reason, kMaxFileBytes))
        return out;
    const std::string text(bytes.begin(), bytes.end());
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        const std::string line = text.substr(start, end - start);
        const size_t space = line.find(' ');
        if (space != std::string::npos && space > 0 && space + 1 < line.size())
            out[line.substr(space + 1)] = line.substr(0, space);
        start = end + 1;
    }
    return out;
}

} // namespace

const std::vector<std::string>& TUserWorkspace::FileNames() {
    static const std::vector<std::string> names{"ORVDVE510TK3.INI", "D510TK3.GLB",
                                                "SPACE_240x240.bmp", "sample.dcf"};
    return names;
}

std::string TUserWorkspace::InstallationFolder(const std::string& ProgramDir) {
    if (ProgramDir.empty()) return {};
    const QDir program(ToQString(ProgramDir));
    for (const QString& candidate :
         {program.absoluteFilePath(QLatin1String(TConfiguration::InstalledDataFolder)),
          program.absolutePath()}) {
        const QString folder = QDir::cleanPath(candidate) + QLatin1Char('/');
        if (YVclUtil::IsRegularFile(FromQString(folder) + FileNames().front()))
            return FromQString(folder);
    }
    return {};
}

std::string TUserWorkspace::NoWorkspaceHint(const std::string& ProgramDir) {
    const std::string installed = InstallationFolder(ProgramDir);
    const std::string workspace = DefaultFolder();
    const auto shown = [](const std::string& Path) {
        return FromQString(QDir::toNativeSeparators(ToQString(Path)));
    };
    std::string line = "[Warning] This folder is no workspace: ";
    line += installed.empty()
                ? "no installed configuration file and glyph library were found beside the program"
                : "the installed configuration file and glyph library are in " + shown(installed);
    // Where the editor keeps the workspace itself (Windows), it makes it when
    // started in its own folder; elsewhere the launcher makes it.
    if (!workspace.empty())
        return line + "; start the editor from its own folder to make your workspace " +
               shown(workspace) + ", or cd into it";
    if (installed.empty()) return line + "; cd into a folder that holds them";
    return line + "; make your workspace with \"dpu510tk3-workspace --prepare\" and cd into "
                  "the folder it prints";
}

bool TUserWorkspace::Prepare(const std::string& InstallDir, const std::string& Workspace) {
    LastError.clear();
    std::string reason;
    if (!YVclUtil::MakeFolders(Workspace, reason)) {
        LastError = "Can not create " + Workspace + ": " + reason;
        return false;
    }
    const std::string manifestPath = DpuText::JoinPath(Workspace, ManifestName);
    const auto recorded = ReadManifest(manifestPath);
    std::string manifest;
    bool ok = true;
    for (const std::string& name : FileNames()) {
        const auto found = recorded.find(name);
        const std::string before = found == recorded.end() ? std::string() : found->second;
        std::string after = before;
        const std::string source = DpuText::JoinPath(InstallDir, name);
        const std::string target = DpuText::JoinPath(Workspace, name);
        std::vector<uint8_t> shippedBytes;
        if (!YVclUtil::IsRegularFile(source) ||
            !YVclUtil::ReadWholeFile(source, shippedBytes, reason, kMaxFileBytes)) {
            Warnings.push_back("[Warning] " + name + " is missing from " + InstallDir);
        } else {
            const std::string shipped = Checksum(shippedBytes);
            YVclUtil::TFileStatus status;
            const bool present = !YVclUtil::QueryFileStatus(target, status, reason) ||
                                 status.Kind != YVclUtil::TFileKind::Missing;
            // Without a record the file was never copied: a file of that name
            // is the user's own. With one, a missing file was deleted.
            bool copy = !present && before.empty();
            if (present) {
                const std::string current = ChecksumOf(target);
                if (!current.empty() && current == shipped)
                    after = shipped;
                else if (!current.empty() && current == before)
                    copy = true; // as copied before: the installation has a newer one
            }
            if (copy) {
                if (YVclUtil::WriteFileAtomically(target, shippedBytes.data(), shippedBytes.size(),
                                                  reason)) {
                    after = shipped;
                } else if (ok) {
                    LastError = "Can not write " + target + ": " + reason;
                    ok = false;
                }
            }
        }
        if (!after.empty()) manifest += after + ' ' + name + '\n';
    }
    if (!YVclUtil::WriteFileAtomically(manifestPath, manifest.data(), manifest.size(), reason)) {
        if (ok) LastError = "Can not write " + manifestPath + ": " + reason;
        return false;
    }
    return ok;
}

std::string TUserWorkspace::EnterStartupFolder(const std::string& ProgramDir,
                                               const std::string& Workspace, bool OpeningFiles) {
    LastError.clear();
    // QDir compares the folders as the file system names them (letter case
    // on Windows, links on Linux).
    const bool inProgramFolder = QDir(ToQString(ProgramDir)) == QDir::current();
    const bool besideNoConfiguration =
        OpeningFiles && !QDir::current().exists(ToQString(FileNames().front()));
    if (!Workspace.empty() && !ProgramDir.empty() && (inProgramFolder || besideNoConfiguration)) {
        if (Prepare(ProgramDir, Workspace) && !QDir::setCurrent(ToQString(Workspace)))
            LastError = "Can not change to " + Workspace;
    }
    return FromQString(QDir::currentPath());
}

} // namespace DpuProject
