#include "tconvertersim.h"

#include <cstdio>

namespace {

std::string Hex2(uint8_t v) {
    char buf[3];
    std::snprintf(buf, sizeof buf, "%02X", v);
    return buf;
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

uint16_t Key(uint8_t SegId, uint8_t NodeId) {
    return static_cast<uint16_t>(SegId << 8 | NodeId);
}

} // namespace

TConverterSim::TConverterSim() {
    Registers = {{'0', 0x00}, {'1', 0x00}, {'3', 0x10}, {'4', 0x11}, {'5', 0x12},
                 {'6', 0x13}, {'7', 0x10}, {'8', 0x00}, {'9', 0x00}, {'E', 0x00}};
}

void TConverterSim::AddNode(uint8_t SegId, uint8_t NodeId) {
    Nodes[Key(SegId, NodeId)] = TNode{};
}
void TConverterSim::MuteRegister(char R) {
    Muted.insert(R);
}
void TConverterSim::SetRegister(char R, uint8_t Value) {
    Registers[R] = Value;
}

uint8_t TConverterSim::Register(char R) const {
    auto it = Registers.find(R);
    return it == Registers.end() ? 0 : it->second;
}

std::vector<std::string> TConverterSim::TakeLog() {
    std::vector<std::string> out;
    out.swap(Log);
    return out;
}

std::string TConverterSim::PacketLine(const std::vector<uint8_t>& Packet) {
    std::string line = "@";
    for (uint8_t b : Packet)
        line += Hex2(b);
    return line + "\r\n";
}

std::string TConverterSim::Feed(const char* Data, size_t Bytes) {
    std::string out;
    for (size_t i = 0; i < Bytes; ++i) {
        const char c = Data[i];
        if (c == '\n') {
            out += HandleLine(Pending);
            Pending.clear();
        } else if (c != '\r') {
            // A line longer than any command is noise: keep the tail only.
            if (Pending.size() < 1024) Pending += c;
        }
    }
    return out;
}

std::string TConverterSim::HandleLine(const std::string& Raw) {
    size_t p = 0;
    while (p < Raw.size() && Raw[p] == ' ')
        ++p;
    const std::string line = Raw.substr(p);
    if (line.empty()) return {};
    if (line.size() == 3 && line[0] == '?' && line[1] == 'R') {
        const char r = line[2];
        if (!Registers.count(r) || Muted.count(r)) return {};
        return "*R" + std::string(1, r) + "=" + Hex2(Registers[r]) + "\r\n";
    }
    if (line.size() == 6 && line[0] == '+' && line[1] == 'R' && line[3] == '=') {
        const char r = line[2];
        const int hi = HexDigit(line[4]), lo = HexDigit(line[5]);
        if (hi < 0 || lo < 0) return {};
        const uint8_t v = static_cast<uint8_t>(hi << 4 | lo);
        if (r == 'F') {
            Registers['0'] = 0;
            Log.push_back("RESET");
            return "*RF=00\r\n";
        }
        if (r == '0' || r == '8' || r == '9') {
            Registers[r] = v;
            Log.push_back("R" + std::string(1, r) + " " + Hex2(v));
        }
        return {};
    }
    if (line[0] == '>') {
        std::vector<uint8_t> packet;
        const std::string hex = line.substr(1);
        bool good = hex.size() % 2 == 0;
        for (size_t i = 0; good && i < hex.size(); i += 2) {
            const int hi = HexDigit(hex[i]), lo = HexDigit(hex[i + 1]);
            good = hi >= 0 && lo >= 0;
            packet.push_back(static_cast<uint8_t>(hi << 4 | lo));
        }
        if (!good) {
            Log.push_back("BAD " + line);
            return {};
        }
        if (packet.size() < 4 || packet.size() != size_t(packet[2]) + 3 ||
            packet[2] > Registers['7']) {
            Log.push_back("BAD " + line);
            return {};
        }
        Log.push_back("PKT " + line.substr(1));
        return HandlePacket(packet);
    }
    Log.push_back("BAD " + line);
    return {};
}

std::string TConverterSim::HandlePacket(const std::vector<uint8_t>& Packet) {
    const uint8_t seg = Packet[0], node = Packet[1], code = Packet[3];
    auto it = Nodes.find(Key(seg, node));
    if (it == Nodes.end()) return PacketLine({seg, node, 4, 33, seg, node, code});
    TNode& n = it->second;
    switch (code) {
    case 3:
        return PacketLine({seg, node, 2, 19, 0x01});
    case 4:
        return PacketLine({seg, node, 2, 20, 0x80});
    case 5:
        return PacketLine({seg, node, 2, 21, 0x5A});
    case 15:
        n.Outputs = 0;
        Log.push_back("NODE-RESET " + Hex2(seg) + " " + Hex2(node));
        return PacketLine({seg, node, 1, 31});
    case 0x84:
        if (Packet[2] >= 2) {
            n.Outputs = Packet[4] & 0x0F;
            Log.push_back("OUT " + Hex2(seg) + " " + Hex2(node) + " " + Hex2(n.Outputs));
        }
        return {};
    default:
        return {};
    }
}

std::string TConverterSim::WatchdogReset() {
    Registers['0'] = 0;
    Log.push_back("WDT");
    return "*RF=00\r\n";
}

std::string TConverterSim::SetNodeInputs(uint8_t SegId, uint8_t NodeId, uint8_t Inputs) {
    auto it = Nodes.find(Key(SegId, NodeId));
    if (it == Nodes.end()) return {};
    it->second.Inputs = Inputs & 0x0F;
    return PacketLine({SegId, NodeId, 2, 0x81, it->second.Inputs});
}

std::string TConverterSim::NodeSelfReset(uint8_t SegId, uint8_t NodeId) {
    auto it = Nodes.find(Key(SegId, NodeId));
    if (it == Nodes.end()) return {};
    it->second.Outputs = 0;
    Log.push_back("NODE-RESET " + Hex2(SegId) + " " + Hex2(NodeId));
    return PacketLine({SegId, NodeId, 1, 31});
}

int TConverterSim::NodeOutputs(uint8_t SegId, uint8_t NodeId) const {
    auto it = Nodes.find(Key(SegId, NodeId));
    return it == Nodes.end() ? -1 : it->second.Outputs;
}
