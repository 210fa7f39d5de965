// The batch tool as a script sees it: exit status, messages and the JSON.

#include "app/qt/BatchJson.h"
#include "support/CardPictures.h"
#include "support/SampleCards.h"
#include "support/Sanitizers.h"
#include "support/TestImages.h"
#include "tools/cardgen/CardGenerator.h"
#include "trial/TrialFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <sys/resource.h>
#include <tuple>

namespace vex {
namespace {

// White background, a grey dither in every other pixel of every other row,
// blue squares of 2, 3 and 3 pixels a side and one yellow pixel.
test::Picture card()
{
    test::Picture p;
    p.Width = 32;
    p.Height = 24;
    p.PaletteBgr.assign(256 * 3, 0);
    const auto set = [&](int i, std::uint8_t b, std::uint8_t g, std::uint8_t r) {
        p.PaletteBgr[static_cast<std::size_t>(i) * 3] = b;
        p.PaletteBgr[static_cast<std::size_t>(i) * 3 + 1] = g;
        p.PaletteBgr[static_cast<std::size_t>(i) * 3 + 2] = r;
    };
    set(1, 255, 255, 255);
    set(2, 230, 230, 230);
    set(3, 255, 0, 0);
    set(4, 0, 255, 255);
    p.TopDownIndices.assign(32 * 24, 1);
    auto pixel = [&](int x, int y) -> std::uint8_t & { return p.TopDownIndices[static_cast<std::size_t>(y * 32 + x)]; };
    for (int y = 0; y < 24; y += 2)
        for (int x = 0; x < 32; x += 2)
            pixel(x, y) = 2;
    int left = 2;
    for (const int side : {2, 3, 3}) {
        for (int y = 10; y < 10 + side; ++y)
            for (int x = left; x < left + side; ++x)
                pixel(x, y) = 3;
        left += side + 4;
    }
    pixel(28, 5) = 4;
    return p;
}

class BatchTool : public ::testing::Test {
protected:
    struct Run {
        int Status = -1;
        QByteArray Out;
        QByteArray Err;
    };

    // `locale`, when given, is the whole process's (LC_ALL).
    Run run(const QStringList &args, const QString &locale = {})
    {
        QProcess process;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        if (!locale.isEmpty())
            env.insert(QStringLiteral("LC_ALL"), locale);
        // Preferences of their own, so the user's never reach the test.
        env.insert(QStringLiteral("HOME"), dir_.path());
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), dir_.path() + QStringLiteral("/config"));
        process.setProcessEnvironment(env);
        process.start(QStringLiteral(VEXOLIN_BATCH_PATH), args);
        EXPECT_TRUE(process.waitForFinished(60000));
        return {process.exitCode(), process.readAllStandardOutput(), process.readAllStandardError()};
    }

    QString writeCard(const QString &name)
    {
        const QString path = dir_.filePath(name);
        test::writeFile(path.toStdString(), test::makeBmp(card()));
        return path;
    }

    QTemporaryDir dir_;
};

TEST_F(BatchTool, JsonDocumentWithTheCardsInTheGivenOrder)
{
    const QString b = writeCard(QStringLiteral("b.bmp"));
    const QString a = writeCard(QStringLiteral("a.bmp"));
    const Run r = run({QStringLiteral("--json"), QStringLiteral("--no-log"), QStringLiteral("--hue"),
                       QStringLiteral("150-190"), QStringLiteral("--dpi"), QStringLiteral("600"), b, a});
    ASSERT_EQ(r.Status, 0) << r.Err.toStdString();
    QJsonParseError error{};
    const QJsonDocument doc = QJsonDocument::fromJson(r.Out, &error);
    ASSERT_EQ(error.error, QJsonParseError::NoError) << r.Out.toStdString();
    const QJsonArray cards = doc.object().value(QStringLiteral("cards")).toArray();
    ASSERT_EQ(cards.size(), 2);
    EXPECT_EQ(cards[0].toObject().value(QStringLiteral("file")).toString(), b);
    EXPECT_EQ(cards[1].toObject().value(QStringLiteral("file")).toString(), a);

    const QJsonObject c = cards[0].toObject();
    for (const char *key : {"file",
                            "width",
                            "height",
                            "resolution",
                            "pixel_size_um",
                            "card_area_cm2",
                            "background_index",
                            "dither_index",
                            "foreground_pixels",
                            "accepted",
                            "rejected",
                            "vmd_um",
                            "drop_density_per_cm2",
                            "volume_density_nl_per_cm2",
                            "total_volume_nl",
                            "smallest_diameter_um",
                            "largest_diameter_um",
                            "classes",
                            "dv01_um",
                            "dv09_um",
                            "relative_span",
                            "nmd_um",
                            "coverage_percent"})
        EXPECT_TRUE(c.contains(QLatin1String(key))) << key;
    EXPECT_EQ(c.value(QStringLiteral("width")).toInt(), 32);
    EXPECT_EQ(c.value(QStringLiteral("resolution")).toInt(), 600);
    EXPECT_EQ(c.value(QStringLiteral("foreground_pixels")).toInt(), 4 + 9 + 9 + 1);
    EXPECT_EQ(c.value(QStringLiteral("accepted")).toInt(), 3);
    EXPECT_EQ(c.value(QStringLiteral("rejected")).toInt(), 1);
    const QJsonArray classes = c.value(QStringLiteral("classes")).toArray();
    ASSERT_EQ(classes.size(), 2);
    EXPECT_EQ(classes[0].toObject().value(QStringLiteral("area")).toInt(), 4);
    EXPECT_EQ(classes[1].toObject().value(QStringLiteral("count")).toInt(), 2);
    for (const char *key : {"area", "count", "diameter_um", "drop_volume_um3", "volume_fraction", "cum_volume_fraction",
                            "number_fraction", "cum_number_fraction"})
        EXPECT_TRUE(classes[0].toObject().contains(QLatin1String(key))) << key;
    // Full precision: the single-precision diameter comes back exactly.
    const double d = classes[1].toObject().value(QStringLiteral("diameter_um")).toDouble();
    EXPECT_EQ(static_cast<double>(static_cast<float>(d)), d);
    EXPECT_DOUBLE_EQ(c.value(QStringLiteral("coverage_percent")).toDouble(), 22.0 / (32.0 * 24.0) * 100.0);
    // Named for what they cover: the stains counted as drops, every stain pixel.
    EXPECT_EQ(c.value(QStringLiteral("accepted_coverage_percent")), c.value(QStringLiteral("coverage_percent")));
    const QJsonObject overlap = c.value(QStringLiteral("overlap")).toObject();
    EXPECT_DOUBLE_EQ(overlap.value(QStringLiteral("stain_coverage")).toDouble(), 23.0 / (32.0 * 24.0));
    EXPECT_EQ(overlap.value(QStringLiteral("stain_coverage")), overlap.value(QStringLiteral("coverage")));
    EXPECT_DOUBLE_EQ(c.value(QStringLiteral("smallest_detectable_stain_um")).toDouble(), 3 * 25400.0 / 600);
}

TEST_F(BatchTool, UnreadableCardIsReportedAndTheOthersStillAnalysed)
{
    const QString good = writeCard(QStringLiteral("good.bmp"));
    const Run r = run({QStringLiteral("--json"), QStringLiteral("--no-log"),
                       dir_.filePath(QStringLiteral("missing.bmp")), dir_.filePath(QStringLiteral("notes.txt")), good});
    EXPECT_EQ(r.Status, 1);
    EXPECT_TRUE(r.Err.contains("missing.bmp"));
    EXPECT_TRUE(r.Err.contains("'notes.txt' is an unsupported file type."));
    const QJsonArray cards = QJsonDocument::fromJson(r.Out).object().value(QStringLiteral("cards")).toArray();
    ASSERT_EQ(cards.size(), 1);
    EXPECT_EQ(cards[0].toObject().value(QStringLiteral("file")).toString(), good);
}

TEST_F(BatchTool, CardsThatWouldShareALogKeepTheirOwn)
{
    const QString lower = writeCard(QStringLiteral("c3.bmp"));
    const QString upper = writeCard(QStringLiteral("c3.BMP"));
    const Run r = run({QStringLiteral("--log"), lower, upper});
    ASSERT_EQ(r.Status, 0) << r.Err.toStdString();
    EXPECT_TRUE(QFile::exists(dir_.filePath(QStringLiteral("c3.scn"))));
    EXPECT_TRUE(QFile::exists(dir_.filePath(QStringLiteral("c3.BMP.scn"))));
    EXPECT_TRUE(r.Err.contains("the log of c3.BMP is written to c3.BMP.scn")) << r.Err.toStdString();
}

TEST_F(BatchTool, UsageErrorsExitWithTwo)
{
    EXPECT_EQ(run({}).Status, 2);
    EXPECT_EQ(run({QStringLiteral("--hue"), QStringLiteral("9-3"), QStringLiteral("x.bmp")}).Status, 2);
    const Run help = run({QStringLiteral("--help")});
    EXPECT_EQ(help.Status, 0);
    EXPECT_TRUE(help.Out.startsWith("usage: vexolin-batch"));
}

TEST_F(BatchTool, ControlCharactersOfANameAreShownEscaped)
{
    const QString name = QStringLiteral("a\x1b[2Jb\rc.bmp");
    writeCard(name);
    const Run r = run({QStringLiteral("--no-log"), dir_.filePath(name), dir_.filePath(QStringLiteral("x\ny.bmp"))});
    EXPECT_EQ(r.Status, 1);
    EXPECT_TRUE(r.Out.contains("/a\\x1b[2Jb\\rc.bmp: 4 drops")) << r.Out.toStdString();
    EXPECT_TRUE(r.Err.contains("/x\\ny.bmp: ")) << r.Err.toStdString();
    for (const QByteArray &said : {r.Out, r.Err})
        EXPECT_FALSE(said.contains('\x1b') || said.contains('\r'));
    EXPECT_EQ(r.Out.count('\n'), 1);
}

// Under a limit of address space with room for two threads' stacks and not
// for a picture of a gigabyte.
TEST_F(BatchTool, UnderAMemoryLimitACardWithoutMemoryIsReportedAndFewerThreadsWork)
{
#ifdef VEXOLIN_ADDRESS_SANITIZER
    GTEST_SKIP() << "the address sanitizer needs more address space than the limit leaves";
#endif
    QStringList args{QStringLiteral("--no-log"), QStringLiteral("--jobs=8"), writeCard(QStringLiteral("a.bmp"))};
    // 32768 x 32768 pixels from a few bytes of RLE8: one pixel, then the end.
    test::Picture one = card();
    one.Width = one.Height = 1;
    one.TopDownIndices = {3};
    std::vector<std::uint8_t> big = test::makeBmp(one, {.Rle8 = true});
    test::setU32(big, 18, 32768);
    test::setU32(big, 22, 32768);
    big.resize(big.size() + 300000, 0);
    test::setU32(big, 2, static_cast<std::uint32_t>(big.size()));
    test::writeFile(dir_.filePath(QStringLiteral("big.bmp")).toStdString(), big);
    args << dir_.filePath(QStringLiteral("big.bmp")) << writeCard(QStringLiteral("b.bmp"))
         << writeCard(QStringLiteral("c.bmp"));
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("HOME"), dir_.path());
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), dir_.path() + QStringLiteral("/config"));
    process.setProcessEnvironment(env);
    process.setChildProcessModifier([] {
        const rlimit stack{rlim_t{512} << 20, rlim_t{512} << 20};
        const rlimit space{rlim_t{1536} << 20, rlim_t{1536} << 20};
        setrlimit(RLIMIT_STACK, &stack);
        setrlimit(RLIMIT_AS, &space);
    });
    process.start(QStringLiteral(VEXOLIN_BATCH_PATH), args);
    ASSERT_TRUE(process.waitForFinished(60000));
    const QByteArray err = process.readAllStandardError();
    ASSERT_EQ(process.exitStatus(), QProcess::NormalExit) << err.toStdString();
    EXPECT_EQ(process.exitCode(), 1) << err.toStdString();
    EXPECT_TRUE(err.contains("big.bmp' cannot be opened as a card image: there is not enough memory"))
        << err.toStdString();
    EXPECT_TRUE(err.contains("threads asked for; the cards are analysed by fewer")) << err.toStdString();
    EXPECT_EQ(process.readAllStandardOutput().count("4 drops, 0 rejected"), 3);
}

TEST_F(BatchTool, LogIsWrittenUnlessSwitchedOff)
{
    const QString path = writeCard(QStringLiteral("logged.bmp"));
    const Run r = run({QStringLiteral("--log"), path});
    EXPECT_EQ(r.Status, 0) << r.Err.toStdString();
    EXPECT_TRUE(QFile::exists(dir_.filePath(QStringLiteral("logged.scn"))));
    EXPECT_TRUE(r.Out.contains("4 drops, 0 rejected")); // every hue is valid by default
}

TEST_F(BatchTool, GeneratedLineGivesEveryDrawnDiscAndNoDust)
{
    cardgen::CardSpec base;
    base.Discs = 900;
    base.MaxDiameter = 26.0;
    QStringList args{QStringLiteral("--json"),  QStringLiteral("--no-log"), QStringLiteral("--hue"),
                     QStringLiteral("150-190"), QStringLiteral("--dpi"),    QStringLiteral("600")};
    std::vector<cardgen::Card> drawn;
    for (int i = 0; i < 3; ++i) {
        drawn.push_back(cardgen::generateCard(cardgen::lineCardSpec(base, i, 3)));
        const QString path = dir_.filePath(QStringLiteral("card%1.bmp").arg(i + 1));
        ASSERT_EQ(cardgen::writeBmp(drawn.back(), path.toStdString()), "");
        args << path;
    }
    const Run r = run(args);
    ASSERT_EQ(r.Status, 0) << r.Err.toStdString();
    const QJsonArray cards = QJsonDocument::fromJson(r.Out).object().value(QStringLiteral("cards")).toArray();
    ASSERT_EQ(cards.size(), 3);
    for (int i = 0; i < 3; ++i) {
        SCOPED_TRACE(i);
        const cardgen::Card &card = drawn[static_cast<std::size_t>(i)];
        const QJsonObject c = cards[i].toObject();
        EXPECT_EQ(c.value(QStringLiteral("accepted")).toInt(), static_cast<int>(card.Discs.size()));
        EXPECT_EQ(c.value(QStringLiteral("rejected")).toInt(), static_cast<int>(card.DustAreas.size()));
        std::map<std::int64_t, int> expected;
        for (const cardgen::Disc &d : card.Discs)
            ++expected[d.Area];
        std::map<std::int64_t, int> found;
        for (const QJsonValue &v : c.value(QStringLiteral("classes")).toArray())
            found[v.toObject().value(QStringLiteral("area")).toInteger()] +=
                v.toObject().value(QStringLiteral("count")).toInt();
        EXPECT_EQ(found, expected);
    }
}

TEST_F(BatchTool, LineSectionsOfTheJsonDocument)
{
    cardgen::CardSpec base;
    base.Width = 200;
    base.Height = 300;
    base.Discs = 150;
    QStringList args{QStringLiteral("--json"),
                     QStringLiteral("--no-log"),
                     QStringLiteral("--hue=150-190"),
                     QStringLiteral("--dpi=600"),
                     QStringLiteral("--positions=-10,10"),
                     QStringLiteral("--swath=20"),
                     QStringLiteral("--range=150-600"),
                     QStringLiteral("--metric")};
    for (int i = 0; i < 3; ++i) {
        const QString path = dir_.filePath(QStringLiteral("line%1.bmp").arg(i + 1));
        ASSERT_EQ(cardgen::writeBmp(cardgen::generateCard(cardgen::lineCardSpec(base, i, 3)), path.toStdString()), "");
        args << path;
    }
    const Run r = run(args);
    ASSERT_EQ(r.Status, 0) << r.Err.toStdString();
    const QJsonObject doc = QJsonDocument::fromJson(r.Out).object();
    const QJsonObject composite = doc.value(QStringLiteral("composite")).toObject();
    for (const char *key : {"vmd_um", "drop_density_per_cm2", "volume_density_nl_per_cm2", "total_volume_nl",
                            "total_area_cm2", "total_count", "smallest_diameter_um", "largest_diameter_um", "classes"})
        EXPECT_TRUE(composite.contains(QLatin1String(key))) << key;
    const QJsonArray pooled = composite.value(QStringLiteral("classes")).toArray();
    ASSERT_FALSE(pooled.isEmpty());
    EXPECT_TRUE(pooled[0].toObject().contains(QStringLiteral("drop_volume_nl")));
    EXPECT_FALSE(pooled[0].toObject().contains(QStringLiteral("drop_volume_um3")));
    // Every accepted drop of every card is in the pool.
    int accepted = 0;
    for (const QJsonValue &c : doc.value(QStringLiteral("cards")).toArray())
        accepted += c.toObject().value(QStringLiteral("accepted")).toInt();
    EXPECT_EQ(composite.value(QStringLiteral("total_count")).toInt(), accepted);
    EXPECT_TRUE(doc.contains(QStringLiteral("composite_range")));

    const QJsonArray stats = doc.value(QStringLiteral("card_stats")).toArray();
    ASSERT_EQ(stats.size(), 3);
    EXPECT_EQ(stats[0].toObject().value(QStringLiteral("position")).toDouble(), -10.0);
    EXPECT_EQ(stats[2].toObject().value(QStringLiteral("position")).toDouble(), 10.0);

    const QJsonObject swath = doc.value(QStringLiteral("swath")).toObject();
    EXPECT_EQ(swath.value(QStringLiteral("deposit_unit")).toString(), QStringLiteral("L/ha"));
    for (const char *profile : {"deposit", "drop_density"}) {
        const QJsonObject p = swath.value(QLatin1String(profile)).toObject();
        EXPECT_GE(p.value(QStringLiteral("selected_width")).toInt(), 1) << profile;
        const QJsonArray widths = p.value(QStringLiteral("widths")).toArray();
        ASSERT_EQ(widths.size(), 2) << profile;
        for (const char *key : {"width", "cov", "mean", "max", "min", "cov_back_and_forth"})
            EXPECT_TRUE(widths[0].toObject().contains(QLatin1String(key))) << key;
        const QJsonObject multi = p.value(QStringLiteral("multiswath")).toObject();
        EXPECT_GE(multi.value(QStringLiteral("passes")).toInt(), 5);
        EXPECT_EQ(multi.value(QStringLiteral("first_position_number")).toInt(), -1);
        EXPECT_FALSE(multi.value(QStringLiteral("values")).toArray().isEmpty());
    }
}

class BatchResults : public BatchTool {
protected:
    QStringList lineArgs(const QStringList &extra)
    {
        cardgen::CardSpec base;
        base.Width = 160;
        base.Height = 240;
        base.Discs = 120;
        QStringList args{QStringLiteral("--no-log"), QStringLiteral("--hue=150-190"), QStringLiteral("--dpi=600"),
                         QStringLiteral("--positions=-10,10")};
        args << extra;
        for (int i = 0; i < 3; ++i) {
            const QString path = dir_.filePath(QStringLiteral("r%1.bmp").arg(i + 1));
            cardgen::writeBmp(cardgen::generateCard(cardgen::lineCardSpec(base, i, 3)), path.toStdString());
            args << path;
        }
        return args;
    }
    QByteArray read(const QString &path)
    {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
};

TEST_F(BatchResults, TextReportOfTheLine)
{
    const QString out = dir_.filePath(QStringLiteral("line.txt"));
    const Run r = run(lineArgs({QStringLiteral("--results"), out, QStringLiteral("--info=AC_Type=Thrush 510")}));
    ASSERT_EQ(r.Status, 0) << r.Err.toStdString();
    const QByteArray text = read(out);
    EXPECT_TRUE(text.startsWith("Vexolin -- Quarrow Droplet Analysis Program\r\nSwath Deposit Analysis\r\n"));
    EXPECT_TRUE(text.contains("Aircraft Type:          Thrush 510\r\n"));
    EXPECT_TRUE(text.contains("Sampler1 Position:      -10 m\r\n"));
    EXPECT_TRUE(text.contains("r2.bmp"));
    EXPECT_TRUE(text.contains("Multiswath Profiles:\r\n"));
    EXPECT_FALSE(text.contains("\n\n")); // every line ends in CR LF
}

TEST_F(BatchResults, CsvWithACommaInTheCommentReadsBackInColumns)
{
    const QString out = dir_.filePath(QStringLiteral("line.CSV"));
    const Run r = run(lineArgs({QStringLiteral("--results"), out, QStringLiteral("--info"),
                                QStringLiteral("Comment=windy, then \"calm\""), QStringLiteral("--us")}));
    ASSERT_EQ(r.Status, 0) << r.Err.toStdString();
    QProcess python;
    python.start(QStringLiteral("/usr/bin/python3"),
                 {QStringLiteral("-c"),
                  QStringLiteral("import csv,sys\n"
                                 "rows=list(csv.reader(open(sys.argv[1],encoding='cp1252',newline='')))\n"
                                 "c=[r for r in rows if r and r[0]=='Comment:'][0]\n"
                                 "w=[r for r in rows if r and r[0].startswith('Width (')][0]\n"
                                 "print(len(c)); print(c[2]); print(w[0]); print(len(w))\n"),
                  out});
    ASSERT_TRUE(python.waitForFinished(30000));
    const QStringList lines = QString::fromUtf8(python.readAllStandardOutput()).split(QLatin1Char('\n'));
    ASSERT_GE(lines.size(), 4) << python.readAllStandardError().toStdString();
    EXPECT_EQ(lines[0], QStringLiteral("3"));
    EXPECT_EQ(lines[1], QStringLiteral("windy, then \"calm\""));
    EXPECT_EQ(lines[2], QStringLiteral("Width (ft)"));
    EXPECT_EQ(lines[3], QStringLiteral("13"));
}

TEST_F(BatchResults, CsvIsTheSameUnderACommaLocale)
{
    // Python's csv module gives every row's fields; a number written as
    // "252,5" would split its row.
    auto fields = [this](const QString &locale) {
        const QString out = dir_.filePath(QStringLiteral("line_%1.csv").arg(locale.left(2)));
        const Run r = run(lineArgs({QStringLiteral("--results"), out, QStringLiteral("--positions=-10,7.5")}), locale);
        EXPECT_EQ(r.Status, 0) << r.Err.toStdString();
        QProcess python;
        python.start(QStringLiteral("/usr/bin/python3"),
                     {QStringLiteral("-c"),
                      QStringLiteral("import csv,sys\n"
                                     "for r in csv.reader(open(sys.argv[1],encoding='cp1252',"
                                     "newline='')): print('|'.join(r))\n"),
                      out});
        EXPECT_TRUE(python.waitForFinished(30000));
        return QString::fromUtf8(python.readAllStandardOutput());
    };
    const QString c = fields(QStringLiteral("C"));
    EXPECT_EQ(fields(QStringLiteral("de_DE.UTF-8")), c);
    // The spacing was read as 7.5, not 7: card 2 stands at -2.5 m.
    EXPECT_TRUE(c.contains(QStringLiteral("\n2|-2.5|"))) << c.toStdString();
}

TEST_F(BatchResults, RangeSectionIsAddedToTheLogsWithTheResults)
{
    const QString out = dir_.filePath(QStringLiteral("line.txt"));
    const Run r =
        run(lineArgs({QStringLiteral("--log"), QStringLiteral("--results"), out, QStringLiteral("--range=1-60")}));
    ASSERT_EQ(r.Status, 0) << r.Err.toStdString();
    for (int i = 1; i <= 3; ++i) {
        const QByteArray log = read(dir_.filePath(QStringLiteral("r%1.scn").arg(i)));
        EXPECT_TRUE(log.contains("\r\nDroplet Size Range:         1.00 -- 60.00 \xB5m\r\n")) << i;
        EXPECT_TRUE(log.contains("\r\n (pixels)")) << i;
    }
}

TEST_F(BatchResults, FailedWritesLeaveTheOldFilesWholeAndExitWithOne)
{
    // A file size limit of 1 KiB makes the write fail half way, for the
    // results file and the report alike.
    for (const QString &name : {QStringLiteral("keep.txt"), QStringLiteral("keep.pdf")}) {
        const QString out = dir_.filePath(name);
        {
            QFile old(out);
            ASSERT_TRUE(old.open(QIODevice::WriteOnly));
            old.write("the old file\r\n");
        }
        const QStringList args = lineArgs(
            {name.endsWith(QStringLiteral(".pdf")) ? QStringLiteral("--report") : QStringLiteral("--results"), out});
        QProcess shell;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("HOME"), dir_.path());
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), dir_.path() + QStringLiteral("/config"));
        shell.setProcessEnvironment(env);
        shell.start(QStringLiteral("/bin/bash"),
                    QStringList{QStringLiteral("-c"), QStringLiteral("ulimit -f 1; exec \"$0\" \"$@\""),
                                QStringLiteral(VEXOLIN_BATCH_PATH)} +
                        args);
        ASSERT_TRUE(shell.waitForFinished(60000));
        EXPECT_EQ(shell.exitCode(), 1) << name.toStdString();
        EXPECT_TRUE(shell.readAllStandardError().contains("File too large")) << name.toStdString();
        EXPECT_EQ(read(out), QByteArray("the old file\r\n"));
        // Nothing half-written is left beside it.
        EXPECT_EQ(QDir(dir_.path()).entryList(QDir::Files | QDir::Hidden).filter(name).size(), 1);
    }
    // A log that cannot be written, and standard output that goes nowhere.
    ASSERT_TRUE(QDir(dir_.path()).mkpath(QStringLiteral("r1.scn")));
    const Run log = run(lineArgs({QStringLiteral("--log")}));
    EXPECT_EQ(log.Status, 1);
    EXPECT_TRUE(log.Err.contains("r1.scn could not be written")) << log.Err.toStdString();
    QProcess full;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("HOME"), dir_.path());
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), dir_.path() + QStringLiteral("/config"));
    full.setProcessEnvironment(env);
    full.setStandardOutputFile(QStringLiteral("/dev/full"));
    full.start(QStringLiteral(VEXOLIN_BATCH_PATH), lineArgs({QStringLiteral("--json")}));
    ASSERT_TRUE(full.waitForFinished(60000));
    EXPECT_EQ(full.exitCode(), 1);
    EXPECT_TRUE(full.readAllStandardError().contains("could not be written to standard output"));
}

TEST_F(BatchResults, AnOutputOnACardOrAnotherOutputIsAUsageErrorAndNothingIsWritten)
{
    const QString card = dir_.filePath(QStringLiteral("r1.bmp"));
    const QStringList args = lineArgs({QStringLiteral("--log"), QStringLiteral("--results"),
                                       dir_.filePath(QStringLiteral("line.txt")), QStringLiteral("--report"), card});
    const QByteArray before = read(card);
    const Run r = run(args);
    EXPECT_EQ(r.Status, 2);
    EXPECT_TRUE(r.Err.contains(("--report " + card + " is the same file as the card " + card).toUtf8()))
        << r.Err.toStdString();
    EXPECT_EQ(read(card), before);
    EXPECT_EQ(QDir(dir_.path()).entryList(QDir::Files), (QStringList{"r1.bmp", "r2.bmp", "r3.bmp"}));
}

TEST_F(BatchResults, StoredValuesBeyondTheirRangeAreNamedAndNotUsed)
{
    const QStringList args = lineArgs({QStringLiteral("--json")});
    const Run plain = run(args);
    ASSERT_EQ(plain.Status, 0) << plain.Err.toStdString();
    const QString ini = dir_.path() + QStringLiteral("/config/Quarrow/Vexolin.ini");
    ASSERT_TRUE(QDir().mkpath(QFileInfo(ini).absolutePath()));
    QFile file(ini);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("[Prefs]\nSpreadFactor1=1e300\n");
    file.close();
    const Run r = run(args);
    ASSERT_EQ(r.Status, 0) << r.Err.toStdString();
    EXPECT_TRUE(r.Err.contains("Prefs/SpreadFactor1 = 1e300")) << r.Err.toStdString();
    EXPECT_EQ(r.Out, plain.Out);
}

TEST_F(BatchResults, UnknownInfoKeyIsAUsageError)
{
    EXPECT_EQ(run({QStringLiteral("--info=Colour=red"), QStringLiteral("a.bmp")}).Status, 2);
    EXPECT_EQ(run({QStringLiteral("--info=Sample_Interval=abc"), QStringLiteral("a.bmp")}).Status, 2);
}

// The sample line in a folder of its own, the cards by name.
class SampleLine : public BatchResults {
protected:
    void SetUp() override
    {
        for (const std::string &card : test::copySampleCards(folder().toStdString()))
            cards_ << QString::fromStdString(card);
        cards_.sort();
    }
    QString folder() const { return dir_.filePath(QStringLiteral("cards")); }
    QStringList cards_;
};

TEST_F(SampleLine, EveryNumberOfJobsWritesWhatOneJobWrites)
{
    // An unreadable card amid the others, whose message keeps its place,
    // and a card named three times: the last two add to one log in turn.
    QStringList cards = cards_ + QStringList{cards_[1], cards_[1]};
    cards.insert(4, dir_.filePath(QStringLiteral("missing.bmp")));
    const auto outputs = [&](const QString &jobs) {
        const QString out = dir_.filePath(QStringLiteral("out") + jobs);
        for (const QString &log : QDir(folder()).entryList({QStringLiteral("*.scn")}))
            QFile::remove(folder() + QLatin1Char('/') + log);
        const Run r = run(QStringLiteral("--log --append --dpi=600 --hue=150-190 --range=60-250 --json --jobs=%1 "
                                         "--results=%2.txt --stains=%2.csv")
                              .arg(jobs, out)
                              .split(QLatin1Char(' ')) +
                          cards);
        QByteArrayList all{QByteArray::number(r.Status), r.Out, r.Err, read(out + ".txt"), read(out + ".csv")};
        for (const QString &card : cards_)
            all << read(card.chopped(3) + QStringLiteral("scn"));
        return all << read(cards_[1] + QStringLiteral(".scn"));
    };
    const QByteArrayList one = outputs(QStringLiteral("1"));
    EXPECT_EQ(one[0], "1");
    EXPECT_TRUE(one[2].contains("missing.bmp")) << one[2].toStdString();
    const QByteArrayList four = outputs(QStringLiteral("4"));
    for (qsizetype k = 1; k < one.size(); ++k) {
        EXPECT_FALSE(one[k].isEmpty()) << k;
        EXPECT_EQ(four[k], one[k]) << k;
    }
}

TEST_F(SampleLine, AFolderGivesTheJsonOfItsCardsListedByName)
{
    QFile notes(folder() + QStringLiteral("/notes.txt"));
    ASSERT_TRUE(notes.open(QIODevice::WriteOnly) && QDir(dir_.path()).mkpath(QStringLiteral("empty")));
    const QStringList options = QStringLiteral("--no-log --dpi=600 --hue=150-190 --json").split(QLatin1Char(' '));
    const Run listed = run(options + cards_);
    ASSERT_EQ(listed.Status, 0) << listed.Err.toStdString();
    const QString empty = dir_.filePath(QStringLiteral("empty"));
    const Run folders = run(options + QStringList{folder(), empty});
    EXPECT_EQ(folders.Status, 1);
    EXPECT_EQ(folders.Err, "vexolin-batch: " + empty.toUtf8() + ": the folder holds no card file\n");
    EXPECT_EQ(folders.Out, listed.Out);
}

// The sample line analysed as the README shows it, saved as a trial.
class TrialRuns : public BatchResults {
protected:
    void SetUp() override
    {
        for (const std::string &card : test::copySampleCards(dir_.filePath(QStringLiteral("cards")).toStdString()))
            cards_ << QString::fromStdString(card);
        const QString options = QStringLiteral("--no-log --dpi=600 --hue=150-190 --positions=-40,10 --swath=30");
        analysed_ = json(options.split(QLatin1Char(' ')) +
                             QStringList{QStringLiteral("--save-trial=") + path("T.vexolin")} + cards_,
                         "R1.csv");
        ASSERT_EQ(analysed_.Status, 0) << analysed_.Err.toStdString();
    }
    QString path(const char *name) const { return dir_.filePath(QLatin1String(name)); }
    Run json(const QStringList &args, const char *results = "R.csv")
    {
        return run(QStringList{QStringLiteral("--json"), QStringLiteral("--results=") + path(results)} + args);
    }

    QStringList cards_;
    Run analysed_;
};

TEST_F(TrialRuns, AStoredTrialReportsAsItsCardsDidAndWithoutTheirFiles)
{
    const QStringList trial{QStringLiteral("--trial"), path("T.vexolin")};
    const Run same = json(trial, "R2.csv");
    EXPECT_EQ(std::pair(same.Status, same.Err), std::pair(0, QByteArray()));
    EXPECT_TRUE(same.Out == analysed_.Out && read(path("R2.csv")) == read(path("R1.csv")));

    ASSERT_TRUE(QDir(dir_.path()).rename(QStringLiteral("cards"), QStringLiteral("elsewhere")));
    const Run gone = json(trial, "R3.csv");
    EXPECT_TRUE(gone.Status == 0 && read(path("R3.csv")) == read(path("R1.csv")));
    // Byte for byte as analysed, but for the line on each card that says its file is missing.
    const QByteArray missing = "            \"file_state\": \"missing\",\n";
    EXPECT_EQ(gone.Out.count(missing), cards_.size());
    EXPECT_TRUE(QByteArray(gone.Out).replace(missing, "") == analysed_.Out);
    for (const QString &card : cards_)
        EXPECT_TRUE(gone.Err.contains((card + ": warning: the file is missing").toUtf8())) << card.toStdString();
}

TEST_F(TrialRuns, TheMeanOfTwoEqualPassesHasTheSwathAndSpectrumOfOne)
{
    Result<Trial> opened = openTrial(path("T.vexolin").toStdString());
    opened.value().Passes.push_back(opened.value().Passes.front());
    ASSERT_TRUE(saveTrial(path("T2.vexolin").toStdString(), opened.value()).ok());
    auto reported = [&](const QString &which) {
        return QJsonDocument::fromJson(
                   json({QStringLiteral("--trial"), path("T2.vexolin"), QStringLiteral("--bootstrap=0"), which}).Out)
            .object();
    };
    const QJsonObject one = reported(QStringLiteral("--pass=1"));
    const QJsonObject mean = reported(QStringLiteral("--mean-of-passes"));
    EXPECT_EQ(mean.value(QStringLiteral("mean_of_passes")).toArray(), (QJsonArray{1, 2}));
    EXPECT_EQ(mean.value(QStringLiteral("cards")).toArray().last().toObject().value(QStringLiteral("pass")), 2);
    EXPECT_EQ(mean.value(QStringLiteral("card_stats")).toArray()[4].toObject().value(QStringLiteral("passes")), 2);
    // Two passes on the same places: nothing interpolated, the pass's own swath.
    EXPECT_EQ(mean.value(QStringLiteral("swath")).toObject(), one.value(QStringLiteral("swath")).toObject());
    // The drops of both passes are pooled: twice as many, the same spectrum.
    for (const char *key : {"vmd_um", "drop_density_per_cm2", "volume_density_nl_per_cm2", "total_count",
                            "total_volume_nl", "total_area_cm2", "largest_diameter_um"})
        EXPECT_DOUBLE_EQ(mean[QStringLiteral("composite")][QLatin1String(key)].toDouble(),
                         one[QStringLiteral("composite")][QLatin1String(key)].toDouble() * (key[0] == 't' ? 2 : 1))
            << key;
}

} // namespace
} // namespace vex

namespace vex {
namespace {

// Colour copies of a generated card, the card itself first.
class ColourCards : public BatchTool {
protected:
    void SetUp() override
    {
        cardgen::CardSpec spec;
        spec.Discs = 400;
        // Stains of 2 or 3 pixels lose their colour to JPEG's halved chroma.
        spec.MinDiameter = 4.0;
        drawn_ = cardgen::generateCard(spec);
        original_ = dir_.filePath(QStringLiteral("card.bmp"));
        ASSERT_EQ(cardgen::writeBmp(drawn_, original_.toStdString()), "");
    }

    // The card in `format`, recording `dpi` (0: no resolution recorded).
    QString copy(const QString &name, QImage::Format format, const char *type, int quality = -1, int dpi = 600)
    {
        QImage picture(original_);
        picture = picture.convertToFormat(format);
        const int perMetre = static_cast<int>(std::lround(dpi / 0.0254));
        picture.setDotsPerMeterX(perMetre);
        picture.setDotsPerMeterY(perMetre);
        const QString path = dir_.filePath(name);
        EXPECT_TRUE(picture.save(path, type, quality)) << name.toStdString();
        return path;
    }

    QJsonObject analysed(const QStringList &args, QString *err = nullptr)
    {
        const Run r = run(QStringList{QStringLiteral("--json"), QStringLiteral("--no-log"), QStringLiteral("--hue"),
                                      QStringLiteral("150-190")} +
                          args);
        EXPECT_EQ(r.Status, 0) << r.Err.toStdString();
        if (err)
            *err = QString::fromUtf8(r.Err);
        return QJsonDocument::fromJson(r.Out).object();
    }

    static QJsonObject figures(QJsonObject card)
    {
        card.remove(QStringLiteral("file"));
        card.remove(QStringLiteral("reduced"));
        return card;
    }

    cardgen::Card drawn_;
    QString original_;
};

TEST_F(ColourCards, CopiesInEveryColourFormatGiveTheFiguresOfTheEightBitCard)
{
    const QStringList copies{copy(QStringLiteral("rgb.bmp"), QImage::Format_RGB888, "BMP"),
                             copy(QStringLiteral("rgb.png"), QImage::Format_RGB32, "PNG"),
                             copy(QStringLiteral("rgb16.png"), QImage::Format_RGBX64, "PNG"),
                             copy(QStringLiteral("rgb.tif"), QImage::Format_RGB888, "TIFF")};
    // Without the option the old refusal stands.
    EXPECT_EQ(run({QStringLiteral("--no-log"), copies[0]}).Err.toStdString(),
              "vexolin-batch: " + copies[0].toStdString() +
                  ": This file is encoded at 24 bits per pixel and cannot be analysed.\n");
    const QJsonArray cards = analysed(QStringList{QStringLiteral("--reduce-colours"), QStringLiteral("--dpi"),
                                                  QStringLiteral("600"), original_} +
                                      copies)
                                 .value(QStringLiteral("cards"))
                                 .toArray();
    ASSERT_EQ(cards.size(), 5);
    const QJsonObject eightBit = figures(cards[0].toObject());
    EXPECT_EQ(eightBit.value(QStringLiteral("accepted")).toInt(), static_cast<int>(drawn_.Discs.size()));
    const int bits[] = {24, 24, 48, 24};
    for (int i = 1; i < 5; ++i) {
        SCOPED_TRACE(copies[i - 1].toStdString());
        EXPECT_EQ(figures(cards[i].toObject()), eightBit);
        const QJsonObject reduced = cards[i].toObject().value(QStringLiteral("reduced")).toObject();
        EXPECT_EQ(reduced.value(QStringLiteral("from_bits")).toInt(), bits[i - 1]);
        EXPECT_TRUE(reduced.value(QStringLiteral("exact")).toBool());
    }
}

TEST_F(ColourCards, JpegOfTheCardFindsTheDrawnDiscs)
{
    const QString jpeg = copy(QStringLiteral("card.jpg"), QImage::Format_RGB32, "JPEG", 90);
    const QJsonArray cards =
        analysed({QStringLiteral("--reduce-colours"), QStringLiteral("--dpi"), QStringLiteral("600"), original_, jpeg})
            .value(QStringLiteral("cards"))
            .toArray();
    ASSERT_EQ(cards.size(), 2);
    const double discs = static_cast<double>(drawn_.Discs.size());
    const double vmd = cards[0].toObject().value(QStringLiteral("vmd_um")).toDouble();
    const QJsonObject photo = cards[1].toObject();
    EXPECT_FALSE(photo.value(QStringLiteral("reduced")).toObject().value(QStringLiteral("exact")).toBool());
    EXPECT_NEAR(photo.value(QStringLiteral("accepted")).toInt(), discs, 0.02 * discs);
    EXPECT_NEAR(photo.value(QStringLiteral("vmd_um")).toDouble(), vmd, 0.03 * vmd);
}

TEST_F(ColourCards, RecordedResolutionIsUsedWhenAskedAndOtherwiseOnlyNamed)
{
    const QString at300 = copy(QStringLiteral("at300.png"), QImage::Format_Indexed8, "PNG", -1, 300);
    // Bitmaps that record no resolution, and 1 pixel per metre.
    auto bitmapRecording = [this](const QString &name, std::uint8_t perMetre) {
        std::vector<std::uint8_t> bytes = cardgen::encodeBmp(drawn_);
        for (std::size_t at = 38; at < 46; ++at)
            bytes[at] = at % 4 == 2 ? perMetre : 0;
        const QString path = dir_.filePath(name);
        test::writeFile(path.toStdString(), bytes);
        return path;
    };
    const QString none = bitmapRecording(QStringLiteral("none.bmp"), 0);
    const QString absurd = bitmapRecording(QStringLiteral("absurd.bmp"), 1);
    const QStringList files{QStringLiteral("--reduce-colours"), at300, none, absurd};
    auto resolutions = [](const QJsonObject &doc) {
        std::vector<int> r;
        for (const QJsonValue &c : doc.value(QStringLiteral("cards")).toArray())
            r.push_back(c.toObject().value(QStringLiteral("resolution")).toInt());
        return r;
    };
    QString err;
    EXPECT_EQ(resolutions(analysed(QStringList{QStringLiteral("--dpi-from-file")} + files, &err)),
              (std::vector<int>{300, 1200, 1200}));
    EXPECT_EQ(err, QString());
    // The default resolution, and the difference said.
    EXPECT_EQ(resolutions(analysed(files, &err)), (std::vector<int>{1200, 1200, 1200}));
    EXPECT_EQ(err,
              "vexolin-batch: " + at300 + ": warning: the file records 300 dpi; the card is analysed at 1200 dpi\n");
    // A resolution typed for the run wins.
    EXPECT_EQ(
        resolutions(analysed(
            QStringList{QStringLiteral("--dpi-from-file"), QStringLiteral("--dpi"), QStringLiteral("600")} + files)),
        (std::vector<int>{600, 600, 600}));
}

} // namespace
} // namespace vex

namespace vex {
namespace {

// Pictures with cards in them, searched with --find-cards.
class FoundCards : public BatchTool {
protected:
    QJsonObject found(const QStringList &args, int status = 0, QString *err = nullptr)
    {
        const Run r = run(QStringList{QStringLiteral("--json"), QStringLiteral("--no-log")} + args);
        EXPECT_EQ(r.Status, status) << r.Err.toStdString();
        if (err)
            *err = QString::fromUtf8(r.Err);
        return QJsonDocument::fromJson(r.Out).object();
    }

    // An 8-bit picture as a bitmap file.
    QString writeIndexed(const QString &name, const IndexedImage &image)
    {
        test::Picture p;
        p.Width = image.Width;
        p.Height = image.Height;
        p.PaletteBgr = image.PaletteBgr;
        for (int y = image.Height - 1; y >= 0; --y)
            p.TopDownIndices.insert(p.TopDownIndices.end(), image.row(y), image.row(y) + image.Width);
        const QString path = dir_.filePath(name);
        test::writeFile(path.toStdString(), test::makeBmp(p));
        return path;
    }

    // A card's figures, without what tells where it came from.
    static QJsonObject figures(QJsonObject card)
    {
        for (const char *key : {"file", "source", "resolution_dpi", "smallest_detectable_um",
                                "smallest_detectable_stain_um", "warnings", "recorded_resolution"})
            card.remove(QString::fromLatin1(key));
        return card;
    }
};

TEST_F(FoundCards, StraightSheetCardsGiveTheFiguresOfTheirCutsAloneInReadingOrder)
{
    std::vector<test::SheetCard> pasted;
    // Read first: the card on the left, lower than its row's neighbour.
    for (const auto &[seed, x, y] : {std::tuple{1, 1400, 40}, {2, 60, 90}, {3, 300, 700}})
        pasted.push_back(
            {cardgen::generateCard({.Width = 1200, .Height = 410, .Seed = std::uint64_t(seed), .Discs = 200}), x, y,
             0});
    const QString sheet = writeIndexed(QStringLiteral("sheet.bmp"), test::sheetPicture(2700, 1200, pasted, 245));
    QStringList alone;
    for (int k : {1, 0, 2}) {
        const test::SheetCard &c = pasted[static_cast<std::size_t>(k)];
        const IndexedImage whole = test::sheetPicture(c.Card.Width, c.Card.Height, {{c.Card, 0, 0, 0}}, 245);
        IndexedImage cut;
        cut.Width = c.Card.Width - 2 * CutInsetPixels;
        cut.Height = c.Card.Height - 2 * CutInsetPixels;
        cut.PaletteBgr = whole.PaletteBgr;
        for (int y = CutInsetPixels; y < c.Card.Height - CutInsetPixels; ++y)
            cut.Pixels.insert(cut.Pixels.end(), whole.row(y) + CutInsetPixels,
                              whole.row(y) + c.Card.Width - CutInsetPixels);
        alone << writeIndexed(QStringLiteral("cut%1.bmp").arg(k), cut);
    }
    const QStringList common{QStringLiteral("--dpi"), QStringLiteral("600"), QStringLiteral("--hue"),
                             QStringLiteral("150-190")};
    const QJsonArray cards = found(common + QStringList{QStringLiteral("--find-cards"), QStringLiteral("--card-size"),
                                                        QStringLiteral("50.8x17.4"), sheet})
                                 .value(QStringLiteral("cards"))
                                 .toArray();
    const QJsonArray cuts = found(common + alone).value(QStringLiteral("cards")).toArray();
    ASSERT_EQ(cards.size(), 3);
    ASSERT_EQ(cuts.size(), 3);
    const int order[] = {1, 0, 2};
    for (int i = 0; i < 3; ++i) {
        const QJsonObject card = cards[i].toObject();
        const QJsonObject source = card.value(QStringLiteral("source")).toObject();
        EXPECT_EQ(card.value(QStringLiteral("file")).toString(), sheet + QStringLiteral("#%1").arg(i + 1));
        EXPECT_EQ(source.value(QStringLiteral("index")).toInt(), i + 1);
        const QJsonArray topLeft = source.value(QStringLiteral("corners_px")).toArray()[0].toArray();
        EXPECT_NEAR(topLeft[0].toDouble(), pasted[static_cast<std::size_t>(order[i])].X, 0.5);
        EXPECT_NEAR(topLeft[1].toDouble(), pasted[static_cast<std::size_t>(order[i])].Y, 0.5);
        EXPECT_EQ(card.value(QStringLiteral("resolution_dpi")).toInt(), 600);
        EXPECT_EQ(QJsonDocument(figures(card)).toJson().toStdString(),
                  QJsonDocument(figures(cuts[i].toObject())).toJson().toStdString())
            << "card " << i + 1;
    }
}

TEST_F(FoundCards, PhotoCardIsFoundAndSaysWhatItCanShowAndAPictureWithoutOneFails)
{
    const auto save = [&](const test::CardPhoto &photo, const QString &name) {
        QImage picture(photo.Picture.Width, photo.Picture.Height, QImage::Format_RGB888);
        for (int y = 0; y < picture.height(); ++y) {
            const std::uint8_t *in = photo.Picture.row(picture.height() - 1 - y);
            std::uint8_t *out = picture.scanLine(y);
            for (int x = 0; x < picture.width(); ++x, in += 3, out += 3)
                out[0] = in[2], out[1] = in[1], out[2] = in[0];
        }
        const QString path = dir_.filePath(name);
        EXPECT_TRUE(picture.save(path, nullptr, 85));
        return path;
    };
    const test::CardPhoto photo = test::cardPhoto(test::PhotoSpec{});
    const QString jpeg = save(photo, QStringLiteral("photo.jpg"));
    const QString leaves = save(test::cardPhoto({.CardWidth = 2, .CardHeight = 2}), QStringLiteral("leaves.png"));

    QString err;
    const QJsonArray cards =
        found({QStringLiteral("--find-cards"), leaves, jpeg}, 1, &err).value(QStringLiteral("cards")).toArray();
    EXPECT_TRUE(err.contains(leaves + QStringLiteral(": no card was found"))) << err.toStdString();
    ASSERT_EQ(cards.size(), 1);
    const QJsonObject card = cards[0].toObject();
    EXPECT_EQ(card.value(QStringLiteral("file")).toString(), jpeg + QStringLiteral("#1"));
    const QJsonArray corners =
        card.value(QStringLiteral("source")).toObject().value(QStringLiteral("corners_px")).toArray();
    for (std::size_t i = 0; i < 4; ++i)
        EXPECT_NEAR(std::hypot(corners[static_cast<int>(i)].toArray()[0].toDouble() - photo.Corners[i].X,
                               corners[static_cast<int>(i)].toArray()[1].toDouble() - photo.Corners[i].Y),
                    0, 0.015 * 760);
    const int dpi = card.value(QStringLiteral("resolution_dpi")).toInt();
    EXPECT_NEAR(dpi, 254, 5);
    EXPECT_DOUBLE_EQ(card.value(QStringLiteral("smallest_detectable_stain_um")).toDouble(), 3 * 25400.0 / dpi);
    EXPECT_LT(card.value(QStringLiteral("smallest_detectable_um")).toDouble(), 3 * 25400.0 / dpi);
    EXPECT_TRUE(
        card.value(QStringLiteral("warnings")).toArray()[0].toString().contains(QStringLiteral("below 300 dpi")));
    EXPECT_TRUE(err.contains(jpeg + QStringLiteral("#1: warning: the card's resolution"))) << err.toStdString();
    // The 150 blue dots the photo was drawn with, some run together.
    EXPECT_GT(card.value(QStringLiteral("accepted")).toInt(), 100);
}

} // namespace
} // namespace vex
