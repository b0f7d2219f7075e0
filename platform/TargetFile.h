// The file a save writes: the bytes go to a temporary file beside the target,
// which replaces the target only when the whole save has succeeded, so that a
// failed save leaves an existing file as it was and nothing behind.
//
// Where the file system offers it, the temporary file has no name at all
// (O_TMPFILE) until the save is complete: a save ended by any signal, even
// SIGKILL, or by a power cut leaves nothing. Elsewhere (some network file
// systems) it is a named file with a short name beside the target, removed
// when the save fails and when SIGINT, SIGTERM or SIGHUP ends the process.
//
// A new target is as durable as a copy made with cp. An existing target is
// replaced only after the new bytes are on the disk (fsync), and the folder
// is synced after the rename, so that a crash leaves the old file or the new
// one, never neither.
#pragma once

#include <memory>
#include <string>

#include "platform/FileStream.h"
#include "platform/TemporaryCleanup.h"

// Why a target file is not Ready().
enum class TTargetFailure {
    None,         // ready
    EmptyName,    // no name was given
    Folder,       // the name is that of a folder
    NotRegular,   // the name is that of a FIFO, a device or a socket
    NotWritable,  // an existing file that may not be written
    NotCreated,   // no file can be created beside the target (no such folder, no rights, ...)
    Exists,       // a file of that name exists, and is to be kept
};

// What becomes of a file that already has the target's name. Replace writes
// through a symbolic link: the link stays and the file it names is replaced.
// ReplaceName replaces whatever entry bears the name, a link itself
// included, and never reaches outside the target's folder: for names that
// come from somewhere else than the user (a batch's pattern, a sheet).
enum class TExisting { Replace, Keep, ReplaceName };

// How the temporary file is made: Unnamed falls back to Named where the file
// system cannot make an unnamed file. Named is there for tests.
enum class TTemporaryKind { Unnamed, Named };

class TTargetFile {
public:
    // Prepares the temporary file for FileName. A symbolic link is written
    // through with Replace, replaced itself with ReplaceName. Nothing is
    // prepared (Ready() false) for an empty name, a folder, anything but a
    // regular file (or a link, with ReplaceName), an existing file that may
    // not be written, or a folder where no file can be created; with Keep,
    // for any name that exists already (a link included).
    explicit TTargetFile(const std::string& FileName, TTemporaryKind Kind = TTemporaryKind::Unnamed,
                         TExisting Existing = TExisting::Replace);
    ~TTargetFile();
    TTargetFile(const TTargetFile&) = delete;
    TTargetFile& operator=(const TTargetFile&) = delete;

    bool Ready() const { return FStream != nullptr; }
    // Why the file is not Ready(); None while it is.
    TTargetFailure Failure() const { return FFailure; }
    // The system's error number behind the last failure (not Ready(), or a
    // Commit() that returned false); 0 when the system reported none.
    int SystemError() const { return FSystemError; }
    // The stream to write; only while Ready(). Its errors name the target.
    TFileStream& Stream() { return *FStream; }
    // The temporary file's name; empty while it has none.
    const std::string& TemporaryName() const { return FTemporaryName; }
    // Pushes every write to the file and puts it in the target's place.
    // Raises EWriteError when a write, the sync or the close fails; false
    // when the file cannot take the target's name (with Keep: also when a
    // file of that name has appeared meanwhile, which stays as it is). The
    // temporary file is gone either way.
    bool Commit();

private:
    TTargetFailure Prepare(const std::string& FileName, TTemporaryKind Kind);
    bool CommitBesideExisting();
    void CloseLinked();
    bool MakeNamed(const std::string& Name, int& Handle);
    bool CommitUnnamed(bool Replaces);
    bool CommitNamed(bool Replaces);
    void NameTemporary(const std::string& Name);
    void RemoveTemporary();

    std::string FFinalName;
    std::string FFolder;
    std::string FTemporaryName;
    std::unique_ptr<TCleanupOnSignal> FCleanup;
    std::unique_ptr<TFileStream> FStream;
    TTargetFailure FFailure = TTargetFailure::None;
    int FSystemError = 0;
    TExisting FExisting = TExisting::Replace;
};

// A name for a temporary file beside Target that no file system refuses for
// its length: the start of Target's own name (at most Keep bytes, whole
// UTF-8 characters), ".segmora-" and six random letters and digits.
std::string TemporaryNameBeside(const std::string& Folder, const std::string& Target, size_t Keep = 32);
