#include "line/ResultsFile.h"

#include "intake/CardLoading.h"
#include "line/CardPositions.h"
#include "line/SwathDisplay.h"
#include "text/ControlText.h"
#include "text/NumberText.h"
#include "text/Windows1252.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <string_view>

namespace vex {

namespace {

const std::string Micro = MicroSign;
const std::string Squared = SuperscriptTwo;
const std::string Times = TimesSign;

std::string fixed(double v, int decimals)
{
    return formatFixed(v, decimals);
}

std::string general(double v)
{
    return significantText(v, 15);
}

// A spreadsheet takes a cell that starts so for a formula.
bool startsLikeAFormula(const std::string &text)
{
    const auto first = text.find_first_not_of(' ');
    return first != std::string::npos && std::string_view("=+-@\t\r").find(text[first]) != std::string_view::npos;
}

// "-3.5", "+2", "1e3", "7,5": a signed number a spreadsheet reads as one.
bool isPlainNumber(const std::string &text)
{
    const auto first = text.find_first_not_of(' ');
    const auto last = text.find_last_not_of(' ');
    if (first == std::string::npos)
        return false;
    std::size_t i = first;
    const std::size_t end = last + 1;
    auto digits = [&] {
        const std::size_t from = i;
        while (i < end && std::isdigit(static_cast<unsigned char>(text[i])))
            ++i;
        return i - from;
    };
    if (text[i] == '+' || text[i] == '-')
        ++i;
    std::size_t mantissa = digits();
    if (i < end && (text[i] == '.' || text[i] == ','))
        ++i, mantissa += digits();
    if (mantissa == 0)
        return false;
    if (i < end && (text[i] == 'e' || text[i] == 'E')) {
        ++i;
        if (i < end && (text[i] == '+' || text[i] == '-'))
            ++i;
        if (digits() == 0)
            return false;
    }
    return i == end;
}

std::string quoted(const std::string &text)
{
    std::string out = "\"";
    for (const char c : text) {
        if (c == '"')
            out += '"';
        out += c;
    }
    return out + "\"";
}

// Lines by column: a field starts at a column or ends at one; a line that
// has passed the column goes on at that column on a new line.
class Columns {
public:
    void at(std::size_t column, const std::string &text)
    {
        column = std::max<std::size_t>(column, 1);
        if (width_ + 1 > column)
            newLine();
        current_.append(column - 1 - width_, ' ');
        current_ += text;
        // Columns count characters as the file holds them (one byte each in
        // its code page), not the bytes of the UTF-8 built here.
        width_ = column - 1 + textLength(text);
    }
    // The column after the last character of the line so far.
    std::size_t width() const { return width_ + 1; }
    void endsAt(std::size_t column, const std::string &text)
    {
        const std::size_t length = textLength(text);
        at(column + 1 > length ? column + 1 - length : 1, text);
    }
    void line(const std::string &text = {})
    {
        current_ += text;
        newLine();
    }
    void newLine()
    {
        out_ += current_;
        out_ += "\r\n";
        current_.clear();
        width_ = 0;
    }
    std::string take()
    {
        if (!current_.empty())
            newLine();
        return std::move(out_);
    }

private:
    std::string current_;
    std::size_t width_ = 0; // characters in current_
    std::string out_;
};

struct Units {
    std::string Length;
    std::string Speed;
    std::string Rate;
};

Units unitsOf(const ResultsInputs &in)
{
    return in.Metric ? Units{"m", "km/h", in.RateUnit} : Units{"ft", "mph", in.RateUnit};
}

// A typed value and what the file adds after it (its unit).
struct SprayLine {
    std::string Label;
    std::string Typed;
    std::string After;
    std::string value() const { return oneLineText(Typed + After); }
};

std::vector<SprayLine> sprayLines(const ResultsInputs &in, const Units &u)
{
    const SprayInfo &s = *in.Spray;
    return {
        {"Aircraft Type:", s[AC_Type], ""},
        {"Aircraft Registration:", s[AC_Registration], ""},
        {"Aircraft Owner:", s[AC_Owner], ""},
        {"Aircraft Swath:", s[AC_Swath], " " + u.Length},
        {"Aircraft Speed:", s[AC_Speed], " " + u.Speed},
        {"Aircraft Height:", s[AC_Height], " " + u.Length},
        {"Product Sprayed:", s[Spray_Product], ""},
        {"Active Rate:", s[Spray_ActiveRate], " " + u.Rate},
        {"Spray Rate:", s[Spray_SprayRate], " " + u.Rate},
        {"Nozzles:", s[Nozzle_Number], Times + " " + s[Nozzle_Type]},
        {"Analysis Device:", s[Sampler_Type], ""},
        {"Spread Factor:", "", spreadFactorText(in.SpreadFactor)},
        {"Sampler1 Position:", s[Sample_Position1], " " + u.Length},
        {"Sampler Separation:", s[Sample_Interval], " " + u.Length},
        {"Comment:", s[Comment], ""},
    };
}

double lastDiameter(const CompositeResult &c)
{
    return c.Classes.size() > 1 ? static_cast<double>(c.Classes.back().Diameter) : 0.0;
}

std::string selectedRange(const ResultsInputs &in)
{
    if (in.RangeSelected)
        return fixed(in.RangeLow, 2) + " -- " + fixed(in.RangeHigh, 2) + " " + Micro + "m";
    return "0.00 -- " + fixed(lastDiameter(in.Reported), 2) + " " + Micro + "m";
}

// Everything derived once for both layouts.
struct Derived {
    Units U;
    int PositionDecimals = 1;
    int WidthDecimals = 1;
    float Interval = 0.0f;
    float Fraction = 0.0f; // card 1's offset as a fraction of a spacing
    std::int64_t Low = 0;  // position numbers of the side-by-side profiles
    std::int64_t High = -1;
};

Derived derive(const ResultsInputs &in)
{
    Derived d;
    d.U = unitsOf(in);
    const SprayInfo &s = *in.Spray;
    d.PositionDecimals =
        in.Cards ? linePositionDecimals(*in.Cards, s) : positionDecimals(s[Sample_Position1], s[Sample_Interval]);
    d.WidthDecimals = !s[Sample_Interval].empty() && s[Sample_Interval].back() == '0' ? 0 : 1;
    d.Interval = positionValue(s[Sample_Interval]);
    // The profiles start where the line's first card lies, which a typed
    // position may have moved from card 1's.
    d.Fraction = in.Deposit ? in.Deposit->F : positionNumbers(positionValue(s[Sample_Position1]), d.Interval).F;
    if (in.Deposit && in.DropDensity) {
        d.Low = in.Deposit->K;
        d.High =
            std::max<std::int64_t>(in.Deposit->K + static_cast<std::int64_t>(in.Deposit->Multiswath.size()),
                                   in.DropDensity->K + static_cast<std::int64_t>(in.DropDensity->Multiswath.size())) -
            1;
    }
    return d;
}

double multiswathAt(const SwathProfile &p, std::int64_t number)
{
    const std::int64_t i = number - p.K;
    if (i < 0 || i >= static_cast<std::int64_t>(p.Multiswath.size()))
        return 0.0;
    return p.Multiswath[static_cast<std::size_t>(i)];
}

// The extended figures of a card row of the text layout.
std::string extendedCardText(const CardRecord &card)
{
    return "rejected " + general(card.RejectedCount) + ", " + fixed(100.0 * card.RejectedAreaShare, 1) +
           " % of stain area; coverage " + fixed(100.0 * card.StainCoverage, 1) + " %; corrected " +
           fixed(card.CorrectedDropDensity, 2) + " drops/cm" + Squared + "; touching others " +
           fixed(100.0 * card.HiddenShare, 1) + " %";
}

const std::optional<SpectrumFigures> &cardSpectrum(const ResultsInputs &in, int card)
{
    static const std::optional<SpectrumFigures> none;
    const auto i = static_cast<std::size_t>(card);
    return i < in.CardSpectra.size() ? in.CardSpectra[i] : none;
}

std::string spectrumCardText(const SpectrumFigures &f)
{
    return "Dv0.1 " + fixed(f.Dv01, 2) + " " + Micro + "m; Dv0.9 " + fixed(f.Dv09, 2) + " " + Micro +
           "m; relative span " + fixed(f.RelativeSpan, 2) + "; NMD " + fixed(f.Nmd, 2) + " " + Micro + "m";
}

// The pooled spectrum's figures beside its VMD, label and value.
std::vector<std::pair<std::string, std::string>> spectrumLines(const CompositeResult &c)
{
    const SpectrumFigures f = spectrumFigures(c.Classes, c.VMD);
    const std::string um = " " + Micro + "m";
    return {{"Dv0.1:", fixed(f.Dv01, 2) + um},
            {"Dv0.9:", fixed(f.Dv09, 2) + um},
            {"Relative Span:", fixed(f.RelativeSpan, 2)},
            {"NMD:", fixed(f.Nmd, 2) + um}};
}

// The proposals of the swath section, label and value.
std::vector<std::pair<std::string, std::string>> proposalLines(const ResultsInputs &in)
{
    std::vector<std::pair<std::string, std::string>> lines;
    if (!in.DepositProposal.empty())
        lines.emplace_back("Deposit Width:", in.DepositProposal);
    if (!in.DropDensityProposal.empty())
        lines.emplace_back("Drop Density Width:", in.DropDensityProposal);
    return lines;
}

// Centred passes give other figures than the pattern as flown: said even
// without the extended figures.
bool centreSaid(const ResultsInputs &in)
{
    return (in.Extended || in.Centred) && !in.CentreText.empty();
}

// Four fields, each after a comma; empty without a spectrum.
std::string spectrumFields(const std::optional<SpectrumFigures> &f)
{
    if (!f)
        return ",,,,";
    return "," + fixed(f->Dv01, 1) + "," + fixed(f->Dv09, 1) + "," + fixed(f->RelativeSpan, 2) + "," + fixed(f->Nmd, 1);
}

// A card's estimates for overlap, the deposit in the rate unit: the text
// layout's bracket (empty without an estimate) and the CSV layout's fields.
std::string estimateCardText(const CardRecord &card, const ResultsInputs &in, const std::string &rateUnit)
{
    const OverlapFigures &o = card.Summary.Overlap;
    if (!o.Estimated)
        return {};
    const double rate = static_cast<double>(in.RateFactor);
    return "estimated " + fixed(o.EstimatedDropDensity, 2) + " drops/cm" + Squared +
           " (95 %: " + fixed(o.EstimatedDropDensityCi[0], 2) + " to " + fixed(o.EstimatedDropDensityCi[1], 2) +
           "), deposit " + fixed(o.EstimatedDeposit * rate, 3) + " " + rateUnit +
           " (95 %: " + fixed(o.EstimatedDepositCi[0] * rate, 3) + " to " + fixed(o.EstimatedDepositCi[1] * rate, 3) +
           ")";
}

std::string estimateFields(const CardRecord &card, const ResultsInputs &in)
{
    const OverlapFigures &o = card.Summary.Overlap;
    if (!o.Estimated)
        return ",,,,,,";
    const double rate = static_cast<double>(in.RateFactor);
    return "," + fixed(o.EstimatedDropDensity, 2) + "," + fixed(o.EstimatedDropDensityCi[0], 2) + "," +
           fixed(o.EstimatedDropDensityCi[1], 2) + "," + fixed(o.EstimatedDeposit * rate, 2) + "," +
           fixed(o.EstimatedDepositCi[0] * rate, 2) + "," + fixed(o.EstimatedDepositCi[1] * rate, 2);
}

const std::pair<std::string, std::string> &cardApplicator(const ResultsInputs &in, int card)
{
    static const std::pair<std::string, std::string> none;
    const auto i = static_cast<std::size_t>(card);
    return i < in.CardApplicator.size() ? in.CardApplicator[i] : none;
}

std::string cardApplicatorText(const ResultsInputs &in, int card)
{
    const auto &[quality, density] = cardApplicator(in, card);
    return quality + (!quality.empty() && !density.empty() ? "; " : "") + density;
}

int widths(const ResultsInputs &in)
{
    return in.Deposit ? static_cast<int>(in.Deposit->Widths.size()) - 1 : 0;
}

} // namespace

std::string spreadFactorText(const std::array<double, 3> &spread)
{
    auto term = [](double v) { return (v > 0.0 ? " + " : " - ") + general(std::fabs(v)); };
    return general(spread[0]) + term(spread[1]) + "d" + term(spread[2]) + "d" + Squared;
}

std::string csvField(const std::string &text)
{
    const std::string line = oneLineText(text);
    return line.find_first_of(",\"") == std::string::npos ? line : quoted(line);
}

std::string csvTextField(const std::string &typed, const std::string &after)
{
    const std::string line = oneLineText(typed + after);
    if (!startsLikeAFormula(oneLineText(typed)) || isPlainNumber(typed))
        return csvField(line);
    return quoted("'" + line);
}

std::string resultsTxt(const ResultsInputs &in)
{
    const Derived d = derive(in);
    const std::string &L = d.U.Length;
    const std::string &R = d.U.Rate;
    const CompositeResult &c = in.Reported;
    Columns w;
    w.line("Vexolin -- Quarrow Droplet Analysis Program");
    w.line("Swath Deposit Analysis");
    w.line(std::string(50, '-'));
    w.line();
    w.line("Spray Information:");
    w.line(std::string(18, '-'));
    for (const SprayLine &s : sprayLines(in, d.U)) {
        w.at(1, s.Label);
        w.at(25, s.value());
        w.newLine();
    }
    w.line(std::string(50, '-'));
    w.line();
    w.line("Results:");
    w.line(std::string(8, '-'));
    auto labelled = [&w](const std::string &label, const std::string &value) {
        w.at(1, label);
        w.at(25, value);
        w.newLine();
    };
    labelled("Droplet Size Range:", "0.00 -- " + fixed(lastDiameter(c), 2) + " " + Micro + "m");
    labelled("Selected Size Range:", selectedRange(in));
    labelled("Drop Roundness:", fixed(in.ShapeThreshold, 0));
    labelled("% Valid Hues:", fixed(in.HueThreshold, 0));
    for (const auto &[label, value] : in.SettingLines)
        labelled(label, value);
    labelled("Composite VMD:", fixed(c.VMD, 2) + " " + Micro + "m");
    labelled("Ave. Drop Density:", fixed(c.DropDensity, 2) + " drops/cm" + Squared);
    labelled("Ave. Volume Density:", fixed(c.VolumeDensity, 2) + " nL/cm" + Squared + " = " +
                                         fixed(c.VolumeDensity * static_cast<double>(in.RateFactor), 3) + " " + R);
    if (in.Extended) {
        for (const auto &[label, value] : spectrumLines(c))
            labelled(label, value);
        for (const auto &[label, value] : in.ApplicatorLines)
            labelled(label, value);
    }
    w.line();
    w.line();

    w.at(1, "Card");
    w.at(8, "Position");
    w.at(19, "VMD");
    w.at(27, "Drop Density");
    w.at(42, "Deposit Volume");
    w.at(59, "Filename");
    w.newLine();
    w.at(10, "(" + L + ")");
    w.at(19, "(" + Micro + "m)");
    w.at(30, "(#/cm" + Squared + ")");
    w.endsAt(51, "(" + R + ")");
    w.newLine();
    const CardList &cards = *in.Cards;
    for (int i = 1; i <= cards.count(); ++i) {
        if (!cards[i].Scanned)
            continue;
        const CardStat &s = (*in.Stats)[static_cast<std::size_t>(i)];
        w.endsAt(3, fixed(i, 0));
        w.endsAt(14, fixed(cards[i].Position, d.PositionDecimals));
        w.endsAt(23, fixed(s.Vmd, 2));
        w.endsAt(35, fixed(s.DropDensity, 2));
        w.endsAt(50, fixed(s.VolumeDensity * static_cast<double>(in.RateFactor), 3));
        w.at(59, oneLineText(cards[i].FileTitle));
        if (cards[i].ReducedFromBits != 0)
            w.at(w.width() + 2, "(" + reductionNote(cards[i]) + ")");
        if (in.Extended)
            w.at(w.width() + 2, "[" + extendedCardText(cards[i]) + "]");
        if (in.Extended && cardSpectrum(in, i))
            w.at(w.width() + 2, "[" + spectrumCardText(*cardSpectrum(in, i)) + "]");
        if (const std::string estimate = estimateCardText(cards[i], in, R); in.Extended && !estimate.empty())
            w.at(w.width() + 2, "[" + estimate + "]");
        if (in.Extended && !cardApplicatorText(in, i).empty())
            w.at(w.width() + 2, "[" + cardApplicatorText(in, i) + "]");
        w.newLine();
    }
    w.line();
    w.line();

    w.at(2, "Diameter");
    w.at(14, "Count");
    w.at(26, "Volume");
    w.at(39, "Cumulative");
    w.at(53, "Drop Density");
    w.at(70, "Number");
    w.at(82, "Cumulative");
    w.newLine();
    w.at(4, "(" + Micro + "m)");
    w.at(25, "Fraction%");
    w.at(40, "V.F. (%)");
    w.at(55, "(#/cm" + Squared + ")");
    w.at(69, "Fraction%");
    w.at(83, "N.F. (%)");
    w.newLine();
    for (std::size_t k = 1; k < c.Classes.size(); ++k) {
        const SizeClass &s = c.Classes[k];
        const std::string two = fixed(s.Diameter, 2);
        w.at(9 > two.size() ? 9 - two.size() : 1, fixed(s.Diameter, 3));
        const std::string digits = std::to_string(s.Count);
        w.at(17 > digits.size() ? 17 - digits.size() : 1, " " + digits + " ");
        w.endsAt(30, fixed(s.VolumeFraction * 100.0, 2));
        w.endsAt(45, fixed(s.CumVolumeFraction * 100.0, 2));
        w.endsAt(60, fixed(c.TotalArea > 0.0 ? s.Count / c.TotalArea : 0.0, 3));
        w.endsAt(75, fixed(s.NumberFraction * 100.0, 2));
        w.endsAt(89, fixed(s.CumNumberFraction * 100.0, 2));
        w.newLine();
    }
    w.line();
    w.line();

    w.line("Swath Analysis:");
    w.line(std::string(15, '-'));
    if (!in.SwathNote.empty())
        w.line(oneLineText(in.SwathNote));
    if (centreSaid(in))
        w.line(oneLineText(in.CentreText));
    if (in.Extended) {
        for (const auto &[label, value] : proposalLines(in))
            labelled(label, value);
        for (const auto &[label, value] : in.EffectiveLines)
            labelled(label, value);
    }
    w.at(1, "  Swath");
    w.at(13, "------ Deposit (" + R + ") ------");
    w.at(47, "--- Drop Density (#/cm" + Squared + ") ---");
    w.newLine();
    w.at(1, "Width (" + L + ")");
    w.at(14, "COV");
    w.at(21, "Mean");
    w.at(30, "Max");
    w.at(38, "Min");
    w.at(48, "COV");
    w.at(55, "Mean");
    w.at(64, "Max");
    w.at(72, "Min");
    // Beyond the racetrack columns: the COV of passes flown back and forth.
    w.at(80, "COV b/f");
    w.at(89, "COV b/f");
    w.newLine();
    for (int n = 1; n <= widths(in); ++n) {
        const WidthStats &a = in.Deposit->Widths[static_cast<std::size_t>(n)];
        const WidthStats &b = in.DropDensity->Widths[static_cast<std::size_t>(n)];
        const double ratio = swathRatio(n, *in.Spray);
        const double depositScale = static_cast<double>(in.RateFactor) * ratio;
        w.endsAt(6, fixed(n * static_cast<double>(d.Interval), d.WidthDecimals));
        if (n == in.Deposit->SelectedWidth)
            w.endsAt(12, "***");
        w.endsAt(16, fixed(a.Cov, 2));
        w.endsAt(24, fixed(a.Mean * depositScale, 2));
        w.endsAt(32, fixed(a.Max * depositScale, 2));
        w.endsAt(40, fixed(a.Min * depositScale, 2));
        if (n == in.DropDensity->SelectedWidth)
            w.endsAt(46, "***");
        w.endsAt(50, fixed(b.Cov, 2));
        w.endsAt(58, fixed(b.Mean * ratio, 2));
        w.endsAt(66, fixed(b.Max * ratio, 2));
        w.endsAt(74, fixed(b.Min * ratio, 2));
        w.endsAt(86, fixed(a.CovBackAndForth, 2));
        w.endsAt(95, fixed(b.CovBackAndForth, 2));
        w.newLine();
    }
    w.line();

    w.line("Multiswath Profiles:");
    w.line(std::string(20, '-'));
    const int depositWidth = in.Deposit ? in.Deposit->SelectedWidth : 0;
    const int densityWidth = in.DropDensity ? in.DropDensity->SelectedWidth : 0;
    w.at(1, "Block Size:");
    w.at(13, "0-" + fixed(depositWidth * static_cast<double>(d.Interval), d.PositionDecimals) + L);
    w.at(24, "0-" + fixed(densityWidth * static_cast<double>(d.Interval), d.PositionDecimals) + L);
    w.newLine();
    w.line();
    w.at(1, "Position");
    w.at(12, "Deposit");
    w.at(22, "Drop Density");
    w.newLine();
    w.at(1, "  (" + L + ")");
    w.at(13, "(" + R + ")");
    w.at(24, "(#/cm" + Squared + ")");
    w.newLine();
    if (in.Deposit && in.DropDensity) {
        const double depositScale = static_cast<double>(in.RateFactor) * swathRatio(depositWidth, *in.Spray);
        const double densityScale = swathRatio(densityWidth, *in.Spray);
        for (std::int64_t j = d.Low; j <= d.High; ++j) {
            w.endsAt(7, fixed((static_cast<double>(j) + d.Fraction) * d.Interval, d.PositionDecimals));
            w.endsAt(18, fixed(multiswathAt(*in.Deposit, j) * depositScale, 3));
            w.endsAt(30, fixed(multiswathAt(*in.DropDensity, j) * densityScale, 3));
            w.newLine();
        }
    }
    return toWindows1252(w.take());
}

std::string resultsCsv(const ResultsInputs &in)
{
    const Derived d = derive(in);
    const std::string &L = d.U.Length;
    const std::string &R = d.U.Rate;
    const CompositeResult &c = in.Reported;
    std::string out;
    auto line = [&out](const std::string &text = {}) { out += text + "\r\n"; };
    line("Vexolin -- Quarrow Droplet Analysis Program");
    line("Swath Deposit Analysis");
    line(std::string(50, '-'));
    line();
    line("Spray Information:");
    line(std::string(18, '-'));
    for (const SprayLine &s : sprayLines(in, d.U))
        line(s.Label + ",," + csvTextField(s.Typed, s.After));
    line(std::string(50, '-'));
    line();
    line("Results:");
    line(std::string(8, '-'));
    line("Droplet Size Range:,,0.00 -- " + fixed(lastDiameter(c), 2) + " " + Micro + "m");
    line("Selected Size Range:,," + selectedRange(in));
    line("Drop Roundness:,," + fixed(in.ShapeThreshold, 0));
    line("% Valid Hues:,," + fixed(in.HueThreshold, 0));
    for (const auto &[label, value] : in.SettingLines)
        line(label + ",," + value);
    line("Composite VMD:,," + fixed(c.VMD, 2) + Micro + "m");
    line("Ave. Drop Density:,," + fixed(c.DropDensity, 2) + " drops/cm" + Squared);
    line("Ave. Volume Density:,," + fixed(c.VolumeDensity, 2) + " nL/cm" + Squared + " = " +
         fixed(c.VolumeDensity * static_cast<double>(in.RateFactor), 3) + " " + R);
    if (in.Extended) {
        for (const auto &[label, value] : spectrumLines(c))
            line(label + ",," + value);
        for (const auto &[label, value] : in.ApplicatorLines)
            line(csvField(label) + ",," + csvField(value));
    }
    line();
    line();
    line("Card,Position,VMD,Drop Density,Deposit Volume,Filename" +
         std::string(in.Extended ? ",Colours,Rejected Stains,Rejected Area,Coverage,Corrected Density,Touching "
                                   "Others,Dv0.1,Dv0.9,Relative Span,NMD,Estimated Density,Density Low,Density "
                                   "High,Estimated Deposit,Deposit Low,Deposit High,Spray Quality,Density Target"
                                 : ""));
    line(",(" + L + "),(" + Micro + "m),(#/cm" + Squared + "),(" + R + ")" +
         (in.Extended
              ? ",,,,(%),(%),(#/cm" + Squared + "),(%),(" + Micro + "m),(" + Micro + "m),,(" + Micro + "m),(#/cm" +
                    Squared + "),(#/cm" + Squared + "),(#/cm" + Squared + "),(" + R + "),(" + R + "),(" + R + "),,"
              : std::string()));
    const CardList &cards = *in.Cards;
    for (int i = 1; i <= cards.count(); ++i) {
        if (!cards[i].Scanned)
            continue;
        const CardStat &s = (*in.Stats)[static_cast<std::size_t>(i)];
        line(general(i) + "," + fixed(cards[i].Position, d.PositionDecimals) + "," + fixed(s.Vmd, 1) + "," +
             fixed(s.DropDensity, 2) + "," + fixed(s.VolumeDensity * static_cast<double>(in.RateFactor), 2) + "," +
             csvTextField(cards[i].FileTitle) +
             (cards[i].ReducedFromBits != 0 || in.Extended ? "," + csvField(reductionNote(cards[i])) : std::string()) +
             (in.Extended ? "," + general(cards[i].RejectedCount) + "," + fixed(100.0 * cards[i].RejectedAreaShare, 1) +
                                "," + fixed(100.0 * cards[i].StainCoverage, 1) + "," +
                                fixed(cards[i].CorrectedDropDensity, 2) + "," + fixed(100.0 * cards[i].HiddenShare, 1)
                          : std::string()) +
             (in.Extended ? spectrumFields(cardSpectrum(in, i)) + estimateFields(cards[i], in) + "," +
                                csvField(cardApplicator(in, i).first) + "," + csvField(cardApplicator(in, i).second)
                          : std::string()));
    }
    line();
    line();
    line("Diameter,Count,Volume,Cumulative,Drop Density,Number,Cumulative");
    line("(" + Micro + "m),,Fraction%,V.F. (%),(#/cm" + Squared + "),Fraction%,N.F. (%)");
    for (std::size_t k = 1; k < c.Classes.size(); ++k) {
        const SizeClass &s = c.Classes[k];
        line(fixed(s.Diameter, 2) + "," + general(s.Count) + "," + fixed(s.VolumeFraction * 100.0, 2) + "," +
             fixed(s.CumVolumeFraction * 100.0, 2) + "," + fixed(c.TotalArea > 0.0 ? s.Count / c.TotalArea : 0.0, 3) +
             "," + fixed(s.NumberFraction * 100.0, 2) + "," + fixed(s.CumNumberFraction * 100.0, 2));
    }
    line();
    line();
    line("Swath Analysis:");
    line(std::string(15, '-'));
    if (!in.SwathNote.empty())
        line(csvField(in.SwathNote));
    if (centreSaid(in))
        line(csvField(in.CentreText));
    if (in.Extended) {
        for (const auto &[label, value] : proposalLines(in))
            line(label + ",," + csvField(value));
        for (const auto &[label, value] : in.EffectiveLines)
            line(csvField(label) + ",," + csvField(value));
    }
    line("Swath,,-------,Deposit,(" + R + "),-------,,-------,Drop Density,(#/cm" + Squared +
         "),-------,COV b/f,COV b/f");
    line("Width (" + L + "),,COV,Mean,Max,Min,,COV,Mean,Max,Min,Deposit,Drop Density");
    const std::string marker = std::string(8, ' ') + "*****";
    for (int n = 1; n <= widths(in); ++n) {
        const WidthStats &a = in.Deposit->Widths[static_cast<std::size_t>(n)];
        const WidthStats &b = in.DropDensity->Widths[static_cast<std::size_t>(n)];
        const double ratio = swathRatio(n, *in.Spray);
        const double depositScale = static_cast<double>(in.RateFactor) * ratio;
        line(fixed(n * static_cast<double>(d.Interval), d.WidthDecimals) + "," +
             (n == in.Deposit->SelectedWidth ? marker : "") + "," + fixed(a.Cov, 2) + "," +
             fixed(a.Mean * depositScale, 2) + "," + fixed(a.Max * depositScale, 2) + "," +
             fixed(a.Min * depositScale, 2) + "," + (n == in.DropDensity->SelectedWidth ? marker : "") + "," +
             fixed(b.Cov, 2) + "," + fixed(b.Mean * ratio, 2) + "," + fixed(b.Max * ratio, 2) + "," +
             fixed(b.Min * ratio, 2) + "," + fixed(a.CovBackAndForth, 2) + "," + fixed(b.CovBackAndForth, 2));
    }
    line();
    line("Multiswath Profiles");
    const int depositWidth = in.Deposit ? in.Deposit->SelectedWidth : 0;
    const int densityWidth = in.DropDensity ? in.DropDensity->SelectedWidth : 0;
    line("Block Size:,0-" + fixed(depositWidth * static_cast<double>(d.Interval), d.PositionDecimals) + L + ",0-" +
         fixed(densityWidth * static_cast<double>(d.Interval), d.PositionDecimals) + L);
    line();
    line("Position,Deposit,Drop Density");
    line("(" + L + "),(" + R + "),(#/cm" + Squared + ")");
    if (in.Deposit && in.DropDensity) {
        const double depositScale = static_cast<double>(in.RateFactor) * swathRatio(depositWidth, *in.Spray);
        const double densityScale = swathRatio(densityWidth, *in.Spray);
        for (std::int64_t j = d.Low; j <= d.High; ++j)
            line(fixed((static_cast<double>(j) + d.Fraction) * d.Interval, d.PositionDecimals) + "," +
                 fixed(multiswathAt(*in.Deposit, j) * depositScale, 3) + "," +
                 fixed(multiswathAt(*in.DropDensity, j) * densityScale, 3));
    }
    line();
    return toWindows1252(out);
}

bool resultsAsCsv(const std::string &path, int filterIndex)
{
    std::string tail = path.size() >= 4 ? path.substr(path.size() - 4) : std::string();
    for (char &c : tail)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (tail == ".csv")
        return true;
    if (tail == ".txt")
        return false;
    return filterIndex != 1;
}

std::string resultsWriteError(const std::string &description)
{
    return "There was an error writing the data file.\r\rError: " + description;
}

} // namespace vex
