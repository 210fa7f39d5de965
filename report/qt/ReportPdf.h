#pragma once
// The report as a PDF file of US Letter pages.

#include "report/Report.h"

#include <string>

namespace vex {

// An empty string when the file was written, else the reason.
std::string writeReportPdf(const std::string &path, const ReportInputs &in);

} // namespace vex
