// libFuzzer target over what the sponsor window takes from the network: the
// input is read both as a reply of the information service and as the JPEG
// picture it names. Besides the sanitizers' own reports, every run checks
// what the window relies on:
//
//  - a reply is understood exactly when it starts with "!" and holds a "-",
//    and the address is everything after the first "-", byte for byte;
//  - the decoder never ends the program and never prints, and either gives
//    a picture of 1 to JpegMaxSide pixels a side with exactly width x height
//    opaque RGBA pixels, or fails with a reason and no pixels.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "fuzz/FuzzCheck.h"
#include "platform/JpegDecoder.h"
#include "sponsor/SponsorInfo.h"

namespace {

void CheckReply(const std::string& Reply) {
    std::string Address = "untouched";
    const bool Names = ParseSponsorReply(Reply, Address);
    const size_t Dash = Reply.find('-');
    const bool Expected = !Reply.empty() && Reply[0] == '!' && Dash != std::string::npos;
    Check(Names == Expected, "a reply is understood exactly when it has the mark and a dash");
    if (Names)
        Check(Address == Reply.substr(Dash + 1), "the address is everything after the first dash");
    else
        Check(Address == "untouched", "a reply that is not understood names no address");
}

void CheckPicture(const uint8_t* Data, size_t Size) {
    TRgbaImage Image;
    std::string Error;
    if (DecodeJpeg(Data, Size, Image, &Error)) {
        Check(Image.Width >= 1 && Image.Width <= JpegMaxSide, "width within the limit");
        Check(Image.Height >= 1 && Image.Height <= JpegMaxSide, "height within the limit");
        Check(Image.Pixels.size() == size_t(Image.Width) * size_t(Image.Height) * 4, "width x height pixels");
        for (size_t I = 3; I < Image.Pixels.size(); I += 4) Check(Image.Pixels[I] == 255, "opaque pixels");
    } else {
        Check(!Error.empty(), "a failure gives its reason");
        Check(Image.Pixels.empty() && Image.Width == 0 && Image.Height == 0, "a failure leaves no picture");
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
    CheckReply(std::string(reinterpret_cast<const char*>(Data), Size));
    CheckPicture(Data, Size);
    return 0;
}
