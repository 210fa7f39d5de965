#pragma once
// The spray information's place in the settings store.

#include "model/SprayInfo.h"
#include "text/Settings.h"

#include <array>
#include <string>

namespace vex {

inline constexpr const char *SprayInfoSection = "SprayInfo";

// The store key of an entry (1..15).
const char *sprayInfoKey(int entry);

// Loads entries 1-12 and 15; the sample position and interval are left empty
// in memory so that every run asks for the card positions anew.
// (ReadSprayInfo in the old design.)
SprayInfo readSprayInfo(SettingsStore &store);

// Writes all 15 entries, empty ones too; the first failure, when one.
// (SaveSprayInfo in the old design.)
Status saveSprayInfo(SettingsStore &store, const SprayInfo &info);

} // namespace vex
