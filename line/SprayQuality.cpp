#include "line/SprayQuality.h"

#include "text/NumberText.h"
#include "text/WholeFile.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cmath>
#include <utility>

namespace vex {

const QualityTable &defaultQualityTable()
{
    static const QualityTable table{{"Very Fine", 0.0, 0.0},       {"Fine", 59.5, 134.4},
                                    {"Medium", 110.3, 248.1},      {"Coarse", 162.0, 357.8},
                                    {"Very Coarse", 191.7, 431.0}, {"Extremely Coarse", 226.1, 500.9},
                                    {"Ultra Coarse", 302.5, 658.6}};
    return table;
}

namespace {

std::string trimmed(std::string_view s)
{
    while (!s.empty() && std::isspace(static_cast<unsigned char>(s.front())))
        s.remove_prefix(1);
    while (!s.empty() && std::isspace(static_cast<unsigned char>(s.back())))
        s.remove_suffix(1);
    return std::string(s);
}

std::vector<std::string> fields(std::string_view line)
{
    std::vector<std::string> out;
    std::size_t from = 0;
    for (;;) {
        const std::size_t comma = line.find(',', from);
        out.push_back(
            trimmed(line.substr(from, comma == std::string_view::npos ? std::string_view::npos : comma - from)));
        if (comma == std::string_view::npos)
            return out;
        from = comma + 1;
    }
}

Status rowProblem(std::size_t lineNumber, const std::string &what)
{
    return Status::failure("Spray quality table, line " + std::to_string(lineNumber) + ": " + what);
}

} // namespace

Result<QualityTable> parseQualityTable(std::string_view text)
{
    QualityTable table;
    std::size_t lineNumber = 0;
    std::size_t from = 0;
    while (from <= text.size()) {
        std::size_t end = text.find('\n', from);
        if (end == std::string_view::npos)
            end = text.size();
        std::string_view line = text.substr(from, end - from);
        from = end + 1;
        ++lineNumber;
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        if (trimmed(line).empty())
            continue;
        const std::vector<std::string> f = fields(line);
        if (f.size() != 3)
            return rowProblem(lineNumber,
                              "expected class,dv01_um,vmd_um, found " + std::to_string(f.size()) + " fields");
        const std::optional<double> dv01 = parseNumber(f[1]);
        const std::optional<double> vmd = parseNumber(f[2]);
        if (!dv01 || !vmd) {
            // A header is only allowed as the first row.
            if (table.empty() && lineNumber == 1 && !dv01 && !vmd)
                continue;
            return rowProblem(lineNumber, "\"" + (dv01 ? f[2] : f[1]) + "\" is not a number");
        }
        if (f[0].empty())
            return rowProblem(lineNumber, "the class has no name");
        if (!std::isfinite(*dv01) || !std::isfinite(*vmd) || *dv01 < 0.0 || *vmd < 0.0 || *dv01 > 1.0e5 || *vmd > 1.0e5)
            return rowProblem(lineNumber, "bounds must lie from 0 to 100000 um");
        if (!table.empty() && (*dv01 <= table.back().Dv01From || *vmd <= table.back().VmdFrom))
            return rowProblem(lineNumber, "bounds must rise from class to class");
        table.push_back({f[0], *dv01, *vmd});
        if (end == text.size())
            break;
    }
    if (table.size() < 2)
        return Status::failure("Spray quality table: at least two classes are needed");
    // Whatever lies below the finest class's bounds still belongs to it.
    table.front().Dv01From = 0.0;
    table.front().VmdFrom = 0.0;
    return table;
}

Result<QualityTable> readQualityTable(const std::string &path)
{
    const Result<std::string> text = readWholeFile(path);
    if (!text.ok())
        return text.status();
    Result<QualityTable> table = parseQualityTable(*text);
    if (!table.ok())
        return Status::failure(path + ": " + table.reason());
    return table;
}

SprayQuality classifySpray(const QualityTable &table, double dv01, double vmd)
{
    SprayQuality q;
    if (table.empty() || !(vmd > 0.0) || !std::isfinite(vmd) || !std::isfinite(dv01))
        return q;
    auto classOf = [&table](double value, double QualityClass::*bound) {
        std::size_t k = 0;
        while (k + 1 < table.size() && value >= table[k + 1].*bound)
            ++k;
        return k;
    };
    const std::size_t byDv01 = classOf(dv01, &QualityClass::Dv01From);
    const std::size_t byVmd = classOf(vmd, &QualityClass::VmdFrom);
    q.Known = true;
    q.Index = std::min(byDv01, byVmd);
    q.Class = table[q.Index].Name;
    q.ByDv01 = table[byDv01].Name;
    q.ByVmd = table[byVmd].Name;
    return q;
}

Rgb qualityColour(const std::string &name)
{
    // The colour code of the classification's charts.
    static const std::array<std::pair<const char *, Rgb>, 8> colours{{{"Extremely Fine", {128, 0, 128}},
                                                                      {"Very Fine", {220, 30, 30}},
                                                                      {"Fine", {255, 140, 0}},
                                                                      {"Medium", {240, 210, 0}},
                                                                      {"Coarse", {30, 80, 220}},
                                                                      {"Very Coarse", {20, 150, 60}},
                                                                      {"Extremely Coarse", {255, 255, 255}},
                                                                      {"Ultra Coarse", {0, 0, 0}}}};
    for (const auto &[n, c] : colours)
        if (name == n)
            return c;
    return {160, 160, 160};
}

} // namespace vex
