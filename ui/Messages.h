#pragma once
// Every message box of the program goes through here, so that the title is
// always the program's and tests can answer boxes without a user.

#include <QMessageBox>
#include <QString>

#include <functional>
#include <string>

class QWidget;

namespace vex::ui {

struct MessageRequest {
    QString Title;
    QString Text;
    QMessageBox::StandardButtons Buttons;
    QMessageBox::Icon Icon;
};

// When set, boxes are not shown: the hook sees the request and returns the
// button "pressed".  Tests set it; the program never does.
using MessageHook = std::function<QMessageBox::StandardButton(const MessageRequest &)>;
void setMessageHook(MessageHook hook);

// A text holding "Error: " is shown with the critical icon whatever `icon` says.
QMessageBox::StandardButton showMessage(QWidget *parent, const QString &text,
                                        QMessageBox::StandardButtons buttons = QMessageBox::Ok,
                                        QMessageBox::Icon icon = QMessageBox::Information,
                                        const QString &title = QStringLiteral("Vexolin"));

// The program separates lines by carriage returns; the toolkit wants '\n'.
QString programText(const std::string &text);

} // namespace vex::ui
