#pragma once

// The serial VTNet converter as the PC sees it, without a port: bytes from
// the PC go in, the converter's answers come out. Plays the converter's
// registers (R0 outputs, R1 inputs, R3..R9, RE) and any number of
// four-input/four-output nodes behind it.

#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <vector>

class TConverterSim {
public:
    TConverterSim();

    // A four-input/four-output node at that address answers packets.
    void AddNode(uint8_t SegId, uint8_t NodeId);
    // The register never answers a query (for handshake time-outs).
    void MuteRegister(char Register);
    void SetRegister(char Register, uint8_t Value);
    uint8_t Register(char Register) const;

    // Bytes the PC sent; returns what the converter sends back.
    std::string Feed(const char* Data, size_t Bytes);

    // The converter resets by itself (watchdog): outputs off, "*RF=00" sent.
    std::string WatchdogReset();
    // A node's inputs change; it reports them (code 0x81). Empty for an unknown node.
    std::string SetNodeInputs(uint8_t SegId, uint8_t NodeId, uint8_t Inputs);
    // A node resets by itself: outputs off, "reset done" (code 31) sent.
    std::string NodeSelfReset(uint8_t SegId, uint8_t NodeId);
    // The outputs of a node; -1 for an unknown node.
    int NodeOutputs(uint8_t SegId, uint8_t NodeId) const;

    // Lines describing what happened ("R0 05", "OUT 01 02 0F", ...), oldest first.
    std::vector<std::string> TakeLog();

    static std::string PacketLine(const std::vector<uint8_t>& Packet);

private:
    struct TNode {
        uint8_t Outputs = 0;
        uint8_t Inputs = 0;
    };

    std::string HandleLine(const std::string& Line);
    std::string HandlePacket(const std::vector<uint8_t>& Packet);

    std::map<char, uint8_t> Registers;
    std::set<char> Muted;
    std::map<uint16_t, TNode> Nodes;
    std::string Pending;
    std::vector<std::string> Log;
};
