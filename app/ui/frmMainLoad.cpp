// The commands on card files: the window's handlers hand them to its scan
// controller, which opens, passes and scans the cards off the GUI thread.

#include "app/ui/frmMain.h"

#include "analysis/ui/HueHistogramView.h"
#include "app/ui/ScanController.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QRadioButton>
#include <QSlider>

namespace vex::ui {

void frmMain::btnLoadTemplate_Click()
{
    scanner_->loadTemplate();
}

void frmMain::cutSheet(const std::string &path)
{
    scanner_->cutSheet(path);
}

void frmMain::btnLoad_Click()
{
    scanner_->load();
}

void frmMain::loadFiles(const QStringList &paths)
{
    scanner_->loadFiles(paths);
}

bool frmMain::loadImage(const std::string &fileTitle, const std::string &pathName, std::int32_t resolution)
{
    return scanner_->loadImage(fileTitle, pathName, resolution);
}

bool frmMain::runColourPassFor(int index)
{
    return scanner_->runColourPassFor(index);
}

void frmMain::btnScanColour_Click()
{
    scanner_->scanColour();
}

void frmMain::btnScanColourAll_Click()
{
    scanner_->scanColourAll();
}

void frmMain::scanCard(int index)
{
    scanner_->scanCard(index);
}

void frmMain::btnScan_Click()
{
    scanner_->scan();
}

void frmMain::btnScanAll_Click()
{
    scanner_->scanAll();
}

void frmMain::reanalyseCards(const std::vector<int> &cards)
{
    scanner_->reanalyseCards(cards);
}

void frmMain::btnWriteStains_Click()
{
    scanner_->writeStains();
}

bool frmMain::writeStainTable(const std::string &path)
{
    return scanner_->writeStainTable(path);
}

void frmMain::resetColourDisplay()
{
    masking_->newCardLoaded();
}

} // namespace vex::ui
