#include "trial/TrialFile.h"

#include "line/SprayInfo.h"
#include "model/CardGeometry.h"
#include "text/SameFile.h"
#include "text/Settings.h"
#include "text/WholeFile.h"

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

using HueTable = std::array<std::int32_t, 257>;
constexpr std::array<const char *, RejectReasons> ReasonNames = {"no_valid_hue", "not_round", "too_few_valid_hues"};

template <class Whole, class Visit>
void settingValues(Whole &trial, Visit &&v)
{
    auto &s = trial.Settings;
    v("resolution", s.Resolution, Range{1, MaxResolution});
    v("resolution_from_file", s.ResolutionFromFile);
    v("reduce_colours", s.Intake.ReduceColours);
    v("hue_low", s.Scan.HueLow);
    v("hue_high", s.Scan.HueHigh);
    v("hue_invert", s.Scan.HueInvert);
    v("shape_threshold", s.Scan.ShapeThreshold);
    v("hue_threshold", s.Scan.HueThreshold);
    v("split_touching", s.Scan.SplitTouching);
    for (std::size_t i = 0; i < s.Spread.size(); ++i)
        v("spread_" + std::to_string(i + 1), s.Spread[i], Signed);
    v("no_dither", s.NoDither);
    v("table_background", s.TableBackground);
    v("metric", s.Metric);
    v("dense_coverage", s.DenseCoverage);
    v("extended", s.Extended);
    v("has_range", s.HasRange);
    v("range_low", s.RangeLow);
    v("range_high", s.RangeHigh);
    v("width_step", s.WidthStep, Range{0.01, 1.0});
    v("centre_pattern", s.CentrePattern);
    v("natural_order", trial.NaturalOrder);
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
    v("edited_position", c.EditedPosition, Signed);
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
    v("stain_coverage", c.StainCoverage);
    v("rejected_area_share", c.RejectedAreaShare);
    v("corrected_drop_density", c.CorrectedDropDensity);
    v("hidden_share", c.HiddenShare);
    v("split_stains", c.SplitStains);
    v("split_parts", c.SplitParts);
    v("max_volume_fraction", c.MaxVolumeFraction);
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
    v("summary_rejected_area_share", s.Rejected.AreaShare);
    for (std::size_t r = 0; r < RejectReasons; ++r) {
        v(std::string("rejected_count_") + ReasonNames[r], s.Rejected.CountBy[r]);
        v(std::string("rejected_area_") + ReasonNames[r], s.Rejected.AreaBy[r]);
    }
    v("rejected_deposit", s.Rejected.DepositNlPerCm2);
    v("rejected_deposit_share", s.Rejected.DepositShare);
    v("overlap_coverage", s.Overlap.Coverage);
    v("overlap_corrected_drop_density", s.Overlap.CorrectedDropDensity);
    v("overlap_hidden_share", s.Overlap.HiddenShare);
}

template <class Class, class Visit>
void classColumns(Class &c, Visit &&v)
{
    v("area", c.Area);
    v("count", c.Count);
    v("drop_volume", c.DropVolume);
    v("diameter", c.Diameter);
    v("volume_fraction", c.VolumeFraction);
    v("cum_volume_fraction", c.CumVolumeFraction);
    v("number_fraction", c.NumberFraction);
    v("cum_number_fraction", c.CumNumberFraction);
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

std::string schema()
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
           classList().Definitions + ",\n  PRIMARY KEY (card, class));\n";
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

// ---- Writing

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

    std::string write(const Trial &trial)
    {
        // The file is new and nobody else sees it before it is renamed:
        // no journal on disc, no syncing of SQLite's own, one sync at the end.
        exec("PRAGMA journal_mode = MEMORY; PRAGMA synchronous = OFF; PRAGMA temp_store = MEMORY; BEGIN;");
        exec(schema());
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
        int cardId = 0;
        for (std::size_t p = 0; p < trial.Passes.size(); ++p) {
            const LinePass &line = trial.Passes[p];
            const auto number = static_cast<std::int64_t>(p + 1);
            pass("number", number);
            passColumns(line, pass);
            pass.insert();
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
                card.insert();
                for (std::size_t n = 1; c.Scanned && n < c.Stains.size(); ++n) {
                    sizeClass.about("card " + c.FileTitle + "'s class " + std::to_string(n) + " ");
                    sizeClass("card", cardId);
                    sizeClass("class", static_cast<std::int64_t>(n));
                    classColumns(c.Stains[n], sizeClass);
                    sizeClass.insert();
                }
            }
        }
        exec("COMMIT");
        statements_.clear();
        return error_;
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
            !readClasses(trial))
            return problem_;
        if (trial.CurrentPass > static_cast<int>(trial.Passes.size()))
            return Status::failure(damaged("its current pass is not one of its passes"));
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
        for (const char *table : {"settings", "passes", "spray_info", "cards", "size_classes"})
            if (!tables.count(table))
                return refuse(damaged(std::string("the table ") + table + " is missing"));
        return true;
    }

    bool readSettings(Trial &trial)
    {
        std::map<std::string, std::string> stored;
        Statement rows = prepare("SELECT key, value FROM settings");
        while (step(rows.get()))
            stored[text(rows.get(), 0)] = text(rows.get(), 1);
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
        Statement rows = prepare("SELECT pass, key, value FROM spray_info");
        while (step(rows.get())) {
            const std::size_t pass = passOf(rows.get(), 0, trial);
            const auto entry = entries.find(text(rows.get(), 1));
            if (pass == 0 || entry == entries.end() || sqlite3_column_type(rows.get(), 2) != SQLITE_TEXT)
                return refuse(damaged("its spray information names a pass or an entry it does not have"));
            trial.Passes[pass - 1].Spray[entry->second] = text(rows.get(), 2);
        }
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
};

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
    std::string error;
    if (sqlite3_open_v2(":memory:", &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr) != SQLITE_OK)
        error = databaseError(db);
    else
        error = TrialWriter(db, target.parent_path()).write(trial);
    std::string bytes;
    if (error.empty()) {
        sqlite3_int64 size = 0;
        unsigned char *image = sqlite3_serialize(db, "main", &size, 0);
        if (image == nullptr)
            error = "out of memory";
        else
            bytes.assign(reinterpret_cast<const char *>(image), static_cast<std::size_t>(size));
        sqlite3_free(image);
    }
    sqlite3_close(db);
    if (!error.empty())
        return Status::failure(failed + error);
    const Status written = writeWholeFile(path, bytes);
    return written.ok() ? Status() : Status::failure(failed + written.reason());
}

OpenedTrial openTrial(const std::string &path)
{
    OpenedTrial opened;
    const std::string name = fs::path(path).filename().string();
    // Looked at before SQLite opens it: a pipe would be waited on for ever,
    // and a file that does not start as SQLite's is no trial.
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        opened.Result = Status::failure(errno == ENOENT ? name + " does not exist."
                                                        : name + " could not be read: " + std::strerror(errno) + ".");
        return opened;
    }
    struct stat info {};
    unsigned char header[20] = {};
    const bool regular = ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode);
    const bool sqlite = regular && ::read(fd, header, sizeof header) == static_cast<ssize_t>(sizeof header) &&
                        std::memcmp(header, "SQLite format 3", 16) == 0;
    ::close(fd);
    if (!sqlite) {
        opened.Result = Status::failure(name + " is not a Vexolin trial file.");
        return opened;
    }
    // Bytes 18 and 19 say 2 for a file another program turned to write-ahead
    // logging, which SQLite reads only by creating files beside it.
    if (header[18] != 1 || header[19] != 1) {
        opened.Result = Status::failure(name + " is damaged and cannot be opened: it is in a journal mode no save "
                                               "writes (write-ahead log).");
        return opened;
    }

    sqlite3 *db = nullptr;
    if (sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK) {
        opened.Result = Status::failure(name + " could not be read: " + databaseError(db) + ".");
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
            opened.Result = TrialReader(db, name, folder).read(opened.Value);
        } catch (const std::bad_alloc &) {
            opened.Result = Status::failure(name + " could not be read: there is not enough memory.");
        }
    }
    sqlite3_close(db);
    if (!opened.Result.ok())
        opened.Value = {};
    return opened;
}

} // namespace vex
