#include "report/qt/ReportPdf.h"

#include "report/qt/QtReportTarget.h"

#include <QFileInfo>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QSaveFile>

#include <exception>

namespace vex {

std::string writeReportPdf(const std::string &path, const ReportInputs &in)
{
    // Written beside the target first, so that a failure leaves any
    // earlier report as it was.
    QSaveFile file(QString::fromStdString(path));
    if (!file.open(QIODevice::WriteOnly))
        return file.errorString().toStdString();
    {
        QPdfWriter pdf(&file);
        pdf.setPageLayout(QPageLayout(QPageSize(QPageSize::Letter), QPageLayout::Portrait, QMarginsF(0, 0, 0, 0)));
        pdf.setResolution(300);
        pdf.setTitle(QStringLiteral("Vexolin report"));
        pdf.setCreator(QStringLiteral("Vexolin"));
        QPainter painter;
        if (!painter.begin(&pdf))
            return "the PDF could not be started";
        QtReportTarget target(painter, QSizeF(8.5 * 300, 11.0 * 300), &pdf);
        try {
            PrintSub2(target, true, 0, in);
        } catch (const std::exception &e) {
            painter.end();
            file.cancelWriting();
            return e.what();
        }
        painter.end();
    }
    if (!file.commit())
        return file.errorString().toStdString();
    return {};
}

} // namespace vex
