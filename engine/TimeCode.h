// Time codes "000:00:00.000" (hours, minutes, seconds, milliseconds) and
// their conversion to and from signed 64-bit milliseconds.
#pragma once

#include <cstdint>
#include <string>

std::string ZeroPad2(int64_t N);
std::string ZeroPad3(int64_t N);
// Hours of 1000 and above keep all their digits; nothing is capped.
std::string MsToTimeCode(int64_t Ms);
// Clamps the tens of minutes and of seconds to 5 and turns unfilled
// positions (spaces) into "0". Text is an edit's 13-character text.
std::string NormalizeTimeCode(const std::string& Text);
// Milliseconds of a normalised time code; a field that is no number counts 0.
int64_t TimeCodeToMs(const std::string& Text);
// Strict parsing for command lines, to whole milliseconds (a finer fraction
// is rounded): plain milliseconds ("1500"); "H:MM:SS[.f]" of any number of
// hours ("000:00:01.500", "0:30:00"); "M:SS[.f]" of any number of minutes
// ("30:00", "1:23.5"); or a number with a unit, ms, s, m or h ("250ms",
// "1.5s", "2m", "1h"). No sign, no spaces. False when Text is none of these.
bool ParseTimeArgument(const std::string& Text, int64_t& Ms);
