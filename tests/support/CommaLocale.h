#pragma once
// The C library's numbers under a locale whose decimal separator is a comma,
// as a desktop session in Germany gives them (Qt sets the user's locale for
// the whole process at start).  tools/deps.sh generates de_DE.UTF-8.

#include <clocale>
#include <string>

namespace vex::test {

inline constexpr const char *CommaLocaleName = "de_DE.UTF-8";

class CommaLocale {
public:
    CommaLocale()
    {
        const char *now = std::setlocale(LC_NUMERIC, nullptr);
        previous_ = now ? now : "C";
        active_ = std::setlocale(LC_NUMERIC, CommaLocaleName) != nullptr;
    }
    ~CommaLocale() { std::setlocale(LC_NUMERIC, previous_.c_str()); }
    CommaLocale(const CommaLocale &) = delete;
    CommaLocale &operator=(const CommaLocale &) = delete;

    // False when the machine lacks the locale; the test cannot show anything then.
    bool active() const { return active_; }

private:
    std::string previous_;
    bool active_ = false;
};

} // namespace vex::test
