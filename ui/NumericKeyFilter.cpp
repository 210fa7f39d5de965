#include "ui/NumericKeyFilter.h"

#include "text/NumericKeys.h"

#include <QKeyEvent>
#include <QLineEdit>

namespace vex::ui {

NumericKeyFilter::NumericKeyFilter(bool allowDecimal, bool allowMinus, QObject *parent)
    : QObject(parent), allowDecimal_(allowDecimal), allowMinus_(allowMinus)
{}

NumericKeyFilter *NumericKeyFilter::install(QLineEdit *box, bool allowDecimal, bool allowMinus)
{
    auto *filter = new NumericKeyFilter(allowDecimal, allowMinus, box);
    box->installEventFilter(filter);
    return filter;
}

bool NumericKeyFilter::eventFilter(QObject *watched, QEvent *event)
{
    auto *box = qobject_cast<QLineEdit *>(watched);
    if (!box || event->type() != QEvent::KeyPress)
        return QObject::eventFilter(watched, event);
    auto *key = static_cast<QKeyEvent *>(event);
    // Shortcuts such as copy and select-all stay the box's own business.
    if (key->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier))
        return QObject::eventFilter(watched, event);
    const QString text = key->text();
    const bool backspace = key->key() == Qt::Key_Backspace;
    // Keys that type no character (arrows, Delete, Tab, Enter, Escape) pass.
    const bool control = text.isEmpty() || text.front().unicode() < 0x20 || text.front().unicode() == 0x7f;
    if (!backspace && control)
        return QObject::eventFilter(watched, event);

    const char32_t typed = backspace ? U'\b' : text.toUcs4().value(0);
    const std::string current = box->text().toStdString();
    const int start = box->hasSelectedText() ? box->selectionStart() : box->cursorPosition();
    const int length = box->hasSelectedText() ? static_cast<int>(box->selectedText().size()) : 0;
    const KeyEdit edit = numericKey(current, start, length, typed, allowDecimal_, allowMinus_);
    switch (edit.What) {
    case KeyEdit::Kind::Pass:
        return false;
    case KeyEdit::Kind::Replace:
        box->setText(QString::fromStdString(edit.Text));
        box->setCursorPosition(edit.Caret);
        return true;
    case KeyEdit::Kind::Discard:
        break;
    }
    return true;
}

} // namespace vex::ui
