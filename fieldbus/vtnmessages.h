#pragma once

// The texts of the VTNet components' exceptions. The Traditional Chinese ones
// are Big5 bytes, as the maker's tools have always shown them; keep them
// byte for byte. Those taking arguments are printf formats.

namespace OrvCtrl::VtnMsg {

// Converter link.
inline constexpr const char* NowConnected =
    "Illegal property access, because TVTNetViaDpu232 now in connected state !!!";
inline constexpr const char* NotConnected =
    "Illegal property access, because TVTNetViaDpu232 not in connected state !!!";
// Argument: the event's name ("OnConnectOK").
inline constexpr const char* NoHandler =
    "The event \"%s\" of TVTNetViaDpu232, which handler is not specified !!!";
inline constexpr const char* OpenUartFail =
    "Open UART fail, when peform TVTNetViaDpu232::Connect() !!!";
inline constexpr const char* BytesOfDatasTooSmall =
    "The argument of .BytesOfDatas too small, when perform TVTNetViaDpu232::SendVtnPacket(...) !!!";
inline constexpr const char* BytesOfDatasTooLarge =
    "The argument of .BytesOfDatas too large, when perform TVTNetViaDpu232::SendVtnPacket(...) !!!";

// Nodes and topology.
inline constexpr const char* AddressNotInTopologic =
    "\nThe address of node is not belong to the topologic of VTNet !!!\n";
inline constexpr const char* NotADpu4i4o =
    "\nThe address of node is not a TDpu4i4o component !!!\n";
inline constexpr const char* CanNotAllocate = "\nErr: Can not allocate memory !!!\n";
inline constexpr const char* DuplicatedAddress =
    "\nErr: Duplicated VTNet Address !!!\nVtnSegId  = 0x%02X\nVtnNodeId = 0x%02X\n";
inline constexpr const char* SegIdRange = "Invalid value, the range must be 0x00~0x80 !!!";
inline constexpr const char* NodeIdRange = "Invalid value, the range must be 0x00~0x7F !!!";
inline constexpr const char* NoFileName =
    "\nErr: The FileName property is not defined !!!\nComponentName = %s\n";
// The topology file's errors: the loader adds the component, the file and the
// place in the file, one line each.
inline constexpr const char* IniNotExist = "The topologic ini file is not exist";
inline constexpr const char* IniCanNotRead = "Can not read the topologic ini file"; // + Reason
inline constexpr const char* InvalidHeader = "Invalid header in the topologic ini file";
inline constexpr const char* InvalidSyntax = "Invalid syntax in the topologic ini file";
inline constexpr const char* UnknownDevice = "Unknown Device() in the topologic ini file";
inline constexpr const char* NotConform = "Current Topologic is not conform to topologic ini file";

inline constexpr const char* CreateDefaultFailed =
    "\nErr: CreateDefaultVtnComponentAndAddToVtnTopologic() !!!\n";

// A node declared in the file has no component and no model for its class.
// Arguments: component name, file name, segment, node.
inline constexpr const char* DeclaredButNoComponent =
    "\nErr: \xb5o\xb2{\xa4@\xad\xd3\xa9\xf3\xa9\xdd\xe5N INI "
    "\xc0\xc9\xa4\xba\xa6\xb3\xab\xc5\xa7i\xa8\xcf\xa5\xce\xaa\xba\xa4\xb8\xa5\xf3,"
    "\xa6\xfd\xabo\xa4S\xa7\xe4\xa4\xa3\xa8\xec\n\xb8\xd3\xa4\xb8\xa5\xf3\xa6s\xa6"
    "b\xaa\xba\xb1\xa1\xa7\xce,\xa6P\xae\xc9\xa4]"
    "\xa7\xe4\xa4\xa3\xa8\xec\xb8\xd3\xc3\xfe\xab\xac\xa4\xb8\xa5\xf3\xaa\xba DefHandler "
    "!!!\nComponentName = %s\nFileName = %s\nVtnSegId = 0x%02X\nVtnNodeId = 0x%02X\n";

// A component sits in the topology although the file does not declare it.
// Arguments: component name, file name, segment, node.
inline constexpr const char* RegisteredButNotDeclared =
    "\nErr: \xb5o\xb2{\xa4@\xad\xd3\xa9\xf3\xa9\xdd\xe5N INI "
    "\xc0\xc9\xa4\xba\xa8\xc3\xa8S\xa6\xb3\xab\xc5\xa7i\xa8\xcf\xa5\xce\xaa\xba\xa4\xb8\xa5\xf3\n"
    "\xa6\xfd\xb8\xd3\xa4\xb8\xa5\xf3\xa4\xa3\xa6\xfd\xa4w\xb8g\xa6s\xa6"
    "b,\xa6\xd3\xa5"
    "B\xa4]\xa4w\xb1\xbe\xa4J\xa4"
    "F\xa9\xdd\xe5N\xb5\xb2\xba"
    "c\xa4\xba !!!\nComponentName = %s\nFileName = %s\nVtnSegId = 0x%02X\nVtnNodeId = 0x%02X\n";

// Copy construction from a model of another class.
inline constexpr const char* CopyClassDiffers =
    "\nErr: VTNet "
    "\xa4\xb8\xa5\xf3\xaa\xba\xc3\xfe\xa7O\xa4\xa3\xa6P,"
    "\xacG\xb5L\xaak\xb6i\xa6\xe6\xab\xfe\xa8\xa9\xa6\xa1\xaa\xba\xab\xd8\xba"
    "c !!!\n";

} // namespace OrvCtrl::VtnMsg
