#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace DpuRom {

// The packed pictures that one Make ROM run hands from the converting steps to
// the image assembler, kept by their working-file names ("FL0_48", "DIR2_5",
// "M_163", "UBF_0", ...). They live in memory only, so a run never leaves
// working files in the current directory, whatever way it ends.
class TRomWorkFiles {
public:
    // Stores (or replaces) the packed picture Name.
    void Put(const std::string& Name, std::vector<uint8_t> Packed);
    // True when Name is held.
    bool Has(const std::string& Name) const;
    // The packed picture Name, leaving it held; nullptr when absent.
    const std::vector<uint8_t>* Find(const std::string& Name) const;
    // Forgets Name (nothing happens when absent).
    void Remove(const std::string& Name);
    // Forgets everything.
    void Clear();
    // Number of pictures held.
    size_t Count() const { return Files.size(); }

private:
    std::map<std::string, std::vector<uint8_t>> Files;
};

} // namespace DpuRom
