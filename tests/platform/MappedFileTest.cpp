// Reading a file through a map: the bytes the file holds, mapped or read
// through its stream; copies straight from the map, written behind; a disk
// that fails and a file shortened meanwhile, met while loading, while reading
// bytes already loaded (SIGBUS) or while writing them from the map, all end
// in the read error a stream raises; a SIGBUS that is not the map's still
// reaches what handled it before; a long walk holds little of the file.
#include <gtest/gtest.h>

#include <csignal>
#include <cstring>
#include <fstream>
#include <functional>
#include <random>
#include <stdexcept>
#include <sys/wait.h>
#include <unistd.h>

#include "platform/MappedFile.h"
#include "tests/support/TestFiles.h"

using TestFiles::ReadAll;
using TestFiles::TScratchDir;
using Bytes = std::string;

namespace {

constexpr int64_t W = TMappedFile::Window;
constexpr int64_t MiB = 1024 * 1024;

Bytes RandomBytes(size_t Count, unsigned Seed) {
    std::mt19937 Gen(Seed);
    Bytes B(Count, '\0');
    for (char& C : B) C = char(Gen() & 0xFF);
    return B;
}

TEST(MappedFileRead, ReadsGiveTheFilesBytesMappedOrNot) {
    TScratchDir Dir;
    const Bytes Data = RandomBytes(size_t(3 * W + 1000), 1);
    const std::string Name = Dir.Write("f", Data);
    const int64_t Size = int64_t(Data.size());
    const struct {
        int64_t At, Count, Got;
    } Cases[] = {
        {0, 40, 40},
        {W - 20, 40, 40},               // across two windows
        {2 * W + 5, W + 100, W + 100},  // more than a window at once
        {Size - 10, 40, 10},            // short at the end
        {Size, 4, 0},
        {Size + 100, 4, 0},
        {100, 40, 40},  // back to the start
        {10, 0, 0},
    };
    for (bool Map : {true, false}) {
        TFileStream F(Name, TFileMode::fmOpenRead);
        TMappedFile M(F, Map);
        EXPECT_EQ(M.Mapped(), Map);
        EXPECT_EQ(M.Size(), Size);
        M.Guarded([&] {
            for (const auto& C : Cases) {
                Bytes Buf(size_t(C.Count), '#');
                M.SetPosition(C.At);
                EXPECT_EQ(M.Read(Buf.data(), C.Count), C.Got) << C.At << " mapped " << Map;
                EXPECT_TRUE(Buf.substr(0, size_t(C.Got)) == Data.substr(size_t(std::min(C.At, Size)), size_t(C.Got)))
                    << C.At << " mapped " << Map;
                EXPECT_EQ(M.Position(), C.At + C.Got);
            }
        });
        EXPECT_EQ(M.Seek(-4, TSeekOrigin::soEnd), Size - 4);
        EXPECT_EQ(M.Seek(2, TSeekOrigin::soCurrent), Size - 2);
        EXPECT_THROW(M.SetPosition(-1), EStreamError);
    }
}

class Collect : public TBytesObserver {
public:
    void Seen(const char* Data, int64_t Count) override { All.append(Data, size_t(Count)); }
    Bytes All;
};

// Pieces of a megabyte and more go to the target behind the caller's back,
// small ones through its buffer; all land where the target's position was,
// in order, and the observer sees each just before.
TEST(MappedFileCopy, CopiesLandInPlaceAndAreShown) {
    TScratchDir Dir;
    const Bytes Data = RandomBytes(size_t(3 * MiB + 123), 2);
    const std::string Name = Dir.Write("f", Data);
    for (bool Map : {true, false}) {
        TFileStream F(Name, TFileMode::fmOpenRead);
        TMappedFile M(F, Map);
        const std::string Out = Dir.Path(Map ? "mapped" : "streamed");
        TFileStream T(Out, TFileMode::fmCreate);
        T.WriteBuffer("head", 4);
        Collect Shown;
        M.Guarded([&] {
            M.CopyTo(T, 10, 5 * MiB / 2, &Shown);
            M.CopyTo(T, 5, 100, &Shown);
            M.CopyTo(T, 3 * MiB, 123);
        });
        EXPECT_EQ(T.Position(), 4 + 5 * MiB / 2 + 100 + 123);
        T.Close();
        const Bytes Want = "head" + Data.substr(10, 5 * MiB / 2) + Data.substr(5, 100) + Data.substr(3 * MiB, 123);
        EXPECT_TRUE(ReadAll(Out) == Want) << "mapped " << Map;
        EXPECT_TRUE(Shown.All == Data.substr(10, 5 * MiB / 2) + Data.substr(5, 100)) << "mapped " << Map;

        TFileStream Other(Dir.Path("other"), TFileMode::fmCreate);
        EXPECT_THROW(M.Guarded([&] { M.CopyTo(Other, int64_t(Data.size()) - 10, 11); }), EReadError);
    }
}

TEST(MappedFileGuard, ReadsOutsideGuardedAreRefused) {
    TScratchDir Dir;
    TFileStream F(Dir.Write("f", "0123456789"), TFileMode::fmOpenRead);
    TMappedFile M(F);
    char Buf[4];
    EXPECT_THROW(M.Read(Buf, 4), std::logic_error);
}

class MappedFileFault : public testing::Test {
protected:
    ~MappedFileFault() override { TFileStream::SetReadFaultForTests(nullptr); }
    void ExpectReadError(const std::function<void()>& Work, const std::string& Reason, const std::string& What) {
        try {
            Work();
            ADD_FAILURE() << What << ": no error";
        } catch (const EReadError& E) {
            const std::string Text = E.what();
            EXPECT_EQ(Text.rfind("Stream read error \"" + Name + "\". ", 0), 0u) << What << ": " << Text;
            EXPECT_NE(Text.find(Reason), std::string::npos) << What << ": " << Text;
        }
    }
    TScratchDir Dir;
    std::string Name = Dir.Path("f");
    char Buf[64] = {};
};

// The test's hook stands for the disk when a window is loaded, as it does
// for the stream's reads: the window from 2 * W on fails or is lost.
TEST_F(MappedFileFault, FaultsWhileLoadingEndInAReadError) {
    const Bytes Data = RandomBytes(size_t(4 * W), 3);
    const struct {
        const char* What;
        int Error;
        int64_t Shorten;
        const char* Reason;
    } Cases[] = {
        {"I/O error", EIO, -1, "Input/output error"},
        {"shortened to nothing", 0, 0, ShorterThanOpened},
        {"shortened within the window", 0, 2 * W + 1000, ShorterThanOpened},
    };
    for (const auto& C : Cases) {
        TestFiles::WriteAll(Name, Data);
        TFileStream F(Name, TFileMode::fmOpenRead);
        TMappedFile M(F);
        bool Met = false;
        TFileStream::SetReadFaultForTests([&](const std::string& File, int64_t At) {
            if (File != Name || At < 2 * W || Met) return 0;
            Met = true;
            if (C.Shorten >= 0) {
                EXPECT_EQ(::truncate(File.c_str(), C.Shorten), 0);
            }
            return C.Error;
        });
        ExpectReadError(
            [&] {
                M.Guarded([&] {
                    M.Read(Buf, 40);
                    M.SetPosition(2 * W + 2000);
                    M.Read(Buf, 40);
                });
            },
            C.Reason, C.What);
        TFileStream::SetReadFaultForTests(nullptr);
        EXPECT_TRUE(Met) << C.What;
    }
}

// Bytes loaded before the file lost them: reading them raises SIGBUS, which
// the guard turns into the read error (in both rounds: a fault leaves the
// guard as it was); a write from the map fails for want of them, which is
// the file's fault too.
TEST_F(MappedFileFault, AFileShortenedUnderLoadedBytesEndsInAReadError) {
    const Bytes Data = RandomBytes(size_t(2 * W), 4);
    for (int Round = 0; Round < 2; ++Round) {
        TestFiles::WriteAll(Name, Data);
        TFileStream F(Name, TFileMode::fmOpenRead);
        TMappedFile M(F);
        M.Guarded([&] {
            M.SetPosition(W);
            M.Read(Buf, 40);
        });
        ASSERT_EQ(::truncate(Name.c_str(), 1000), 0);
        ExpectReadError(
            [&] {
                M.Guarded([&] {
                    M.SetPosition(W + 100);
                    M.Read(Buf, 40);
                });
            },
            ShorterThanOpened, "a read");
        TFileStream T(Dir.Path("out"), TFileMode::fmCreate);
        ExpectReadError([&] { M.Guarded([&] { M.CopyTo(T, W, W); }); }, ShorterThanOpened, "a copy");
    }
}

// A SIGBUS that is not a fault in a guarded read of a map goes to the handler
// that was there before, or ends the program as it would have.
TEST(MappedFileGuardDeathTest, OtherBusErrorsAreLeftToOthers) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    TScratchDir Dir;
    const std::string Name = Dir.Write("f", RandomBytes(size_t(2 * W), 5));
    EXPECT_EXIT(
        {
            ::signal(SIGBUS, [](int) { ::_exit(42); });
            TFileStream F(Name, TFileMode::fmOpenRead);
            TMappedFile M(F);
            char Buf[40];
            M.Guarded([&] { M.Read(Buf, 40); });
            ::raise(SIGBUS);
            ::_exit(0);
        },
        testing::ExitedWithCode(42), "");
    // Read outside Guarded (what a mistake would do), the lost bytes end the
    // program: with SIGBUS, or through a sanitizer's own report.
    EXPECT_EXIT(
        {
            TFileStream F(Name, TFileMode::fmOpenRead);
            TMappedFile M(F);
            char Buf[40];
            M.Guarded([&] {
                M.SetPosition(W);
                M.Read(Buf, 40);
            });
            if (::truncate(Name.c_str(), 0) != 0) ::_exit(3);
            M.SetPosition(W + 100);
            M.Read(Buf, 40);
            ::_exit(0);
        },
        [](int Status) { return !(WIFEXITED(Status) && WEXITSTATUS(Status) == 0); }, "");
}

long ResidentKiB() {
    std::ifstream Status("/proc/self/status");
    for (std::string Line; std::getline(Status, Line);)
        if (Line.rfind("VmRSS:", 0) == 0) return std::stol(Line.substr(6));
    return -1;
}

// A walk over a file many times the windows that stay loaded holds about
// those windows, whatever the size of the file.
TEST(MappedFileMemory, ALongWalkHoldsLittleOfTheFile) {
    TScratchDir Dir;
    const std::string Name = Dir.Path("long");
    {
        const Bytes Chunk(size_t(MiB), 'x');
        std::ofstream Out(Name, std::ios::binary);
        for (int I = 0; I < 48; ++I) Out.write(Chunk.data(), std::streamsize(Chunk.size()));
    }
    TFileStream F(Name, TFileMode::fmOpenRead);
    TMappedFile M(F);
    const long Before = ResidentKiB();
    long Most = Before;
    M.Guarded([&] {
        char Buf[40];
        for (int64_t At = 0; At < M.Size(); At += 1000) {
            M.SetPosition(At);
            M.Read(Buf, 40);
            if (At % MiB < 1000) Most = std::max(Most, ResidentKiB());
        }
    });
    EXPECT_LT(Most - Before, 16 * 1024) << "KiB held by the walk";
}

}  // namespace
