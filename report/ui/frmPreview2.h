#pragma once
// The print preview: the report page by page, the printer to use (every
// installed printer, and always "Save as PDF..."), and Print.

#include "report/Report.h"

#include <QDialog>

#include <functional>
#include <string>

class QComboBox;
class QLabel;
class QPushButton;
class QTabBar;

namespace vex::ui {

// Draws one report page scaled to the widget.
class ReportPreview : public QWidget {
    Q_OBJECT
public:
    explicit ReportPreview(QWidget *parent = nullptr);
    void setReport(const ReportInputs *inputs, int page);
    int page() const { return page_; }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    const ReportInputs *inputs_ = nullptr;
    int page_ = 1;
};

class frmPreview2 : public QDialog {
    Q_OBJECT
public:
    // The entry that writes a PDF file instead of printing.
    static const QString SaveAsPdf;

    frmPreview2(const ReportInputs &inputs, int screenHeightPixels, QWidget *parent = nullptr);

    // Chooses the PDF file; when not set, the save dialog asks.  True with a file.
    std::function<bool(std::string &path)> choosePdfFile;
    // Where the dialog that chooses it starts; empty for the current folder.
    std::string pdfFolder;
    // True, having told the user, when the chosen file must not be written
    // (it is one the report was made from).
    std::function<bool(const std::string &path)> refusePdfFile;

    QTabBar *PreviewTabs = nullptr;
    ReportPreview *Picture1 = nullptr;
    QLabel *PrinterLabel = nullptr;
    QComboBox *cmbPrinters = nullptr;
    QPushButton *btnPrint = nullptr;

public slots:
    void btnPrint_Click();
    void cmbPrinters_Click();
    void PreviewTabs_Click();

protected:
    void keyPressEvent(QKeyEvent *event) override;

private:
    bool printTo(const QString &printerName);
    bool saveToPdf();
    // The inputs with the time of printing.
    ReportInputs stamped() const;

    const ReportInputs &inputs_;
};

} // namespace vex::ui
