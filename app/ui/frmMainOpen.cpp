// Files handed to the window from outside it: named on the command line or
// dropped on it.  They open as the window's own commands open them, so that
// a picture meets the same checks as one chosen in the open dialog.

#include "app/ui/frmMain.h"

#include "intake/CardLoading.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QMimeData>
#include <QTimer>
#include <QUrl>

namespace vex::ui {

namespace {

// Every local file the drag carries, or nothing when any part of it is not
// a local file (text, a web address): half of a drop is not opened.
QStringList droppedFiles(const QMimeData *data)
{
    QStringList files;
    if (!data || !data->hasUrls())
        return files;
    for (const QUrl &url : data->urls()) {
        if (!url.isLocalFile() || url.toLocalFile().isEmpty())
            return {};
        files << url.toLocalFile();
    }
    return files;
}

} // namespace

void frmMain::openFiles(const QStringList &paths)
{
    if (busy_)
        return;
    // Any picture type goes the open command's way, which searches a photo
    // for cards, reduces or refuses it by the preferences and names a file
    // it cannot read; anything else can only be a trial, whose check says
    // when it is none.
    const IntakeOptions anyPicture{.ReduceColours = true};
    QStringList pictures;
    for (const QString &path : paths) {
        const QFileInfo file(path);
        if (isCardFileName(file.fileName().toStdString(), anyPicture))
            pictures << file.absoluteFilePath();
        else
            openTrial(file.absoluteFilePath().toStdString());
    }
    if (!pictures.isEmpty())
        loadFiles(pictures);
}

void frmMain::dragEnterEvent(QDragEnterEvent *event)
{
    if (!busy_ && !droppedFiles(event->mimeData()).isEmpty())
        event->acceptProposedAction();
    else
        event->ignore();
}

void frmMain::dropEvent(QDropEvent *event)
{
    const QStringList files = droppedFiles(event->mimeData());
    if (busy_ || files.isEmpty()) {
        event->ignore();
        return;
    }
    event->acceptProposedAction();
    // Opened once the drop is over, so that the program the files came from
    // is not held while questions and progress are shown here.
    QTimer::singleShot(0, this, [this, files] { openFiles(files); });
}

} // namespace vex::ui
