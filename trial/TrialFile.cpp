#include "trial/TrialFile.h"

#include "analysis/DropStatistics.h"
#include "line/CardPositions.h"
#include "line/SettingsTable.h"
#include "line/SprayInfoSettings.h"
#include "model/CardGeometry.h"
#include "text/NumberText.h"
#include "text/SameFile.h"
#include "text/Settings.h"
#include "text/WholeFile.h"
#include "trial/CardFileCheck.h"

#include <openssl/evp.h>
#include <sqlite3.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cmath>
#include <csignal>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <limits>
#include <map>
#include <memory>
#include <new>
#include <optional>
#include <set>
#include <string>
#include <type_traits>
#include <utility>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace vex {

namespace {

// ---- The stored values, named once for the table, the writer and the reader.

// The values a field may hold in a file.  Most figures cannot be negative;
// the type's own limits apply as well.
struct Range {
    double Low = 0.0;
    double High = std::numeric_limits<double>::infinity();
};
constexpr Range Signed{-std::numeric_limits<double>::infinity(), std::numeric_limits<double>::infinity()};
// A share of a whole, 0..1.
constexpr Range Share{0.0, 1.0};
// Where a card can be placed: the positions the settings file and the Card
// Positions window take.
constexpr Range Place{-PositionLimit, PositionLimit};

using HueTable = std::array<std::int32_t, 257>;
constexpr std::array<const char *, RejectReasons> ReasonNames = {"no_valid_hue", "not_round", "too_few_valid_hues"};

template <class Whole, class Visit>
void settingValues(Whole &trial, Visit &&v)
{
    // Each as the analysis keeps it (a scaled whole number is a share
    // there): the text and range a save writes and an open checks.
    const auto taken = [&]([[maybe_unused]] const SettingDecl &d, [[maybe_unused]] double value) {
        if constexpr (!std::is_const_v<Whole>)
            d.Set(trial.Settings, value);
    };
    for (const SettingDecl &d : settingsTable()) {
        if (!d.Column)
            continue;
        const Range range{d.Low / d.Scale, d.High / d.Scale};
        const double value = d.Get(trial.Settings);
        if (d.Kind == SettingKind::Flag) {
            bool flag = value != 0.0;
            v(d.Column, flag);
            taken(d, flag ? 1.0 : 0.0);
        } else if (d.Kind == SettingKind::Whole && d.Scale == 1.0) {
            auto whole = static_cast<long long>(value);
            v(d.Column, whole, range);
            taken(d, static_cast<double>(whole));
        } else {
            double real = value;
            v(d.Column, real, range);
            taken(d, real);
        }
    }
    v("current_pass", trial.CurrentPass, Range{1});
}

template <class Pass, class Visit>
void passColumns(Pass &pass, Visit &&v)
{
    v("name", pass.Name);
    v("in_mean", pass.InMean);
    v("order_edited", pass.OrderEdited);
}

// What a card is without its scan.  The pixel sizes and the card's area
// follow from the resolution and are worked out again on open.
template <class Card, class Visit>
void cardFacts(Card &c, Visit &&v)
{
    v("file_title", c.FileTitle);
    v("file_size", c.FileSize, Range{-1});
    v("content_hash", c.ContentHash);
    v("image_width", c.ImageWidth, Range{1});
    v("image_height", c.ImageHeight, Range{1});
    v("resolution", c.Resolution, Range{1, MaxResolution});
    v("recorded_resolution", c.RecordedResolution, Range{0, MaxResolution});
    v("reduced_from_bits", c.ReducedFromBits, Range{0, 64});
    v("reduced_colours", c.ReducedColours, Range{0, 256});
    v("reduced_exactly", c.ReducedExactly);
    v("background_index", c.BackgroundIndex);
    v("dither_index", c.DitherIndex);
    v("position", c.Position, Signed);
    v("position_edited", c.PositionEdited);
    v("edited_position", c.EditedPosition, Place);
    v("excluded", c.Excluded);
    v("scanned", c.Scanned);
    v("palette", c.Palette);
    v("palette_hue", c.PaletteHue, Range{0, 255});
    v("hue_count", c.HueCount);
}

// The figures of a scanned card; empty (NULL) for a card not scanned.
template <class Card, class Visit>
void cardFigures(Card &c, Visit &&v)
{
    v("smallest_diameter", c.SmallestDiameter);
    v("largest_diameter", c.LargestDiameter);
    v("rejected_count", c.RejectedCount);
    v("rejected_area", c.RejectedArea);
    v("stain_coverage", c.StainCoverage, Share);
    v("rejected_area_share", c.RejectedAreaShare, Share);
    v("corrected_drop_density", c.CorrectedDropDensity);
    v("hidden_share", c.HiddenShare, Share);
    v("split_stains", c.SplitStains);
    v("split_parts", c.SplitParts);
    v("max_volume_fraction", c.MaxVolumeFraction, Share);
    v("max_class_count", c.MaxClassCount);
    v("vmd", c.VMD);
    v("drop_density", c.DropDensity);
    v("volume_density", c.VolumeDensity);
    v("total_volume", c.TotalVolume);
    auto &s = c.Summary;
    v("foreground_pixels", s.ForegroundPixels);
    v("accepted", s.Accepted);
    v("dv01", s.Dv01);
    v("dv09", s.Dv09);
    v("relative_span", s.RelativeSpan);
    v("nmd", s.Nmd);
    v("coverage_percent", s.CoveragePercent);
    v("summary_rejected_count", s.Rejected.Count);
    v("summary_rejected_area_pixels", s.Rejected.AreaPixels);
    v("summary_rejected_area_cm2", s.Rejected.AreaCm2);
    v("summary_rejected_area_share", s.Rejected.AreaShare, Share);
    for (std::size_t r = 0; r < RejectReasons; ++r) {
        v(std::string("rejected_count_") + ReasonNames[r], s.Rejected.CountBy[r]);
        v(std::string("rejected_area_") + ReasonNames[r], s.Rejected.AreaBy[r]);
    }
    v("rejected_deposit", s.Rejected.DepositNlPerCm2);
    v("rejected_deposit_share", s.Rejected.DepositShare);
    v("overlap_coverage", s.Overlap.Coverage, Share);
    v("overlap_corrected_drop_density", s.Overlap.CorrectedDropDensity);
    v("overlap_hidden_share", s.Overlap.HiddenShare, Share);
}

// The estimate for overlap of a scanned card that has one, in a table of its
// own, so that trials of earlier formats, which have none, still read.
template <class Overlap, class Visit>
void estimateColumns(Overlap &o, Visit &&v)
{
    v("drop_density", o.EstimatedDropDensity);
    v("drop_density_low", o.EstimatedDropDensityCi[0]);
    v("drop_density_high", o.EstimatedDropDensityCi[1]);
    v("deposit", o.EstimatedDeposit);
    v("deposit_low", o.EstimatedDepositCi[0]);
    v("deposit_high", o.EstimatedDepositCi[1]);
}

// Where a card cut from a photo or a sheet came from, in a table of its own
// for the same reason; the picture's path is stored as a card's is.
constexpr std::array<const char *, 4> CornerNames = {"top_left", "top_right", "bottom_right", "bottom_left"};
// The card sizes Find Cards takes, millimetres.
constexpr Range CardSizeMm{5.0, 500.0};

template <class Source, class Visit>
void sourceColumns(Source &s, Visit &&v)
{
    v("card_index", s.Index, Range{1});
    for (std::size_t i = 0; i < CornerNames.size(); ++i) {
        v(std::string(CornerNames[i]) + "_x", s.Corners[i].X, Signed);
        v(std::string(CornerNames[i]) + "_y", s.Corners[i].Y, Signed);
    }
    v("width_mm", s.WidthMm, CardSizeMm);
    v("height_mm", s.HeightMm, CardSizeMm);
}

template <class Class, class Visit>
void classColumns(Class &c, Visit &&v)
{
    v("area", c.Area);
    v("count", c.Count);
    v("drop_volume", c.DropVolume);
    v("diameter", c.Diameter);
    // A running sum of single-precision shares may end a little above 1.
    const Range runningSum{0.0, 1.01};
    v("volume_fraction", c.VolumeFraction, Share);
    v("cum_volume_fraction", c.CumVolumeFraction, runningSum);
    v("number_fraction", c.NumberFraction, Share);
    v("cum_number_fraction", c.CumNumberFraction, runningSum);
}

template <class T>
const char *sqlType()
{
    if constexpr (std::is_integral_v<T>)
        return "INTEGER";
    else if constexpr (std::is_floating_point_v<T>)
        return "REAL";
    else if constexpr (std::is_same_v<T, std::string>)
        return "TEXT";
    else
        return "BLOB";
}

// The column definitions and names a visitor gives, for the schema and the
// reader's SELECT.  Only the figures of a card not scanned are left empty.
struct ColumnList {
    bool Required = true;
    std::string Definitions;
    std::string Names;
    int Count = 0;
    template <class T>
    void operator()(const std::string &name, const T &, Range = {})
    {
        Definitions += ",\n  " + name + " " + sqlType<T>() + (Required ? " NOT NULL" : "");
        Names += ", " + name;
        ++Count;
    }
};

// The columns `describe` visits on a record of type Record.
template <class Record, class Describe>
ColumnList columnsOf(Describe describe, bool required = true)
{
    ColumnList list;
    list.Required = required;
    const Record none;
    describe(none, list);
    return list;
}
const ColumnList &passList()
{
    static const ColumnList list = columnsOf<LinePass>([](auto &r, auto &v) { passColumns(r, v); });
    return list;
}
const ColumnList &factList()
{
    static const ColumnList list = columnsOf<CardRecord>([](auto &r, auto &v) { cardFacts(r, v); });
    return list;
}
const ColumnList &figureList()
{
    static const ColumnList list = columnsOf<CardRecord>([](auto &r, auto &v) { cardFigures(r, v); }, false);
    return list;
}
const ColumnList &classList()
{
    static const ColumnList list = columnsOf<SizeClass>([](auto &r, auto &v) { classColumns(r, v); });
    return list;
}

const ColumnList &estimateList()
{
    static const ColumnList list = columnsOf<OverlapFigures>([](auto &r, auto &v) { estimateColumns(r, v); });
    return list;
}

const ColumnList &sourceList()
{
    static const ColumnList list = columnsOf<CardSource>([](auto &r, auto &v) { sourceColumns(r, v); });
    return list;
}

// The table of sources only when a card has one: a trial without cards cut
// from pictures is written as it was before sources were kept.
std::string schema(bool withSources)
{
    return "CREATE TABLE vexolin (key TEXT PRIMARY KEY, value TEXT NOT NULL);\n"
           "CREATE TABLE settings (key TEXT PRIMARY KEY, value TEXT NOT NULL);\n"
           "CREATE TABLE passes (\n  number INTEGER PRIMARY KEY" +
           passList().Definitions +
           ");\n"
           "CREATE TABLE spray_info (\n  pass INTEGER NOT NULL REFERENCES passes(number),\n"
           "  key TEXT NOT NULL,\n  value TEXT NOT NULL,\n  PRIMARY KEY (pass, key));\n"
           "CREATE TABLE cards (\n  id INTEGER PRIMARY KEY,\n  pass INTEGER NOT NULL REFERENCES passes(number),\n"
           "  line_order INTEGER NOT NULL,\n  path TEXT NOT NULL" +
           factList().Definitions + figureList().Definitions +
           ",\n  UNIQUE (pass, line_order));\n"
           "CREATE TABLE size_classes (\n  card INTEGER NOT NULL REFERENCES cards(id),\n  class INTEGER NOT NULL" +
           classList().Definitions +
           ",\n  PRIMARY KEY (card, class));\n"
           "CREATE TABLE card_estimates (\n  card INTEGER PRIMARY KEY REFERENCES cards(id)" +
           estimateList().Definitions + ");\n" +
           (withSources ? "CREATE TABLE card_sources (\n  card INTEGER PRIMARY KEY REFERENCES cards(id),\n"
                          "  picture TEXT NOT NULL" +
                              sourceList().Definitions + ");\n"
                        : std::string());
}

// The hue tables as blobs of little-endian 32-bit numbers, whatever the machine.
std::string hueBlob(const HueTable &table)
{
    std::string bytes;
    for (const std::int32_t value : table)
        for (int shift = 0; shift < 32; shift += 8)
            bytes += static_cast<char>((static_cast<std::uint32_t>(value) >> shift) & 0xFF);
    return bytes;
}

template <class T>
bool fitInteger(T &field, long long value, Range range)
{
    const double v = static_cast<double>(value);
    if (v < std::max(range.Low, static_cast<double>(std::numeric_limits<T>::lowest())) ||
        v > std::min(range.High, static_cast<double>(std::numeric_limits<T>::max())))
        return false;
    field = static_cast<T>(value);
    return true;
}

template <class T>
bool fitReal(T &field, double value, Range range)
{
    if (!std::isfinite(value) || value < range.Low || value > range.High ||
        std::fabs(value) > static_cast<double>(std::numeric_limits<T>::max()))
        return false;
    field = static_cast<T>(value);
    return true;
}

// Whether a value lies where the reader takes it back: a file that holds
// anything else is refused as damaged, so it is never written.
template <class T>
bool storable(const T &value, Range range)
{
    if constexpr (std::is_same_v<T, bool>) {
        return true;
    } else if constexpr (std::is_same_v<T, std::uint64_t>) {
        return value <= static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max());
    } else if constexpr (std::is_arithmetic_v<T>) {
        const auto v = static_cast<double>(value);
        return std::isfinite(v) && v >= range.Low && v <= range.High;
    } else if constexpr (std::is_same_v<T, HueTable>) {
        return std::all_of(value.begin(), value.end(), [&](std::int32_t v) { return storable(v, range); });
    } else if constexpr (std::is_same_v<T, std::vector<std::uint8_t>>) {
        // A colour table: blue, green, red for at most 256 colours.
        return value.size() % 3 == 0 && value.size() <= 256 * 3;
    } else {
        return true;
    }
}

template <class T>
std::string unstorable(const T &value)
{
    if constexpr (std::is_floating_point_v<T>)
        if (!std::isfinite(value))
            return " is not a number";
    return " is out of range";
}

bool soundHash(const std::string &hash)
{
    return hash.empty() || (hash.size() == 64 && std::all_of(hash.begin(), hash.end(), [](char c) {
                                return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f');
                            }));
}

// ---- SQLite

// What SQLite says went wrong; for a failed system call, in the system's
// words too ("disk I/O error (File too large)").  Called straight after the
// failure: SQLite does not keep the system's error number of a failed write,
// but errno still holds it.
std::string databaseError(sqlite3 *db)
{
    const int system = errno;
    if (!db)
        return "out of memory";
    std::string text = sqlite3_errmsg(db);
    const int primary = sqlite3_errcode(db) & 0xFF;
    const int code = sqlite3_system_errno(db) != 0 ? sqlite3_system_errno(db) : system;
    if ((primary == SQLITE_IOERR || primary == SQLITE_CANTOPEN) && code != 0)
        text += std::string(" (") + std::strerror(code) + ")";
    return text;
}

struct StatementDeleter {
    void operator()(sqlite3_stmt *statement) const { sqlite3_finalize(statement); }
};
using Statement = std::unique_ptr<sqlite3_stmt, StatementDeleter>;

// ---- Figures that must agree with each other

bool near(double a, double b, double relative, double absolute = 0.0)
{
    return std::fabs(a - b) <= absolute + relative * std::max(std::fabs(a), std::fabs(b));
}

// Why a scanned card's figures cannot all be true of its size classes, as
// the scan gave them; empty when they agree.  Each figure is worked out
// again from the classes the way the statistics do, so that a figure the
// file changed on its own is caught.  The sizes themselves are not: they
// follow from the spread factor and resolution of the scan, which may have
// changed since.  The card's area may have changed with its resolution too,
// so the densities are compared with each other, not with the area.
std::string contradiction(const CardRecord &c)
{
    const ScanSummary &s = c.Summary;
    if (s.Rejected.Count != s.Rejected.CountBy[0] + std::int64_t{s.Rejected.CountBy[1]} + s.Rejected.CountBy[2] ||
        s.Rejected.AreaPixels != s.Rejected.AreaBy[0] + s.Rejected.AreaBy[1] + s.Rejected.AreaBy[2])
        return "its rejected stains are not the sum of their reasons";
    if (c.RejectedArea != s.Rejected.AreaPixels || c.RejectedAreaShare != s.Rejected.AreaShare ||
        c.StainCoverage != s.Overlap.Coverage || c.CorrectedDropDensity != s.Overlap.CorrectedDropDensity ||
        c.HiddenShare != s.Overlap.HiddenShare)
        return "its stain figures are stored twice with different values";
    if (c.Stains.empty())
        return "it has no class list";
    const ClassList &k = c.Stains;
    const std::size_t n = k.size() - 1;
    if (n == 0) {
        // A scan that finds no stain leaves the card's totals as they were;
        // only its summary is new.
        if (s.Accepted != 0 || s.Dv01 != 0.0 || s.Dv09 != 0.0 || s.Nmd != 0.0 || s.RelativeSpan != 0.0)
            return "its summary counts drops it has no size class for";
        return {};
    }
    std::int64_t drops = 0;
    std::int32_t largestCount = 0;
    double volume = 0.0;    // cubic micrometres
    double magnitude = 0.0; // of the volume's terms, for the rounding allowed
    for (std::size_t i = 1; i <= n; ++i) {
        const SizeClass &x = k[i];
        if (x.Area < 1 || (i > 1 && x.Area <= k[i - 1].Area) || x.Count < 1)
            return "its size classes are not distinct stain areas each holding drops";
        if (!near(x.DropVolume, static_cast<float>(dropVolume(x.Diameter)), 1e-5, 1e-30))
            return "the drop volume of size class " + std::to_string(i) + " does not match its diameter";
        drops += x.Count;
        largestCount = std::max(largestCount, x.Count);
        volume += static_cast<double>(x.Count) * static_cast<double>(x.DropVolume);
        magnitude += std::fabs(static_cast<double>(x.Count) * static_cast<double>(x.DropVolume));
    }
    if (drops != s.Accepted)
        return "its accepted drops (" + std::to_string(s.Accepted) + ") are not those of its size classes (" +
               std::to_string(drops) + ")";
    float cumVolume = 0.0f;
    float cumNumber = 0.0f;
    double largestFraction = 0.0;
    for (std::size_t i = 1; i <= n; ++i) {
        const SizeClass &x = k[i];
        const double part =
            volume > 0.0 ? static_cast<double>(x.Count) * static_cast<double>(x.DropVolume) / volume : 0.0;
        cumVolume += x.VolumeFraction;
        cumNumber += x.NumberFraction;
        if (!near(x.VolumeFraction, part, 0.0, 1e-5) || x.CumVolumeFraction != cumVolume ||
            !near(x.NumberFraction, static_cast<double>(x.Count) / static_cast<double>(drops), 0.0, 1e-6) ||
            x.CumNumberFraction != cumNumber)
            return "the fractions of size class " + std::to_string(i) + " do not match its drops";
        largestFraction = std::max(largestFraction, static_cast<double>(x.VolumeFraction));
    }
    if (c.MaxClassCount != largestCount || c.MaxVolumeFraction != largestFraction ||
        c.SmallestDiameter != k[1].Diameter || c.LargestDiameter != k[n].Diameter)
        return "its largest and smallest classes are not those of its size classes";
    if (!near(c.TotalVolume * 1e6, volume, 1e-6, 1e-6 * magnitude))
        return "its total volume is not that of its size classes";
    const double vmd = interpolatedDiameter(k, 0.5, true);
    if (!near(c.VMD, vmd, 1e-6, 1e-9))
        return "its VMD (" + doubleSettingText(c.VMD) + ") is not that of its size classes (" + doubleSettingText(vmd) +
               ")";
    const SpectrumFigures spectrum = spectrumFigures(k, c.VMD);
    if (!near(s.Dv01, spectrum.Dv01, 1e-6, 1e-9) || !near(s.Dv09, spectrum.Dv09, 1e-6, 1e-9) ||
        !near(s.Nmd, spectrum.Nmd, 1e-6, 1e-9) || !near(s.RelativeSpan, spectrum.RelativeSpan, 1e-6, 1e-9))
        return "its Dv0.1, Dv0.9, NMD or span is not that of its size classes";
    // Both densities are over the card's area: drops / area and volume / area.
    if (!(c.DropDensity > 0.0) ||
        !near(c.VolumeDensity * static_cast<double>(drops), c.DropDensity * c.TotalVolume, 1e-6, 1e-300))
        return "its deposit does not match its drop density and total volume";
    return {};
}

// The positions of a pass's spray information, as the settings file takes
// them: an empty text is no position yet; anything else must be a number
// Vexolin can place cards with, and the spacing must not be 0.
std::string unsoundPlace(const SprayInfo &spray)
{
    for (const int entry : {static_cast<int>(Sample_Position1), static_cast<int>(Sample_Interval)}) {
        // Only the empty text is no position: one of blanks would be taken
        // as 0, a spacing no line can have.
        const std::string &text = spray[entry];
        if (text.empty())
            continue;
        const std::optional<double> v = parseNumber(text);
        if (!v || !(entry == Sample_Interval ? spacingSound(*v) : positionSound(*v)))
            return std::string(sprayInfoKey(entry)) + " holds \"" + text.substr(0, 40) + "\"";
    }
    return {};
}

// The name a card is shown by must be its file's own: a trial that names a
// card "card01.bmp" while its path leads elsewhere would have the window
// write scan logs beside a file the user never chose.
bool titleFitsPath(const std::string &title, const std::string &path)
{
    if (path.empty())
        return title.empty();
    return title != "." && title != ".." && fs::path(path).filename().string() == title;
}

// ---- The checksum of the content

// Its row in the vexolin table.
constexpr const char *ContentKey = "content_sha256";
// The first trial format that carries it.
constexpr int ChecksumFormat = 2;

// A trial's content in bytes that differ whenever any stored value or any
// table's definition differs: every row of every table in a fixed order,
// each value with its type and length.  SQLite's own checks look after the
// file's structure, not after the values in it; a flipped bit in a stored
// figure reads back as another number.
class ContentDigest {
public:
    explicit ContentDigest(sqlite3 *db) : db_(db), context_(EVP_MD_CTX_new())
    {
        if (!context_ || EVP_DigestInit_ex(context_.get(), EVP_sha256(), nullptr) != 1)
            error_ = "out of memory";
    }

    // The SHA-256 in lower-case hex; empty with error() set when the
    // content could not be read.
    std::string hex()
    {
        add("SELECT type, name, tbl_name, sql FROM sqlite_master ORDER BY type, name");
        add("SELECT * FROM vexolin NOT INDEXED WHERE key <> '" + std::string(ContentKey) + "' ORDER BY key");
        add("SELECT * FROM settings NOT INDEXED ORDER BY key");
        add("SELECT * FROM passes NOT INDEXED ORDER BY number");
        add("SELECT * FROM spray_info NOT INDEXED ORDER BY pass, key");
        add("SELECT * FROM cards NOT INDEXED ORDER BY id");
        add("SELECT * FROM size_classes NOT INDEXED ORDER BY card, class");
        if (hasTable("card_estimates"))
            add("SELECT * FROM card_estimates NOT INDEXED ORDER BY card");
        if (hasTable("card_sources"))
            add("SELECT * FROM card_sources NOT INDEXED ORDER BY card");
        unsigned char digest[EVP_MAX_MD_SIZE];
        unsigned int length = 0;
        if (!error_.empty() || EVP_DigestFinal_ex(context_.get(), digest, &length) != 1) {
            if (error_.empty())
                error_ = "out of memory";
            return {};
        }
        return hexDigits(digest, length);
    }
    const std::string &error() const { return error_; }

private:
    struct ContextDeleter {
        void operator()(EVP_MD_CTX *context) const { EVP_MD_CTX_free(context); }
    };

    void bytes(const void *data, std::size_t size)
    {
        if (error_.empty() && size > 0 && EVP_DigestUpdate(context_.get(), data, size) != 1)
            error_ = "out of memory";
    }
    void number(std::uint64_t value)
    {
        unsigned char le[8];
        for (int i = 0; i < 8; ++i)
            le[i] = static_cast<unsigned char>(value >> (8 * i));
        bytes(le, sizeof le);
    }
    void tag(char kind) { bytes(&kind, 1); }

    bool hasTable(const char *name)
    {
        sqlite3_stmt *raw = nullptr;
        const std::string sql =
            std::string("SELECT 1 FROM sqlite_master WHERE type = 'table' AND name = '") + name + "'";
        if (sqlite3_prepare_v2(db_, sql.c_str(), -1, &raw, nullptr) != SQLITE_OK) {
            error_ = databaseError(db_);
            return false;
        }
        const Statement rows(raw);
        return sqlite3_step(raw) == SQLITE_ROW;
    }

    void add(const std::string &sql)
    {
        if (!error_.empty())
            return;
        sqlite3_stmt *raw = nullptr;
        if (sqlite3_prepare_v2(db_, sql.c_str(), -1, &raw, nullptr) != SQLITE_OK) {
            error_ = databaseError(db_);
            return;
        }
        const Statement rows(raw);
        tag('T');
        bytes(sql.data(), sql.size());
        const int columns = sqlite3_column_count(raw);
        int rc = SQLITE_ROW;
        while (error_.empty() && (rc = sqlite3_step(raw)) == SQLITE_ROW) {
            tag('R');
            number(static_cast<std::uint64_t>(columns));
            for (int i = 0; i < columns; ++i) {
                switch (sqlite3_column_type(raw, i)) {
                case SQLITE_INTEGER:
                    tag('i');
                    number(static_cast<std::uint64_t>(sqlite3_column_int64(raw, i)));
                    break;
                case SQLITE_FLOAT: {
                    const double value = sqlite3_column_double(raw, i);
                    std::uint64_t bits = 0;
                    std::memcpy(&bits, &value, sizeof bits);
                    tag('f');
                    number(bits);
                    break;
                }
                case SQLITE_TEXT:
                case SQLITE_BLOB: {
                    const bool text = sqlite3_column_type(raw, i) == SQLITE_TEXT;
                    const void *data =
                        text ? static_cast<const void *>(sqlite3_column_text(raw, i)) : sqlite3_column_blob(raw, i);
                    const auto size = static_cast<std::size_t>(sqlite3_column_bytes(raw, i));
                    tag(text ? 't' : 'b');
                    number(size);
                    bytes(data, size);
                    break;
                }
                default:
                    tag('n');
                }
            }
        }
        if (error_.empty() && rc != SQLITE_DONE)
            error_ = databaseError(db_);
    }

    sqlite3 *db_;
    std::unique_ptr<EVP_MD_CTX, ContextDeleter> context_;
    std::string error_;
};

// ---- Writing

// Binds a row's values in the order the visitors name them.  A value no
// reader would take back (a figure that is not a number) stops the save.
class RowWriter {
public:
    RowWriter(sqlite3_stmt *statement, std::string &error) : statement_(statement), error_(error) {}

    template <class T>
    void operator()(const std::string &name, const T &value, Range range = {})
    {
        const int i = ++index_;
        if (!error_.empty())
            return;
        if (!storable(value, range)) {
            error_ = about_ + name + unstorable(value);
            return;
        }
        int rc = SQLITE_OK;
        if constexpr (std::is_integral_v<T>) {
            rc = sqlite3_bind_int64(statement_, i, static_cast<sqlite3_int64>(value));
        } else if constexpr (std::is_floating_point_v<T>) {
            rc = sqlite3_bind_double(statement_, i, static_cast<double>(value));
        } else if constexpr (std::is_same_v<T, std::string>) {
            rc = sqlite3_bind_text(statement_, i, value.data(), static_cast<int>(value.size()), SQLITE_TRANSIENT);
        } else if constexpr (std::is_same_v<T, HueTable>) {
            const std::string bytes = hueBlob(value);
            rc = sqlite3_bind_blob(statement_, i, bytes.data(), static_cast<int>(bytes.size()), SQLITE_TRANSIENT);
        } else {
            // An empty palette is an empty blob, not NULL.
            rc = sqlite3_bind_blob(statement_, i, value.empty() ? "" : static_cast<const void *>(value.data()),
                                   static_cast<int>(value.size()), SQLITE_TRANSIENT);
        }
        if (rc != SQLITE_OK)
            error_ = databaseError(sqlite3_db_handle(statement_));
    }
    // Whose values follow, for the reason a value is refused.
    void about(std::string what) { about_ = std::move(what); }
    // Stores the row and makes the statement ready for the next.
    void insert()
    {
        index_ = 0;
        if (!error_.empty())
            return;
        if (sqlite3_step(statement_) != SQLITE_DONE)
            error_ = databaseError(sqlite3_db_handle(statement_));
        sqlite3_reset(statement_);
        sqlite3_clear_bindings(statement_);
    }

private:
    sqlite3_stmt *statement_;
    std::string &error_;
    std::string about_;
    int index_ = 0;
};

// The card's path as stored: relative to the trial's folder when the card
// lies at or below it, so that the folder can move with its cards.
std::string storedPath(const std::string &filePath, const fs::path &folder)
{
    if (filePath.empty())
        return {};
    std::error_code ignored;
    const fs::path file = fs::absolute(fs::path(filePath), ignored).lexically_normal();
    const fs::path relative = file.lexically_relative(folder);
    if (!relative.empty() && *relative.begin() != ".." && relative != ".")
        return relative.generic_string();
    return fs::path(filePath).is_absolute() ? filePath : file.generic_string();
}

std::string utcNow()
{
    const std::time_t now = std::time(nullptr);
    std::tm utc{};
    ::gmtime_r(&now, &utc);
    char text[32];
    return std::string(text, std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &utc));
}

class TrialWriter {
public:
    TrialWriter(sqlite3 *db, const fs::path &folder) : db_(db), folder_(folder) {}

    // The trial as the bytes of a database file, or why it cannot be one.
    Result<std::string> write(const Trial &trial)
    {
        // The file is new and nobody else sees it before it is renamed:
        // no journal on disc, no syncing of SQLite's own, one sync at the end.
        exec("PRAGMA journal_mode = MEMORY; PRAGMA synchronous = OFF; PRAGMA temp_store = MEMORY; BEGIN;");
        const bool withSources = std::any_of(trial.Passes.begin(), trial.Passes.end(), [](const LinePass &p) {
            return std::any_of(p.Cards.records().begin(), p.Cards.records().end(),
                               [](const CardRecord &c) { return c.Source.has_value(); });
        });
        exec(schema(withSources));
        RowWriter header(prepare("INSERT INTO vexolin (key, value) VALUES (?, ?)"), error_);
        for (const auto &[key, value] :
             {std::pair<std::string, std::string>{"schema_version", std::to_string(TrialSchemaVersion)},
              {"program", "Vexolin"},
              {"saved_at", utcNow()}}) {
            header("key", key);
            header("value", value);
            header.insert();
        }
        RowWriter setting(prepare("INSERT INTO settings (key, value) VALUES (?, ?)"), error_);
        settingValues(trial, [&](const std::string &key, const auto &value, Range range = {}) {
            if (error_.empty() && !storable(value, range))
                error_ = "the setting " + key + unstorable(value);
            setting("key", key);
            setting("value", settingText(value));
            setting.insert();
        });
        RowWriter pass(prepare("INSERT INTO passes (number" + passList().Names + ") VALUES (?" +
                               placeholders(passList().Count) + ")"),
                       error_);
        RowWriter spray(prepare("INSERT INTO spray_info (pass, key, value) VALUES (?, ?, ?)"), error_);
        RowWriter card(prepare("INSERT INTO cards (id, pass, line_order, path" + factList().Names + figureList().Names +
                               ") VALUES (?, ?, ?, ?" + placeholders(factList().Count + figureList().Count) + ")"),
                       error_);
        RowWriter sizeClass(prepare("INSERT INTO size_classes (card, class" + classList().Names + ") VALUES (?, ?" +
                                    placeholders(classList().Count) + ")"),
                            error_);
        RowWriter estimate(prepare("INSERT INTO card_estimates (card" + estimateList().Names + ") VALUES (?" +
                                   placeholders(estimateList().Count) + ")"),
                           error_);
        RowWriter source(withSources ? prepare("INSERT INTO card_sources (card, picture" + sourceList().Names +
                                               ") VALUES (?, ?" + placeholders(sourceList().Count) + ")")
                                     : nullptr,
                         error_);
        int cardId = 0;
        for (std::size_t p = 0; p < trial.Passes.size(); ++p) {
            const LinePass &line = trial.Passes[p];
            const auto number = static_cast<std::int64_t>(p + 1);
            pass("number", number);
            passColumns(line, pass);
            pass.insert();
            if (const std::string unsound = unsoundPlace(line.Spray); error_.empty() && !unsound.empty())
                error_ = "the spray information of pass " + std::to_string(number) + ": " + unsound;
            for (int entry = 1; entry <= SprayInfoCount; ++entry) {
                spray("pass", number);
                spray("key", std::string(sprayInfoKey(entry)));
                spray("value", line.Spray[entry]);
                spray.insert();
            }
            for (int k = 1; k <= line.Cards.count(); ++k) {
                const CardRecord &c = line.Cards[k];
                card.about("card " + c.FileTitle + "'s ");
                if (error_.empty() && !soundHash(c.ContentHash))
                    error_ = "card " + c.FileTitle + "'s content_hash is not a SHA-256 in hex";
                card("id", ++cardId);
                card("pass", number);
                card("line_order", k);
                card("path", storedPath(c.FilePath, folder_));
                cardFacts(c, card);
                if (c.Scanned)
                    cardFigures(c, card);
                // What the reader would refuse as damage is not written.
                if (error_.empty() && !titleFitsPath(c.FileTitle, c.FilePath))
                    error_ = "card " + c.FileTitle + " is not the name of its file " + c.FilePath;
                if (const std::string wrong = c.Scanned ? contradiction(c) : std::string();
                    error_.empty() && !wrong.empty())
                    error_ = "card " + c.FileTitle + "'s figures disagree: " + wrong;
                card.insert();
                if (c.Scanned && c.Summary.Overlap.Estimated) {
                    estimate.about("card " + c.FileTitle + "'s estimate ");
                    estimate("card", cardId);
                    estimateColumns(c.Summary.Overlap, estimate);
                    estimate.insert();
                }
                if (c.Source) {
                    if (error_.empty() && c.Source->PicturePath.empty())
                        error_ = "card " + c.FileTitle + "'s source names no picture";
                    source.about("card " + c.FileTitle + "'s source ");
                    source("card", cardId);
                    source("picture", storedPath(c.Source->PicturePath, folder_));
                    sourceColumns(*c.Source, source);
                    source.insert();
                }
                for (std::size_t n = 1; c.Scanned && n < c.Stains.size(); ++n) {
                    sizeClass.about("card " + c.FileTitle + "'s class " + std::to_string(n) + " ");
                    sizeClass("card", cardId);
                    sizeClass("class", static_cast<std::int64_t>(n));
                    classColumns(c.Stains[n], sizeClass);
                    sizeClass.insert();
                }
            }
        }
        if (error_.empty()) {
            ContentDigest digest(db_);
            const std::string sum = digest.hex();
            error_ = digest.error();
            header("key", std::string(ContentKey));
            header("value", sum);
            header.insert();
        }
        exec("COMMIT");
        statements_.clear();
        if (!error_.empty())
            return Status::failure(error_);
        sqlite3_int64 size = 0;
        unsigned char *image = sqlite3_serialize(db_, "main", &size, 0);
        if (image == nullptr)
            return Status::failure("out of memory");
        std::string bytes(reinterpret_cast<const char *>(image), static_cast<std::size_t>(size));
        sqlite3_free(image);
        return bytes;
    }

private:
    void exec(const std::string &sql)
    {
        if (error_.empty() && sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, nullptr) != SQLITE_OK)
            error_ = databaseError(db_);
    }
    sqlite3_stmt *prepare(const std::string &sql)
    {
        sqlite3_stmt *statement = nullptr;
        if (error_.empty() && sqlite3_prepare_v2(db_, sql.c_str(), -1, &statement, nullptr) != SQLITE_OK)
            error_ = databaseError(db_);
        statements_.emplace_back(statement);
        return statement;
    }
    static std::string placeholders(int count)
    {
        std::string text;
        for (int i = 0; i < count; ++i)
            text += ", ?";
        return text;
    }
    template <class T>
    static std::string settingText(const T &value)
    {
        if constexpr (std::is_same_v<T, bool>)
            return boolSettingText(value);
        else if constexpr (std::is_integral_v<T>)
            return std::to_string(static_cast<long long>(value));
        else
            return doubleSettingText(static_cast<double>(value));
    }

    sqlite3 *db_;
    fs::path folder_;
    std::string error_;
    std::vector<Statement> statements_;
};

// ---- Reading

// Takes a row's values back in the order the visitors name them.  SQLite
// keeps any value in any column, so the type is checked as well as the
// range: the first value no save would have written is remembered by the
// name of its column.
class RowReader {
public:
    RowReader(sqlite3_stmt *statement, int first) : statement_(statement), index_(first) {}

    template <class T>
    void operator()(const std::string &name, T &field, Range range = {})
    {
        const int i = index_++;
        if (bad_.empty() && !take(i, field, range))
            bad_ = name;
    }
    // Empty while every value was sound.
    const std::string &bad() const { return bad_; }

private:
    template <class T>
    bool take(int i, T &field, Range range) const
    {
        const int type = sqlite3_column_type(statement_, i);
        if constexpr (std::is_same_v<T, bool>) {
            const sqlite3_int64 value = sqlite3_column_int64(statement_, i);
            field = value == 1;
            return type == SQLITE_INTEGER && (value == 0 || value == 1);
        } else if constexpr (std::is_integral_v<T>) {
            return type == SQLITE_INTEGER && fitInteger(field, sqlite3_column_int64(statement_, i), range);
        } else if constexpr (std::is_floating_point_v<T>) {
            return (type == SQLITE_FLOAT || type == SQLITE_INTEGER) &&
                   fitReal(field, sqlite3_column_double(statement_, i), range);
        } else if constexpr (std::is_same_v<T, std::string>) {
            const unsigned char *text = sqlite3_column_text(statement_, i);
            const auto size = static_cast<std::size_t>(sqlite3_column_bytes(statement_, i));
            field.assign(size != 0 ? reinterpret_cast<const char *>(text) : "", size);
            return type == SQLITE_TEXT;
        } else {
            const auto *bytes = static_cast<const std::uint8_t *>(sqlite3_column_blob(statement_, i));
            const auto size = static_cast<std::size_t>(sqlite3_column_bytes(statement_, i));
            if (type != SQLITE_BLOB)
                return false;
            if constexpr (std::is_same_v<T, HueTable>) {
                if (size != field.size() * 4)
                    return false;
                for (std::size_t k = 0; k < field.size(); ++k) {
                    std::uint32_t value = 0;
                    for (std::size_t b = 0; b < 4; ++b)
                        value |= static_cast<std::uint32_t>(bytes[k * 4 + b]) << (8 * b);
                    if (!fitInteger(field[k], static_cast<std::int32_t>(value), range))
                        return false;
                }
                return true;
            } else {
                field.assign(bytes, bytes + size);
                return storable(field, range);
            }
        }
    }

    sqlite3_stmt *statement_;
    int index_;
    std::string bad_;
};

class TrialReader {
public:
    TrialReader(sqlite3 *db, std::string name, fs::path folder)
        : db_(db), name_(std::move(name)), folder_(std::move(folder))
    {}

    Status read(Trial &trial)
    {
        if (!readHeader() || !readSettings(trial) || !readPasses(trial) || !readSprayInfo(trial) || !readCards(trial) ||
            !readClasses(trial) || !readEstimates(trial) || !readSources(trial))
            return problem_;
        if (trial.CurrentPass > static_cast<int>(trial.Passes.size()))
            return Status::failure(damaged("its current pass is not one of its passes"));
        for (std::size_t p = 0; p < trial.Passes.size(); ++p)
            for (int k = 1; k <= trial.Passes[p].Cards.count(); ++k) {
                const CardRecord &card = trial.Passes[p].Cards[k];
                if (const std::string wrong = card.Scanned ? contradiction(card) : std::string(); !wrong.empty())
                    return Status::failure(damaged("the figures of card " + std::to_string(k) + " of pass " +
                                                   std::to_string(p + 1) + " disagree: " + wrong));
            }
        return {};
    }

private:
    bool readHeader()
    {
        // Only the file's real tables are read: a view or a virtual table of
        // one of these names could run any query, even one that never ends.
        std::set<std::string> tables;
        Statement list = prepare("SELECT name FROM sqlite_master WHERE type = 'table' AND sql LIKE 'CREATE TABLE%'");
        while (step(list.get()))
            tables.insert(text(list.get(), 0));
        if (sqlite3_errcode(db_) == SQLITE_NOTADB)
            problem_ = Status::failure(name_ + " is not a Vexolin trial file.");
        if (!problem_.ok())
            return false;
        if (!tables.count("vexolin"))
            return refuse(name_ + " is not a Vexolin trial file.");
        Statement version = prepare("SELECT value FROM vexolin WHERE key = 'schema_version'");
        const auto format = step(version.get()) ? settingToInteger(text(version.get(), 0), 1, 1 << 30) : std::nullopt;
        if (!problem_.ok())
            return false;
        if (!format)
            return refuse(damaged("it does not say which format it is in"));
        if (*format > TrialSchemaVersion)
            return refuse(name_ + " was saved by a newer version of Vexolin (trial format " + std::to_string(*format) +
                          "); this version reads format " + std::to_string(TrialSchemaVersion) + " and older.");
        hasEstimates_ = tables.count("card_estimates") != 0;
        hasSources_ = tables.count("card_sources") != 0;
        for (const char *table : {"settings", "passes", "spray_info", "cards", "size_classes"})
            if (!tables.count(table))
                return refuse(damaged(std::string("the table ") + table + " is missing"));
        std::set<std::string> keys;
        std::string sum;
        Statement facts = prepare("SELECT key, value FROM vexolin");
        while (step(facts.get())) {
            if (!keys.insert(text(facts.get(), 0)).second)
                return refuse(damaged("it holds the fact " + text(facts.get(), 0).substr(0, 40) + " twice"));
            if (text(facts.get(), 0) == ContentKey)
                sum = text(facts.get(), 1);
        }
        if (!problem_.ok())
            return false;
        // A trial of format 1 was saved before trials carried a checksum:
        // it is still opened, on the checks of its values alone, so that the
        // trials of earlier versions stay readable.  From format 2 on the
        // checksum is part of the file, and a file without it is damaged:
        // otherwise a damaged fact row would pass the file off as an old one.
        if (*format >= ChecksumFormat) {
            if (sum.empty())
                return refuse(damaged("it holds no checksum of its contents"));
            ContentDigest digest(db_);
            const std::string actual = digest.hex();
            if (!digest.error().empty()) {
                // SQLite's failure is told as any other read's: a broken page is damage.
                const int code = sqlite3_errcode(db_);
                if (code != SQLITE_OK && code != SQLITE_ROW && code != SQLITE_DONE) {
                    databaseProblem();
                    return false;
                }
                return refuse(name_ + " could not be read: " + digest.error() + ".");
            }
            if (actual != sum)
                return refuse(damaged("its contents do not match the checksum saved with them"));
        }
        return true;
    }

    bool readSettings(Trial &trial)
    {
        std::map<std::string, std::string> stored;
        Statement rows = prepare("SELECT key, value FROM settings");
        while (step(rows.get()))
            if (!stored.emplace(text(rows.get(), 0), text(rows.get(), 1)).second)
                return refuse(damaged("the setting " + text(rows.get(), 0).substr(0, 40) + " is stored twice"));
        settingValues(trial, [&](const std::string &key, auto &field, Range range = {}) {
            const auto at = stored.find(key);
            if (at == stored.end() || !problem_.ok())
                return;
            bool sound = false;
            if constexpr (std::is_same_v<std::remove_reference_t<decltype(field)>, bool>) {
                const auto value = settingToBool(at->second);
                sound = value.has_value();
                field = value.value_or(false);
            } else if constexpr (std::is_integral_v<std::remove_reference_t<decltype(field)>>) {
                const auto value = settingToInteger(at->second, std::numeric_limits<long long>::min(),
                                                    std::numeric_limits<long long>::max());
                sound = value && fitInteger(field, *value, range);
            } else {
                const auto value = settingToDouble(at->second);
                sound = value && fitReal(field, *value, range);
            }
            if (!sound)
                refuse(damaged("the setting " + key + " holds \"" + at->second.substr(0, 40) + "\""));
        });
        return problem_.ok();
    }

    bool readPasses(Trial &trial)
    {
        Statement rows = prepare("SELECT number" + passList().Names + " FROM passes ORDER BY number");
        while (step(rows.get())) {
            LinePass &pass = trial.Passes.emplace_back();
            const auto number = static_cast<sqlite3_int64>(trial.Passes.size());
            RowReader reader(rows.get(), 1);
            passColumns(pass, reader);
            if (sqlite3_column_type(rows.get(), 0) != SQLITE_INTEGER || sqlite3_column_int64(rows.get(), 0) != number)
                return refuse(damaged("the passes are not numbered 1, 2, 3 and on"));
            if (!reader.bad().empty())
                return refuse(damaged("pass " + std::to_string(number) + " has an unsound " + reader.bad()));
        }
        if (problem_.ok() && trial.Passes.empty())
            return refuse(damaged("it holds no pass"));
        return problem_.ok();
    }

    bool readSprayInfo(Trial &trial)
    {
        std::map<std::string, int> entries;
        for (int entry = 1; entry <= SprayInfoCount; ++entry)
            entries[sprayInfoKey(entry)] = entry;
        std::set<std::pair<std::size_t, int>> seen;
        Statement rows = prepare("SELECT pass, key, value FROM spray_info");
        while (step(rows.get())) {
            const std::size_t pass = passOf(rows.get(), 0, trial);
            const auto entry = entries.find(text(rows.get(), 1));
            if (pass == 0 || entry == entries.end() || sqlite3_column_type(rows.get(), 2) != SQLITE_TEXT)
                return refuse(damaged("its spray information names a pass or an entry it does not have"));
            if (!seen.emplace(pass, entry->second).second)
                return refuse(damaged("the spray information of pass " + std::to_string(pass) + " holds " +
                                      entry->first + " twice"));
            trial.Passes[pass - 1].Spray[entry->second] = text(rows.get(), 2);
        }
        for (std::size_t p = 0; problem_.ok() && p < trial.Passes.size(); ++p)
            if (const std::string unsound = unsoundPlace(trial.Passes[p].Spray); !unsound.empty())
                return refuse(damaged("the spray information of pass " + std::to_string(p + 1) + ": " + unsound));
        return problem_.ok();
    }

    bool readCards(Trial &trial)
    {
        Statement rows = prepare("SELECT id, pass, line_order, path" + factList().Names + figureList().Names +
                                 " FROM cards ORDER BY pass, line_order");
        while (step(rows.get())) {
            const std::size_t pass = passOf(rows.get(), 1, trial);
            if (pass == 0)
                return refuse(damaged("a card belongs to a pass the trial does not have"));
            CardList &cards = trial.Passes[pass - 1].Cards;
            const std::string which = "card " + std::to_string(cards.count() + 1) + " of pass " + std::to_string(pass);
            if (sqlite3_column_type(rows.get(), 2) != SQLITE_INTEGER ||
                sqlite3_column_int64(rows.get(), 2) != cards.count() + 1)
                return refuse(damaged("the cards of pass " + std::to_string(pass) + " are not in a line"));
            CardRecord card;
            RowReader reader(rows.get(), 3);
            reader("path", card.FilePath);
            cardFacts(card, reader);
            if (card.Scanned)
                cardFigures(card, reader);
            if (reader.bad().empty() && !soundHash(card.ContentHash))
                return refuse(damaged(which + " has an unsound content_hash"));
            if (!reader.bad().empty())
                return refuse(damaged(which + " has an unsound " + reader.bad()));
            if (!titleFitsPath(card.FileTitle, card.FilePath))
                return refuse(damaged(which + " is named \"" + card.FileTitle.substr(0, 40) +
                                      "\", which is not the name of its file"));
            if (sqlite3_column_type(rows.get(), 0) != SQLITE_INTEGER ||
                !cardIds_.emplace(sqlite3_column_int64(rows.get(), 0), std::pair{pass, cards.count() + 1}).second)
                return refuse(damaged(which + " has no id of its own"));
            if (!card.FilePath.empty() && fs::path(card.FilePath).is_relative())
                card.FilePath = (folder_ / card.FilePath).lexically_normal().string();
            applyResolution(card, card.Resolution);
            card.ColoursKnown = false;
            card.FileState = CardFileState::Present;
            cards.add(std::move(card));
        }
        return problem_.ok();
    }

    bool readClasses(Trial &trial)
    {
        Statement rows = prepare("SELECT card, class" + classList().Names + " FROM size_classes ORDER BY card, class");
        while (step(rows.get())) {
            const auto at = cardIds_.find(sqlite3_column_int64(rows.get(), 0));
            if (sqlite3_column_type(rows.get(), 0) != SQLITE_INTEGER || at == cardIds_.end())
                return refuse(damaged("a size class belongs to no card"));
            const auto [pass, k] = at->second;
            CardRecord &card = trial.Passes[pass - 1].Cards[k];
            const std::string which = "card " + std::to_string(k) + " of pass " + std::to_string(pass);
            if (!card.Scanned || sqlite3_column_type(rows.get(), 1) != SQLITE_INTEGER ||
                sqlite3_column_int64(rows.get(), 1) != static_cast<sqlite3_int64>(card.Stains.size()))
                return refuse(damaged("the size classes of " + which + " are not numbered 1, 2, 3 and on"));
            RowReader reader(rows.get(), 2);
            classColumns(card.Stains.emplace_back(), reader);
            if (!reader.bad().empty())
                return refuse(damaged(which + " has a size class with an unsound " + reader.bad()));
        }
        return problem_.ok();
    }

    bool readEstimates(Trial &trial)
    {
        if (!hasEstimates_)
            return true;
        Statement rows = prepare("SELECT card" + estimateList().Names + " FROM card_estimates ORDER BY card");
        while (step(rows.get())) {
            const auto at = cardIds_.find(sqlite3_column_int64(rows.get(), 0));
            if (sqlite3_column_type(rows.get(), 0) != SQLITE_INTEGER || at == cardIds_.end())
                return refuse(damaged("an estimate for overlap belongs to no card"));
            const auto [pass, k] = at->second;
            CardRecord &card = trial.Passes[pass - 1].Cards[k];
            OverlapFigures &o = card.Summary.Overlap;
            const std::string which = "card " + std::to_string(k) + " of pass " + std::to_string(pass);
            RowReader reader(rows.get(), 1);
            estimateColumns(o, reader);
            if (!card.Scanned || o.Estimated || !reader.bad().empty() ||
                !(o.EstimatedDropDensityCi[0] <= o.EstimatedDropDensity &&
                  o.EstimatedDropDensity <= o.EstimatedDropDensityCi[1] &&
                  o.EstimatedDepositCi[0] <= o.EstimatedDeposit && o.EstimatedDeposit <= o.EstimatedDepositCi[1]))
                return refuse(damaged(which + " has an unsound estimate for overlap"));
            o.Estimated = true;
        }
        return problem_.ok();
    }

    bool readSources(Trial &trial)
    {
        if (!hasSources_)
            return true;
        Statement rows = prepare("SELECT card, picture" + sourceList().Names + " FROM card_sources ORDER BY card");
        while (step(rows.get())) {
            const auto at = cardIds_.find(sqlite3_column_int64(rows.get(), 0));
            if (sqlite3_column_type(rows.get(), 0) != SQLITE_INTEGER || at == cardIds_.end())
                return refuse(damaged("the source of a card belongs to no card"));
            const auto [pass, k] = at->second;
            CardSource source;
            RowReader reader(rows.get(), 1);
            reader("picture", source.PicturePath);
            sourceColumns(source, reader);
            if (!reader.bad().empty() || source.PicturePath.empty())
                return refuse(damaged("the source of card " + std::to_string(k) + " of pass " + std::to_string(pass) +
                                      " has an unsound " + (reader.bad().empty() ? "picture" : reader.bad())));
            if (fs::path(source.PicturePath).is_relative())
                source.PicturePath = (folder_ / source.PicturePath).lexically_normal().string();
            trial.Passes[pass - 1].Cards[k].Source = std::move(source);
        }
        return problem_.ok();
    }

    // The pass a row names in `column`, 1-based; 0 when the trial has no such pass.
    static std::size_t passOf(sqlite3_stmt *row, int column, const Trial &trial)
    {
        const sqlite3_int64 pass = sqlite3_column_int64(row, column);
        const bool known = sqlite3_column_type(row, column) == SQLITE_INTEGER && pass >= 1 &&
                           pass <= static_cast<sqlite3_int64>(trial.Passes.size());
        return known ? static_cast<std::size_t>(pass) : 0;
    }
    static std::string text(sqlite3_stmt *row, int column)
    {
        const unsigned char *value = sqlite3_column_text(row, column);
        return value ? std::string(reinterpret_cast<const char *>(value),
                                   static_cast<std::size_t>(sqlite3_column_bytes(row, column)))
                     : std::string();
    }

    Statement prepare(const std::string &sql)
    {
        sqlite3_stmt *statement = nullptr;
        if (problem_.ok() && sqlite3_prepare_v2(db_, sql.c_str(), -1, &statement, nullptr) != SQLITE_OK)
            databaseProblem();
        return Statement(statement);
    }
    // True for each row; false at the end, or on a failure, which is noted.
    bool step(sqlite3_stmt *statement)
    {
        if (!problem_.ok() || !statement)
            return false;
        const int rc = sqlite3_step(statement);
        if (rc != SQLITE_ROW && rc != SQLITE_DONE)
            databaseProblem();
        return rc == SQLITE_ROW;
    }
    // What SQLite could not do: the file's fault, or the system's.
    void databaseProblem()
    {
        switch (sqlite3_errcode(db_) & 0xFF) {
        case SQLITE_BUSY:
        case SQLITE_LOCKED:
        case SQLITE_NOMEM:
        case SQLITE_IOERR:
        case SQLITE_CANTOPEN:
        case SQLITE_PERM:
        case SQLITE_READONLY: // a journal another program left that only a writer could roll back
        case SQLITE_AUTH:
            refuse(name_ + " could not be read: " + databaseError(db_) + ".");
            break;
        default: {
            // SQLite quotes a broken table's whole definition; the start says enough.
            std::string what = sqlite3_errmsg(db_);
            what = what.substr(0, std::min(what.find('\n'), std::size_t{100}));
            refuse(damaged(what));
        }
        }
    }
    std::string damaged(const std::string &why) const
    {
        return name_ + " is damaged and cannot be opened: " + why + ".";
    }
    bool refuse(const std::string &reason)
    {
        if (problem_.ok())
            problem_ = Status::failure(reason);
        return false;
    }

    sqlite3 *db_;
    std::string name_;
    fs::path folder_;
    Status problem_;
    // Where each card id went: its pass and its place in the line.
    std::map<sqlite3_int64, std::pair<std::size_t, int>> cardIds_;
    bool hasEstimates_ = false; // trials of earlier formats have no estimates
    bool hasSources_ = false;   // nor those saved before cards were found in pictures
};

// The name of the file SQLite keeps beside `path` with `suffix` when it is
// there and holds something (a rollback journal: begins as one still to be
// played back does); else empty.
std::string besideIt(const std::string &path, const char *suffix)
{
    const std::string other = path + suffix;
    const int fd = ::open(other.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return {};
    static const unsigned char journal[8] = {0xd9, 0xd5, 0x05, 0xf9, 0x20, 0xa1, 0x63, 0xd7};
    unsigned char start[8] = {};
    const ssize_t got = ::read(fd, start, sizeof start);
    ::close(fd);
    const bool rollback = std::strcmp(suffix, "-journal") == 0;
    if (got <= 0 || (rollback && (got != sizeof start || std::memcmp(start, journal, sizeof start) != 0)))
        return {};
    return fs::path(other).filename().string();
}

// Why a file of `size` bytes cannot be the database its 100-byte header
// describes; empty when it can.
std::string lengthProblem(const unsigned char *header, std::uint64_t size)
{
    auto big = [&](int at, int bytes) {
        std::uint64_t value = 0;
        for (int i = 0; i < bytes; ++i)
            value = value << 8 | header[at + i];
        return value;
    };
    const std::uint64_t pageSize = big(16, 2) == 1 ? 65536 : big(16, 2);
    if (pageSize < 512 || pageSize > 65536 || (pageSize & (pageSize - 1)) != 0)
        return "its header gives no page size";
    // The page count is valid when the change counter that wrote it is the
    // file's last one.
    const std::uint64_t pages = big(28, 4);
    const std::uint64_t expected =
        pages != 0 && big(92, 4) == big(24, 4) ? pages * pageSize : (size + pageSize - 1) / pageSize * pageSize;
    if (size < expected)
        return "it is cut short: it holds " + std::to_string(size) + " of its " + std::to_string(expected) + " bytes";
    if (size > expected)
        return "it is longer than its pages: " + std::to_string(size) + " bytes where " + std::to_string(expected) +
               " were written";
    return {};
}

} // namespace

Status saveTrial(const std::string &path, const Trial &trial)
{
    const std::string failed = "the trial could not be written: ";
    if (trial.Passes.empty())
        return Status::failure(failed + "it has no pass");
    if (trial.CurrentPass < 1 || trial.CurrentPass > static_cast<int>(trial.Passes.size()))
        return Status::failure(failed + "its current pass is not one of its passes");
    std::error_code ignored;
    fs::path target = fs::absolute(fs::path(path), ignored).lexically_normal();
    // Cards are stored relative to the folder the file really lies in,
    // which a link to it need not share.
    if (fs::is_symlink(target, ignored))
        target = followLinks(path).Path;
    // Built in memory and written by the writer every file of the program
    // goes through: the file appears whole or not at all, and a save killed
    // half way leaves nothing beside it.
    sqlite3 *db = nullptr;
    Result<std::string> bytes;
    if (sqlite3_open_v2(":memory:", &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr) != SQLITE_OK)
        bytes = Status::failure(databaseError(db));
    else
        bytes = TrialWriter(db, target.parent_path()).write(trial);
    sqlite3_close(db);
    if (!bytes.ok())
        return Status::failure(failed + bytes.reason());
    const Status written = writeWholeFile(path, *bytes);
    return written.ok() ? Status() : Status::failure(failed + written.reason());
}

Result<Trial> openTrial(const std::string &path)
{
    const std::string name = fs::path(path).filename().string();
    // Looked at before SQLite opens it: a pipe would be waited on for ever,
    // and a file that does not start as SQLite's is no trial.
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        return Status::failure(errno == ENOENT ? name + " does not exist."
                                               : name + " could not be read: " + std::strerror(errno) + ".");
    }
    struct stat info {};
    unsigned char header[100] = {};
    const bool regular = ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode);
    const bool sqlite = regular && ::read(fd, header, sizeof header) == static_cast<ssize_t>(sizeof header) &&
                        std::memcmp(header, "SQLite format 3", 16) == 0;
    ::close(fd);
    if (!sqlite) {
        return Status::failure(name + " is not a Vexolin trial file.");
    }
    const std::string damaged = name + " is damaged and cannot be opened: ";
    // Bytes 18 and 19 say 2 for a file another program turned to write-ahead
    // logging, which SQLite reads only by creating files beside it.
    if (header[18] != 1 || header[19] != 1) {
        const std::string log = besideIt(path, "-wal");
        return Status::failure(damaged + "it is in a journal mode no save writes (write-ahead log" +
                               (log.empty() ? "" : ", kept in " + log) + ").");
    }
    // A save never leaves a journal: one beside the trial holds a change
    // another program began and did not finish, and the trial is not whole
    // until that program undoes it.  SQLite would have to write to do so,
    // and says only "attempt to write a readonly database".
    if (const std::string journal = besideIt(path, "-journal"); !journal.empty()) {
        return Status::failure(damaged + "a change another program left unfinished is kept beside it in " + journal +
                               "; opening the trial once in that program undoes the change.");
    }
    // SQLite reads a file cut short as if its last page ended in zeros; the
    // header says how long the file is.
    if (const std::string cut = lengthProblem(header, static_cast<std::uint64_t>(info.st_size)); !cut.empty()) {
        return Status::failure(damaged + cut + ".");
    }

    Trial trial;
    Status read;
    sqlite3 *db = nullptr;
    if (sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK) {
        read = Status::failure(name + " could not be read: " + databaseError(db) + ".");
    } else {
        // A file from anywhere: SQLite's own guards against hostile
        // databases, and no text or blob larger than a trial could need.
        sqlite3_db_config(db, SQLITE_DBCONFIG_DEFENSIVE, 1, nullptr);
        sqlite3_db_config(db, SQLITE_DBCONFIG_TRUSTED_SCHEMA, 0, nullptr);
        sqlite3_limit(db, SQLITE_LIMIT_LENGTH, 1 << 26);
        sqlite3_exec(db, "PRAGMA cell_size_check = ON", nullptr, nullptr, nullptr);
        std::error_code ignored;
        fs::path file = fs::absolute(fs::path(path), ignored).lexically_normal();
        if (fs::is_symlink(file, ignored))
            file = followLinks(path).Path; // cards lie beside the file, not the link
        const fs::path folder = file.parent_path();
        try {
            read = TrialReader(db, name, folder).read(trial);
        } catch (const std::bad_alloc &) {
            read = Status::failure(name + " could not be read: there is not enough memory.");
        }
    }
    sqlite3_close(db);
    if (!read.ok())
        return read;
    return trial;
}

} // namespace vex
