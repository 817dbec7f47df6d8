// What a save may touch and what a load may read: only regular files, with
// the modes any program's output gets, and only names that mean themselves.
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/un.h>
#include <unistd.h>

#include "FileSupport.h"
#include "TestSupport.h"
#include "generator/KovraNMEAGenerator.h"
#include "files/DataFile.h"
#include "foundation/FileDescriptor.h"
#include "files/IniFile.h"

namespace kovra {
namespace {

class DataFile : public test::TempDir {
protected:
    // Every kind of file a save must never replace, made in the temporary directory.
    std::vector<std::filesystem::path> NonRegularTargets() {
        std::vector<std::filesystem::path> targets;
        targets.push_back(Path("dir"));
        std::filesystem::create_directory(targets.back());
        targets.push_back(Path("fifo"));
        EXPECT_EQ(::mkfifo(targets.back().c_str(), 0644), 0);
        targets.push_back(Path("socket"));
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::snprintf(address.sun_path, sizeof address.sun_path, "%s", targets.back().c_str());
        socket_ = FileDescriptor(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
        EXPECT_EQ(::bind(socket_.Get(), reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
        // A node like /dev/null where the process may make one (as root).
        if (::mknod(Path("null").c_str(), S_IFCHR | 0666, makedev(1, 3)) == 0) {
            targets.push_back(Path("null"));
        }
        targets.push_back(Path("link-to-fifo"));
        std::filesystem::create_symlink(Path("fifo"), targets.back());
        return targets;
    }
    static std::filesystem::file_type Type(const std::filesystem::path& file) {
        return std::filesystem::status(file).type();
    }
    static mode_t Mode(const std::filesystem::path& file) {
        struct stat info {};
        EXPECT_EQ(::stat(file.c_str(), &info), 0);
        return info.st_mode & 07777;
    }
    FileDescriptor socket_;
};

TEST_F(DataFile, OnlyARegularFileIsEverReplacedOrRemoved) {
    IniFile one;
    one.WriteString("S", "K", "V");
    const IniFile empty;
    for (const std::filesystem::path& target : NonRegularTargets()) {
        const auto type = Type(target);
        const std::size_t entries = EntryCount();
        const IniFile* stores[] = {&one, &empty};
        for (const IniFile* store : stores) {
            try {
                store->Save(target);
                ADD_FAILURE() << target << " was saved over";
            } catch (const EKovraNMEAException& e) {
                const std::string message = e.what();
                EXPECT_NE(message.find(target.string()), std::string::npos) << message;
                EXPECT_NE(message.find("not a regular file"), std::string::npos) << message;
            }
            EXPECT_EQ(Type(target), type) << target;
            EXPECT_EQ(EntryCount(), entries) << "a temporary file was left beside " << target;
        }
    }
    // The generator's own saves go the same way.
    TKovraNMEAGenerator g;
    EXPECT_THROW(g.SaveSatellitesToFile(Name("fifo")), EKovraNMEAException);
    EXPECT_EQ(Type(Path("fifo")), std::filesystem::file_type::fifo);
}

TEST_F(DataFile, LoadsReadOnlyRegularFilesOfAtMost64MiB) {
    for (const std::filesystem::path& target : NonRegularTargets()) {
        EXPECT_THROW((void)ReadDataFile(target), EKovraNMEAException) << target;  // never blocks on the FIFO
    }
    const std::filesystem::path large = Path("large.ini");
    Write(large, "[1]\n");
    std::filesystem::resize_file(large, kMaxDataFileSize + 1);
    try {
        (void)IniFile::Load(large);
        ADD_FAILURE() << "a file over 64 MiB was read";
    } catch (const EKovraNMEAException& e) {
        EXPECT_NE(std::string(e.what()).find("larger than 64 MiB"), std::string::npos) << e.what();
    }
    std::filesystem::resize_file(large, kMaxDataFileSize);
    EXPECT_EQ(ReadDataFile(large)->size(), kMaxDataFileSize);
    EXPECT_FALSE(ReadDataFile(Path("missing")).has_value());
}

TEST_F(DataFile, NewFilesFollowTheUmaskAndReplacedOnesKeepModeAndOwner) {
    const mode_t saved = ::umask(027);
    ReplaceDataFile(Path("new"), "x");
    EXPECT_EQ(Mode(Path("new")), 0640U);
    ::umask(077);
    ReplaceDataFile(Path("new2"), "x");
    EXPECT_EQ(Mode(Path("new2")), 0600U);
    ::umask(saved);

    ASSERT_EQ(::chmod(Path("new").c_str(), 06755), 0);
    const bool root = ::geteuid() == 0;
    if (root) {
        ASSERT_EQ(::chown(Path("new").c_str(), 4242, 4343), 0);
    }
    ReplaceDataFile(Path("new"), "y");
    EXPECT_EQ(Mode(Path("new")), 0755U);  // no set-user-ID or set-group-ID bit survives
    EXPECT_EQ(Read(Path("new")), "y");
    if (root) {
        struct stat info {};
        ASSERT_EQ(::stat(Path("new").c_str(), &info), 0);
        EXPECT_EQ(info.st_uid, 4242U);
        EXPECT_EQ(info.st_gid, 4343U);
    }
    // Through a link: the file it points to is replaced, the link stays.
    std::filesystem::create_symlink(Path("new"), Path("link"));
    ReplaceDataFile(Path("link"), "z");
    EXPECT_TRUE(std::filesystem::is_symlink(Path("link")));
    EXPECT_EQ(Read(Path("new")), "z");
}

// File names reach the disk as they are, or not at all.
TEST_F(DataFile, FileNamesMeanThemselves) {
    EXPECT_EQ(FromUtf8("sub\xC0\xAFx"), u"sub\uFFFD\uFFFDx");  // an overlong "/" is no slash
    EXPECT_EQ(FromUtf8("a\xC0\x80" "b"), u"a\uFFFD\uFFFDb");    // nor is an overlong NUL a NUL
    EXPECT_FALSE(StrictFromUtf8("\xED\xA0\x80").has_value());    // a surrogate in UTF-8
    EXPECT_EQ(StrictFromUtf8("K\xC3\xB6ln").value(), u"K\u00F6ln");

    const std::string invalid = Path("sub\xC0\xAFx.ini").string();
    TKovraNMEAGenerator g;
    // Checked per generation: UTF-16 names must be valid, 8-bit ones are bytes.
    [&]<typename Name>() {
        if constexpr (std::is_same_v<Name, std::u16string>) {
            EXPECT_THROW((void)FileNameFromUtf8(invalid), EKovraNMEAException);
            Name lone = FromUtf8(Path("w").string());
            lone += char16_t{0xD800};
            EXPECT_THROW(g.SaveSatellitesToFile(lone), EKovraNMEAException);
            EXPECT_THROW(g.LoadSatellitesFromFile(lone), EKovraNMEAException);
        } else {
            g.SaveSatellitesToFile(FileNameFromUtf8(invalid));  // kept byte for byte
            EXPECT_TRUE(std::filesystem::exists(invalid));
        }
    }.template operator()<TFileName>();
    EXPECT_FALSE(std::filesystem::exists(Path("sub")));
    TFileName withNul = FileNameFromUtf8(Path("a").string());
    withNul += static_cast<TFileName::value_type>(0);
    withNul += static_cast<TFileName::value_type>('b');
    Write(Path("a"), "[1]\nActive=1\n");
    EXPECT_THROW(g.LoadSatellitesFromFile(withNul), EKovraNMEAException);
    EXPECT_EQ(g.GetActiveSatellitesCount(), 0);  // the file "a" was not read in its place
}

}  // namespace
}  // namespace kovra
