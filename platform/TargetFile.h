// The file a save writes: the bytes go to a temporary file beside the target,
// which replaces the target only when the whole save has succeeded, so that a
// failed save leaves an existing file as it was and nothing behind.
#pragma once

#include <memory>
#include <string>

#include "platform/FileStream.h"

// Why a target file is not Ready().
enum class TTargetFailure {
    None,         // ready
    EmptyName,    // no name was given
    Folder,       // the name is that of a folder
    NotWritable,  // an existing file that may not be written
    NotCreated,   // no file can be created beside the target (no such folder, no rights, ...)
};

class TTargetFile {
public:
    // Prepares the temporary file for FileName. A symbolic link is written
    // through: the link stays and the file it names is replaced. Nothing is
    // prepared (Ready() false) for an empty name, a folder, an existing file
    // that may not be written, or a folder where no file can be created.
    explicit TTargetFile(const std::string& FileName);
    ~TTargetFile();
    TTargetFile(const TTargetFile&) = delete;
    TTargetFile& operator=(const TTargetFile&) = delete;

    bool Ready() const { return FStream != nullptr; }
    // Why the file is not Ready(); None while it is.
    TTargetFailure Failure() const { return FFailure; }
    // The stream to write; only while Ready().
    TFileStream& Stream() { return *FStream; }
    // Pushes every write to the file and puts it in the target's place.
    // Raises EWriteError when a buffered write fails; false when the file
    // cannot take the target's name. The temporary file is gone either way.
    bool Commit();

private:
    TTargetFailure Prepare(const std::string& FileName);
    void RemoveTemporary();

    std::string FFinalName;
    std::string FTemporaryName;
    std::unique_ptr<TFileStream> FStream;
    TTargetFailure FFailure = TTargetFailure::None;
};
