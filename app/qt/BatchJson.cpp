#include "app/qt/BatchJson.h"

#include "model/Units.h"

#include "app/AppState.h"
#include "line/CardLimits.h"
#include "line/DensityTarget.h"
#include "line/EffectiveSwath.h"
#include "line/SettingsTable.h"
#include "line/SwathDisplay.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace vex {

namespace {

// Single-precision values go out as the double they convert to exactly, so
// that a reader gets the stored value and not a rounded decimal.
double exact(float value)
{
    return static_cast<double>(value);
}

QJsonObject classObject(const SizeClass &c)
{
    QJsonObject o;
    o.insert(QStringLiteral("area"), c.Area);
    o.insert(QStringLiteral("count"), c.Count);
    o.insert(QStringLiteral("diameter_um"), exact(c.Diameter));
    o.insert(QStringLiteral("drop_volume_um3"), exact(c.DropVolume));
    o.insert(QStringLiteral("volume_fraction"), exact(c.VolumeFraction));
    o.insert(QStringLiteral("cum_volume_fraction"), exact(c.CumVolumeFraction));
    o.insert(QStringLiteral("number_fraction"), exact(c.NumberFraction));
    o.insert(QStringLiteral("cum_number_fraction"), exact(c.CumNumberFraction));
    return o;
}

QJsonArray interval(const Interval &i)
{
    return QJsonArray{i.Low, i.High};
}

QJsonObject qualityObject(const SprayQuality &q)
{
    return QJsonObject{{QStringLiteral("class"), QString::fromStdString(q.Class)},
                       {QStringLiteral("by_dv01"), QString::fromStdString(q.ByDv01)},
                       {QStringLiteral("by_vmd"), QString::fromStdString(q.ByVmd)}};
}

QJsonObject cardObject(const BatchCardResult &r, int replicates, const AnalysisSettings *settings)
{
    const CardRecord &card = *r.Card;
    const CardFigures &f = r.Figures;
    const bool drops = card.Stains.size() > 1;
    QJsonObject o;
    o.insert(QStringLiteral("file"), QString::fromStdString(card.FilePath));
    o.insert(QStringLiteral("width"), card.ImageWidth);
    o.insert(QStringLiteral("height"), card.ImageHeight);
    o.insert(QStringLiteral("resolution"), card.Resolution);
    // Only where there is something to say, so that the output for 8-bit
    // files that record nothing stays as it was.
    if (card.RecordedResolution != 0)
        o.insert(QStringLiteral("recorded_resolution"), card.RecordedResolution);
    if (card.ReducedFromBits != 0)
        o.insert(QStringLiteral("reduced"), QJsonObject{{QStringLiteral("from_bits"), card.ReducedFromBits},
                                                        {QStringLiteral("colours"), card.ReducedColours},
                                                        {QStringLiteral("exact"), card.ReducedExactly}});
    o.insert(QStringLiteral("pixel_size_um"), card.PixelSizeX);
    o.insert(QStringLiteral("card_area_cm2"), card.CardArea);
    o.insert(QStringLiteral("background_index"), card.BackgroundIndex);
    o.insert(QStringLiteral("dither_index"), card.DitherIndex);
    o.insert(QStringLiteral("foreground_pixels"), static_cast<double>(f.ForegroundPixels));
    o.insert(QStringLiteral("accepted"), f.Accepted);
    o.insert(QStringLiteral("rejected"), card.RejectedCount);
    // A card without drops has no spectrum: its figures are zero, not stale.
    o.insert(QStringLiteral("vmd_um"), drops ? card.VMD : 0.0);
    o.insert(QStringLiteral("drop_density_per_cm2"), drops ? card.DropDensity : 0.0);
    o.insert(QStringLiteral("volume_density_nl_per_cm2"), drops ? card.VolumeDensity : 0.0);
    o.insert(QStringLiteral("total_volume_nl"), drops ? card.TotalVolume : 0.0);
    o.insert(QStringLiteral("smallest_diameter_um"), drops ? exact(card.SmallestDiameter) : 0.0);
    o.insert(QStringLiteral("largest_diameter_um"), drops ? exact(card.LargestDiameter) : 0.0);
    o.insert(QStringLiteral("dv01_um"), f.Dv01);
    o.insert(QStringLiteral("dv09_um"), f.Dv09);
    o.insert(QStringLiteral("relative_span"), f.RelativeSpan);
    o.insert(QStringLiteral("nmd_um"), f.Nmd);
    // Two coverages: of the stains counted as drops, and of every stain
    // pixel (the overlap estimate's).  The plain keys stay for the scripts
    // that read them.
    o.insert(QStringLiteral("coverage_percent"), f.CoveragePercent);
    o.insert(QStringLiteral("accepted_coverage_percent"), f.CoveragePercent);
    const RejectedFigures &rejected = f.Rejected;
    QJsonObject reasons;
    const char *reasonKeys[RejectReasons] = {"no_valid_hue", "not_round", "too_few_valid_hues"};
    for (std::size_t k = 0; k < RejectReasons; ++k)
        reasons.insert(QString::fromLatin1(reasonKeys[k]),
                       QJsonObject{{QStringLiteral("count"), rejected.CountBy[k]},
                                   {QStringLiteral("area_px"), static_cast<double>(rejected.AreaBy[k])}});
    o.insert(QStringLiteral("rejected_stains"),
             QJsonObject{{QStringLiteral("count"), rejected.Count},
                         {QStringLiteral("area_px"), static_cast<double>(rejected.AreaPixels)},
                         {QStringLiteral("area_cm2"), rejected.AreaCm2},
                         {QStringLiteral("area_share"), rejected.AreaShare},
                         {QStringLiteral("by_reason"), reasons},
                         {QStringLiteral("deposit_nl_per_cm2"), rejected.DepositNlPerCm2},
                         {QStringLiteral("deposit_share"), rejected.DepositShare}});
    QJsonObject overlap{{QStringLiteral("coverage"), f.Overlap.Coverage},
                        {QStringLiteral("stain_coverage"), f.Overlap.Coverage},
                        {QStringLiteral("corrected_drop_density_per_cm2"), f.Overlap.CorrectedDropDensity},
                        {QStringLiteral("hidden_share"), f.Overlap.HiddenShare}};
    // Null where nothing on the card allows an estimate.
    auto estimate = [&](const char *key, double value, const std::array<double, 2> &ci) {
        const QString name = QString::fromLatin1(key);
        overlap.insert(name, f.Overlap.Estimated ? QJsonValue(value) : QJsonValue());
        overlap.insert(name + QStringLiteral("_ci95"),
                       f.Overlap.Estimated ? QJsonValue(QJsonArray{ci[0], ci[1]}) : QJsonValue());
    };
    estimate("estimated_drop_density_per_cm2", f.Overlap.EstimatedDropDensity, f.Overlap.EstimatedDropDensityCi);
    estimate("estimated_deposit_nl_per_cm2", f.Overlap.EstimatedDeposit, f.Overlap.EstimatedDepositCi);
    o.insert(QStringLiteral("overlap"), overlap);
    if (replicates > 0) {
        if (const CardIntervals ci = r.Intervals ? *r.Intervals : cardIntervals(card, replicates); ci.Known) {
            o.insert(QStringLiteral("vmd_ci95_um"), interval(ci.Vmd));
            o.insert(QStringLiteral("dv01_ci95_um"), interval(ci.Dv01));
            o.insert(QStringLiteral("dv09_ci95_um"), interval(ci.Dv09));
            o.insert(QStringLiteral("drop_density_ci95_per_cm2"), interval(ci.DropDensity));
        }
    }
    if (f.SplitStains > 0)
        o.insert(QStringLiteral("split_touching"),
                 QJsonObject{{QStringLiteral("stains"), f.SplitStains}, {QStringLiteral("parts"), f.SplitParts}});
    QJsonArray classes;
    for (std::size_t k = 1; k < card.Stains.size(); ++k)
        classes.append(classObject(card.Stains[k]));
    o.insert(QStringLiteral("classes"), classes);
    // Only stored cards can be left out of the line or have lost their file.
    if (card.Excluded)
        o.insert(QStringLiteral("excluded"), true);
    if (card.FileState != CardFileState::Present)
        o.insert(QStringLiteral("file_state"),
                 card.FileState == CardFileState::Missing ? QStringLiteral("missing") : QStringLiteral("changed"));
    if (r.Pass > 0)
        o.insert(QStringLiteral("pass"), r.Pass);
    if (r.Source) {
        QJsonArray corners;
        for (const PicturePoint &p : r.Source->Corners)
            corners.append(QJsonArray{p.X, p.Y});
        o.insert(QStringLiteral("source"), QJsonObject{{QStringLiteral("file"), QString::fromStdString(r.Source->File)},
                                                       {QStringLiteral("index"), r.Source->Index},
                                                       {QStringLiteral("corners_px"), corners}});
        o.insert(QStringLiteral("resolution_dpi"), r.Source->ResolutionDpi);
        o.insert(QStringLiteral("smallest_detectable_um"), r.Source->SmallestDropUm);
        o.insert(QStringLiteral("smallest_detectable_stain_um"), r.Source->SmallestStainUm);
        if (r.Source->TouchingCut)
            o.insert(QStringLiteral("touching_stains_cut"), static_cast<qint64>(*r.Source->TouchingCut));
        QJsonArray warnings;
        for (const std::string &w : r.Source->Warnings)
            warnings.append(QString::fromStdString(w));
        o.insert(QStringLiteral("warnings"), warnings);
    }
    if (settings) {
        // Found cards say it with their source; every other card at the
        // resolution it was analysed at.
        if (!r.Source && card.Resolution > 0) {
            o.insert(QStringLiteral("smallest_detectable_um"),
                     smallestDetectableDropUm(card.Resolution, settings->Spread));
            o.insert(QStringLiteral("smallest_detectable_stain_um"), smallestDetectableStainUm(card.Resolution));
        }
        const QualityTable &table = settings->Quality;
        if (const SprayQuality q = classifySpray(table, f.Dv01, drops ? card.VMD : 0.0); q.Known)
            o.insert(QStringLiteral("spray_quality"), qualityObject(q));
        if (settings->DensityTargetHigh > 0.0) {
            const double density = drops ? card.DropDensity : 0.0;
            const DensityVerdict v = densityVerdict(settings->DensityTargetLow, settings->DensityTargetHigh, density);
            o.insert(QStringLiteral("density_target"),
                     QJsonObject{{QStringLiteral("low"), settings->DensityTargetLow},
                                 {QStringLiteral("high"), settings->DensityTargetHigh},
                                 {QStringLiteral("verdict"), QString::fromLatin1(densityVerdictText(v))}});
        }
    }
    return o;
}

QJsonObject compositeObject(const CompositeResult &c, const QualityTable &table)
{
    QJsonObject o;
    if (const SprayQuality q = classifySpray(table, spectrumFigures(c.Classes, c.VMD).Dv01, c.VMD); q.Known)
        o.insert(QStringLiteral("spray_quality"), qualityObject(q));
    o.insert(QStringLiteral("vmd_um"), c.VMD);
    o.insert(QStringLiteral("drop_density_per_cm2"), c.DropDensity);
    o.insert(QStringLiteral("volume_density_nl_per_cm2"), c.VolumeDensity);
    o.insert(QStringLiteral("total_volume_nl"), c.TotalVolume);
    o.insert(QStringLiteral("total_area_cm2"), c.TotalArea);
    o.insert(QStringLiteral("total_count"), c.TotalCount);
    o.insert(QStringLiteral("smallest_diameter_um"), c.SmallestDiameter);
    o.insert(QStringLiteral("largest_diameter_um"), exact(c.LargestDiameter));
    QJsonArray classes;
    for (std::size_t k = 1; k < c.Classes.size(); ++k) {
        QJsonObject one = classObject(c.Classes[k]);
        // Pooled drop volumes are kept in nanolitres.
        one.remove(QStringLiteral("drop_volume_um3"));
        one.insert(QStringLiteral("drop_volume_nl"), exact(c.Classes[k].DropVolume));
        classes.append(one);
    }
    o.insert(QStringLiteral("classes"), classes);
    return o;
}

// Deposit figures in the rate unit and both normalised to the aircraft's
// swath, as the results file reports them.
QJsonObject swathObject(const SwathProfile &p, double factor, const SprayInfo &spray, float interval)
{
    QJsonObject o;
    o.insert(QStringLiteral("selected_width"), p.SelectedWidth);
    o.insert(QStringLiteral("selected_width_length"), static_cast<double>(p.SelectedWidth) * interval);
    QJsonArray widths;
    for (std::size_t n = 1; n < p.Widths.size(); ++n) {
        const WidthStats &w = p.Widths[n];
        const double scale = factor * swathRatio(static_cast<int>(n), spray);
        QJsonObject one;
        one.insert(QStringLiteral("width"), static_cast<int>(n));
        one.insert(QStringLiteral("width_length"), static_cast<double>(n) * interval);
        one.insert(QStringLiteral("cov"), exact(w.Cov));
        one.insert(QStringLiteral("mean"), w.Mean * scale);
        one.insert(QStringLiteral("max"), w.Max * scale);
        one.insert(QStringLiteral("min"), w.Min * scale);
        one.insert(QStringLiteral("cov_back_and_forth"), exact(w.CovBackAndForth));
        widths.append(one);
    }
    o.insert(QStringLiteral("widths"), widths);
    QJsonObject multi;
    multi.insert(QStringLiteral("passes"), p.Passes);
    multi.insert(QStringLiteral("first_position_number"), p.K);
    multi.insert(QStringLiteral("position_fraction"), exact(p.F));
    const double scale = factor * swathRatio(p.SelectedWidth, spray);
    QJsonArray values;
    for (const float v : p.Multiswath)
        values.append(v * scale);
    multi.insert(QStringLiteral("values"), values);
    o.insert(QStringLiteral("multiswath"), multi);
    return o;
}

// The widths between whole spacings and how the COV moves near the
// proposed width.
void addFineWidths(QJsonObject &o, const SwathProfile &p, const std::vector<FineWidth> &fine, float interval)
{
    QJsonArray widths;
    for (const FineWidth &w : fine)
        widths.append(QJsonObject{{QStringLiteral("width"), w.Width},
                                  {QStringLiteral("width_length"), w.Width * static_cast<double>(interval)},
                                  {QStringLiteral("cov"), exact(w.Cov)},
                                  {QStringLiteral("cov_back_and_forth"), exact(w.CovBackAndForth)}});
    o.insert(QStringLiteral("fine"), widths);
    const CovSpread near = covNear(fine, p.SelectedWidth);
    if (near.Known)
        o.insert(QStringLiteral("robustness"), QJsonObject{{QStringLiteral("min_cov"), exact(near.Min)},
                                                           {QStringLiteral("mean_cov"), exact(near.Mean)},
                                                           {QStringLiteral("max_cov"), exact(near.Max)}});
}

} // namespace

QByteArray batchCardJson(const BatchCardResult &card, int replicates, const AnalysisSettings *settings)
{
    // Written as a document of its own and moved in by the two levels it
    // stands at in the whole: every line of the writer's indented output is
    // indented by its depth alone, and no string holds a line break.
    const QByteArray alone = QJsonDocument(cardObject(card, replicates, settings)).toJson(QJsonDocument::Indented);
    const QByteArray indent(8, ' ');
    QByteArray text;
    text.reserve(alone.size() + alone.count('\n') * indent.size());
    text += '\n';
    qsizetype from = 0;
    while (from < alone.size()) {
        qsizetype end = alone.indexOf('\n', from);
        if (end < 0)
            end = alone.size();
        if (from > 0)
            text += '\n';
        text += indent;
        text += QByteArrayView(alone).sliced(from, end - from);
        from = end + 1;
    }
    return text;
}

QByteArray batchJson(const std::vector<BatchCardResult> &cards, const LineResults *line,
                     const AnalysisSettings *settings, const PassMean *mean, const LineIntervals *intervals)
{
    const BatchJsonFrame frame = batchJsonFrame(cards, line, settings, mean, intervals);
    QByteArray json = frame.Head;
    for (std::size_t i = 0; i < cards.size(); ++i) {
        if (i > 0)
            json += ',';
        json += batchCardJson(cards[i], settings ? settings->Bootstrap : 0, settings);
    }
    return json + frame.Tail;
}

namespace {

// Each card's figures on the line, or each point of the mean of passes
// (whose passes go into `root`).
QJsonArray cardStats(const std::vector<BatchCardResult> &cards, const LineResults &line, const PassMean *mean,
                     QJsonObject &root)
{
    auto stat = [&](std::size_t i, float position) {
        QJsonObject one;
        one.insert(QStringLiteral("vmd_um"), line.Stats[i].Vmd);
        one.insert(QStringLiteral("drop_density_per_cm2"), line.Stats[i].DropDensity);
        one.insert(QStringLiteral("volume_density_nl_per_cm2"), line.Stats[i].VolumeDensity);
        one.insert(QStringLiteral("position"), exact(position));
        return one;
    };
    QJsonArray stats;
    if (mean) {
        // The points of the mean's grid, each with how many passes reach it.
        for (int k = 1; k <= mean->Points.count() && static_cast<std::size_t>(k) < line.Stats.size(); ++k) {
            const auto i = static_cast<std::size_t>(k);
            QJsonObject one = stat(i, mean->Points[k].Position);
            one.insert(QStringLiteral("passes"), i < mean->Reach.size() ? mean->Reach[i] : 0);
            stats.append(one);
        }
        QJsonArray passes;
        for (const int p : mean->Passes)
            passes.append(p);
        root.insert(QStringLiteral("mean_of_passes"), passes);
    } else {
        for (const BatchCardResult &r : cards) {
            const auto i = static_cast<std::size_t>(r.Index);
            if (i < 1 || i >= line.Stats.size())
                continue;
            QJsonObject one = stat(i, r.Card->Position);
            one.insert(QStringLiteral("file"), QString::fromStdString(r.Card->FilePath));
            stats.append(one);
        }
    }
    return stats;
}

QJsonValue orNull(bool known, double value)
{
    return known ? QJsonValue(value) : QJsonValue(QJsonValue::Null);
}

QJsonObject effectiveWidthObject(const EffectiveWidth &e, bool withRecovery)
{
    QJsonObject o{{QStringLiteral("width"), orNull(e.Known, e.Width)},
                  {QStringLiteral("width_length"), orNull(e.Known, e.WidthLength)},
                  {QStringLiteral("cov"), orNull(e.Known, e.Cov)},
                  {QStringLiteral("mean"), orNull(e.Known, e.Mean)}};
    if (withRecovery)
        o.insert(QStringLiteral("recovered_share"),
                 orNull(e.RecoveredShare.has_value(), e.RecoveredShare.value_or(0.0)));
    return o;
}

// The widest width within the COV target, one way and back and forth, and
// the same at the usual targets.
QJsonObject effectiveObject(const SwathProfile &p, const std::vector<FineWidth> &fine, const LineResults &line,
                            const AnalysisSettings &settings, double factor, bool deposit)
{
    auto one = [&](double target) {
        const EffectiveSwath e = effectiveSwath(p, fine, target, line.Interval, factor, settings.Spray, deposit);
        QJsonObject o = effectiveWidthObject(e.OneWay, deposit);
        o.insert(QStringLiteral("cov_target"), target);
        o.insert(QStringLiteral("back_and_forth"), effectiveWidthObject(e.BackAndForth, deposit));
        return o;
    };
    QJsonObject chosen = one(settings.CovTarget);
    QJsonArray byTarget;
    for (const double t : CovTargets)
        byTarget.append(one(t));
    chosen.insert(QStringLiteral("by_target"), byTarget);
    return chosen;
}

QJsonObject swathObjectOf(const LineResults &line, const AnalysisSettings &settings, const LineIntervals *intervals)
{
    QJsonObject swath;
    swath.insert(QStringLiteral("deposit_unit"), QString::fromLatin1(rateUnit(settings.Metric)));
    swath.insert(QStringLiteral("length_unit"), settings.Metric ? QStringLiteral("m") : QStringLiteral("ft"));
    QJsonObject deposit = swathObject(line.Deposit, exact(rateFactor(settings.Metric)), settings.Spray, line.Interval);
    addFineWidths(deposit, line.Deposit, line.FineDeposit, line.Interval);
    // Where the pattern lay before any centring, from the flight line.
    if (line.Centre.Known) {
        deposit.insert(QStringLiteral("centroid_offset"), line.Centre.Centroid);
        deposit.insert(QStringLiteral("half_mean_centre"), line.Centre.HalfMeanCentre);
    }
    if (line.Centred)
        deposit.insert(QStringLiteral("centred"), true);
    if (intervals && intervals->Known && line.Deposit.SelectedWidth > 0)
        deposit.insert(QStringLiteral("cov_ci95"), interval(intervals->DepositCov));
    deposit.insert(QStringLiteral("effective"), effectiveObject(line.Deposit, line.FineDeposit, line, settings,
                                                                exact(rateFactor(settings.Metric)), true));
    swath.insert(QStringLiteral("deposit"), deposit);
    QJsonObject density = swathObject(line.DropDensity, 1.0, settings.Spray, line.Interval);
    addFineWidths(density, line.DropDensity, line.FineDropDensity, line.Interval);
    density.insert(QStringLiteral("effective"),
                   effectiveObject(line.DropDensity, line.FineDropDensity, line, settings, 1.0, false));
    swath.insert(QStringLiteral("drop_density"), density);
    if (line.Interpolated)
        swath.insert(QStringLiteral("interpolated"), true);
    return swath;
}

} // namespace

BatchJsonFrame batchJsonFrame(const std::vector<BatchCardResult> &cards, const LineResults *line,
                              const AnalysisSettings *settings, const PassMean *mean, const LineIntervals *intervals)
{
    QJsonObject root;
    // A stand-in for the list: the writer puts the document's keys in their
    // order, and the list goes where the stand-in is.
    root.insert(QStringLiteral("cards"), 0);
    // Only when there is something to say.
    QJsonArray warnings;
    for (const BatchCardResult &r : cards)
        if (const std::string w = denseCardWarning(*r.Card, settings ? settings->DenseCoverage : 0.20); !w.empty())
            warnings.append(QString::fromStdString(r.Card->FilePath + ": " + w));
    if (!warnings.isEmpty())
        root.insert(QStringLiteral("warnings"), warnings);
    // The settings that changed the figures are named.
    if (settings)
        for (const std::string &key : settingJsonKeys(*settings))
            root.insert(QString::fromStdString(key), true);
    if (line && settings) {
        QJsonObject composite = compositeObject(line->All, settings->Quality);
        // The intervals are of the line as reported: inside the range when
        // one cuts drops off, for the VMD.
        if (intervals && intervals->Known) {
            composite.insert(QStringLiteral("vmd_ci95_um"), interval(intervals->Vmd));
            // The bootstrap's interval is of the counts, not of pooled estimates.
            if (!settings->PoolEstimates)
                composite.insert(QStringLiteral("drop_density_ci95_per_cm2"), interval(intervals->DropDensity));
        }
        root.insert(QStringLiteral("composite"), composite);
        if (line->RangeSelected)
            root.insert(QStringLiteral("composite_range"), compositeObject(line->Range, settings->Quality));
        root.insert(QStringLiteral("spray_quality_source"), QString::fromLatin1(QualitySourceNote));
        if (settings->DensityTargetHigh > 0.0) {
            std::vector<double> densities;
            for (const BatchCardResult &r : cards)
                if (!r.Card->Excluded)
                    densities.push_back(r.Card->Stains.size() > 1 ? r.Card->DropDensity : 0.0);
            const double share = shareWithin(settings->DensityTargetLow, settings->DensityTargetHigh, densities);
            root.insert(QStringLiteral("density_target"),
                        QJsonObject{{QStringLiteral("low"), settings->DensityTargetLow},
                                    {QStringLiteral("high"), settings->DensityTargetHigh},
                                    {QStringLiteral("cards_within"),
                                     static_cast<qint64>(countWithin(settings->DensityTargetLow,
                                                                     settings->DensityTargetHigh, densities))},
                                    {QStringLiteral("share_within"), share}});
        }
        root.insert(QStringLiteral("card_stats"), cardStats(cards, *line, mean, root));
        if (!line->SwathProblem.empty())
            root.insert(QStringLiteral("swath_problem"), QString::fromStdString(line->SwathProblem));
        if (line->HasSwath)
            root.insert(QStringLiteral("swath"), swathObjectOf(*line, *settings, intervals));
    }
    const QByteArray whole = QJsonDocument(root).toJson(QJsonDocument::Indented);
    // One level in, at the start of a line, only the document's own keys
    // stand, and each once.
    const QByteArray standIn = "\n    \"cards\": 0";
    const qsizetype at = whole.indexOf(standIn);
    const qsizetype after = at + standIn.size();
    return BatchJsonFrame{whole.first(after - 1) + '[', "\n    ]" + whole.sliced(after)};
}

} // namespace vex
