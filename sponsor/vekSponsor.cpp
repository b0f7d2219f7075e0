#include "sponsor/vekSponsor.h"

#include <filesystem>
#include <limits>
#include <system_error>
#include <utility>

#include "platform/IniFile.h"
#include "sponsor/UnitSponsor.h"
#include "sponsor/UnitSponsorMsg.h"

namespace {

const char* const Section = "ZZ";
const char* const Key = "syCount";

// The settings file is made by the editor window's first close; the counter
// only ever reads and updates one that is already there.
bool SettingsExist(const std::string& FileName) {
    std::error_code Error;
    return std::filesystem::exists(FileName, Error);
}

}  // namespace

TvekSponsor::TvekSponsor(std::string AIniFileName, TWindowServices Services)
    : IniFileName(std::move(AIniFileName)), FServices(std::move(Services)) {
    LoadCount();
}

void TvekSponsor::LoadCount() {
    if (SettingsExist(IniFileName)) UseCount = TIniFile(IniFileName).ReadInteger(Section, Key, 0);
}

void TvekSponsor::SaveCount() {
    if (!SettingsExist(IniFileName)) return;
    try {
        TIniFile(IniFileName).WriteInteger(Section, Key, UseCount);
    } catch (const std::exception&) {
        // A settings file that cannot be written keeps the count in memory:
        // the save the user asked for must not fail over it.
    }
}

bool TvekSponsor::ShowIfDue(bool Forced) {
    bool Shown = false;
    if (Forced || UseCount == 0) {
        ShowSponsorWindow(!Forced, FServices);
        Shown = true;
    }
    if (!Forced) {
        // A count stored at the top of the range stays there instead of overflowing.
        if (UseCount < std::numeric_limits<int32_t>::max()) ++UseCount;
        SaveCount();
    }
    return Shown;
}

void TvekSponsor::ShowClosingMessage() { ShowSponsorMessage(FServices); }
