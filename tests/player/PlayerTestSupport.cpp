#include "tests/player/PlayerTestSupport.h"

#include <algorithm>
#include <cstring>
#include <mpg123.h>
#include <stdexcept>
#include <thread>

namespace PlayerTest {

std::vector<std::string> AllFixtures() {
    std::vector<std::string> Files;
    for (const auto& Entry : std::filesystem::directory_iterator(SEGMORA_FIXTURES)) {
        const std::string Ext = Entry.path().extension().string();
        if (Entry.is_regular_file() && (Ext == ".mp3" || Ext == ".mp2")) Files.push_back(Entry.path().string());
    }
    std::sort(Files.begin(), Files.end());
    return Files;
}

TPcm DecodeFile(const std::string& File, long Rate, int Channels) {
    TPcm Pcm;
    Pcm.Rate = Rate;
    Pcm.Channels = Channels;
    mpg123_init();
    int Error = 0;
    mpg123_handle* H = mpg123_new(nullptr, &Error);
    if (!H) throw std::runtime_error("mpg123_new failed");
    mpg123_param(H, MPG123_REMOVE_FLAGS, MPG123_GAPLESS, 0.0);
    mpg123_param(H, MPG123_ADD_FLAGS, MPG123_QUIET, 0.0);
    mpg123_format_none(H);
    mpg123_format(H, Rate, Channels == 1 ? MPG123_MONO : MPG123_STEREO, MPG123_ENC_SIGNED_16);
    if (mpg123_open(H, File.c_str()) != MPG123_OK) {
        mpg123_delete(H);
        throw std::runtime_error("mpg123_open failed for " + File);
    }
    std::vector<unsigned char> Buffer(1 << 16);
    for (;;) {
        size_t Done = 0;
        const int R = mpg123_read(H, Buffer.data(), Buffer.size(), &Done);
        const auto* S = reinterpret_cast<const int16_t*>(Buffer.data());
        Pcm.Samples.insert(Pcm.Samples.end(), S, S + Done / 2);
        if (R == MPG123_DONE || R == MPG123_ERR) break;
        if (R != MPG123_OK && R != MPG123_NEW_FORMAT && R != MPG123_NEED_MORE) break;
    }
    mpg123_close(H);
    mpg123_delete(H);
    return Pcm;
}

void TCaptureSink::Start(const TPcmFormat& Format) {
    std::lock_guard<std::mutex> Lock(FMutex);
    FFormat = Format;
    FSamples.clear();
}

size_t TCaptureSink::Write(const uint8_t* Data, size_t Bytes) {
    std::lock_guard<std::mutex> Lock(FMutex);
    const auto* S = reinterpret_cast<const int16_t*>(Data);
    FSamples.insert(FSamples.end(), S, S + Bytes / 2);
    return Bytes;
}

int64_t TCaptureSink::Heard() const {
    std::lock_guard<std::mutex> Lock(FMutex);
    return FFormat.Channels ? int64_t(FSamples.size()) / FFormat.Channels : 0;
}

TPcmFormat TCaptureSink::Format() const {
    std::lock_guard<std::mutex> Lock(FMutex);
    return FFormat;
}

std::vector<int16_t> TCaptureSink::Samples() const {
    std::lock_guard<std::mutex> Lock(FMutex);
    return FSamples;
}

bool WaitFor(const std::function<bool()>& Done, std::chrono::milliseconds Timeout) {
    const auto Until = std::chrono::steady_clock::now() + Timeout;
    while (!Done()) {
        if (std::chrono::steady_clock::now() >= Until) return Done();
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

}  // namespace PlayerTest
