// The start-up trim drops only pages that can be read back from their file: a page this
// process wrote, even one made read-only afterwards as the loader does with its relocations,
// must keep its contents.
#include "framework/memoryreturn.h"
#include "framework/processmappings.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <sys/mman.h>
#include <unistd.h>
#include <vector>

namespace {

constexpr std::size_t Pages = 32;

// Resident kB of the mapping that starts at address; -1 if none does.
long ResidentKb(const void* address)
{
    long kb = -1;
    VisitMappings([&](const MappedRegion& m) {
        if (m.Start == reinterpret_cast<unsigned long>(address)) kb = m.ResidentKb;
    });
    return kb;
}

class StartupTrimTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        PageSize = std::size_t(::sysconf(_SC_PAGESIZE));
        char path[] = "/tmp/startuptrimXXXXXX";
        Fd = ::mkstemp(path);
        ASSERT_GE(Fd, 0);
        ::unlink(path);
        Contents.resize(Pages * PageSize);
        for (std::size_t i = 0; i < Contents.size(); ++i)
            Contents[i] = char('a' + (i / PageSize + i) % 26);
        ASSERT_EQ(::write(Fd, Contents.data(), Contents.size()), ssize_t(Contents.size()));
    }
    void TearDown() override
    {
        for (auto& [address, size] : Maps)
            ::munmap(address, size);
        if (Fd >= 0) ::close(Fd);
    }
    char* Map(int protection)
    {
        void* address = ::mmap(nullptr, Contents.size(), protection, MAP_PRIVATE, Fd, 0);
        EXPECT_NE(address, MAP_FAILED);
        Maps.emplace_back(address, Contents.size());
        return static_cast<char*>(address);
    }
    static unsigned Touch(const char* bytes, std::size_t size)
    {
        unsigned sum = 0;
        for (std::size_t i = 0; i < size; i += 512)
            sum += static_cast<unsigned char>(*static_cast<const volatile char*>(bytes + i));
        return sum;
    }

    std::size_t PageSize = 4096;
    int Fd = -1;
    std::string Contents;
    std::vector<std::pair<void*, std::size_t>> Maps;
};

TEST_F(StartupTrimTest, ReadOnlyFilePagesLeaveTheResidentSetAndReadBackUnchanged)
{
    const char* mapped = Map(PROT_READ);
    Touch(mapped, Contents.size());
    ASSERT_EQ(ResidentKb(mapped), long(Contents.size() / 1024));

    EXPECT_GE(ReleaseStartupPages(), Contents.size());
    EXPECT_EQ(ResidentKb(mapped), 0);
    EXPECT_EQ(std::string(mapped, Contents.size()), Contents);
}

TEST_F(StartupTrimTest, PagesThisProcessWroteKeepTheirContents)
{
    // Written and still writable.
    char* writable = Map(PROT_READ | PROT_WRITE);
    std::memset(writable + PageSize, 'W', PageSize);
    // Written, then sealed read-only: the loader's relocated tables look like this.
    char* sealed = Map(PROT_READ | PROT_WRITE);
    std::memset(sealed + 2 * PageSize, 'S', PageSize);
    ASSERT_EQ(::mprotect(sealed, Contents.size(), PROT_READ), 0);
    // An anonymous page made read-only: no file holds it at all.
    void* anonymous = ::mmap(nullptr, PageSize, PROT_READ | PROT_WRITE,
                             MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    ASSERT_NE(anonymous, MAP_FAILED);
    Maps.emplace_back(anonymous, PageSize);
    std::memset(anonymous, 'A', PageSize);
    ASSERT_EQ(::mprotect(anonymous, PageSize, PROT_READ), 0);

    ReleaseStartupPages();

    EXPECT_EQ(std::string(writable + PageSize, PageSize), std::string(PageSize, 'W'));
    EXPECT_EQ(std::string(sealed + 2 * PageSize, PageSize), std::string(PageSize, 'S'));
    EXPECT_EQ(std::string(sealed, PageSize), Contents.substr(0, PageSize));
    EXPECT_EQ(std::string(static_cast<char*>(anonymous), PageSize), std::string(PageSize, 'A'));
}

} // namespace
