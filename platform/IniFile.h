// Ini files with the behaviour of the platform's private-profile functions:
// "[Section]" headers followed by "Key=Value" lines. Section and key names
// compare without regard to ASCII letter case, names and values are trimmed
// of blanks, a value in matching quotes loses them, a missing file or key
// gives the default. Writing keeps every other section, key, comment and
// line as it was, and creates the file when it does not exist yet.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

class TIniFile {
public:
    explicit TIniFile(std::string FileName);

    const std::string& FileName() const { return FFileName; }

    std::string ReadString(const std::string& Section, const std::string& Ident, const std::string& Default) const;
    // The value as a decimal integer with an optional sign (or hexadecimal
    // with "$" or "0x"); anything else, or a value out of range, gives Default.
    int32_t ReadInteger(const std::string& Section, const std::string& Ident, int32_t Default) const;
    bool SectionExists(const std::string& Section) const;
    // The key names of a section, in file order.
    std::vector<std::string> ReadSection(const std::string& Section) const;
    // "Key=Value" for every key of a section, in file order; a key that
    // appears twice gives its first value both times, as a look-up by name would.
    std::vector<std::string> ReadSectionValues(const std::string& Section) const;

    // Raises std::runtime_error naming the file when it cannot be written.
    void WriteString(const std::string& Section, const std::string& Ident, const std::string& Value);
    void WriteInteger(const std::string& Section, const std::string& Ident, int32_t Value);

private:
    std::string FFileName;
};

// Exposed for the tests and for callers that convert values themselves.
bool TryStrToInt(const std::string& Text, int32_t& Value);
