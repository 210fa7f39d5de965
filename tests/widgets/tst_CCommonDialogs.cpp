// The file dialog set up from the properties, and its results read back.

#include "ui/CCommonDialogs.h"

#include <QComboBox>
#include <QFileDialog>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTest>

using namespace vex::ui;
using namespace std::string_literals;

class tst_CCommonDialogs : public QObject {
    Q_OBJECT
private slots:
    void filterIndexSelectsThePair()
    {
        CCommonDialogs d;
        d.Filter = "Bitmaps|*.bmp|Pictures|*.gif;*.tif";
        d.FilterIndex = 2;
        d.Title = "Open Card";
        QFileDialog dialog;
        dialog.setOption(QFileDialog::DontUseNativeDialog);
        d.prepareFileDialog(dialog, false);
        QCOMPARE(dialog.nameFilters(), (QStringList{"Bitmaps (*.bmp)", "Pictures (*.gif *.tif)"}));
        QCOMPARE(dialog.selectedNameFilter(), QStringLiteral("Pictures (*.gif *.tif)"));
        QCOMPARE(dialog.windowTitle(), QStringLiteral("Open Card"));
        QCOMPARE(dialog.fileMode(), QFileDialog::ExistingFile);
    }

    void multiSelectAndSaveModes()
    {
        CCommonDialogs d;
        d.AllowMultiSelect = true;
        QFileDialog open;
        d.prepareFileDialog(open, false);
        QCOMPARE(open.fileMode(), QFileDialog::ExistingFiles);
        QCOMPARE(open.acceptMode(), QFileDialog::AcceptOpen);
        d.DefExt = "txt";
        QFileDialog save;
        d.prepareFileDialog(save, true);
        QCOMPARE(save.acceptMode(), QFileDialog::AcceptSave);
        QCOMPARE(save.defaultSuffix(), QStringLiteral("txt"));
        QVERIFY(!save.testOption(QFileDialog::DontConfirmOverwrite));
    }

    void aNameWithoutExtensionTakesTheChosenTypes()
    {
        QTemporaryDir folder;
        CCommonDialogs d;
        d.Filter = "Text File (*.txt)|*.txt|Comma-Separated Values File (*.csv)|*.csv";
        d.DefExt = "txt";
        d.InitialDir = folder.path().toStdString();
        QFileDialog dialog;
        dialog.setOption(QFileDialog::DontUseNativeDialog);
        d.prepareFileDialog(dialog, true);
        QCOMPARE(dialog.nameFilters().front(), QStringLiteral("Text File (*.txt)"));
        auto *types = dialog.findChild<QComboBox *>(QStringLiteral("fileTypeCombo"));
        auto *name = dialog.findChild<QLineEdit *>(QStringLiteral("fileNameEdit"));
        QVERIFY(types && name);
        types->setCurrentIndex(1);
        // What choosing the type in the list sends.
        emit types->activated(1);
        emit types->textActivated(types->itemText(1));
        name->setText(QStringLiteral("results"));
        QMetaObject::invokeMethod(&dialog, "accept");
        QCOMPARE(dialog.selectedFiles(), QStringList{folder.filePath(QStringLiteral("results.csv"))});
    }

    void oneFileFromAMultiSelectIsAPlainPath()
    {
        CCommonDialogs d;
        d.AllowMultiSelect = true;
        d.takeFileResult({"/data/c1.bmp"});
        QCOMPARE(d.FileName, "/data/c1.bmp"s);
        QCOMPARE(d.FileTitle, "c1.bmp"s);
        QCOMPARE(d.Path, "/data"s);
    }

    void threeFilesGiveFolderAndNames()
    {
        CCommonDialogs d;
        d.AllowMultiSelect = true;
        d.FileTitle = "untouched";
        d.takeFileResult({"/data/a.bmp", "/data/b.bmp", "/data/c.bmp"});
        QCOMPARE(d.FileName, "/data\0a.bmp\0b.bmp\0c.bmp"s);
        QCOMPARE(d.Path, "/data"s);
        QCOMPARE(d.FileTitle, "untouched"s);
    }
};

QTEST_MAIN(tst_CCommonDialogs)
#include "tst_CCommonDialogs.moc"
