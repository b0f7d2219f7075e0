#include "tests/engine/Mpg123Decode.h"

#include <cstring>
#include <memory>
#include <mpg123.h>

TDecodeResult DecodeWithMpg123(const std::string& FileName, const TDecodeOptions& Options) {
    TDecodeResult R;
    static const bool Initialised = [] { return mpg123_init() == MPG123_OK; }();
    if (!Initialised) {
        R.Error = "mpg123_init failed";
        return R;
    }
    int Err = MPG123_OK;
    std::unique_ptr<mpg123_handle, void (*)(mpg123_handle*)> H(mpg123_new(nullptr, &Err), mpg123_delete);
    if (!H) {
        R.Error = "mpg123_new failed";
        return R;
    }
    // No silent skipping over junk: a stray byte in a cut must show up as an
    // error, not as a resync.
    mpg123_param(H.get(), Options.Gapless ? MPG123_ADD_FLAGS : MPG123_REMOVE_FLAGS, MPG123_GAPLESS, 0);
    mpg123_param(H.get(), MPG123_ADD_FLAGS, MPG123_NO_RESYNC | MPG123_QUIET, 0);
    if (mpg123_open(H.get(), FileName.c_str()) != MPG123_OK) {
        R.Error = std::string("open: ") + mpg123_strerror(H.get());
        return R;
    }
    const off_t Length = mpg123_length(H.get());
    R.ReportedLength = Length < 0 ? -1 : int64_t(Length);
    int Encoding = 0;
    for (;;) {
        off_t Num = 0;
        unsigned char* Audio = nullptr;
        size_t Bytes = 0;
        const int Rc = mpg123_decode_frame(H.get(), &Num, &Audio, &Bytes);
        if (Rc == MPG123_NEW_FORMAT) {
            mpg123_getformat(H.get(), &R.Rate, &R.Channels, &Encoding);
            if (Options.KeepSamples && Encoding != MPG123_ENC_SIGNED_16) {
                R.Error = "not decoded to 16-bit samples";
                break;
            }
        } else if (Rc == MPG123_DONE) {
            break;
        } else if (Rc != MPG123_OK) {
            R.Error = mpg123_strerror(H.get());
            break;
        }
        if (Bytes == 0 || R.Channels == 0) continue;
        R.Samples += int64_t(Bytes) / (R.Channels * mpg123_encsize(Encoding));
        if (Options.KeepSamples) {
            const size_t Had = R.Pcm.size();
            R.Pcm.resize(Had + Bytes / sizeof(int16_t));
            std::memcpy(R.Pcm.data() + Had, Audio, Bytes);
        }
    }
    mpg123_close(H.get());
    return R;
}
