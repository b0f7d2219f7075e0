// The buffered file stream: short and whole reads, write failures, open
// errors, copies between streams, and reads that must see earlier writes.
#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <random>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "platform/FileStream.h"
#include "tests/support/TestFiles.h"

using TestFiles::ReadAll;
using TestFiles::TScratchDir;
using Bytes = std::string;

namespace {

Bytes RandomBytes(size_t Count, unsigned Seed) {
    std::mt19937 Gen(Seed);
    Bytes B(Count, '\0');
    for (char& C : B) C = char(Gen() & 0xFF);
    return B;
}

TEST(FileStreamRead, ShortReadFillsWhatItCanAndKeepsTheRest) {
    TScratchDir Dir;
    TFileStream S(Dir.Write("f", "0123456789"), TFileMode::fmOpenRead);
    EXPECT_EQ(S.Size(), 10);
    char Buf[16];
    std::memset(Buf, '#', sizeof Buf);
    S.SetPosition(6);
    EXPECT_EQ(S.Read(Buf, 16), 4);
    EXPECT_EQ(Bytes(Buf, 16), "6789" + Bytes(12, '#'));
    EXPECT_EQ(S.Position(), 10);
    EXPECT_EQ(S.Read(Buf, 4), 0);
    // Beyond the end nothing is read and nothing raised.
    S.SetPosition(1000);
    EXPECT_EQ(S.Read(Buf, 4), 0);
    EXPECT_EQ(Bytes(Buf, 4), "6789");
}

TEST(FileStreamRead, WholeReadRaisesWhenShort) {
    TScratchDir Dir;
    TFileStream S(Dir.Write("f", "0123456789"), TFileMode::fmOpenRead);
    char Buf[16];
    S.SetPosition(2);
    S.ReadBuffer(Buf, 8);
    EXPECT_EQ(Bytes(Buf, 8), "23456789");
    S.SetPosition(5);
    try {
        S.ReadBuffer(Buf, 6);
        FAIL() << "no error";
    } catch (const EReadError& E) {
        EXPECT_STREQ(E.what(), "Stream read error");
    }
}

TEST(FileStreamRead, SmallReadsAndSeeksAcrossBufferBoundaries) {
    TScratchDir Dir;
    const Bytes Data = RandomBytes(3 * 1024 * 1024 + 17, 1);
    TFileStream S(Dir.Write("f", Data), TFileMode::fmOpenRead);
    std::mt19937 Gen(2);
    for (int I = 0; I < 5000; ++I) {
        const int64_t At = Gen() % Data.size();
        const int64_t Want = 1 + Gen() % 600;
        char Buf[600];
        S.SetPosition(At);
        const int64_t Got = S.Read(Buf, Want);
        ASSERT_EQ(Got, std::min<int64_t>(Want, int64_t(Data.size()) - At));
        ASSERT_EQ(Bytes(Buf, size_t(Got)), Data.substr(size_t(At), size_t(Got))) << At;
    }
    // One read larger than any buffer.
    Bytes All(Data.size(), '\0');
    S.SetPosition(0);
    S.ReadBuffer(All.data(), int64_t(All.size()));
    EXPECT_EQ(All, Data);
}

TEST(FileStreamWrite, FailedWriteRaisesAStreamWriteError) {
    // /dev/full takes the open and refuses every byte.
    auto WriteAndFlush = [](int64_t Count) {
        TFileStream S("/dev/full", TFileMode::fmCreate);
        const Bytes Data(size_t(Count), 'x');
        S.WriteBuffer(Data.data(), Count);
        S.Flush();
    };
    for (int64_t Count : {int64_t(10), int64_t(4 * 1024 * 1024)}) {
        try {
            WriteAndFlush(Count);
            FAIL() << "no error for " << Count << " bytes";
        } catch (const EWriteError& E) {
            // The text names the file and the system's reason.
            EXPECT_STREQ(E.what(), "Stream write error \"/dev/full\". No space left on device");
        }
    }
}

TEST(FileStreamWrite, ReadOnlyStreamRefusesWrites) {
    TScratchDir Dir;
    TFileStream S(Dir.Write("f", "abc"), TFileMode::fmOpenRead);
    EXPECT_THROW(S.WriteBuffer("x", 1), EWriteError);
    EXPECT_EQ(ReadAll(Dir.Path("f")), "abc");
}

TEST(FileStreamOpen, ErrorsNameTheFileAndTheReason) {
    TScratchDir Dir;
    const struct {
        std::string Name;
        TFileMode Mode;
        const char* Reason;
    } Cases[] = {
        {Dir.Path("missing.mp3"), TFileMode::fmOpenRead, "No such file or directory"},
        {Dir.Path("no-folder/new.mp3"), TFileMode::fmCreate, "No such file or directory"},
        {Dir.Dir().string(), TFileMode::fmOpenRead, "Is a directory"},
        {Dir.Dir().string(), TFileMode::fmCreate, "Is a directory"},
        // Opened without waiting for a writer, and refused.
        {Dir.Path("fifo"), TFileMode::fmOpenRead, "Not a regular file"},
        {"/dev/zero", TFileMode::fmOpenRead, "Not a regular file"},
    };
    ASSERT_EQ(::mkfifo(Dir.Path("fifo").c_str(), 0600), 0);
    for (const auto& C : Cases) {
        try {
            TFileStream S(C.Name, C.Mode);
            ADD_FAILURE() << "opened " << C.Name;
        } catch (const EFOpenError& E) {
            const std::string Text = E.what();
            EXPECT_NE(Text.find(C.Name), std::string::npos) << Text;
            EXPECT_NE(Text.find(C.Reason), std::string::npos) << Text;
        }
    }
}

TEST(FileStreamWrite, CreateTruncatesAndReadsSeeEarlierWrites) {
    TScratchDir Dir;
    const std::string Name = Dir.Write("f", Bytes(5000, 'o'));
    TFileStream S(Name, TFileMode::fmCreate);
    EXPECT_EQ(S.Size(), 0);
    S.WriteBuffer("hello world", 11);
    EXPECT_EQ(S.Size(), 11);
    char Buf[16] = {};
    S.SetPosition(6);
    S.ReadBuffer(Buf, 5);
    EXPECT_EQ(Bytes(Buf, 5), "world");
    // Overwrite in the middle, then read across old and new bytes.
    S.SetPosition(4);
    S.WriteBuffer("O W", 3);
    S.SetPosition(0);
    S.ReadBuffer(Buf, 11);
    EXPECT_EQ(Bytes(Buf, 11), "hellO World");
    S.Seek(0, TSeekOrigin::soEnd);
    S.WriteBuffer("!", 1);
    S.Seek(-3, TSeekOrigin::soEnd);
    EXPECT_EQ(S.Read(Buf, 16), 3);
    EXPECT_EQ(Bytes(Buf, 3), "ld!");
    S.Flush();
    EXPECT_EQ(ReadAll(Name), "hellO World!");
}

TEST(FileStreamWrite, DestructorPushesBufferedWrites) {
    TScratchDir Dir;
    const std::string Name = Dir.Path("f");
    {
        TFileStream S(Name, TFileMode::fmCreate);
        S.WriteBuffer("kept", 4);
    }
    EXPECT_EQ(ReadAll(Name), "kept");
}

// What a copy shows its observer, in order.
struct TCopiedBytes : TBytesObserver {
    Bytes All;
    void Seen(const char* Data, int64_t Count) override { All.append(Data, size_t(Count)); }
};

// A cut copies thousands of neighbouring frames through the stream's buffers:
// the result must be byte for byte what was asked, whatever reads, skips and
// writes come between the copies, and wherever the buffers' edges fall; an
// observer of the copies sees exactly the bytes copied.
TEST(FileStreamCopy, ManySmallCopiesProduceExactBytes) {
    TScratchDir Dir;
    TCopiedBytes Copied;
    Bytes CopiedOnly;
    const Bytes Data = RandomBytes(3 * 1024 * 1024, 3);
    const std::string SourceName = Dir.Write("src", Data);
    TFileStream Source(SourceName, TFileMode::fmOpenRead);
    TFileStream Target(Dir.Path("dst"), TFileMode::fmCreate);
    Bytes Expected;
    std::mt19937 Gen(4);
    int64_t At = 0;
    for (int I = 0; I < 4000 && At < int64_t(Data.size()) / 2; ++I) {
        const int64_t Len = 100 + Gen() % 900;
        switch (Gen() % 8) {
        case 0:  // a gap in the source: stray bytes dropped
            At += 4;
            break;
        case 1: {  // something written in between, as a tag would be
            const Bytes Own = "<" + std::to_string(I) + ">";
            Target.WriteBuffer(Own.data(), int64_t(Own.size()));
            Expected += Own;
            break;
        }
        case 2: {  // a look at the source between copies
            char Peek[4];
            Source.SetPosition(At + 36);
            Source.Read(Peek, 4);
            break;
        }
        default: break;
        }
        Source.SetPosition(At);
        Target.CopyFrom(Source, Len, &Copied);
        EXPECT_EQ(Source.Position(), At + Len);
        Expected += Data.substr(size_t(At), size_t(Len));
        CopiedOnly += Data.substr(size_t(At), size_t(Len));
        At += Len;
        EXPECT_EQ(Target.Size(), int64_t(Expected.size()));
    }
    // One copy larger than any buffer.
    const int64_t Rest = int64_t(Data.size()) - At;
    Source.SetPosition(At);
    Target.CopyFrom(Source, Rest, &Copied);
    Expected += Data.substr(size_t(At));
    CopiedOnly += Data.substr(size_t(At));
    EXPECT_TRUE(Copied.All == CopiedOnly);
    // Reading the target sees every copy made so far.
    Bytes Back(Expected.size(), '\0');
    Target.SetPosition(0);
    Target.ReadBuffer(Back.data(), int64_t(Back.size()));
    EXPECT_TRUE(Back == Expected);
    Target.Flush();
    EXPECT_TRUE(ReadAll(Dir.Path("dst")) == Expected);
    EXPECT_EQ(ReadAll(SourceName), Data);
}

TEST(FileStreamCopy, CopyPastTheSourceEndRaisesAReadError) {
    TScratchDir Dir;
    TFileStream Source(Dir.Write("src", "0123456789"), TFileMode::fmOpenRead);
    TFileStream Target(Dir.Path("dst"), TFileMode::fmCreate);
    Source.SetPosition(4);
    Target.CopyFrom(Source, 3);
    try {
        Target.CopyFrom(Source, 4);
        FAIL() << "no error";
    } catch (const EReadError& E) {
        EXPECT_STREQ(E.what(), "Stream read error");
    }
    Target.Flush();
    EXPECT_EQ(ReadAll(Dir.Path("dst")), "456");
}

TEST(FileStreamCopy, CopyFromAStreamWithUnflushedWrites) {
    TScratchDir Dir;
    TFileStream A(Dir.Path("a"), TFileMode::fmCreate);
    A.WriteBuffer("written but still buffered", 26);
    A.SetPosition(8);
    TFileStream B(Dir.Path("b"), TFileMode::fmCreate);
    B.CopyFrom(A, 18);
    B.Flush();
    EXPECT_EQ(ReadAll(Dir.Path("b")), "but still buffered");
}

TEST(FileStreamCopy, CopyIntoTheMiddleOfWrittenBytes) {
    TScratchDir Dir;
    TFileStream Source(Dir.Write("src", "ABCDEFGH"), TFileMode::fmOpenRead);
    TFileStream T(Dir.Path("dst"), TFileMode::fmCreate);
    T.WriteBuffer("0123456789", 10);
    T.SetPosition(3);
    T.CopyFrom(Source, 4);
    T.WriteBuffer("x", 1);
    T.Flush();
    EXPECT_EQ(ReadAll(Dir.Path("dst")), "012ABCDx89");
}

// Writes handed to the stream's own thread land where the position was, in
// order with the stream's other writes, and are there for its next read.
TEST(FileStreamWriteBehind, WritesLandInPlaceAmongTheOthers) {
    TScratchDir Dir;
    const Bytes A = RandomBytes(600 * 1024, 7), B = RandomBytes(300 * 1024, 8);
    TFileStream T(Dir.Path("out"), TFileMode::fmCreate);
    T.WriteBuffer("ab", 2);
    T.WriteBehind(A.data(), int64_t(A.size()));
    T.WriteBehind(B.data(), int64_t(B.size()));
    T.WriteBuffer("tail", 4);
    EXPECT_EQ(T.Size(), int64_t(2 + A.size() + B.size() + 4));
    T.SetPosition(1);
    T.WriteBuffer("Z", 1);
    char Buf[10];
    T.SetPosition(2 + int64_t(A.size()));
    T.ReadBuffer(Buf, sizeof Buf);
    EXPECT_EQ(Bytes(Buf, sizeof Buf), B.substr(0, sizeof Buf));
    T.Close();
    EXPECT_TRUE(ReadAll(Dir.Path("out")) == "aZ" + A + B + "tail");
}

// A write that fails on the stream's thread is raised by the next use of the
// stream, naming the file and the reason; the stream takes no more.
TEST(FileStreamWriteBehind, AFailedWriteIsRaisedWithItsReason) {
    const int Handle = ::open("/dev/full", O_RDWR | O_CLOEXEC);
    ASSERT_GE(Handle, 0);
    TFileStream T(Handle, "/dev/full");
    const Bytes A = RandomBytes(300 * 1024, 9);
    T.WriteBehind(A.data(), int64_t(A.size()));
    for (int Use = 0; Use < 2; ++Use) {
        try {
            if (Use == 0)
                T.Settle();
            else
                T.WriteBehind(A.data(), int64_t(A.size()));
            ADD_FAILURE() << "no error";
        } catch (const EWriteError& E) {
            EXPECT_STREQ(E.what(), "Stream write error \"/dev/full\". No space left on device");
            EXPECT_EQ(E.Error(), ENOSPC);
        }
    }
}

// One thread writes behind for every stream: the writes of streams used side
// by side stay apart, a failure is only the failing stream's, and a child
// made by fork() writes behind on a thread of its own.
TEST(FileStreamWriteBehind, StreamsSideBySideAndAForkedChild) {
    TScratchDir Dir;
    const Bytes A = RandomBytes(700 * 1024, 11), B = RandomBytes(500 * 1024, 12);
    TFileStream First(Dir.Path("a"), TFileMode::fmCreate), Second(Dir.Path("b"), TFileMode::fmCreate);
    const int Handle = ::open("/dev/full", O_RDWR | O_CLOEXEC);
    ASSERT_GE(Handle, 0);
    TFileStream Full(Handle, "/dev/full");
    for (size_t At = 0; At < A.size(); At += 256 * 1024) {
        First.WriteBehind(A.data() + At, int64_t(std::min<size_t>(256 * 1024, A.size() - At)));
        if (At < B.size()) Second.WriteBehind(B.data() + At, int64_t(std::min<size_t>(256 * 1024, B.size() - At)));
        if (At == 0) Full.WriteBehind(A.data(), 256 * 1024);
    }
    EXPECT_THROW(Full.Settle(), EWriteError);
    First.Close();
    Second.Close();
    EXPECT_TRUE(ReadAll(Dir.Path("a")) == A);
    EXPECT_TRUE(ReadAll(Dir.Path("b")) == B);

    std::fflush(nullptr);
    const pid_t Child = ::fork();
    ASSERT_GE(Child, 0);
    if (Child == 0) {
        TFileStream T(Dir.Path("child"), TFileMode::fmCreate);
        T.WriteBehind(B.data(), int64_t(B.size()));
        T.Close();
        ::_exit(ReadAll(Dir.Path("child")) == B ? 0 : 1);
    }
    int Status = 0;
    ASSERT_EQ(::waitpid(Child, &Status, 0), Child);
    EXPECT_TRUE(WIFEXITED(Status) && WEXITSTATUS(Status) == 0) << Status;
}

// Room set aside behind the end is not part of the file, and what is not
// written is given back by the flush.
TEST(FileStreamReserve, RoomNotWrittenIsGivenBack) {
    TScratchDir Dir;
    const Bytes A = RandomBytes(100 * 1024, 10);
    TFileStream T(Dir.Path("out"), TFileMode::fmCreate);
    T.Reserve(16 * 1024 * 1024);
    T.WriteBuffer(A.data(), int64_t(A.size()));
    T.Flush();
    struct stat St {};
    ASSERT_EQ(::stat(Dir.Path("out").c_str(), &St), 0);
    EXPECT_EQ(St.st_size, int64_t(A.size()));
    EXPECT_LT(int64_t(St.st_blocks) * 512, 1024 * 1024);
    T.Close();
    EXPECT_TRUE(ReadAll(Dir.Path("out")) == A);
}

TEST(FileIdentity, SameFileUnderOtherNames) {
    TScratchDir Dir;
    const std::string Name = Dir.Write("f", "x");
    std::filesystem::create_hard_link(Name, Dir.Path("hard"));
    std::filesystem::create_symlink(Name, Dir.Path("soft"));
    const std::string Other = Dir.Write("g", "x");
    TFileIdentity F, Hard, Soft, G, Missing;
    ASSERT_TRUE(FileIdentityOf(Name, F));
    ASSERT_TRUE(FileIdentityOf(Dir.Path("hard"), Hard));
    ASSERT_TRUE(FileIdentityOf(Dir.Path("soft"), Soft));
    ASSERT_TRUE(FileIdentityOf(Other, G));
    EXPECT_FALSE(FileIdentityOf(Dir.Path("missing"), Missing));
    EXPECT_EQ(F, Hard);
    EXPECT_EQ(F, Soft);
    EXPECT_FALSE(F == G);
    TFileStream S(Name, TFileMode::fmOpenRead);
    EXPECT_EQ(S.Identity(), F);
    EXPECT_TRUE(FileExists(Name));
    EXPECT_FALSE(FileExists(Dir.Dir().string()));
    EXPECT_FALSE(FileExists(""));
}

// Faults of the disk, through the stream's test hook: a read that fails, and
// a file shortened by another program while it is read. Both raise, naming
// the file, at the read that meets them: never a short read that would be
// taken for the end of the file.
class FileStreamFault : public testing::Test {
protected:
    ~FileStreamFault() override { TFileStream::SetReadFaultForTests(nullptr); }
    TScratchDir Dir;
};

TEST_F(FileStreamFault, FailedAndShortenedReadsRaise) {
    const Bytes Data = RandomBytes(1024 * 1024, 3);
    const std::string Name = Dir.Write("src", Data);
    struct {
        const char* What;
        int Error;        // what the hook fails the read with
        int64_t Shorten;  // or the size it cuts the file to
        const char* Reason;
    } const Cases[] = {
        {"I/O error", EIO, -1, "Input/output error"},
        {"shortened to nothing", 0, 0, "shorter than when it was opened"},
        {"shortened mid-buffer", 0, 600 * 1024, "shorter than when it was opened"},
    };
    for (const auto& C : Cases) {
        TestFiles::WriteAll(Name, Data);
        TFileStream S(Name, TFileMode::fmOpenRead);
        char Buf[4096];
        // The first 256 KiB read as usual; the fault meets the next read of the file.
        ASSERT_EQ(S.Read(Buf, sizeof Buf), int64_t(sizeof Buf));
        TFileStream::SetReadFaultForTests([&](const std::string& File, int64_t) {
            EXPECT_EQ(File, Name);
            if (C.Shorten >= 0) {
                EXPECT_EQ(::truncate(File.c_str(), C.Shorten), 0);
            }
            return C.Error;
        });
        S.SetPosition(512 * 1024);
        try {
            S.Read(Buf, sizeof Buf);
            ADD_FAILURE() << C.What << ": no error";
        } catch (const EReadError& E) {
            const std::string Text = E.what();
            EXPECT_EQ(Text.rfind("Stream read error \"" + Name + "\". ", 0), 0u) << Text;
            EXPECT_NE(Text.find(C.Reason), std::string::npos) << Text;
        }
        TFileStream::SetReadFaultForTests(nullptr);
    }
}

TEST_F(FileStreamFault, HolesOfASparseFileAreFoundWithoutReading) {
    const std::string Name = Dir.Path("sparse");
    {
        TFileStream S(Name, TFileMode::fmCreate);
        S.SetPosition(64 * 1024 * 1024);
        S.WriteBuffer("data", 4);
    }
    TFileStream S(Name, TFileMode::fmOpenRead);
    const int64_t Data = S.DataFrom(0);
    // A file system without holes says every byte may be data.
    EXPECT_TRUE(Data == 0 || (Data <= 64 * 1024 * 1024 && Data > 60 * 1024 * 1024)) << Data;
    EXPECT_EQ(S.DataFrom(S.Size()), S.Size());
    EXPECT_EQ(S.DataFrom(64 * 1024 * 1024 + 1), 64 * 1024 * 1024 + 1);
}

}  // namespace
