// The installed tree as a user gets it: `cmake --install` into a fresh
// prefix, then the programs, the library and the data used from there alone,
// from another working folder.

#include "support/ProgramRun.h"
#include "support/TempFolder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <gtest/gtest.h>

namespace vex {
namespace {

test::TempFolder folder("vexolin_install");
const QString prefix = QString::fromStdString(folder.file("prefix"));
const QString elsewhere = QString::fromStdString(folder.file("elsewhere"));

QString at(const char *dir, const QString &name)
{
    return prefix + "/" + dir + "/" + name;
}

// The user's own settings and any sample folder named to the build stay out.
QProcessEnvironment environment()
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("HOME"), elsewhere);
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), elsewhere + QStringLiteral("/config"));
    env.remove(QStringLiteral("VEXOLIN_SAMPLES"));
    return env;
}

class Installed : public ::testing::Test {
protected:
    // One install for every test: the copy is most of the time they take.
    static void SetUpTestSuite()
    {
        QDir().mkpath(elsewhere);
        install_ = test::runProgram(CMAKE_COMMAND, {"--install", VEXOLIN_BUILD_DIR, "--prefix", prefix}, elsewhere);
    }
    void SetUp() override { ASSERT_EQ(install_.Status, 0) << install_.Out.toStdString() << install_.Err.toStdString(); }
    static inline test::ProgramRun install_;
};

QJsonObject onlyCard(const test::ProgramRun &run)
{
    const QJsonArray cards = QJsonDocument::fromJson(run.Out).object().value(QStringLiteral("cards")).toArray();
    return cards.size() == 1 ? cards[0].toObject() : QJsonObject{};
}

TEST_F(Installed, BatchToolAnalysesTheInstalledSampleAsTheBuildDoes)
{
    const QString card = at(INSTALL_DATADIR, QStringLiteral("vexolin/samples/card05.bmp"));
    const QStringList options{"--json", "--no-log", "--dpi", "600", "--hue", "150-190"};
    const test::ProgramRun run =
        test::runProgram(at(INSTALL_BINDIR, "vexolin-batch"), options + QStringList{card}, elsewhere, environment());
    ASSERT_EQ(run.Status, 0) << run.Err.toStdString();
    QJsonObject installed = onlyCard(run);
    EXPECT_EQ(installed.take(QStringLiteral("file")).toString(), card);
    EXPECT_GT(installed.value(QStringLiteral("accepted")).toInt(), 0);
    const QStringList source{QStringLiteral(VEXOLIN_SAMPLE_DIR "/card05.bmp")};
    QJsonObject built = onlyCard(test::runProgram(VEXOLIN_BATCH_PATH, options + source, elsewhere, environment()));
    built.remove(QStringLiteral("file"));
    EXPECT_EQ(installed, built);
}

TEST_F(Installed, EveryFileIsWhereItBelongs)
{
    QStringList expected{at(INSTALL_BINDIR, "vexolin"),
                         at(INSTALL_BINDIR, "vexolin-batch"),
                         at(INSTALL_BINDIR, "vexolin-cardgen"),
                         at(INSTALL_LIBDIR, "libpalwrite.so.1"),
                         at(INSTALL_INCLUDEDIR, "palwrite/palwrite.h"),
                         at(INSTALL_INCLUDEDIR, "palwrite/palwrite.hpp"),
                         at(INSTALL_LIBDIR, "pkgconfig/palwrite.pc"),
                         at(INSTALL_DATADIR, "applications/vexolin.desktop"),
                         at(INSTALL_DATADIR, "icons/hicolor/scalable/apps/vexolin.svg"),
                         at(INSTALL_DATADIR, "mime/packages/vexolin.xml"),
                         at(INSTALL_MANDIR, "man1/vexolin.1"),
                         at(INSTALL_MANDIR, "man1/vexolin-batch.1"),
                         at(INSTALL_DATADIR, "vexolin/samples/README.md")};
    for (const QString &card : QDir(QStringLiteral(VEXOLIN_SAMPLE_DIR)).entryList({QStringLiteral("*.bmp")}))
        expected << at(INSTALL_DATADIR, "vexolin/samples/" + card);
    QStringList missing;
    for (const QString &file : expected)
        if (!QFileInfo(file).isFile() || (file.startsWith(at(INSTALL_BINDIR, {})) && !QFileInfo(file).isExecutable()))
            missing << file;
    if (!QFileInfo(at(INSTALL_LIBDIR, "libpalwrite.so")).isSymLink())
        missing << at(INSTALL_LIBDIR, "libpalwrite.so (the link to link with)");
    EXPECT_TRUE(missing.isEmpty()) << missing.join('\n').toStdString();
}

// A client builds with pkg-config's flags alone, includes the C++ header
// (which must find the C one beside it) and saves a picture.
TEST_F(Installed, PalwriteClientBuildsWithPkgConfigAndRuns)
{
    QProcessEnvironment env = environment();
    env.insert(QStringLiteral("PKG_CONFIG_PATH"), at(INSTALL_LIBDIR, "pkgconfig"));
    env.insert(QStringLiteral("LD_LIBRARY_PATH"), at(INSTALL_LIBDIR, {}));
    const test::ProgramRun flags = test::runProgram("pkg-config", {"--cflags", "--libs", "palwrite"}, elsewhere, env);
    ASSERT_EQ(flags.Status, 0) << flags.Err.toStdString();
    EXPECT_TRUE(flags.Out.startsWith("-I" + QFile::encodeName(prefix + "/"))) << flags.Out.toStdString();
    QFile client(elsewhere + QStringLiteral("/client.cpp"));
    ASSERT_TRUE(client.open(QIODevice::WriteOnly));
    client.write("#include <palwrite/palwrite.hpp>\nint main(int, char **argv) {\n"
                 "    const unsigned char red[4] = {0, 0, 255, 0};\n    palwrite::Saver saver;\n"
                 "    return saver.save(PalwritePicture{1, 1, 4, 32, red}, argv[1]);\n}\n");
    client.close();
    const QStringList build = QString::fromUtf8(PALWRITE_CLIENT_FLAGS " client.cpp -o client " + flags.Out.trimmed())
                                  .split(' ', Qt::SkipEmptyParts);
    const test::ProgramRun compiled = test::runProgram(CXX_COMPILER, build, elsewhere, env);
    ASSERT_EQ(compiled.Status, 0) << compiled.Err.toStdString();
    const test::ProgramRun saved = test::runProgram(elsewhere + "/client", {"red.bmp"}, elsewhere, env);
    ASSERT_EQ(saved.Status, 0) << saved.Err.toStdString();
    QFile bmp(elsewhere + QStringLiteral("/red.bmp"));
    EXPECT_TRUE(bmp.open(QIODevice::ReadOnly) && bmp.read(2) == "BM");
}

TEST_F(Installed, ProgramTellsItsVersionAndRefusesAWrongOption)
{
    const test::ProgramRun version = test::runProgram(at(INSTALL_BINDIR, "vexolin"), {"--version"}, elsewhere);
    EXPECT_EQ(version.Out.trimmed(), QByteArray("Vexolin " VEXOLIN_VERSION)) << version.Err.toStdString();
    const test::ProgramRun wrong = test::runProgram(at(INSTALL_BINDIR, "vexolin"), {"--frobnicate"}, elsewhere);
    EXPECT_EQ(wrong.Status, 2);
    EXPECT_TRUE(wrong.Err.contains("frobnicate")) << wrong.Err.toStdString();
}

TEST_F(Installed, DesktopEntryOffersTrialsAndPicturesSeveralAtOnce)
{
    QFile entry(at(INSTALL_DATADIR, "applications/vexolin.desktop"));
    ASSERT_TRUE(entry.open(QIODevice::ReadOnly));
    const QByteArray text = entry.readAll();
    EXPECT_TRUE(
        text.contains("\nExec=vexolin %F\n") &&
        text.contains("\nMimeType=application/x-vexolin-trial;image/bmp;image/tiff;image/png;image/jpeg;image/gif;\n"));
}

} // namespace
} // namespace vex
