#include "ui/Messages.h"

namespace vex::ui {

namespace {
MessageHook &hookSlot()
{
    static MessageHook hook;
    return hook;
}
} // namespace

void setMessageHook(MessageHook hook)
{
    hookSlot() = std::move(hook);
}

QMessageBox::StandardButton showMessage(QWidget *parent, const QString &text, QMessageBox::StandardButtons buttons,
                                        QMessageBox::Icon icon, const QString &title)
{
    // A message that reports an error is never shown as mere information.
    if (icon == QMessageBox::Information && text.contains(QStringLiteral("Error: ")))
        icon = QMessageBox::Critical;
    if (hookSlot())
        return hookSlot()(MessageRequest{title, text, buttons, icon});
    QMessageBox box(icon, title, text, buttons, parent);
    return static_cast<QMessageBox::StandardButton>(box.exec());
}

QString programText(const std::string &text)
{
    QString s = QString::fromStdString(text);
    s.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return s;
}

} // namespace vex::ui
