// The exchange with the sponsor information service, without any window:
// where the service is, the two requests, and how its reply names the
// payment picture.
#pragma once

#include <cstddef>
#include <string>

#include "platform/HttpClient.h"

// The address of the information service: SEGMORA_SPONSOR_INFO_URL from the
// environment when it is set (even to nothing), otherwise the address the
// build was configured with, which is empty unless a distributor set one.
// Empty means that no request is made at all.
std::string SponsorInfoUrl();

// Largest payment picture taken from the network.
constexpr size_t SponsorMaxPictureBytes = 4 * 1024 * 1024;
// Largest reply of the information service: by its form a few hundred bytes
// (a mark and an address); a service that keeps sending is cut off here
// instead of filling the window's memory for as long as the request may run.
constexpr size_t SponsorMaxReplyBytes = 16 * 1024;

// The POST to the information service: an empty form, redirects followed,
// a read time-out of 10 seconds, a reply of at most SponsorMaxReplyBytes.
THttpRequest SponsorInfoRequest(const std::string& ServiceUrl);
// The GET of the payment picture: redirects are not followed.
THttpRequest SponsorPictureRequest(const std::string& Address);

// A reply of the form "!" + text + "-" + address names the picture at the
// address: everything after the first "-" to the end, untrimmed. False for
// anything else (empty, not starting with "!", no "-").
bool ParseSponsorReply(const std::string& Reply, std::string& Address);
