#pragma once
// What a typed character does to a numeric entry box: the one rule of every
// such box in the program.

#include <string>

namespace vex {

// What one typed character does to a numeric box.
struct KeyEdit {
    enum class Kind { Pass, Discard, Replace } What = Kind::Discard;
    std::string Text; // Replace: the new text
    int Caret = 0;    // Replace: the caret position in it
};
// `selectionStart` and `selectionLength` in characters (the boxes hold
// ASCII); a caret without selection has length 0.  Backspace is character 8.
KeyEdit numericKey(const std::string &text, int selectionStart, int selectionLength, char32_t key, bool allowDecimal,
                   bool allowMinus);

} // namespace vex
