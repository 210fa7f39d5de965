#pragma once
// Stands in for the user at every message box while it lives: the texts and
// icons shown are kept in order, and each box is answered from the queue of
// answers, then with the standing answer.

#include "ui/Messages.h"

#include <QList>
#include <QMessageBox>
#include <QStringList>

#include <deque>

namespace vex::test {

class MessageRecorder : public QStringList {
public:
    explicit MessageRecorder(QMessageBox::StandardButton standing = QMessageBox::Ok) : answer(standing)
    {
        ui::setMessageHook([this](const ui::MessageRequest &r) {
            append(r.Text);
            icons << r.Icon;
            titles << r.Title;
            if (answers.empty())
                return answer;
            const QMessageBox::StandardButton next = answers.front();
            answers.pop_front();
            return next;
        });
    }
    ~MessageRecorder() { ui::setMessageHook({}); }
    MessageRecorder(const MessageRecorder &) = delete;
    MessageRecorder &operator=(const MessageRecorder &) = delete;

    // Forgets what was shown; the answers stay.
    void clear()
    {
        QStringList::clear();
        icons.clear();
        titles.clear();
    }

    QList<QMessageBox::Icon> icons;
    QStringList titles;
    QMessageBox::StandardButton answer;
    std::deque<QMessageBox::StandardButton> answers;
};

} // namespace vex::test
