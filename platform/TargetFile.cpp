#include "platform/TargetFile.h"

#include <cstdlib>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

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

// The new file takes the mode the replaced one had, or the usual mode of a
// new file, not the private mode of a temporary file.
mode_t ModeFor(const std::string& Target) {
    struct stat Existing {};
    if (::stat(Target.c_str(), &Existing) == 0) return Existing.st_mode & 07777;
    const mode_t Mask = ::umask(0);
    ::umask(Mask);
    return 0666 & ~Mask;
}

}  // namespace

TTargetFile::TTargetFile(const std::string& FileName) { FFailure = Prepare(FileName); }

TTargetFailure TTargetFile::Prepare(const std::string& FileName) {
    if (FileName.empty()) return TTargetFailure::EmptyName;
    struct stat Existing {};
    if (::stat(FileName.c_str(), &Existing) == 0 && S_ISDIR(Existing.st_mode)) return TTargetFailure::Folder;
    FFinalName = ResolvedTarget(FileName);
    // A file we may not write stays as it is, as if we had opened it for writing.
    if (FileExists(FFinalName) && ::access(FFinalName.c_str(), W_OK) != 0) return TTargetFailure::NotWritable;

    std::string Pattern = FFinalName + ".segmora-XXXXXX";
    std::vector<char> Name(Pattern.begin(), Pattern.end());
    Name.push_back('\0');
    const int Fd = ::mkstemp(Name.data());
    if (Fd < 0) return TTargetFailure::NotCreated;
    ::fchmod(Fd, ModeFor(FFinalName));
    ::close(Fd);
    FTemporaryName = Name.data();
    try {
        // The temporary file is new and empty: truncating it again would make
        // the file system write the whole piece back at close.
        FStream = std::make_unique<TFileStream>(FTemporaryName, TFileMode::fmOpenReadWrite);
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

void TTargetFile::RemoveTemporary() {
    if (!FTemporaryName.empty()) ::unlink(FTemporaryName.c_str());
    FTemporaryName.clear();
}

bool TTargetFile::Commit() {
    if (!FStream) return false;
    // A write that fails must fail the save before the file replaces anything.
    FStream->Flush();
    FStream.reset();
    if (::rename(FTemporaryName.c_str(), FFinalName.c_str()) != 0) return false;
    FTemporaryName.clear();
    return true;
}
