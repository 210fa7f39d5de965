#include "report/ui/frmPreview2.h"

#include "report/qt/QtReportTarget.h"
#include "report/qt/ReportPdf.h"
#include "ui/CCommonDialogs.h"
#include "ui/Messages.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPainter>
#include <QPrinter>
#include <QPrinterInfo>
#include <QPushButton>
#include <QTabBar>
#include <QVBoxLayout>

#include <exception>

namespace vex::ui {

const QString frmPreview2::SaveAsPdf = QStringLiteral("Save as PDF...");

ReportPreview::ReportPreview(QWidget *parent) : QWidget(parent)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void ReportPreview::setReport(const ReportInputs *inputs, int page)
{
    inputs_ = inputs;
    page_ = page;
    update();
}

void ReportPreview::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.fillRect(rect(), Qt::white);
    if (!inputs_)
        return;
    // A one-pixel border round the page.
    const QRectF page = QRectF(rect()).adjusted(1, 1, -1, -1);
    painter.setPen(QColor(160, 160, 160));
    painter.drawRect(QRectF(rect()).adjusted(0, 0, -1, -1));
    painter.translate(page.topLeft());
    QtReportTarget target(painter, page.size());
    drawReport(target, false, page_, *inputs_);
}

frmPreview2::frmPreview2(const ReportInputs &inputs, int screenHeightPixels, QWidget *parent)
    : QDialog(parent), inputs_(inputs)
{
    setObjectName(QStringLiteral("frmPreview2"));
    setWindowTitle(QStringLiteral("Vexolin - Print"));
    PreviewTabs = new QTabBar(this);
    PreviewTabs->setObjectName(QStringLiteral("PreviewTabs"));
    for (int i = 1; i <= 4; ++i)
        PreviewTabs->addTab(tr("Page %1").arg(i));
    Picture1 = new ReportPreview(this);
    Picture1->setObjectName(QStringLiteral("Picture1"));
    // A letter page at 42.5 pixels to the inch on short screens, 65 otherwise.
    if (screenHeightPixels < 768)
        Picture1->setFixedSize(363, 470);
    else
        Picture1->setFixedSize(555, 717);
    PrinterLabel = new QLabel(tr("Printer:"), this);
    cmbPrinters = new QComboBox(this);
    cmbPrinters->setObjectName(QStringLiteral("cmbPrinters"));
    btnPrint = new QPushButton(tr("Print"), this);
    btnPrint->setObjectName(QStringLiteral("btnPrint"));
    btnPrint->setDefault(true);

    auto *side = new QVBoxLayout;
    side->addWidget(PrinterLabel);
    side->addWidget(cmbPrinters);
    side->addWidget(btnPrint);
    side->addStretch();
    auto *left = new QVBoxLayout;
    left->addWidget(PreviewTabs);
    left->addWidget(Picture1);
    auto *top = new QHBoxLayout(this);
    top->addLayout(left);
    top->addLayout(side);
    top->setSizeConstraint(QLayout::SetFixedSize);

    const QStringList printers = QPrinterInfo::availablePrinterNames();
    for (const QString &name : printers)
        cmbPrinters->addItem(name);
    cmbPrinters->addItem(SaveAsPdf);
    const QString current = QPrinterInfo::defaultPrinterName().toLower();
    int selected = cmbPrinters->count() - 1;
    for (int i = 0; i < printers.size(); ++i)
        if (printers[i].toLower() == current)
            selected = i;
    cmbPrinters->setCurrentIndex(selected);

    connect(PreviewTabs, &QTabBar::currentChanged, this, &frmPreview2::PreviewTabs_Click);
    connect(cmbPrinters, &QComboBox::activated, this, &frmPreview2::cmbPrinters_Click);
    connect(btnPrint, &QPushButton::clicked, this, &frmPreview2::btnPrint_Click);
    // Page 1 is drawn whether or not a printer is installed.
    cmbPrinters_Click();
}

void frmPreview2::cmbPrinters_Click()
{
    Picture1->setReport(&inputs_, PreviewTabs->currentIndex() + 1);
}

void frmPreview2::PreviewTabs_Click()
{
    Picture1->setReport(&inputs_, PreviewTabs->currentIndex() + 1);
}

void frmPreview2::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Escape) {
        reject();
        return;
    }
    QDialog::keyPressEvent(event);
}

ReportInputs frmPreview2::stamped() const
{
    // The preview may stay open a while: the paper says when it was printed.
    ReportInputs in = inputs_;
    in.PrintedAt = reportTimeNow();
    return in;
}

bool frmPreview2::saveToPdf()
{
    std::string path;
    if (choosePdfFile) {
        if (!choosePdfFile(path))
            return false;
    } else {
        CCommonDialogs dialog;
        dialog.Init(this);
        dialog.Title = "Save Report as PDF";
        dialog.Filter = "PDF File (*.pdf)|*.pdf";
        dialog.DefExt = "pdf";
        dialog.InitialDir = pdfFolder;
        if (!dialog.ShowSave())
            return false;
        path = dialog.FileName;
    }
    if (refusePdfFile && refusePdfFile(path))
        return false;
    setWindowTitle(QStringLiteral("Vexolin - Printing Page 1..."));
    const Status written = writeReportPdf(path, stamped());
    setWindowTitle(QStringLiteral("Vexolin - Print"));
    if (!written.ok()) {
        showMessage(this, programText(reportErrorMessage(written.reason())), QMessageBox::Ok, QMessageBox::Warning);
        return false;
    }
    return true;
}

bool frmPreview2::printTo(const QString &printerName)
{
    QPrinter printer(QPrinterInfo::printerInfo(printerName), QPrinter::HighResolution);
    printer.setFullPage(true);
    printer.setPageSize(QPageSize(QPageSize::Letter));
    QPainter painter;
    if (!painter.begin(&printer)) {
        showMessage(
            this, programText(reportErrorMessage("the printer " + printerName.toStdString() + " could not be started")),
            QMessageBox::Ok, QMessageBox::Warning);
        return false;
    }
    const QRectF page = printer.pageRect(QPrinter::DevicePixel);
    QtReportTarget target(painter, page.size(), &printer);
    try {
        drawReport(target, true, 0, stamped(), [this](int n) {
            setWindowTitle(QStringLiteral("Vexolin - Printing Page %1...").arg(n));
            repaint();
        });
    } catch (const std::exception &e) {
        printer.abort();
        painter.end();
        showMessage(this, programText(reportErrorMessage(e.what())), QMessageBox::Ok, QMessageBox::Warning);
        return false;
    }
    painter.end();
    return true;
}

void frmPreview2::btnPrint_Click()
{
    const QString choice = cmbPrinters->currentText();
    const bool done = choice == SaveAsPdf ? saveToPdf() : printTo(choice);
    if (done)
        accept();
}

} // namespace vex::ui
