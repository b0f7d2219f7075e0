// The use counter behind the sponsor prompt: save attempts counted in the
// settings file, the sponsor window at the first one, and the closing message.
#pragma once

#include <cstdint>
#include <string>

#include "widgets/WindowServices.h"

class TvekSponsor {
public:
    // Loads the stored count from the settings file IniFileName.
    explicit TvekSponsor(std::string IniFileName, TWindowServices Services = DefaultWindowServices());

    // Shows the sponsor window when Forced, or, in its waiting mode, when no
    // save attempt has been counted yet; counts an attempt unless Forced.
    // True when the window was shown.
    bool ShowIfDue(bool Forced);
    void ShowClosingMessage();

    const std::string IniFileName;
    int32_t UseCount = 0;

private:
    void LoadCount();
    void SaveCount();
    TWindowServices FServices;
};
