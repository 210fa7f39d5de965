#pragma once
// The common dialogs behind properties: a caller sets the properties, calls
// one Show operation and reads the results.  A cancelled dialog returns false
// and leaves the results as they were.

#include "text/DialogResults.h"

#include <QColor>
#include <QString>
#include <QStringList>

#include <string>

class QFileDialog;
class QPrinter;
class QWidget;

namespace vex::ui {

class CCommonDialogs {
public:
    void Init(QWidget *owner) { owner_ = owner; }

    std::string FileName;
    std::string FileTitle; // read: single file only
    std::string Path;      // read
    std::string Filter;    // "desc|pattern|desc|pattern"
    int FilterIndex = 1;   // 1-based
    std::string InitialDir;
    std::string Title;
    std::string DefExt;
    bool AllowMultiSelect = false;
    QColor Color;
    QString FontName;
    double FontSize = 0;
    bool FontBold = false;
    bool FontItalic = false;
    bool FontUnderline = false;
    // The printer the printer dialogs work on; the caller owns it.
    QPrinter *Printer = nullptr;

    bool ShowOpen();
    bool ShowSave();
    bool ShowColor();
    bool ShowFont();
    bool ShowPrinter();
    bool ShowPrinterProperties();
    bool ShowFolder();

    // The two halves of ShowOpen/ShowSave, apart so that they can be checked
    // without a user: set a dialog up from the properties, and take the
    // chosen files into the properties.
    void prepareFileDialog(QFileDialog &dialog, bool save) const;
    void takeFileResult(const QStringList &chosen);

private:
    bool showFileDialog(bool save);
    QWidget *owner_ = nullptr;
};

// A save dialog of `title` for the types of `filter` ("desc|pattern|..."),
// starting in `folder`: true with the chosen file in `path`, and the chosen
// type (1-based) in `filterIndex` when given; false when cancelled.
bool chooseFileToSave(QWidget *owner, const std::string &title, const std::string &filter, const std::string &defExt,
                      const std::string &folder, std::string &path, int *filterIndex = nullptr);

} // namespace vex::ui
