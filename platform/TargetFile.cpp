#include "platform/TargetFile.h"

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Where the bytes of FileName really go: a symbolic link is written through,
// so that the link stays and the file it names is replaced.
std::string ResolvedTarget(const std::string& FileName) {
    char* Real = ::realpath(FileName.c_str(), nullptr);
    if (!Real) return FileName;
    std::string Result(Real);
    std::free(Real);
    return Result;
}

std::string FolderOf(const std::string& FileName) {
    const std::string Folder = std::filesystem::path(FileName).parent_path().string();
    return Folder.empty() ? std::string(".") : Folder;
}

// The usual mode of a new file, not the private mode of a temporary file.
mode_t NewFileMode() {
    const mode_t Mask = ::umask(0);
    ::umask(Mask);
    return 0666 & ~Mask;
}

bool Exists(const std::string& FileName) {
    struct stat St {};
    return ::lstat(FileName.c_str(), &St) == 0;
}

// Gives the unnamed file open as Handle the name Name; false (errno set)
// when it cannot. Through /proc any user may do it; AT_EMPTY_PATH is for a
// process without /proc that has the privilege it needs.
bool LinkHandle(int Handle, const std::string& Name) {
    const std::string Proc = "/proc/self/fd/" + std::to_string(Handle);
    if (::linkat(AT_FDCWD, Proc.c_str(), AT_FDCWD, Name.c_str(), AT_SYMLINK_FOLLOW) == 0) return true;
    const int Error = errno;
    if (Error == EEXIST) return false;
    if (::linkat(Handle, "", AT_FDCWD, Name.c_str(), AT_EMPTY_PATH) == 0) return true;
    if (errno != EEXIST) errno = Error;
    return false;
}

// After a rename the folder holds the new entry only in memory until it is
// written back; a folder that cannot be synced (some file systems refuse)
// changes nothing about the file that is already in place.
void SyncFolder(const std::string& Folder) {
    const int Handle = ::open(Folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (Handle < 0) return;
    ::fsync(Handle);
    ::close(Handle);
}

constexpr int NameAttempts = 100;

}  // namespace

std::string TemporaryNameBeside(const std::string& Folder, const std::string& Target, size_t Keep) {
    std::string Base = std::filesystem::path(Target).filename().string();
    if (Base.size() > Keep) {
        size_t Cut = Keep;
        // Not inside a UTF-8 character: back up over its continuation bytes.
        while (Cut > 0 && (static_cast<unsigned char>(Base[Cut]) & 0xC0) == 0x80) --Cut;
        Base.resize(Cut);
    }
    static const char Letters[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    unsigned char Random[6] = {};
    if (::getrandom(Random, sizeof Random, GRND_NONBLOCK) != sizeof Random) {
        auto Seed = static_cast<uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count()) ^
                    (uint64_t(::getpid()) << 20);
        for (unsigned char& R : Random) {
            R = static_cast<unsigned char>(Seed);
            Seed = Seed * 6364136223846793005ULL + 1442695040888963407ULL;
            R ^= static_cast<unsigned char>(Seed >> 56);
        }
    }
    std::string Suffix;
    for (unsigned char R : Random) Suffix += Letters[R % (sizeof Letters - 1)];
    return (std::filesystem::path(Folder) / (Base + ".segmora-" + Suffix)).string();
}

TTargetFile::TTargetFile(const std::string& FileName, TTemporaryKind Kind, TExisting Existing) : FExisting(Existing) {
    FFailure = Prepare(FileName, Kind);
}

TTargetFailure TTargetFile::Prepare(const std::string& FileName, TTemporaryKind Kind) {
    if (FileName.empty()) return TTargetFailure::EmptyName;
    // With ReplaceName the entry itself is looked at and replaced, never
    // what a link at the name points to.
    const bool OwnName = FExisting == TExisting::ReplaceName;
    struct stat Existing {};
    const bool Found = (OwnName ? ::lstat(FileName.c_str(), &Existing) : ::stat(FileName.c_str(), &Existing)) == 0;
    const bool Link = Found && S_ISLNK(Existing.st_mode);
    if (Found && !Link) {
        if (S_ISDIR(Existing.st_mode)) return TTargetFailure::Folder;
        // A FIFO, a device or a socket is never renamed over: it is not a
        // file the user could have meant to replace by a piece of audio.
        if (!S_ISREG(Existing.st_mode)) return TTargetFailure::NotRegular;
    }
    if (FExisting == TExisting::Keep && Exists(FileName)) return TTargetFailure::Exists;
    FFinalName = OwnName ? FileName : ResolvedTarget(FileName);
    FFolder = FolderOf(FFinalName);
    // A file we may not write stays as it is, as if we had opened it for writing.
    if (!Link && FileExists(FFinalName) && ::access(FFinalName.c_str(), W_OK) != 0) {
        FSystemError = errno;
        return TTargetFailure::NotWritable;
    }

    // The new file takes the mode the replaced one had.
    const mode_t Mode = Found && !Link ? Existing.st_mode & 07777 : NewFileMode();
    int Handle = -1;
    if (Kind == TTemporaryKind::Unnamed) Handle = ::open(FFolder.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
    if (Handle < 0) {
        // No unnamed files here (or not asked for): a short name beside the target.
        for (int Attempt = 0; Attempt < NameAttempts && Handle < 0; ++Attempt) {
            const std::string Name = TemporaryNameBeside(FFolder, FFinalName);
            Handle = ::open(Name.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
            if (Handle >= 0)
                NameTemporary(Name);
            else if (errno != EEXIST)
                break;
        }
        if (Handle < 0) {
            FSystemError = errno;
            return TTargetFailure::NotCreated;
        }
    }
    ::fchmod(Handle, Mode);
    try {
        FStream = std::make_unique<TFileStream>(Handle, FFinalName);
    } catch (const EStreamError&) {
        RemoveTemporary();
        return TTargetFailure::NotCreated;
    }
    return TTargetFailure::None;
}

TTargetFile::~TTargetFile() {
    FStream.reset();
    RemoveTemporary();
}

void TTargetFile::NameTemporary(const std::string& Name) {
    FTemporaryName = Name;
    FCleanup = std::make_unique<TCleanupOnSignal>(Name);
}

void TTargetFile::RemoveTemporary() {
    if (!FTemporaryName.empty()) ::unlink(FTemporaryName.c_str());
    FTemporaryName.clear();
    FCleanup.reset();
}

bool TTargetFile::Commit() {
    if (!FStream) return false;
    bool Committed = false;
    if (FExisting == TExisting::Keep) {
        Committed = CommitBesideExisting();
    } else {
        const bool Replaces = Exists(FFinalName);
        // A write that fails must fail the save before the file replaces
        // anything; a file that replaces another must be on the disk before it does.
        if (Replaces)
            FStream->Sync();
        else
            FStream->Flush();
        Committed = FTemporaryName.empty() ? CommitUnnamed(Replaces) : CommitNamed(Replaces);
    }
    FSystemError = Committed ? 0 : errno;
    return Committed;
}

// A link never replaces a file: whatever took the name since Prepare stays.
bool TTargetFile::CommitBesideExisting() {
    FStream->Flush();
    const bool Linked = FTemporaryName.empty() ? LinkHandle(FStream->Handle(), FFinalName)
                                               : ::link(FTemporaryName.c_str(), FFinalName.c_str()) == 0;
    if (!Linked) return false;
    CloseLinked();
    RemoveTemporary();
    return true;
}

// The file has just taken the target's name; a close that fails (a write
// the system had kept back) takes the name away again.
void TTargetFile::CloseLinked() {
    try {
        FStream->Close();
    } catch (const EWriteError&) {
        ::unlink(FFinalName.c_str());
        throw;
    }
    FStream.reset();
}

bool TTargetFile::CommitNamed(bool Replaces) {
    FStream->Close();
    FStream.reset();
    if (::rename(FTemporaryName.c_str(), FFinalName.c_str()) != 0) return false;
    FTemporaryName.clear();
    FCleanup.reset();
    if (Replaces) SyncFolder(FFolder);
    return true;
}

bool TTargetFile::CommitUnnamed(bool Replaces) {
    const int Handle = FStream->Handle();
    if (!Replaces) {
        // A name that nothing holds is taken directly; a link never replaces
        // a file, so one made meanwhile is replaced as any other below.
        if (LinkHandle(Handle, FFinalName)) {
            CloseLinked();
            return true;
        }
        if (errno != EEXIST) return false;
        FStream->Sync();
    }
    // An existing file is replaced in one step: the new file gets a short
    // name of its own beside it first, then takes the target's name.
    for (int Attempt = 0; Attempt < NameAttempts; ++Attempt) {
        const std::string Name = TemporaryNameBeside(FFolder, FFinalName);
        if (LinkHandle(Handle, Name)) {
            NameTemporary(Name);
            break;
        }
        if (errno != EEXIST) return false;
    }
    if (FTemporaryName.empty()) return false;
    return CommitNamed(true);
}
