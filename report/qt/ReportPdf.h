#pragma once
// The report as a PDF file of US Letter pages.

#include "report/Report.h"
#include "text/Status.h"

#include <string>

namespace vex {

// Fine when the file was written, else the reason.
Status writeReportPdf(const std::string &path, const ReportInputs &in);

} // namespace vex
