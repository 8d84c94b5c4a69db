#include "fieldbus/tdpu4i4o.h"
#include "fieldbus/tvtnet_rnsm.h"
#include "fieldbus/vtnmessages.h"
#include "util/eygeneral.h"

#include <gtest/gtest.h>

#include <QPointer>
#include <QVariant>

#include <vector>

using namespace OrvCtrl;
using YVclUtil::EYGeneral;

namespace {

// A master that keeps the packets its nodes send.
class TPacketRecorder : public TVTNet_Rnsm {
public:
    TPacketRecorder() : TVTNet_Rnsm(nullptr) {}
    void SendVtnPacket(const _SVTNTXDPACKET& p) override {
        Sent.emplace_back(std::vector<uint8_t>{p.VtnSegId, p.VtnNodeId, p.BytesOfDatas});
        for (int i = 0; i < p.BytesOfDatas; ++i)
            Sent.back().push_back(p.Datas[i]);
    }
    std::vector<std::vector<uint8_t>> Sent;
};

_SVTNRXDPACKET Rx(std::vector<uint8_t> bytes) {
    _SVTNRXDPACKET p;
    p.VtnSegId = bytes[0];
    p.VtnNodeId = bytes[1];
    p.BytesOfDatas = bytes[2];
    for (size_t i = 3; i < bytes.size(); ++i)
        p.Datas[i - 3] = bytes[i];
    return p;
}

} // namespace

TEST(VtnNodes, Defaults) {
    TVTNet net(nullptr);
    EXPECT_EQ(net.pr_VtnClsId(), 0);
    EXPECT_EQ(net.pr_VtnSegId(), 0x80);
    EXPECT_EQ(net.pr_VtnNodeId(), 0);
    TDpu4i4o io(nullptr);
    EXPECT_EQ(io.pr_VtnClsId(), 0x80);
    EXPECT_EQ(io.pr_VtnSegId(), 0x80);
    EXPECT_EQ(io.pr_BindTo(), nullptr);
    EXPECT_EQ(io.pr_PropertySetBits(), 0);
    EXPECT_FALSE(io.pr_BitOfX(4));
    EXPECT_FALSE(io.pr_BitOfY(-1));
}

TEST(VtnNodes, BaseFilterStoresRepliesAndFallsThroughWhenUnassigned) {
    TVTNet net(nullptr);
    std::vector<int> seen;
    net.OnUnfilteredRxdVtnPacket = [&](QObject* s, const _SVTNRXDPACKET& p) {
        EXPECT_EQ(s, &net);
        seen.push_back(p.Datas[0]);
    };
    net.FilteringReceivedVtnPacket(Rx({1, 2, 2, 19, 0x07}));
    EXPECT_EQ(net.pr_GotVtnProtocolVersion(), 0x07);
    EXPECT_EQ(seen, std::vector<int>{19}); // no OnGotVtnProtocolVersion: unfiltered

    int got = 0;
    net.OnGotVtnClsId = [&](QObject*) { ++got; };
    net.FilteringReceivedVtnPacket(Rx({1, 2, 2, 20, 0x80}));
    EXPECT_EQ(got, 1);
    EXPECT_EQ(net.pr_GotVtnClsId(), 0x80);
    EXPECT_EQ(seen.size(), 1u); // handled: not passed on

    net.FilteringReceivedVtnPacket(Rx({1, 2, 4, 33, 0xA, 0xB, 0xC}));
    EXPECT_EQ(net.pr_PacketUnreachableInfo(0), 0xA);
    EXPECT_EQ(net.pr_PacketUnreachableInfo(2), 0xC);
    EXPECT_EQ(net.pr_PacketUnreachableInfo(3), 0);
    net.FilteringReceivedVtnPacket(Rx({1, 2, 2, 0x55, 0}));
    EXPECT_EQ(seen, (std::vector<int>{19, 33, 0x55}));
}

TEST(VtnNodes, IdRangesOfNodes) {
    TVTNet_Node node(nullptr);
    try {
        node.pw_VtnSegId(0x81);
        FAIL();
    } catch (const EYGeneral& e) {
        EXPECT_EQ(e.Message, VtnMsg::SegIdRange);
    }
    try {
        node.pw_VtnNodeId(0x80);
        FAIL();
    } catch (const EYGeneral& e) {
        EXPECT_EQ(e.Message, VtnMsg::NodeIdRange);
    }
    node.pw_VtnSegId(0x80);
    node.pw_VtnNodeId(0x7F);
    EXPECT_EQ(node.pr_PropertySetBits(), TVTNet_Node::psb_VtnSegId | TVTNet_Node::psb_VtnNodeId);
}

TEST(VtnNodes, LoadedRegistersOnlyWithAllThreeSet) {
    TPacketRecorder master;
    TDpu4i4o a(nullptr);
    a.pw_BindTo(&master);
    a.pw_VtnSegId(0x01);
    a.Loaded();
    EXPECT_EQ(master.pr_TopologicVtnComponent(0x01, 0x00), nullptr);
    a.pw_VtnNodeId(0x02);
    a.Loaded();
    EXPECT_EQ(master.pr_TopologicVtnComponent(0x01, 0x02), &a);
    EXPECT_EQ(master.pr_TopologicFlags(0x01, 0x02), vtf_RegisteredByLoaded);

    // A second one at the same address fails at run time...
    TDpu4i4o b(nullptr);
    b.pw_BindTo(&master);
    b.pw_VtnSegId(0x01);
    b.pw_VtnNodeId(0x02);
    EXPECT_THROW(b.Loaded(), EYGeneral);
    EXPECT_THROW(TDpu4i4o(nullptr, 0x80, 0x01, 0x02, &master), EYGeneral);
    // ...and is let through while a form designer edits it.
    QObject designedForm;
    designedForm.setProperty(TVTNet::DesigningProperty, true);
    TDpu4i4o c(&designedForm);
    EXPECT_TRUE(c.pr_Designing());
    c.pw_BindTo(&master);
    c.pw_VtnSegId(0x01);
    c.pw_VtnNodeId(0x02);
    EXPECT_NO_THROW(c.Loaded());
    EXPECT_NO_THROW(TDpu4i4o(&designedForm, 0x80, 0x01, 0x02, &master));
    EXPECT_EQ(master.pr_TopologicVtnComponent(0x01, 0x02), &a);
}

TEST(VtnNodes, DestroyedOrReboundNodeLeavesTheTopology) {
    TPacketRecorder master;
    TPacketRecorder other;
    auto* a = new TDpu4i4o(nullptr, 0x80, 0x01, 0x02, &master);
    EXPECT_EQ(master.pr_TopologicFlags(0x01, 0x02), vtf_RegisteredByConstructor);
    delete a;
    EXPECT_EQ(master.pr_TopologicVtnComponent(0x01, 0x02), nullptr);
    // A packet for the address now goes to the master's own events, not a dead node.
    int unhandled = 0;
    master.OnUnhandledRxdVtnPacket = [&](QObject*, const _SVTNRXDPACKET&) { ++unhandled; };
    master.FilteringReceivedVtnPacket(Rx({0x01, 0x02, 2, 0x81, 0x01}));
    EXPECT_EQ(unhandled, 1);

    TDpu4i4o b(nullptr, 0x80, 0x01, 0x03, &master);
    b.pw_BindTo(&other);
    EXPECT_EQ(master.pr_TopologicVtnComponent(0x01, 0x03), nullptr);

    // A topology destroyed first leaves the node unbound, not dangling.
    auto* shortLived = new TPacketRecorder;
    TDpu4i4o c(nullptr, 0x80, 0x01, 0x04, shortLived);
    delete shortLived;
    EXPECT_EQ(c.pr_BindTo(), nullptr);
    EXPECT_NO_THROW(c.pw_Yout(1));
}

TEST(VtnNodes, Dpu4i4oPacketsAndImages) {
    TPacketRecorder master;
    TDpu4i4o io(nullptr, 0x80, 0x01, 0x02, &master);
    io.pw_Yout(0x01);
    io.pw_BitOfY(2, true);
    io.pw_BitOfY(4, true); // ignored
    io.pw_BitOfY(0, false);
    io.QueryVtnProtocolVersion();
    io.QueryVtnClsId();
    io.QueryVtnCustomerId();
    EXPECT_EQ(master.Sent, (std::vector<std::vector<uint8_t>>{{1, 2, 2, 0x84, 0x01},
                                                              {1, 2, 2, 0x84, 0x05},
                                                              {1, 2, 2, 0x84, 0x04},
                                                              {1, 2, 1, 3},
                                                              {1, 2, 1, 4},
                                                              {1, 2, 1, 5}}));
    EXPECT_TRUE(io.pr_BitOfY(2));

    std::vector<std::pair<int, int>> changes;
    io.OnInputChanged = [&](QObject* s, uint8_t seg, uint8_t node) {
        EXPECT_EQ(s, &io);
        changes.emplace_back(seg, node);
    };
    master.FilteringReceivedVtnPacket(Rx({1, 2, 2, 0x81, 0x01}));
    master.FilteringReceivedVtnPacket(Rx({1, 2, 2, 0x81, 0x03}));
    EXPECT_EQ(io.pr_Xin(), 0x03);
    EXPECT_EQ(io.pr_Old_Xin(), 0x01);
    EXPECT_TRUE(io.pr_BitOfX(1));
    EXPECT_FALSE(io.pr_Old_BitOfX(1));
    EXPECT_EQ(changes.size(), 2u);
    EXPECT_EQ(changes[0], std::make_pair(1, 2));

    // An unasked reset puts the outputs back; an asked one leaves them off.
    master.Sent.clear();
    int resets = 0;
    io.OnSuccessfulReset = [&](QObject*) { ++resets; };
    master.FilteringReceivedVtnPacket(Rx({1, 2, 1, 31}));
    EXPECT_EQ(master.Sent, (std::vector<std::vector<uint8_t>>{{1, 2, 2, 0x84, 0x04}}));
    master.Sent.clear();
    io.RequestToReset();
    EXPECT_EQ(io.pr_Yout(), 0);
    master.FilteringReceivedVtnPacket(Rx({1, 2, 1, 31}));
    EXPECT_EQ(master.Sent, (std::vector<std::vector<uint8_t>>{{1, 2, 1, 15}}));
    EXPECT_EQ(resets, 2);
}

TEST(VtnNodes, CopyConstruction) {
    TPacketRecorder master;
    TDpu4i4o model(nullptr);
    int changes = 0;
    model.OnInputChanged = [&](QObject*, uint8_t, uint8_t) { ++changes; };
    model.OnGotVtnCustomerId = [](QObject*) {};
    model.FilteringReceivedVtnPacket(Rx({0x80, 0, 2, 0x81, 0x09}));
    TDpu4i4o copy(nullptr, 0x80, 0x05, 0x06, &master, &model);
    EXPECT_EQ(copy.pr_VtnSegId(), 0x05);
    EXPECT_EQ(copy.pr_VtnNodeId(), 0x06);
    EXPECT_EQ(copy.pr_Xin(), 0x09);
    EXPECT_TRUE(static_cast<bool>(copy.OnGotVtnCustomerId));
    EXPECT_EQ(master.pr_TopologicVtnComponent(0x05, 0x06), &copy);
    master.FilteringReceivedVtnPacket(Rx({0x05, 0x06, 2, 0x81, 0x01}));
    EXPECT_EQ(changes, 2);

    try {
        TDpu4i4o wrong(nullptr, 0x81, 0x05, 0x07, &master, &model);
        FAIL();
    } catch (const EYGeneral& e) {
        EXPECT_EQ(e.Message, VtnMsg::CopyClassDiffers);
    }
    EXPECT_EQ(master.pr_TopologicVtnComponent(0x05, 0x07), nullptr);
    TVTNet base(nullptr, 0x42, 1, 1);
    EXPECT_THROW(TVTNet(nullptr, 0x43, 1, 1, &base), EYGeneral);
    TVTNet baseCopy(nullptr, 0x42, 2, 3, &base);
    EXPECT_EQ(baseCopy.pr_VtnSegId(), 2);
}

TEST(VtnNodes, MasterRoutesAndDropsOutOfRange) {
    TPacketRecorder master;
    TDpu4i4o io(nullptr, 0x80, 0x01, 0x02, &master);
    int unhandled = 0, version = 0;
    master.OnUnhandledRxdVtnPacket = [&](QObject*, const _SVTNRXDPACKET&) { ++unhandled; };
    master.OnUnhandledGotVtnProtocolVersion = [&](QObject* s) {
        EXPECT_EQ(s, &master);
        ++version;
    };
    EXPECT_TRUE(static_cast<bool>(master.OnGotVtnProtocolVersion)); // one and the same event
    master.FilteringReceivedVtnPacket(Rx({0x81, 0x02, 2, 0x81, 1}));
    master.FilteringReceivedVtnPacket(Rx({0x01, 0x80, 2, 0x81, 1}));
    EXPECT_EQ(unhandled + version, 0);
    master.FilteringReceivedVtnPacket(Rx({0x01, 0x03, 2, 19, 7}));
    EXPECT_EQ(version, 1);
    EXPECT_EQ(master.pr_GotVtnProtocolVersion(), 7);
    master.FilteringReceivedVtnPacket(Rx({0x01, 0x02, 2, 19, 9}));
    EXPECT_EQ(io.pr_GotVtnProtocolVersion(), 9);
    EXPECT_EQ(version, 1);
}
