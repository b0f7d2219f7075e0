#include "sponsor/SponsorInfo.h"

#include <cstdlib>

#ifndef SEGMORA_SPONSOR_INFO_URL
#define SEGMORA_SPONSOR_INFO_URL ""
#endif

namespace {

// Neither request may hold the window for longer than this, whatever the
// service does: the connection, and each request as a whole.
constexpr long ConnectTimeoutMs = 5000;
constexpr long RequestTimeoutMs = 10000;

}  // namespace

std::string SponsorInfoUrl() {
    if (const char* Url = std::getenv("SEGMORA_SPONSOR_INFO_URL")) return Url;
    return SEGMORA_SPONSOR_INFO_URL;
}

THttpRequest SponsorInfoRequest(const std::string& ServiceUrl) {
    THttpRequest Request;
    Request.Method = THttpRequest::TMethod::Post;
    Request.Url = ServiceUrl;
    Request.ContentType = "application/x-www-form-urlencoded";
    Request.FollowRedirects = true;
    Request.ReadTimeoutMs = 10000;
    Request.ConnectTimeoutMs = ConnectTimeoutMs;
    Request.TotalTimeoutMs = RequestTimeoutMs;
    Request.MaxBytes = SponsorMaxReplyBytes;
    return Request;
}

THttpRequest SponsorPictureRequest(const std::string& Address) {
    THttpRequest Request;
    Request.Url = Address;
    Request.ConnectTimeoutMs = ConnectTimeoutMs;
    Request.TotalTimeoutMs = RequestTimeoutMs;
    Request.MaxBytes = SponsorMaxPictureBytes;
    return Request;
}

bool ParseSponsorReply(const std::string& Reply, std::string& Address) {
    if (Reply.empty() || Reply.front() != '!') return false;
    const size_t Dash = Reply.find('-');
    if (Dash == std::string::npos) return false;
    Address = Reply.substr(Dash + 1);
    return true;
}
