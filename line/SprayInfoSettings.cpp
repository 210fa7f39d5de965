#include "line/SprayInfoSettings.h"

namespace vex {

namespace {
constexpr std::array<const char *, SprayInfoCount + 1> Keys = {"",
                                                               "AC_Type",
                                                               "AC_Registration",
                                                               "AC_Owner",
                                                               "AC_Swath",
                                                               "AC_Speed",
                                                               "AC_Height",
                                                               "Spray_Product",
                                                               "Spray_ActiveRate",
                                                               "Spray_SprayRate",
                                                               "Nozzle_Type",
                                                               "Nozzle_Number",
                                                               "Sampler_Type",
                                                               "Sample_Position1",
                                                               "Sample_Interval",
                                                               "Comment"};
}

const char *sprayInfoKey(int entry)
{
    if (entry < 1 || entry > SprayInfoCount)
        return "";
    return Keys[static_cast<std::size_t>(entry)];
}

SprayInfo readSprayInfo(SettingsStore &store)
{
    SprayInfo info;
    for (int entry = 1; entry <= SprayInfoCount; ++entry) {
        if (entry == Sample_Position1 || entry == Sample_Interval)
            continue;
        info[entry] = readSetting(store, SprayInfoSection, sprayInfoKey(entry), "");
    }
    return info;
}

Status saveSprayInfo(SettingsStore &store, const SprayInfo &info)
{
    Status first;
    for (int entry = 1; entry <= SprayInfoCount; ++entry) {
        const Status written = writeSetting(store, SprayInfoSection, sprayInfoKey(entry), info[entry]);
        if (first.ok())
            first = written;
    }
    return first;
}

} // namespace vex
