#include "platform/IniFile.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

class IniFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        Dir = fs::temp_directory_path() / ("segmora-ini-" + std::to_string(::getpid()) + "-" +
                                           ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::create_directories(Dir);
        Path = (Dir / "Segmora.ini").string();
    }
    void TearDown() override { fs::remove_all(Dir); }

    void Put(const std::string& Text) { std::ofstream(Path, std::ios::binary) << Text; }
    std::string Get() const {
        std::ifstream In(Path, std::ios::binary);
        std::stringstream S;
        S << In.rdbuf();
        return S.str();
    }

    fs::path Dir;
    std::string Path;
};

TEST_F(IniFileTest, MissingFileSectionOrKeyGivesTheDefaultAndCreatesNothing) {
    TIniFile Ini(Path);
    EXPECT_EQ(Ini.ReadInteger("LANGUAGE", "Default", 7), 7);
    EXPECT_EQ(Ini.ReadString("LANGUAGE", "Default", "x"), "x");
    EXPECT_FALSE(Ini.SectionExists("LANGUAGE"));
    EXPECT_TRUE(Ini.ReadSectionValues("LANGUAGE").empty());
    EXPECT_FALSE(fs::exists(Path));

    Put("[ZZ]\nsyCount=3\n");
    EXPECT_EQ(Ini.ReadInteger("LANGUAGE", "Default", 7), 7);
    EXPECT_EQ(Ini.ReadInteger("ZZ", "Other", -1), -1);
}

TEST_F(IniFileTest, NamesIgnoreCaseAndNamesAndValuesAreTrimmed) {
    Put("[language]\n  DEFAULT  =  3  \nTitle = \"  quoted  \"\nSingle='a'\nHalf=\"open\n");
    TIniFile Ini(Path);
    EXPECT_EQ(Ini.ReadInteger("LANGUAGE", "Default", 7), 3);
    EXPECT_EQ(Ini.ReadString("Language", "title", ""), "  quoted  ");
    EXPECT_EQ(Ini.ReadString("LANGUAGE", "Single", ""), "a");
    EXPECT_EQ(Ini.ReadString("LANGUAGE", "Half", ""), "\"open");
}

TEST_F(IniFileTest, IntegersThatDoNotParseGiveTheDefault) {
    Put("[L]\nA=12\nB=-3\nC=abc\nD=12abc\nE=\nF=$1F\nG=0x10\nH=99999999999\nI=-2147483648\nJ=+5\nK=-\n");
    TIniFile Ini(Path);
    EXPECT_EQ(Ini.ReadInteger("L", "A", 7), 12);
    EXPECT_EQ(Ini.ReadInteger("L", "B", 7), -3);
    EXPECT_EQ(Ini.ReadInteger("L", "C", 7), 7);
    EXPECT_EQ(Ini.ReadInteger("L", "D", 7), 7);
    EXPECT_EQ(Ini.ReadInteger("L", "E", 7), 7);
    EXPECT_EQ(Ini.ReadInteger("L", "F", 7), 31);
    EXPECT_EQ(Ini.ReadInteger("L", "G", 7), 16);
    EXPECT_EQ(Ini.ReadInteger("L", "H", 7), 7);
    EXPECT_EQ(Ini.ReadInteger("L", "I", 7), INT32_MIN);
    EXPECT_EQ(Ini.ReadInteger("L", "J", 7), 5);
    EXPECT_EQ(Ini.ReadInteger("L", "K", 7), 7);
}

TEST_F(IniFileTest, WritingCreatesTheFile) {
    TIniFile Ini(Path);
    Ini.WriteInteger("LANGUAGE", "Default", 5);
    EXPECT_EQ(Get(), "[LANGUAGE]\nDefault=5\n");
    EXPECT_EQ(Ini.ReadInteger("language", "default", 7), 5);
}

TEST_F(IniFileTest, WritingKeepsEveryOtherSectionKeyAndLine) {
    Put("; settings\r\n[ZZ]\r\nsyCount=4\r\n\r\n[language]\r\nother=x\r\ndefault=1\r\n\r\n[Tail]\r\nk=v\r\n");
    TIniFile Ini(Path);
    Ini.WriteInteger("LANGUAGE", "Default", 3);
    EXPECT_EQ(Get(),
              "; settings\r\n[ZZ]\r\nsyCount=4\r\n\r\n[language]\r\nother=x\r\nDefault=3\r\n\r\n[Tail]\r\nk=v\r\n");

    // A new key goes after the section's last entry, before the blank separator.
    Ini.WriteString("zz", "New", "a=b");
    EXPECT_EQ(Ini.ReadString("ZZ", "new", ""), "a=b");
    EXPECT_EQ(Get(), "; settings\r\n[ZZ]\r\nsyCount=4\r\nNew=a=b\r\n\r\n[language]\r\nother=x\r\nDefault=3\r\n\r\n"
                     "[Tail]\r\nk=v\r\n");

    // A new section is added at the end; a missing last line end is mended.
    Put("\xEF\xBB\xBF[A]\nx=1");
    Ini.WriteInteger("B", "y", 2);
    EXPECT_EQ(Get(), "\xEF\xBB\xBF[A]\nx=1\n[B]\ny=2\n");
    EXPECT_EQ(Ini.ReadInteger("A", "x", 0), 1);
}

TEST_F(IniFileTest, WritingWhereNoFileCanBeCreatedRaises) {
    TIniFile Ini((Dir / "no-such-folder" / "Segmora.ini").string());
    EXPECT_THROW(Ini.WriteInteger("LANGUAGE", "Default", 1), std::runtime_error);
}

// Every line a write does not change comes back byte for byte, whatever
// its line end, a carriage return before it included.
TEST_F(IniFileTest, MixedLineEndsSurviveAWrite) {
    Put("[A]\nx=a\r\r\ny=b\r\n[C]\r\nz=c");
    TIniFile(Path).WriteInteger("B", "w", 1);
    EXPECT_EQ(Get(), "[A]\nx=a\r\r\ny=b\r\n[C]\r\nz=c\n[B]\nw=1\n");
    EXPECT_EQ(TIniFile(Path).ReadString("A", "x", ""), "a\r");
    // A last line ending in CRs and no line end reads the same after a write.
    Put("[A]\nx=a\r\r");
    EXPECT_EQ(TIniFile(Path).ReadString("A", "x", ""), "a\r");
    TIniFile(Path).WriteInteger("B", "w", 1);
    EXPECT_EQ(TIniFile(Path).ReadString("A", "x", ""), "a\r");
}

// A FIFO would hold a reader until a writer came, and a writer until a
// reader came: anything but a regular file reads as none and is not written.
TEST_F(IniFileTest, NamesThatAreNoRegularFileReadAsMissingAndAreNotWritten) {
    const std::string Fifo = (Dir / "fifo.ini").string();
    ASSERT_EQ(::mkfifo(Fifo.c_str(), 0600), 0);
    for (const std::string& Name : {Fifo, Dir.string(), std::string("/dev/null"), std::string("/dev/zero")}) {
        TIniFile Ini(Name);
        EXPECT_EQ(Ini.ReadInteger("LANGUAGE", "Default", 7), 7) << Name;
        EXPECT_THROW(Ini.WriteInteger("LANGUAGE", "Default", 1), std::runtime_error) << Name;
    }
    EXPECT_TRUE(fs::is_fifo(Fifo));
}

TEST_F(IniFileTest, SectionsAreReadWholeInFileOrder) {
    Put("[FrmMP3Editor]\nLabel13.Caption = Encoding: \n; Label14.Caption=comment\nno equals sign\n"
        "Label12.Caption=a=b\n\nCaption=Window\nlabel13.caption=second\n[Messages]\nMs_Info=Info\n"
        "[frmmp3editor]\nLate=ignored\n");
    TIniFile Ini(Path);
    const std::vector<std::string> Expected = {"Label13.Caption=Encoding:", "Label12.Caption=a=b", "Caption=Window",
                                               "label13.caption=Encoding:"};
    EXPECT_EQ(Ini.ReadSectionValues("FRMMP3EDITOR"), Expected);
    EXPECT_EQ(Ini.ReadSection("FrmMP3Editor"),
              (std::vector<std::string>{"Label13.Caption", "Label12.Caption", "Caption", "label13.caption"}));
    EXPECT_EQ(Ini.ReadString("Messages", "Ms_Info", ""), "Info");
}

}  // namespace
