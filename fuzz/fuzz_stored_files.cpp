// Any bytes as the templates file (built as fuzz_templates_file) or the
// settings file (fuzz_settings_file).  Templates: the lines read must be
// sound, write back to the same lines and cut without overflowing.
// Settings: whatever the file holds, every preference comes out within its
// range, and what is written back reads back the same.
#include "FuzzChecks.h"
#include "app/AppState.h"
#include "app/qt/QtSettingsStore.h"
#include "line/CardPositions.h"
#include "model/CardGeometry.h"
#include "templates/TemplateCutting.h"
#include "templates/TemplateStore.h"
#include "text/WholeFile.h"

#include <QCoreApplication>
#include <QDir>
#include <QTemporaryDir>

#include <cmath>
#include <string>

using namespace vex;
using fuzz::require;

namespace {

void templatesFile(const std::string &text)
{
    const TemplateFileContents read = readTemplatesText(text);
    for (const TemplateRecord &t : read.Templates) {
        require(templateSizeSound(t.TemplateSizeH) && templateSizeSound(t.TemplateSizeV));
        require(templateGapSound(t.TemplateSpaceH) && templateGapSound(t.TemplateSpaceV));
        require(t.TemplateNumH >= 1 && t.TemplateNumV >= 1);
        TemplateRecord small = t;
        small.TemplateNumH = std::min(small.TemplateNumH, 5);
        small.TemplateNumV = std::min(small.TemplateNumV, 5);
        for (const CardOutline &o : templateOutlines(small, 0.0, 0.0))
            (void)cutRectangle(o, 32767);
    }
    const TemplateFileContents again = readTemplatesText(templatesText(read.Templates));
    require(again.IgnoredLines.empty() && again.Templates.size() == read.Templates.size());
    for (std::size_t i = 0; i < read.Templates.size(); ++i)
        require(templateLine(again.Templates[i]) == templateLine(read.Templates[i]));
}

void settingsFile(const std::string &bytes)
{
    // Gone with the process: a regression run is many processes.
    static const QTemporaryDir temporary(QDir::tempPath() + QStringLiteral("/fuzz_settings_XXXXXX"));
    require(temporary.isValid());
    static const std::string folder = temporary.path().toStdString();
    const std::string path = folder + "/Vexolin.ini";
    QDir(QString::fromStdString(folder)).removeRecursively();
    QDir().mkpath(QString::fromStdString(folder));
    require(writeWholeFile(path, bytes).ok());

    QtSettingsStore store(QString::fromStdString(path));
    ModuleState module;
    std::vector<std::string> reset;
    const Preferences w = readPreferences(store, module, "/home", &reset);
    require(w.Analysis.Resolution >= 1 && w.Analysis.Resolution <= MaxResolution);
    for (std::size_t i = 0; i < 3; ++i)
        require(spreadCoefficientSound(i, module.SpreadFactor[i]));
    const auto positions = storedCardPositions(store, reset);
    require(positionSound(positionValue(positions.first)) && spacingSound(positionValue(positions.second)));
    // Written back and read again, the preferences are the same.
    if (!writePreferences(store, module, w).ok())
        return; // a file the store would not write over: it stays as it was
    QtSettingsStore again(QString::fromStdString(path));
    ModuleState module2;
    const Preferences w2 = readPreferences(again, module2, "/home");
    require(w2.Analysis == w.Analysis && module2.SpreadFactor == module.SpreadFactor);
    require(w2.InitialDir == w.InitialDir);
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    static QCoreApplication app(*argc, *argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const std::string text(reinterpret_cast<const char *>(data), size);
    if (FUZZ_TEMPLATES)
        templatesFile(text);
    else
        settingsFile(text);
    return 0;
}
