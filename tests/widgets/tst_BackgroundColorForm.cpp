// The background and dither questions of the colour pass.

#include "intake/ui/BackgroundColorForm.h"

#include <QLabel>
#include <QPushButton>
#include <QTest>

using namespace vex::ui;

class tst_BackgroundColorForm : public QObject {
    Q_OBJECT
private:
    static QImage picture()
    {
        QImage image(8, 4, QImage::Format_Indexed8);
        QList<QRgb> table;
        for (int i = 0; i < 256; ++i)
            table << qRgb(i, 100, 255 - i);
        image.setColorTable(table);
        for (int y = 0; y < 4; ++y)
            for (int x = 0; x < 8; ++x)
                image.setPixel(x, y, static_cast<uint>((x + y) % 3 + 10));
        return image;
    }
    static std::vector<std::uint8_t> palette()
    {
        std::vector<std::uint8_t> p;
        for (int i = 0; i < 256; ++i) {
            p.push_back(static_cast<std::uint8_t>(255 - i));
            p.push_back(100);
            p.push_back(static_cast<std::uint8_t>(i));
        }
        return p;
    }

private slots:
    void previewShowsOnlyTheProposedColour()
    {
        const QImage original = picture();
        const QImage preview = previewWithOnlyColour(original, 11);
        for (int y = 0; y < 4; ++y)
            for (int x = 0; x < 8; ++x) {
                const bool proposed = original.pixelIndex(x, y) == 11;
                QCOMPARE(preview.pixel(x, y), proposed ? qRgb(11, 100, 244) : qRgb(0, 0, 0));
            }
        QCOMPARE(original.pixel(0, 0), qRgb(10, 100, 245)); // the card's own picture is untouched
    }

    void backgroundAnswers_data()
    {
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("chosen");
        QTest::addColumn<bool>("disable");
        QTest::newRow("Y keeps the likely colour") << int(Qt::Key_Y) << 17 << false;
        QTest::newRow("N takes the table's background") << int(Qt::Key_N) << 0 << false;
        QTest::newRow("A keeps and stops asking") << int(Qt::Key_A) << 17 << true;
    }
    void backgroundAnswers()
    {
        QFETCH(int, key);
        QFETCH(int, chosen);
        QFETCH(bool, disable);
        BackgroundColorForm form(BackgroundColorForm::Question::Background, picture(), palette());
        form.BackgroundColour = 17;
        form.prepare();
        form.show();
        QCOMPARE(form.windowTitle(), QStringLiteral("Background Colour"));
        QTest::keyClick(&form, static_cast<Qt::Key>(key));
        QCOMPARE(int(form.BackgroundColour), chosen);
        QCOMPARE(form.DisableWarning, disable);
        QCOMPARE(form.result(), int(QDialog::Accepted));
    }

    void closingOtherwiseKeepsTheGivenValue()
    {
        BackgroundColorForm form(BackgroundColorForm::Question::Background, picture(), palette());
        form.BackgroundColour = 17;
        form.show();
        form.reject();
        QCOMPARE(int(form.BackgroundColour), 17);
    }

    void swatchesShowEntryZeroAndTheLikelyEntry()
    {
        BackgroundColorForm form(BackgroundColorForm::Question::Background, picture(), palette());
        form.BackgroundColour = 200;
        form.prepare();
        QCOMPARE(form.TableSwatch->palette().color(QPalette::Window), QColor(0, 100, 255));
        QCOMPARE(form.LikelySwatch->palette().color(QPalette::Window), QColor(200, 100, 55));
        QCOMPARE(form.btnYesToAll->text(), QStringLiteral("Yes to &All"));
    }

    void ditherAnswers()
    {
        BackgroundColorForm no(BackgroundColorForm::Question::Dither, picture(), palette());
        no.BackgroundColour = 3;
        no.DitherColour = 9;
        no.show();
        QCOMPARE(no.windowTitle(), QStringLiteral("Dithered Background?"));
        QTest::keyClick(&no, Qt::Key_N);
        QCOMPARE(int(no.DitherColour), 3);

        BackgroundColorForm all(BackgroundColorForm::Question::Dither, picture(), palette());
        all.BackgroundColour = 3;
        all.DitherColour = 9;
        all.btnYesToAll->click();
        QCOMPARE(int(all.DitherColour), 9);
        QVERIFY(all.DisableWarning);
        QVERIFY(all.Message->text().endsWith("\n\nDo you see a dithering pattern below?"));
    }
};

QTEST_MAIN(tst_BackgroundColorForm)
#include "tst_BackgroundColorForm.moc"
