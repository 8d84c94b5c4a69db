#include "rom/tromworkfiles.h"

namespace DpuRom {

void TRomWorkFiles::Put(const std::string& Name, std::vector<uint8_t> Packed) {
    Files[Name] = std::move(Packed);
}

bool TRomWorkFiles::Has(const std::string& Name) const {
    return Files.count(Name) != 0;
}

const std::vector<uint8_t>* TRomWorkFiles::Find(const std::string& Name) const {
    const auto it = Files.find(Name);
    return it == Files.end() ? nullptr : &it->second;
}

void TRomWorkFiles::Remove(const std::string& Name) {
    Files.erase(Name);
}

void TRomWorkFiles::Clear() {
    Files.clear();
}

} // namespace DpuRom
