#include "tests/support/TestFiles.h"

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <vector>

namespace TestFiles {

std::string Fixture(const std::string& Name) { return std::string(SEGMORA_FIXTURES) + "/" + Name; }

Bytes ReadAll(const std::string& Path) {
    std::ifstream In(Path, std::ios::binary);
    if (!In) throw std::runtime_error("cannot read " + Path);
    return Bytes(std::istreambuf_iterator<char>(In), std::istreambuf_iterator<char>());
}

void WriteAll(const std::string& Path, const Bytes& Data) {
    std::ofstream Out(Path, std::ios::binary | std::ios::trunc);
    Out.write(Data.data(), static_cast<std::streamsize>(Data.size()));
    if (!Out) throw std::runtime_error("cannot write " + Path);
}

TScratchDir::TScratchDir() {
    std::string Pattern = (std::filesystem::temp_directory_path() / "segmora-test-XXXXXX").string();
    std::vector<char> Name(Pattern.begin(), Pattern.end());
    Name.push_back('\0');
    if (!::mkdtemp(Name.data())) throw std::runtime_error("mkdtemp failed");
    FDir = Name.data();
}

TScratchDir::~TScratchDir() {
    std::error_code Ignored;
    std::filesystem::remove_all(FDir, Ignored);
}

std::string TScratchDir::Write(const std::string& Name, const Bytes& Data) const {
    const std::string P = Path(Name);
    WriteAll(P, Data);
    return P;
}

std::set<std::string> TScratchDir::Entries() const {
    std::set<std::string> Names;
    for (const auto& E : std::filesystem::directory_iterator(FDir)) Names.insert(E.path().filename().string());
    return Names;
}

}  // namespace TestFiles
