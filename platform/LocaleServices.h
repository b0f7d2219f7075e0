// Locale services without a window toolkit: the system's legacy "ANSI" code
// page (the one ID3v1 texts are read and written in), its lead-byte test,
// conversion of tag bytes to and from UTF-8, and file-name comparison
// that ignores letter case.
#pragma once

#include <string>

// The code page the system locale implies, derived as Windows derives it:
// zh_CN 936 (GBK), zh_TW/zh_HK 950 (Big5), ja 932, ko 949, Cyrillic 1251,
// Central European 1250, ..., otherwise 1252.
int SystemAnsiCodePage();
// The same derivation for a given locale name such as "zh_CN.UTF-8".
int AnsiCodePageForLocale(const std::string& LocaleName);

// True when Byte starts a double-byte character in CodePage.
bool IsLeadByte(unsigned char Byte, int CodePage);

// Bytes of CodePage to UTF-8; invalid sequences become U+FFFD.
std::string AnsiToUtf8(const std::string& Bytes, int CodePage);
// UTF-16 (without its byte order mark) to UTF-8; invalid units become U+FFFD.
std::string Utf16ToUtf8(const std::string& Bytes, bool BigEndian);
// UTF-8 to bytes of CodePage; characters the code page lacks become '?'.
std::string Utf8ToAnsi(const std::string& Text, int CodePage);

// Compares two file names as whole texts without regard to letter case.
bool SameFileNameIgnoringCase(const std::string& A, const std::string& B);
