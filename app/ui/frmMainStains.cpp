// "Write Stain Table": every stain of the scanned cards, accepted or
// rejected, to a CSV file.  The stains are traced again from the cards'
// pixels, which costs far less than keeping a record of every stain of
// every card in case it is asked for.

#include "app/ui/frmMain.h"

#include "analysis/StainScan.h"
#include "line/StainTable.h"
#include "text/WholeFile.h"
#include "ui/CCommonDialogs.h"
#include "ui/Messages.h"

#include <QProgressBar>
#include <QPushButton>

namespace vex::ui {

void frmMain::btnWriteStains_Click()
{
    if (busy_ || cards_.empty())
        return;
    std::string path;
    if (chooseStainFile) {
        if (!chooseStainFile(path))
            return;
    } else {
        CCommonDialogs dialog;
        dialog.Init(this);
        dialog.Title = "Save Stain Table";
        dialog.Filter = "Comma-Separated Values File (*.csv)|*.csv";
        dialog.FilterIndex = 1;
        dialog.DefExt = "csv";
        dialog.InitialDir = prefs_.InitialDir;
        if (!dialog.ShowSave())
            return;
        path = dialog.FileName;
    }
    writeStainTable(path);
}

bool frmMain::writeStainTable(const std::string &path)
{
    if (outputRefused(path, false))
        return false;
    ScanSettings settings = analysisSettings().Scan;
    settings.KeepStains = true;
    std::string table = stainTableHeader();
    int scanned = 0;

    view_.CancelRequested = false;
    cancelButton_->setEnabled(true);
    progressBar_->setRange(0, cardCount());
    progressBar_->setValue(0);
    setBusy(true);
    const ScanCallbacks callbacks = windowScanCallbacks();
    bool cancelled = false;
    for (int i = 1; i <= cardCount() && !cancelled; ++i) {
        const CardRecord &card = cards_[i];
        if (card.Scanned) {
            const ScanResult scan = traceStains(card.ForegroundPixels, settings, callbacks);
            cancelled = scan.Cancelled;
            table += stainTableRows(card, scan.Stains, module_.SpreadFactor);
            ++scanned;
        }
        progressBar_->setValue(i);
    }
    cancelButton_->setEnabled(false);
    setBusy(false);
    view_.CancelRequested = false;
    if (cancelled)
        return false;
    if (scanned == 0) {
        showMessage(this, programText("No card has been scanned yet: there is no stain to write."));
        return false;
    }
    if (const Status written = writeWholeFile(path, table); !written.ok()) {
        showMessage(this, programText("The stain table could not be written:\r" + written.reason()), QMessageBox::Ok,
                    QMessageBox::Warning);
        return false;
    }
    return true;
}

} // namespace vex::ui
