// inspect, diff and recover run as the tool, in a start-up directory holding
// the installation's configuration, glyph library and sample project.

#include "util/fileaccess.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

using testing::HasSubstr;

namespace {

struct TRun {
    int Status = -1;
    std::string Out;
    std::string Err;
};

std::vector<uint8_t> ReadAll(const QString& Path) {
    std::vector<uint8_t> data;
    std::string error;
    YVclUtil::ReadWholeFile(Path.toStdString(), data, error);
    return data;
}

class InspectCliTest : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(Dir.isValid());
        for (const char* name :
             {"ORVDVE510TK3.INI", "D510TK3.GLB", "sample.dcf", "SPACE_240x240.bmp"})
            ASSERT_TRUE(QFile::copy(QString(DPU_ASSETS_DIR) + "/" + name, Dir.filePath(name)))
                << name;
        const TRun built = Tool({"make-rom", "sample.dcf", "-o", "SAMPLE.BIN"});
        ASSERT_EQ(built.Status, 0) << built.Err;
    }

    TRun Tool(const QStringList& Args) {
        QProcess p;
        p.setWorkingDirectory(Dir.path());
        p.start(QCoreApplication::applicationDirPath() + "/dpu510tk3", Args);
        TRun r;
        if (!p.waitForFinished(60000)) return r;
        r.Status = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -2;
        r.Out = p.readAllStandardOutput().toStdString();
        r.Err = p.readAllStandardError().toStdString();
        return r;
    }

    QTemporaryDir Dir;
};

TEST_F(InspectCliTest, InspectPrintsSettingsAndCodesAndRefusesOthers) {
    const TRun r = Tool({"inspect", "SAMPLE.BIN"});
    ASSERT_EQ(r.Status, 0) << r.Err;
    EXPECT_THAT(r.Out, HasSubstr("CUSIDCODE: \"TK01\""));
    EXPECT_THAT(r.Out, HasSubstr("DISPHV: 1 (library)"));
    EXPECT_THAT(r.Out, HasSubstr("  code   2 (02): LOBBY\n"));
    EXPECT_THAT(r.Out, HasSubstr("  code  12 (0C): 10\n"));

    QFile cut(Dir.filePath("CUT.BIN"));
    ASSERT_TRUE(cut.open(QIODevice::WriteOnly));
    const std::vector<uint8_t> bytes = ReadAll(Dir.filePath("SAMPLE.BIN"));
    cut.write(reinterpret_cast<const char*>(bytes.data()), 5000);
    cut.close();
    const TRun bad = Tool({"inspect", "CUT.BIN", "--json"});
    EXPECT_EQ(bad.Status, 1);
    EXPECT_THAT(bad.Err, HasSubstr("offset 0x1388 (end of file)"));
    const QJsonObject refusal =
        QJsonDocument::fromJson(QByteArray::fromStdString(bad.Out)).object();
    EXPECT_FALSE(refusal["valid"].toBool());
    EXPECT_EQ(refusal["offset"].toInt(), 5000);

    EXPECT_EQ(Tool({"inspect"}).Status, 2);
    EXPECT_EQ(Tool({"inspect", "SAMPLE.BIN", "--bogus"}).Status, 2);
    EXPECT_EQ(Tool({"inspect", "SAMPLE.BIN", "--png"}).Status, 2);
}

TEST_F(InspectCliTest, JsonAndPicturesDescribeTheImage) {
    const TRun r = Tool({"inspect", "SAMPLE.BIN", "--json", "--png", "pictures"});
    ASSERT_EQ(r.Status, 0) << r.Err;
    QJsonParseError error;
    const QJsonObject root =
        QJsonDocument::fromJson(QByteArray::fromStdString(r.Out), &error).object();
    ASSERT_EQ(error.error, QJsonParseError::NoError) << error.errorString().toStdString();
    EXPECT_TRUE(root["valid"].toBool());
    EXPECT_EQ(root["settings"].toObject()["PWRSAVING"].toInt(), 2);
    EXPECT_EQ(root["messages"].toArray().size(), 40);
    const QJsonArray ctbl2 = root["tables"].toArray()[2].toObject()["codes"].toArray();
    EXPECT_EQ(ctbl2[0].toObject()["kind"].toString(), "user_bitmap");
    EXPECT_EQ(ctbl2[2].toObject()["label"].toString(), "1"); // "01" shows its second digit alone
    const QJsonObject users = root["user_bitmaps"].toArray()[0].toObject();
    EXPECT_EQ(users["label"].toString(), "LOBBY");
    EXPECT_EQ(users["data"].toString().size(), 1024); // 512 bytes in hex
    for (const char* sheet :
         {"floor-glyphs.png", "messages.png", "direction-frames.png", "CTBL1-002.png"})
        EXPECT_TRUE(QFile::exists(Dir.filePath(QString("pictures/") + sheet))) << sheet;
}

TEST_F(InspectCliTest, RecoveredSampleBuildsTheSameImageAndDiffSaysSo) {
    const TRun rec =
        Tool({"recover", "SAMPLE.BIN", "-o", "back/SAMPLE.dcf", "--user-bitmaps", "inst"});
    ASSERT_EQ(rec.Status, 0) << rec.Err;
    // The sample's user bitmaps are the installation's own: recover keeps their names.
    EXPECT_THAT(rec.Out, HasSubstr("inst/DefaultImage2/UserDefine/Floor/Style0/LOBBY.bmp"));
    const TRun again = Tool({"make-rom", "back/SAMPLE.dcf", "-o", "AGAIN.BIN"});
    ASSERT_EQ(again.Status, 0) << again.Err;
    EXPECT_EQ(ReadAll(Dir.filePath("AGAIN.BIN")), ReadAll(Dir.filePath("SAMPLE.BIN")));

    const TRun same = Tool({"diff", "SAMPLE.BIN", "AGAIN.BIN"});
    EXPECT_EQ(same.Status, 0);
    EXPECT_EQ(same.Out, "");

    std::vector<uint8_t> changed = ReadAll(Dir.filePath("SAMPLE.BIN"));
    changed[0x21A8 + 11] = 7; // NODEADDR
    std::string reason;
    ASSERT_TRUE(YVclUtil::WriteFileAtomically(Dir.filePath("OTHER.BIN").toStdString(),
                                              changed.data(), changed.size(), reason));
    const TRun differs = Tool({"diff", "SAMPLE.BIN", "OTHER.BIN", "--png", "changes"});
    EXPECT_EQ(differs.Status, 1);
    EXPECT_EQ(differs.Out, "NODEADDR: 1 \xE2\x86\x92 7\n");
    EXPECT_EQ(Tool({"diff", "SAMPLE.BIN"}).Status, 2);
    EXPECT_EQ(Tool({"recover", "SAMPLE.BIN"}).Status, 2);
}

} // namespace
