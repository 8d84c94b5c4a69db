#include "fieldbus/tdpu4i4o.h"
#include "fieldbus/tvtnet_rnsm.h"
#include "fieldbus/vtnmessages.h"
#include "ttopologyfile.h"
#include "support/tboundedcall.h"
#include "support/tunprivilegedfiles.h"
#include "util/eygeneral.h"

#include <gtest/gtest.h>

#include <QPointer>

#include <iconv.h>
#include <sys/stat.h>

using namespace OrvCtrl;
using YVclUtil::EYGeneral;

namespace {

std::string Travel(const char* device, const char* node) {
    return std::string("Device( \"") + device + "\" ) , NetNodeId( " + node + " )";
}

// Runs the loader; returns the exception's message, or "" when it passed.
std::string Load(TVTNet_Topologic& topo) {
    try {
        topo.LoadAndChkTopologicIniAndAssignDefaultVtnComponentToVtnTopologic();
        return {};
    } catch (const EYGeneral& e) {
        EXPECT_EQ(e.Code, -1);
        return e.Message;
    }
}

std::string Big5ToUtf8(const std::string& in) {
    iconv_t cd = iconv_open("UTF-8", "BIG5");
    if (cd == reinterpret_cast<iconv_t>(-1)) return "<no iconv>";
    std::string out(in.size() * 4 + 16, '\0');
    char* src = const_cast<char*>(in.data());
    size_t srcLeft = in.size();
    char* dst = out.data();
    size_t dstLeft = out.size();
    const size_t r = iconv(cd, &src, &srcLeft, &dst, &dstLeft);
    iconv_close(cd);
    if (r == static_cast<size_t>(-1)) return "<bad big5>";
    out.resize(out.size() - dstLeft);
    return out;
}

struct Master {
    QObject form;
    TVTNet_Rnsm* rnsm = new TVTNet_Rnsm(&form);
    TDpu4i4o* model = new TDpu4i4o(&form);
    fbtest::TTopologyFile files;

    Master() {
        rnsm->setObjectName("VTNet1");
        rnsm->pw_DefHandler_Dpu4i4o(model);
    }
    void File(const std::string& body, const std::string& sig = "ORV") {
        rnsm->pw_FileName(files.Write(fbtest::TTopologyFile::WithHeader(body, sig)));
    }
};

} // namespace

TEST(VtnTopologic, TheThreeChineseMessagesAreBig5) {
    EXPECT_EQ(Big5ToUtf8(VtnMsg::DeclaredButNoComponent),
              "\nErr: 發現一個於拓墣 INI 檔內有宣告使用的元件,但卻又找不到\n"
              "該元件存在的情形,同時也找不到該類型元件的 DefHandler !!!\nComponentName = %s\n"
              "FileName = %s\nVtnSegId = 0x%02X\nVtnNodeId = 0x%02X\n");
    EXPECT_EQ(Big5ToUtf8(VtnMsg::RegisteredButNotDeclared),
              "\nErr: 發現一個於拓墣 INI 檔內並沒有宣告使用的元件\n"
              "但該元件不但已經存在,而且也已掛入了拓墣結構內 !!!\nComponentName = %s\n"
              "FileName = %s\nVtnSegId = 0x%02X\nVtnNodeId = 0x%02X\n");
    EXPECT_EQ(Big5ToUtf8(VtnMsg::CopyClassDiffers),
              "\nErr: VTNet 元件的類別不同,故無法進行拷貝式的建構 !!!\n");
}

TEST(VtnTopologic, TravelValueSyntax) {
    std::string dev;
    uint32_t node = 0;
    EXPECT_TRUE(
        TVTNet_Topologic::ParseTravelValue("Device(\"DPU_4i4o\"),NetNodeId(0x05)", dev, node));
    EXPECT_EQ(dev, "DPU_4i4o");
    EXPECT_EQ(node, 5u);
    EXPECT_TRUE(TVTNet_Topologic::ParseTravelValue(
        "  Device(  \"My Dev\"\t)  ,  NetNodeId(  0x7f  )", dev, node));
    EXPECT_EQ(dev, "My Dev");
    EXPECT_EQ(node, 0x7Fu);
    // Text after the node id is not looked at.
    EXPECT_TRUE(TVTNet_Topologic::ParseTravelValue("Device(\"x\"),NetNodeId(0x1A", dev, node));
    EXPECT_EQ(node, 0x1Au);
    for (const char* bad : {"Device(\"x\"),NetNodeId(0X05)", "Device(\"x\"),NetNodeId(05)",
                            "Device(\"\"),NetNodeId(0x05)", "Device (\"x\"),NetNodeId(0x05)",
                            "device(\"x\"),NetNodeId(0x05)", "Device(\"x\")NetNodeId(0x05)",
                            "Device(\"x\"),NetNodeId(0xZZ)", "Device(\"x", ""}) {
        EXPECT_FALSE(TVTNet_Topologic::ParseTravelValue(bad, dev, node)) << bad;
    }
}

TEST(VtnTopologic, HeaderCheck) {
    Master m;
    EXPECT_NE(Load(*m.rnsm).find("The FileName property is not defined"), std::string::npos);
    m.rnsm->pw_FileName(m.files.Path("missing.ini"));
    const std::string missing = Load(*m.rnsm);
    EXPECT_EQ(missing, "\nErr: The topologic ini file is not exist !!!\nComponentName = VTNet1\n"
                       "FileName = " +
                           m.files.Path("missing.ini") + "\n");

    // Lower-case signature passes.
    m.File(std::string("[NetSegmentId_0x80]\r\nTravel_000=") + Travel("DPU_4i4o", "0xFF") + "\r\n",
           "orv");
    EXPECT_EQ(Load(*m.rnsm), "");

    // Other segments do not stand in for NetSegmentId_0x80.
    m.File(std::string("[NetSegmentId_0x01]\r\nTravel_000=") + Travel("DPU_4i4o", "0x05") + "\r\n");
    const std::string noLast = Load(*m.rnsm);
    EXPECT_EQ(noLast,
              "\nErr: Invalid header in the topologic ini file !!!\nComponentName = VTNet1\n"
              "FileName = " +
                  m.rnsm->pr_FileName() + "\n");

    m.File(std::string("[NetSegmentId_0x80]\r\nTravel_000=") + Travel("DPU_4i4o", "0xFF") + "\r\n",
           "ORVX");
    EXPECT_NE(Load(*m.rnsm).find("Invalid header"), std::string::npos);
}

TEST(VtnTopologic, DeclaredNodesGetOneDefaultComponentEach) {
    Master m;
    m.model->OnInputChanged = [](QObject*, uint8_t, uint8_t) {};
    m.File(std::string("[NetSegmentId_0x01]\r\n") + "Travel_000=" + Travel("DPU_4i4o", "0x02") +
           "\r\n" + "Travel_007=" + Travel("dpu_4I4O", "0x02") + "\r\n" + // same node again
           "Travel_256=" + Travel("DPU_4i4o", "0x7F") + "\r\n" +
           "Travel_010=" + Travel("DPU_4i4o", "0xFF") + "\r\n" + // not in use
           "[NetSegmentId_0x80]\r\nTravel_000=" + Travel("DPU_4i4o", "0x00") + "\r\n");
    ASSERT_EQ(Load(*m.rnsm), "");

    TDpu4i4o* a = m.rnsm->pr_Dpu4i4o(0x01, 0x02);
    EXPECT_EQ(a->parent(), m.rnsm);
    EXPECT_EQ(a->pr_VtnSegId(), 0x01);
    EXPECT_EQ(a->pr_VtnNodeId(), 0x02);
    EXPECT_EQ(a->pr_BindTo(), m.rnsm);
    EXPECT_TRUE(static_cast<bool>(a->OnInputChanged)); // copied from the model
    EXPECT_EQ(m.rnsm->pr_TopologicFlags(0x01, 0x02),
              vtf_CreatedByTopologic | vtf_DeclaredInIniFile);
    EXPECT_NE(m.rnsm->pr_Dpu4i4o(0x01, 0x7F), a);
    EXPECT_NE(m.rnsm->pr_Dpu4i4o(0x80, 0x00), nullptr);
    EXPECT_EQ(m.rnsm->pr_TopologicClsId(0x01, 0x03), 0u);
    EXPECT_EQ(m.rnsm->findChildren<TDpu4i4o*>().size(), 3);

    // Loading again finds them registered and declared: nothing new is made.
    ASSERT_EQ(Load(*m.rnsm), "");
    EXPECT_EQ(m.rnsm->findChildren<TDpu4i4o*>().size(), 3);

    // The topology destroys what it created, and only that.
    QPointer<TDpu4i4o> watch = a;
    m.rnsm->FreeVtnTopologic();
    EXPECT_TRUE(watch.isNull());
    EXPECT_FALSE(QPointer<TDpu4i4o>(m.model).isNull());
    EXPECT_EQ(m.rnsm->pr_TopologicClsId(0x01, 0x02), 0u);
}

TEST(VtnTopologic, LoaderErrors) {
    Master m;
    const std::string seg80 =
        std::string("[NetSegmentId_0x80]\r\nTravel_000=") + Travel("DPU_4i4o", "0xFF") + "\r\n";

    m.File("[NetSegmentId_0x05]\r\nTravel_003=" + Travel("DPU_4i4o", "0X05") + "\r\n" + seg80);
    EXPECT_EQ(Load(*m.rnsm),
              "\nErr: Invalid syntax in the topologic ini file !!!\nComponentName = VTNet1\n"
              "FileName = " +
                  m.rnsm->pr_FileName() +
                  "\nIniSection = NetSegmentId_0x05\nIniKey = Travel_003\n");

    m.File("[NetSegmentId_0x05]\r\nTravel_001=" + Travel("DPU_8i8o", "0x05") + "\r\n" + seg80);
    EXPECT_EQ(Load(*m.rnsm),
              "\nErr: Unknown Device() in the topologic ini file !!!\nComponentName = VTNet1\n"
              "FileName = " +
                  m.rnsm->pr_FileName() +
                  "\nIniSection = NetSegmentId_0x05\nIniKey = Travel_001\nDevice = DPU_8i8o\n");

    m.File("[NetSegmentId_0x05]\r\nTravel_001=" + Travel("DPU_4i4o", "0x80") + "\r\n" + seg80);
    EXPECT_EQ(Load(*m.rnsm), VtnMsg::AddressNotInTopologic);

    // A declared node with neither a component nor a model.
    m.rnsm->pw_DefHandler_Dpu4i4o(nullptr);
    m.File("[NetSegmentId_0x05]\r\nTravel_001=" + Travel("DPU_4i4o", "0x06") + "\r\n" + seg80);
    EXPECT_EQ(Load(*m.rnsm), YVclUtil::Format(VtnMsg::DeclaredButNoComponent, "VTNet1",
                                              m.rnsm->pr_FileName().c_str(), 5, 6));

    // A slot held by a component of another class.
    TVTNet other(nullptr, 0x42, 0x05, 0x06);
    m.rnsm->AddVtnComponentToVtnTopologic(&other, vtf_RegisteredByConstructor);
    EXPECT_EQ(Load(*m.rnsm), "\nErr: Current Topologic is not conform to topologic ini file !!!\n"
                             "ComponentName = VTNet1\nFileName = " +
                                 m.rnsm->pr_FileName() +
                                 "\nIniSection = NetSegmentId_0x05\nIniKey = Travel_001\n"
                                 "Device = DPU_4i4o\n");
    m.rnsm->RemoveVtnComponentFromVtnTopologic(&other);
}

// The topology file is only read: a write-protected one loads. What is no
// regular file is refused at once with its reason, not called missing.
TEST(VtnTopologic, FileMustBeRegularAndMayBeWriteProtected) {
    Master m;
    m.rnsm->pw_FileName(m.files.Write(fbtest::EmptyTopology()));
    const std::string folder = m.files.Path("");
    ASSERT_EQ(::chmod(folder.c_str(), 0777), 0);
    ASSERT_EQ(::chmod(m.rnsm->pr_FileName().c_str(), 0444), 0);
    {
        TUnprivilegedFiles nobody;
        ASSERT_TRUE(nobody.Effective());
        EXPECT_EQ(Load(*m.rnsm), "");
    }

    const std::string dir = m.files.Path("topo.dir");
    ASSERT_EQ(::mkdir(dir.c_str(), 0700), 0);
    m.rnsm->pw_FileName(dir);
    EXPECT_EQ(Load(*m.rnsm),
              "\nErr: Can not read the topologic ini file !!!\nComponentName = VTNet1\n"
              "FileName = " +
                  dir + "\nReason = Is a directory\n");

    const std::string fifo = m.files.Path("topo.fifo");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    m.rnsm->pw_FileName(fifo);
    std::string message;
    EXPECT_TRUE(TBoundedCall::Run([&] { message = Load(*m.rnsm); }, fifo));
    EXPECT_NE(message.find("FileName = " + fifo + "\nReason = Not a regular file\n"),
              std::string::npos)
        << message;

    m.rnsm->pw_FileName(m.files.Path("absent.ini"));
    EXPECT_NE(Load(*m.rnsm).find("Err: The topologic ini file is not exist !!!"),
              std::string::npos);
}

TEST(VtnTopologic, RegisteredNodeMissingFromTheFileFailsTheLoad) {
    Master m;
    TDpu4i4o placed(&m.form, evci_Dpu4i4o, 0x03, 0x04, m.rnsm);
    m.File(std::string("[NetSegmentId_0x80]\r\nTravel_000=") + Travel("DPU_4i4o", "0xFF") + "\r\n");
    EXPECT_EQ(Load(*m.rnsm), YVclUtil::Format(VtnMsg::RegisteredButNotDeclared, "VTNet1",
                                              m.rnsm->pr_FileName().c_str(), 3, 4));
    // Declared, it is kept as it is (no default made for it).
    m.File(std::string("[NetSegmentId_0x03]\r\nTravel_000=") + Travel("DPU_4i4o", "0x04") +
           "\r\n[NetSegmentId_0x80]\r\nTravel_000=" + Travel("DPU_4i4o", "0xFF") + "\r\n");
    EXPECT_EQ(Load(*m.rnsm), "");
    EXPECT_EQ(m.rnsm->pr_Dpu4i4o(0x03, 0x04), &placed);
    EXPECT_EQ(m.rnsm->pr_TopologicFlags(0x03, 0x04),
              vtf_RegisteredByConstructor | vtf_DeclaredInIniFile);
}

TEST(VtnTopologic, RegistrationAndLookups) {
    TVTNet_Topologic topo(nullptr);
    TVTNet a(nullptr, 0x80, 0x10, 0x20);
    TVTNet b(nullptr, 0x80, 0x10, 0x20);
    EXPECT_EQ(topo.pr_TopologicVtnComponent(0x10, 0x20), nullptr); // unallocated segment
    topo.AddVtnComponentToVtnTopologic(&a, vtf_RegisteredByLoaded);
    topo.AddVtnComponentToVtnTopologic(&a, vtf_RegisteredByConstructor); // same one again
    EXPECT_EQ(topo.pr_TopologicFlags(0x10, 0x20), vtf_RegisteredByConstructor);
    try {
        topo.AddVtnComponentToVtnTopologic(&b, vtf_RegisteredByLoaded);
        FAIL() << "duplicate accepted";
    } catch (const EYGeneral& e) {
        EXPECT_EQ(e.Message,
                  "\nErr: Duplicated VTNet Address !!!\nVtnSegId  = 0x10\nVtnNodeId = 0x20\n");
    }
    EXPECT_EQ(topo.pr_TopologicVtnComponent(0x10, 0x20), &a);

    TVTNet outside(nullptr, 0x80, 0x81, 0x00);
    EXPECT_THROW(topo.AddVtnComponentToVtnTopologic(&outside, 0), EYGeneral);
    EXPECT_THROW(topo.pr_TopologicClsId(0x80, 0x80), EYGeneral);
    EXPECT_THROW(topo.pr_TopologicVtnComponent(0x81, 0x00), EYGeneral);

    TVTNet_Rnsm rnsm(nullptr);
    EXPECT_EQ(rnsm.pr_VtnClsId(), evci_Rnsm);
    EXPECT_EQ(rnsm.pr_VtnNodeId(), 0x80);
    TVTNet plain(nullptr, 0x42, 0x01, 0x01);
    rnsm.AddVtnComponentToVtnTopologic(&plain, 0);
    try {
        rnsm.pr_Dpu4i4o(0x01, 0x01);
        FAIL();
    } catch (const EYGeneral& e) {
        EXPECT_EQ(e.Message, VtnMsg::NotADpu4i4o);
    }
    try {
        rnsm.pr_Dpu4i4o(0x02, 0x01); // unallocated segment
        FAIL();
    } catch (const EYGeneral& e) {
        EXPECT_EQ(e.Message, VtnMsg::AddressNotInTopologic);
    }
    rnsm.RemoveVtnComponentFromVtnTopologic(&plain);
}
