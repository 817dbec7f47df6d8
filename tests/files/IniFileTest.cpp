#include <sys/stat.h>

#include "FileSupport.h"
#include "foundation/Exception.h"
#include "files/IniFile.h"

namespace kovra {
namespace {

using test::CommaDecimalLocale;

TEST(IniFile, ReadsWhatPeopleWriteByHand) {
    const IniFile ini = IniFile::Parse(
        "\xEF\xBB\xBF; a comment\r\n"
        "\r\n"
        "[First]\r\n"
        "  Key = value with blanks inside  \r\n"
        "Number=42\n"
        "no equals sign here\n"
        "[ second ]\n"
        "KEY=\"quoted\"\n");
    EXPECT_EQ(ini.SectionNames(), (std::vector<std::string>{"First", " second "}));
    EXPECT_EQ(ini.ReadString("FIRST", "key").value(), "value with blanks inside");
    EXPECT_EQ(ini.ReadInteger("first", "NUMBER", 0), 42);
    EXPECT_EQ(ini.ReadString(" SECOND ", "key").value(), "quoted");
    EXPECT_FALSE(ini.ReadString("first", "missing"));
    EXPECT_EQ(ini.ReadString("none", "key", "fallback"), "fallback");
}

TEST(IniFile, WritesAppendSectionsAndKeepKeysInPlace) {
    IniFile ini;
    ini.WriteString("A", "x", "1");
    ini.WriteString("B", "y", "2");
    ini.WriteString("a", "X", "3");
    ini.WriteString("A", "z", "4");
    EXPECT_EQ(ini.Text(), "[A]\nx=3\nz=4\n[B]\ny=2\n");
}

TEST(IniFile, NumbersAndBooleans) {
    const IniFile ini = IniFile::Parse(
        "[s]\nplus=+4\nminus=-3\nexp=1e3\nhex=0x10\nbig=99999999999\nempty=\nfive=5\nyes=yes\nzero=0\n");
    EXPECT_EQ(ini.ReadInteger("s", "plus", 7), 4);
    EXPECT_EQ(ini.ReadInteger("s", "minus", 7), -3);
    for (const char* key : {"exp", "hex", "big", "empty", "absent"}) {
        EXPECT_EQ(ini.ReadInteger("s", key, 7), 7) << key;
    }
    EXPECT_TRUE(ini.ReadBool("s", "five", false));
    EXPECT_FALSE(ini.ReadBool("s", "zero", true));
    EXPECT_TRUE(ini.ReadBool("s", "yes", true));  // not an integer: the default
    EXPECT_FALSE(ini.ReadBool("s", "yes", false));
}

TEST(IniFile, FloatsReadWithEitherSeparator) {
    const IniFile ini = IniFile::Parse("[s]\npoint=15.5\nnan=nan\ntext=abc\nboth=1.234,5\n");
    EXPECT_EQ(ini.ReadFloat("s", "point", 0), 15.5L);
    EXPECT_EQ(ini.ReadFloat("s", "nan", 9), 9);
    EXPECT_EQ(ini.ReadFloat("s", "text", 9), 9);
    EXPECT_EQ(ini.ReadFloat("s", "both", 9), 9);

    const CommaDecimalLocale comma;
    ASSERT_TRUE(comma.Active()) << "locale de_DE.UTF-8 is missing: run ./scripts/test, which generates it";
    const IniFile local = IniFile::Parse("[s]\ncomma=15,5\npoint=15.5\n");
    EXPECT_EQ(local.ReadFloat("s", "comma", 0), 15.5L);
    EXPECT_EQ(local.ReadFloat("s", "point", 0), 15.5L);
    IniFile written;
    written.WriteFloat("s", "v", 54.3L);
    EXPECT_EQ(written.Text(), "[s]\nv=54,3\n");  // the locale's separator, as files have always been written
}

TEST(IniFile, AwkwardNamesAndValuesRoundTrip) {
    const std::vector<std::string> texts = {"",    " lead", "trail ", " both ", "\"q\"", "\"",   "\"half",
                                            "a=b", "[x]",   "a]b",    ";semi",  "#hash", "\tt\t", "é ü"};
    IniFile ini;
    for (std::size_t i = 0; i < texts.size(); ++i) {
        ini.WriteString(texts[i], "Name", texts[i]);
    }
    const IniFile back = IniFile::Parse(ini.Text());
    ASSERT_EQ(back.SectionNames(), texts);
    for (const std::string& text : texts) {
        EXPECT_EQ(back.ReadString(text, "Name").value_or("<absent>"), text) << "[" << text << "]";
    }
}

TEST(IniFile, KeysThatWouldReadBackAsSomethingElseCannotBeWritten) {
    // "[" + "=x]" would read back as a section; the others as a comment or another key.
    for (const char* key : {"[", ";k", " k", "k ", "a=b"}) {
        IniFile ini;
        ini.WriteString("s", key, "x]");
        EXPECT_THROW((void)ini.Text(), EKovraNMEAException) << key;
    }
    const IniFile parsed = IniFile::Parse("[s]\n[ = x\n");  // a key "[" with the value "x"
    EXPECT_THROW((void)parsed.Text(), EKovraNMEAException);
}

TEST(IniFile, LineBreaksAndNulCannotBeWritten) {
    for (const std::string& bad : {std::string("a\rb"), std::string("a\nb"), std::string("a\0b", 3)}) {
        IniFile section;
        section.WriteString(bad, "Name", "x");
        EXPECT_THROW((void)section.Text(), EKovraNMEAException);
        IniFile value;
        value.WriteString("s", "Name", bad);
        EXPECT_THROW((void)value.Text(), EKovraNMEAException);
    }
}

class IniFileOnDisk : public test::TempDir {};

TEST_F(IniFileOnDisk, SaveReplacesTheFileAndKeepsItsPermissions) {
    Write(Path("f.ini"), "[old]\nk=v\n");
    ::chmod(Path("f.ini").c_str(), 0600);
    IniFile ini;
    ini.WriteString("new", "k", "v");
    ini.Save(Path("f.ini"));
    EXPECT_EQ(Read(Path("f.ini")), "[new]\nk=v\n");
    struct stat info {};
    ASSERT_EQ(::stat(Path("f.ini").c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600U);
    EXPECT_EQ(EntryCount(), 1U);  // no temporary file left
}

TEST_F(IniFileOnDisk, AFailedSaveNamesTheFileAndTouchesNothing) {
    Write(Path("keep.ini"), "[old]\nk=v\n");
    IniFile ini;
    ini.WriteString("new", "k", "v");
    const std::filesystem::path targets[] = {Path("missing-dir/f.ini"), Path("keep.ini/f.ini"), dir_};
    for (const auto& target : targets) {
        try {
            ini.Save(target);
            ADD_FAILURE() << "saved " << target;
        } catch (const EKovraNMEAException& e) {
            EXPECT_NE(std::string(e.what()).find(target.string()), std::string::npos) << e.what();
        }
    }
    EXPECT_EQ(Read(Path("keep.ini")), "[old]\nk=v\n");
    EXPECT_EQ(EntryCount(), 1U);

    IniFile bad;
    bad.WriteString("a\nb", "k", "v");
    EXPECT_THROW(bad.Save(Path("keep.ini")), EKovraNMEAException);
    EXPECT_EQ(Read(Path("keep.ini")), "[old]\nk=v\n");
}

TEST_F(IniFileOnDisk, AnEmptyStoreRemovesTheFile) {
    Write(Path("f.ini"), "[old]\n");
    IniFile().Save(Path("f.ini"));
    EXPECT_FALSE(std::filesystem::exists(Path("f.ini")));
    IniFile().Save(Path("f.ini"));  // nothing to remove: fine
}

TEST_F(IniFileOnDisk, LoadingMissingUnreadableAndBinaryFiles) {
    EXPECT_FALSE(IniFile::Load(Path("missing.ini")));
    EXPECT_THROW((void)IniFile::Load(dir_), EKovraNMEAException);
    Write(Path("binary.ini"), std::string("[a]\nk=\0v\n", 9));
    try {
        (void)IniFile::Load(Path("binary.ini"));
        ADD_FAILURE() << "a NUL byte was accepted";
    } catch (const EKovraNMEAException& e) {
        EXPECT_NE(std::string(e.what()).find("binary.ini"), std::string::npos) << e.what();
    }
}

}  // namespace
}  // namespace kovra
