#pragma once
// The Spray Information window's rules, free of widgets: how its boxes show
// their values, the unit captions, and the checks made on Accept.

#include <array>
#include <string>

namespace vex {

// A spread coefficient as the window opens with it: "0.0###########".
std::string sprayCoefficientOnOpen(double value);
// Leaving a coefficient box: a number is shown "0.00#####", anything else stays.
std::string sprayCoefficientOnLeave(const std::string &text);
// The sample array boxes: a number is shown "0.0", anything else stays.
std::string sampleBoxText(const std::string &text);

// Unit captions: swath, speed, height, active rate, spray rate, sampler
// position, sampler separation.
std::array<std::string, 7> sprayUnitCaptions(bool metric);

// The first check that fails on Accept, with the box to put the focus in.
struct SprayCheck {
    enum class Box { None, Spread0, Spread1, Spread2, SamplePosition, SampleInterval } Failing = Box::None;
    std::string Message;
    bool ok() const { return Failing == Box::None; }
};
SprayCheck checkSprayInfo(const std::array<std::string, 3> &spread, const std::string &samplePosition,
                          const std::string &sampleInterval);

// Why `text` cannot be entry `entry` of the spray information, or empty.
// The entries read as numbers (swath, speed, height, the two rates, the
// nozzle count, card 1's position and the spacing) hold a number written
// with a point, whatever the locale, as the window's boxes hold them; an
// empty text is no value and always fits.
std::string sprayValueProblem(int entry, const std::string &text);

} // namespace vex
