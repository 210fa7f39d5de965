#include "templates/TemplateStore.h"

#include "text/NumberText.h"

#include <algorithm>
#include <cctype>
#include <cmath>

namespace vex {

namespace {

constexpr double MillimetresPerInch = 25.4;

std::string trimmed(const std::string &text)
{
    const auto first = text.find_first_not_of(' ');
    if (first == std::string::npos)
        return {};
    return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

std::string lower(std::string text)
{
    for (char &c : text)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

std::string general(double v)
{
    return significantText(v, 7);
}

} // namespace

TemplateRecord defaultTemplate()
{
    TemplateRecord t;
    t.TemplateName = DefaultTemplateName;
    return t;
}

std::string templateLine(const TemplateRecord &t)
{
    return "\"" + t.TemplateName + "\"," + std::to_string(t.TemplateNumH) + "," + general(t.TemplateSizeH) + "," +
           general(t.TemplateSpaceH) + "," + std::to_string(t.TemplateNumV) + "," + general(t.TemplateSizeV) + "," +
           general(t.TemplateSpaceV);
}

std::optional<TemplateRecord> parseTemplateLine(const std::string &line)
{
    std::string text = line;
    while (!text.empty() && (text.back() == '\r' || text.back() == '\n'))
        text.pop_back();
    // The name is quoted and may hold commas; the numbers follow.
    std::size_t at = text.find_first_not_of(' ');
    if (at == std::string::npos || text[at] != '"')
        return std::nullopt;
    const std::size_t close = text.find('"', at + 1);
    if (close == std::string::npos)
        return std::nullopt;
    TemplateRecord t;
    t.TemplateName = text.substr(at + 1, close - at - 1);
    std::vector<std::string> fields;
    std::size_t start = text.find(',', close);
    if (start == std::string::npos)
        return std::nullopt;
    while (start != std::string::npos) {
        const std::size_t next = text.find(',', start + 1);
        fields.push_back(text.substr(start + 1, next == std::string::npos ? std::string::npos : next - start - 1));
        start = next;
    }
    if (fields.size() != 6)
        return std::nullopt;
    double v[6];
    for (int i = 0; i < 6; ++i) {
        const std::optional<double> n = parseNumber(fields[static_cast<std::size_t>(i)]);
        if (!n)
            return std::nullopt;
        v[i] = *n;
    }
    // Counts are whole numbers of cards.
    for (const int count : {0, 3})
        if (v[count] != std::floor(v[count]) || v[count] < 1.0 || v[count] > 32767.0)
            return std::nullopt;
    // A size beyond any sheet would be kept as infinity in single precision
    // and overflow the cutting's pixel arithmetic.
    if (!templateSizeSound(v[1]) || !templateSizeSound(v[4]) || !templateGapSound(v[2]) || !templateGapSound(v[5]))
        return std::nullopt;
    t.TemplateNumH = static_cast<std::int32_t>(v[0]);
    t.TemplateSizeH = static_cast<float>(v[1]);
    t.TemplateSpaceH = static_cast<float>(v[2]);
    t.TemplateNumV = static_cast<std::int32_t>(v[3]);
    t.TemplateSizeV = static_cast<float>(v[4]);
    t.TemplateSpaceV = static_cast<float>(v[5]);
    return t;
}

bool templateSizeSound(double inches)
{
    return inches > 0.0 && inches <= TemplateLengthLimit;
}

bool templateGapSound(double inches)
{
    return inches >= 0.0 && inches <= TemplateLengthLimit;
}

TemplateFileContents readTemplatesText(const std::string &text)
{
    TemplateFileContents out;
    std::size_t start = 0;
    int number = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        const std::string line = text.substr(start, end - start);
        ++number;
        start = end + 1;
        if (line.find_first_not_of(" \r") == std::string::npos)
            continue; // an empty line reads as nothing, not as a fault
        if (const std::optional<TemplateRecord> t = parseTemplateLine(line))
            out.Templates.push_back(*t);
        else
            out.IgnoredLines.push_back(number);
    }
    return out;
}

std::string templatesText(const std::vector<TemplateRecord> &templates)
{
    std::string out;
    for (const TemplateRecord &t : templates)
        out += templateLine(t) + "\r\n";
    return out;
}

bool isValidTemplateName(const std::string &name)
{
    return !trimmed(name).empty() && name.find('"') == std::string::npos && name.size() <= 16;
}

std::string inchesText(double inches)
{
    return formatOptional(inches, 1, 3);
}

std::string TemplateLengthUnit::text(double inches) const
{
    return Metric ? formatOptional(inches * MillimetresPerInch, 1, 4) : inchesText(inches);
}

std::string TemplateLengthUnit::positionText(double inches) const
{
    return Metric ? formatFixed(inches * MillimetresPerInch, 1) : formatFixed(inches, 2);
}

std::string TemplateLengthUnit::blockText(double inches) const
{
    return Metric ? text(inches) + " mm" : text(inches) + "\"";
}

std::optional<double> TemplateLengthUnit::inches(const std::string &typed) const
{
    const std::optional<double> v = parseNumber(typed);
    if (!v)
        return std::nullopt;
    return Metric ? *v / MillimetresPerInch : *v;
}

double blockWidth(const TemplateRecord &t)
{
    return t.TemplateNumH * static_cast<double>(t.TemplateSizeH) +
           (t.TemplateNumH - 1) * static_cast<double>(t.TemplateSpaceH);
}

double blockHeight(const TemplateRecord &t)
{
    return t.TemplateNumV * static_cast<double>(t.TemplateSizeV) +
           (t.TemplateNumV - 1) * static_cast<double>(t.TemplateSpaceV);
}

bool sameDimensions(const TemplateRecord &a, const TemplateRecord &b)
{
    return a.TemplateNumH == b.TemplateNumH && a.TemplateNumV == b.TemplateNumV && a.TemplateSizeH == b.TemplateSizeH &&
           a.TemplateSizeV == b.TemplateSizeV && a.TemplateSpaceH == b.TemplateSpaceH &&
           a.TemplateSpaceV == b.TemplateSpaceV;
}

int templateNamed(const std::vector<TemplateRecord> &templates, const std::string &name)
{
    const std::string wanted = lower(trimmed(name));
    for (std::size_t i = 0; i < templates.size(); ++i)
        if (lower(templates[i].TemplateName) == wanted)
            return static_cast<int>(i);
    return -1;
}

} // namespace vex
