#pragma once

#include "fieldbus/tvtnet.h"

#include <array>
#include <memory>
#include <string>

namespace OrvCtrl {

// The table of every segment (0x00..0x80) and node (0x00..0x7F) of the bus,
// routing received packets to the component standing for their sender, and
// the loader that checks it against, and completes it from, a topology file.
//
// Every failure raises YVclUtil::EYGeneral (code -1) with the reason as its
// message; nothing is shown in an error box.
class TVTNet_Topologic : public TVTNet {
    Q_OBJECT
public:
    explicit TVTNet_Topologic(QObject* Owner);
    ~TVTNet_Topologic() override;

    const std::string& pr_FileName() const { return FileName; }
    void pw_FileName(const std::string& Value) { FileName = Value; }

    // Registers Component at its segment and node with the flag bits How
    // (vtf_ bits 0..2). Raises for an address outside the bus, for no memory,
    // and when the slot already holds another component.
    void AddVtnComponentToVtnTopologic(TVTNet* Component, uint32_t How);
    // Clears every slot that holds Component (a component being destroyed or
    // rebound); never raises. Returns the number of slots cleared.
    int RemoveVtnComponentFromVtnTopologic(const TVTNet* Component);

    // The slot's class id, component and flags; 0 or null for an unallocated
    // segment. Raise the "not belong to the topologic" message for an address
    // outside the bus.
    uint32_t pr_TopologicClsId(unsigned VtnSegId, unsigned VtnNodeId) const;
    TVTNet* pr_TopologicVtnComponent(unsigned VtnSegId, unsigned VtnNodeId) const;
    uint32_t pr_TopologicFlags(unsigned VtnSegId, unsigned VtnNodeId) const;

    // Reads the topology file (pr_FileName), checks it against the table and
    // creates default components for declared nodes that have none. Raises
    // with the reason; default components made before the failure stay.
    void LoadAndChkTopologicIniAndAssignDefaultVtnComponentToVtnTopologic();

    // Destroys the components the topology created and releases the table.
    void FreeVtnTopologic();

    // Makes a component for a declared node, bound to and registered in
    // Topologic; null when this topology has no model for the class. Nothing
    // here; the master overrides it.
    virtual TVTNet* CreateDefaultVtnComponentAndAddToVtnTopologic(int VtnClsId, uint8_t VtnSegId,
                                                                  uint8_t VtnNodeId,
                                                                  TVTNet_Topologic* Topologic);

    // Matches one travel value against
    //   " Device( \"%[^\"]\" ) , NetNodeId( 0x%X )"
    // with the C library's scanning rules (white space in the pattern matches
    // any run of white space, also none; the node id is hexadecimal after a
    // literal "0x"; text after the second field is not looked at). False when
    // either field is not converted.
    static bool ParseTravelValue(const std::string& Value, std::string& Device, uint32_t& NodeId);

protected:
    using TNodeArray = std::array<_SVTNTOPOLOGICNODE, VtnNodeSlots>;

    // The slot, or null for an unallocated segment (the address is checked).
    _SVTNTOPOLOGICNODE* FindNode(unsigned VtnSegId, unsigned VtnNodeId) const;
    // The slot, allocating the segment's array when missing.
    _SVTNTOPOLOGICNODE& AllocNode(unsigned VtnSegId, unsigned VtnNodeId);

    std::string FileName;
    std::array<std::unique_ptr<TNodeArray>, VtnSegSlots> Segments;

private:
    void RunConstructor();
    void RunDestructor();
};

} // namespace OrvCtrl
