#include "report/qt/ReportPdf.h"

#include "report/qt/QtReportTarget.h"
#include "text/WholeFile.h"

#include <QBuffer>
#include <QFileInfo>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>

#include <exception>

namespace vex {

Status writeReportPdf(const std::string &path, const ReportInputs &in)
{
    // Drawn in memory, then written whole: a failure leaves any earlier
    // report as it was.
    QByteArray bytes;
    QBuffer file(&bytes);
    file.open(QIODevice::WriteOnly);
    {
        QPdfWriter pdf(&file);
        pdf.setPageLayout(QPageLayout(QPageSize(QPageSize::Letter), QPageLayout::Portrait, QMarginsF(0, 0, 0, 0)));
        pdf.setResolution(300);
        pdf.setTitle(QStringLiteral("Vexolin report"));
        pdf.setCreator(QStringLiteral("Vexolin"));
        QPainter painter;
        if (!painter.begin(&pdf))
            return Status::failure("the PDF could not be started");
        QtReportTarget target(painter, QSizeF(8.5 * 300, 11.0 * 300), &pdf);
        try {
            drawReport(target, true, 0, in);
        } catch (const std::exception &e) {
            painter.end();
            return Status::failure(e.what());
        }
        painter.end();
    }
    file.close();
    return writeWholeFile(path, std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())));
}

} // namespace vex
