// Files for the engine tests: a private scratch folder per test, whole-file
// reads and writes, and the committed fixtures.
#pragma once

#include <cstdint>
#include <filesystem>
#include <set>
#include <string>

namespace TestFiles {

using Bytes = std::string;  // raw file contents

std::string Fixture(const std::string& Name);
Bytes ReadAll(const std::string& Path);
void WriteAll(const std::string& Path, const Bytes& Data);

// A folder that exists for the life of the object and is removed with it.
class TScratchDir {
public:
    TScratchDir();
    ~TScratchDir();
    TScratchDir(const TScratchDir&) = delete;
    TScratchDir& operator=(const TScratchDir&) = delete;
    std::string Path(const std::string& Name) const { return (FDir / Name).string(); }
    // Writes Data to a new file in the folder and returns its path.
    std::string Write(const std::string& Name, const Bytes& Data) const;
    const std::filesystem::path& Dir() const { return FDir; }
    // The names in the folder now (nothing left behind shows here).
    std::set<std::string> Entries() const;

private:
    std::filesystem::path FDir;
};

}  // namespace TestFiles
