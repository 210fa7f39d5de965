#include "ui/CCommonDialogs.h"

#include <QColorDialog>
#include <QFileDialog>
#include <QFontDialog>
#include <QPageSetupDialog>
#include <QPrintDialog>
#include <QPrinter>

namespace vex::ui {

void CCommonDialogs::prepareFileDialog(QFileDialog &dialog, bool save) const
{
    dialog.setWindowTitle(QString::fromStdString(Title));
    dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    if (save) {
        dialog.setFileMode(QFileDialog::AnyFile);
        dialog.setOption(QFileDialog::DontConfirmOverwrite, false);
    } else {
        dialog.setFileMode(AllowMultiSelect ? QFileDialog::ExistingFiles : QFileDialog::ExistingFile);
    }
    dialog.setOption(QFileDialog::ReadOnly, false);
    if (!DefExt.empty())
        dialog.setDefaultSuffix(QString::fromStdString(DefExt));
    if (!InitialDir.empty())
        dialog.setDirectory(QString::fromStdString(InitialDir));

    QStringList filters;
    const std::vector<FilterPair> pairs = parseFilter(Filter);
    for (const FilterPair &pair : pairs)
        filters << QString::fromStdString(dialogNameFilter(pair));
    if (!filters.isEmpty()) {
        dialog.setNameFilters(filters);
        const int index = (FilterIndex >= 1 && FilterIndex <= filters.size()) ? FilterIndex - 1 : 0;
        dialog.selectNameFilter(filters.at(index));
        if (save) {
            // A name typed without extension takes the chosen type's, not
            // always the first one's ("results" saved as CSV is results.csv).
            const std::string fallback = DefExt;
            auto follow = [&dialog, filters, pairs, fallback](const QString &chosen) {
                const auto i = filters.indexOf(chosen);
                if (i >= 0)
                    dialog.setDefaultSuffix(
                        QString::fromStdString(filterSuffix(pairs[static_cast<std::size_t>(i)], fallback)));
            };
            follow(filters.at(index));
            QObject::connect(&dialog, &QFileDialog::filterSelected, &dialog, follow);
        }
    }
    if (!FileName.empty() && FileName.find('\0') == std::string::npos)
        dialog.selectFile(QString::fromStdString(FileName));
}

void CCommonDialogs::takeFileResult(const QStringList &chosen)
{
    std::vector<std::string> files;
    for (const QString &file : chosen)
        files.push_back(file.toStdString());
    const FileDialogResult result = composeFileResult(files);
    FileName = result.FileName;
    Path = result.Path;
    if (files.size() == 1)
        FileTitle = result.FileTitle;
}

bool CCommonDialogs::showFileDialog(bool save)
{
    QFileDialog dialog(owner_);
    prepareFileDialog(dialog, save);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return false;
    const QStringList filters = dialog.nameFilters();
    const int selected = static_cast<int>(filters.indexOf(dialog.selectedNameFilter()));
    if (selected >= 0)
        FilterIndex = selected + 1;
    takeFileResult(dialog.selectedFiles());
    return true;
}

bool CCommonDialogs::ShowOpen()
{
    return showFileDialog(false);
}

bool CCommonDialogs::ShowSave()
{
    return showFileDialog(true);
}

bool CCommonDialogs::ShowColor()
{
    const QColor chosen =
        QColorDialog::getColor(Color.isValid() ? Color : QColor(Qt::white), owner_, QString::fromStdString(Title));
    if (!chosen.isValid())
        return false;
    Color = chosen;
    return true;
}

bool CCommonDialogs::ShowFont()
{
    QFont initial(FontName);
    if (FontSize > 0)
        initial.setPointSizeF(FontSize);
    initial.setBold(FontBold);
    initial.setItalic(FontItalic);
    initial.setUnderline(FontUnderline);
    bool ok = false;
    const QFont chosen = QFontDialog::getFont(&ok, initial, owner_, QString::fromStdString(Title));
    if (!ok)
        return false;
    FontName = chosen.family();
    FontSize = chosen.pointSizeF();
    FontBold = chosen.bold();
    FontItalic = chosen.italic();
    FontUnderline = chosen.underline();
    return true;
}

bool CCommonDialogs::ShowPrinter()
{
    if (!Printer)
        return false;
    QPrintDialog dialog(Printer, owner_);
    return dialog.exec() == QDialog::Accepted;
}

bool CCommonDialogs::ShowPrinterProperties()
{
    if (!Printer)
        return false;
    QPageSetupDialog dialog(Printer, owner_);
    return dialog.exec() == QDialog::Accepted;
}

bool CCommonDialogs::ShowFolder()
{
    const QString folder =
        QFileDialog::getExistingDirectory(owner_, QString::fromStdString(Title), QString::fromStdString(InitialDir));
    if (folder.isEmpty())
        return false;
    Path = folder.toStdString();
    return true;
}

bool chooseFileToSave(QWidget *owner, const std::string &title, const std::string &filter, const std::string &defExt,
                      const std::string &folder, std::string &path, int *filterIndex)
{
    CCommonDialogs dialog;
    dialog.Init(owner);
    dialog.Title = title;
    dialog.Filter = filter;
    dialog.FilterIndex = filterIndex ? *filterIndex : 1;
    dialog.DefExt = defExt;
    dialog.InitialDir = folder;
    if (!dialog.ShowSave())
        return false;
    path = dialog.FileName;
    if (filterIndex)
        *filterIndex = dialog.FilterIndex;
    return true;
}

} // namespace vex::ui
