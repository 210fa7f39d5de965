#include "text/NumericKeys.h"

#include <algorithm>

namespace vex {

KeyEdit numericKey(const std::string &text, int selectionStart, int selectionLength, char32_t key, bool allowDecimal,
                   bool allowMinus)
{
    KeyEdit edit;
    if (key >= U'0' && key <= U'9') {
        edit.What = KeyEdit::Kind::Pass;
        return edit;
    }
    const auto size = static_cast<int>(text.size());
    const int start = std::clamp(selectionStart, 0, size);
    const int end = std::clamp(start + std::max(selectionLength, 0), start, size);
    const std::string before = text.substr(0, static_cast<std::size_t>(start));
    const std::string after = text.substr(static_cast<std::size_t>(end));
    // A comma is taken as the decimal point that a comma locale's keyboard
    // types; the box, and so every file, holds ".".
    if (key == U'.' || key == U',') {
        if (!allowDecimal)
            return edit;
        // A point inside the selection is about to be typed over.
        if ((before + after).find('.') != std::string::npos)
            return edit;
        if (key == U'.') {
            edit.What = KeyEdit::Kind::Pass;
        } else {
            edit.What = KeyEdit::Kind::Replace;
            edit.Text = before + "." + after;
            edit.Caret = start + 1;
        }
        return edit;
    }
    if (key == U'-' && allowMinus) {
        // Typing over a selection replaces it: the selection goes, then
        // the sign of what is left changes.
        const std::string rest = before + after;
        edit.What = KeyEdit::Kind::Replace;
        if (!rest.empty() && rest.front() == '-') {
            edit.Text = rest.substr(1);
            edit.Caret = std::max(0, start - 1);
        } else {
            edit.Text = "-" + rest;
            edit.Caret = start + 1;
        }
        return edit;
    }
    return edit;
}

} // namespace vex
