// Loads one generation's library at run time, as a host would: nothing
// happens on loading and unloading, Register hands over the one class, and
// the resources are there. This program is not linked to the library.
#include <gtest/gtest.h>

#include <dlfcn.h>

#include <filesystem>

#include "generator/Registration.h"

namespace kovra {
namespace {

std::size_t EntriesOf(const char* directory) {
    return static_cast<std::size_t>(
        std::distance(std::filesystem::directory_iterator(directory), std::filesystem::directory_iterator()));
}

struct Library {
    Library() : handle(dlopen(KOVRA_LIBRARY_PATH, RTLD_NOW | RTLD_LOCAL)) {}
    ~Library() {
        if (handle != nullptr) {
            EXPECT_EQ(dlclose(handle), 0);
        }
    }
    template <typename F>
    F* Symbol(const char* name) const {
        return reinterpret_cast<F*>(dlsym(handle, name));
    }
    void* handle;
};

TEST(LibraryLoading, LoadingAndUnloadingStartsNoThreadAndOpensNoDescriptor) {
    const std::size_t threads = EntriesOf("/proc/self/task");
    const std::size_t descriptors = EntriesOf("/proc/self/fd");
    for (int round = 0; round < 3; ++round) {
        Library library;
        ASSERT_NE(library.handle, nullptr) << dlerror();
        EXPECT_EQ(EntriesOf("/proc/self/task"), threads);
        EXPECT_EQ(EntriesOf("/proc/self/fd"), descriptors);
    }
    EXPECT_EQ(EntriesOf("/proc/self/task"), threads);
    EXPECT_EQ(EntriesOf("/proc/self/fd"), descriptors);
}

struct Registered {
    TMessageString page;
    std::vector<TComponentClass> classes;
};

TEST(LibraryLoading, RegisterHandsOverOnePageWithOneClass) {
    Library library;
    ASSERT_NE(library.handle, nullptr) << dlerror();
    auto* registerProc = library.Symbol<void(TRegisterComponentsProc, void*)>("Register");
    ASSERT_NE(registerProc, nullptr);
    Registered registered;
    registerProc(
        [](const TMessageString& page, std::span<const TComponentClass> classes, void* context) {
            auto& out = *static_cast<Registered*>(context);
            out.page = page;
            out.classes.assign(classes.begin(), classes.end());
        },
        &registered);
    const std::string_view page = "Kovraworks";
    EXPECT_EQ(registered.page, TMessageString(page.begin(), page.end()));
    ASSERT_EQ(registered.classes.size(), 1U);
    EXPECT_EQ(registered.classes[0].ClassName, "TKovraNMEAGenerator");

    // The descriptor creates a working generator, which leaves no thread behind.
    const std::size_t threads = EntriesOf("/proc/self/task");
    {
        std::unique_ptr<TComponent> component = registered.classes[0].Create();
        ASSERT_NE(component, nullptr);
        component->Name("GPS1");
        EXPECT_EQ(component->Name(), "GPS1");
    }
    EXPECT_EQ(EntriesOf("/proc/self/task"), threads);
}

TEST(LibraryLoading, ResourcesByName) {
    Library library;
    ASSERT_NE(library.handle, nullptr) << dlerror();
    auto* find = library.Symbol<bool(const char*, const std::uint8_t**, std::size_t*)>("KovraFindResource");
    ASSERT_NE(find, nullptr);
    const std::uint8_t* data = nullptr;
    std::size_t size = 0;

    ASSERT_TRUE(find("TKOVRANMEAGENERATOR", &data, &size));
    ASSERT_EQ(size, 40U + 1024U + 256U);
    auto field = [&](std::size_t at, int width) {
        std::uint32_t value = 0;
        for (int i = width - 1; i >= 0; --i) {
            value = (value << 8) | data[at + static_cast<std::size_t>(i)];
        }
        return value;
    };
    EXPECT_EQ(field(0, 4), 40U);    // header size
    EXPECT_EQ(field(4, 4), 16U);    // width
    EXPECT_EQ(field(8, 4), 16U);    // height
    EXPECT_EQ(field(14, 2), 8U);    // bits per pixel
    EXPECT_EQ(field(32, 4), 256U);  // colours used

    const char* descriptions[] = {"KovraNMEAGenPack", "KovraNMEAGenerator 1.60", "KovraNMEAGenerator 1.57"};
    const char* versions[] = {"1.6.2.0", "1.0.0.0", "1.0.0.0"};
    ASSERT_TRUE(find("DESCRIPTION", &data, &size));
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(data), size), descriptions[KOVRA_BUILD_PROFILE]);
    ASSERT_TRUE(find("PRODUCTVERSION", &data, &size));
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(data), size), versions[KOVRA_BUILD_PROFILE]);
    EXPECT_FALSE(find("NOSUCHRESOURCE", &data, &size));
}

}  // namespace
}  // namespace kovra
