#pragma once

#include <QTemporaryDir>

#include <fstream>
#include <string>

namespace fbtest {

// A topology file in a temporary folder.
class TTopologyFile {
public:
    // Writes Text as the file and returns its path.
    std::string Write(const std::string& Text, const std::string& Name = "topo.ini") {
        const std::string path = Dir.path().toStdString() + "/" + Name;
        std::ofstream(path, std::ios::binary | std::ios::trunc) << Text;
        return path;
    }
    std::string Path(const std::string& Name) const {
        return Dir.path().toStdString() + "/" + Name;
    }

    // Header plus the given body.
    static std::string WithHeader(const std::string& Body, const std::string& Signature = "ORV") {
        return "[VtnTopologic.Head]\r\nSignature=" + Signature + "\r\n\r\n" + Body;
    }

private:
    QTemporaryDir Dir;
};

// The header and an empty last segment: a file that declares no node.
inline std::string EmptyTopology() {
    // A section exists only through a pair; a travel of node 0xFF declares nothing.
    return TTopologyFile::WithHeader(
        "[NetSegmentId_0x80]\r\nTravel_000=Device( \"DPU_4i4o\" ) , NetNodeId( 0xFF )\r\n");
}

} // namespace fbtest
