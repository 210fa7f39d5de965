#include "app/ui/FiguresPanel.h"

#include "analysis/ResultGraph.h"
#include "analysis/ui/ResultGraphView.h"

#include <QGridLayout>
#include <QLabel>
#include <QRadioButton>

#include <algorithm>

namespace vex::ui {

FiguresPanel::FiguresPanel(QWidget *parent) : QGroupBox(tr("Scan Results  (Volume Fraction)"), parent)
{
    setObjectName(QStringLiteral("ResultFrame"));
    graph_ = new ResultGraphView(this);
    graph_->setFixedSize(258, 140);
    graph_->setObjectName(QStringLiteral("ResultPic"));
    const QString options[3] = {tr("VF"), tr("CVF"), tr("#/cm2")};
    for (int i = 0; i < 3; ++i) {
        option_[i] = new QRadioButton(options[i], this);
        connect(option_[i], &QRadioButton::clicked, this, [this, i] { emit optionClicked(i + 1); });
    }
    option_[0]->setChecked(true);
    sizeRangeLabel_ = new QLabel(this);
    sizeRangeLabel_->setObjectName(QStringLiteral("SizeRangeLabel"));
    sizeRangeLabel_->setAutoFillBackground(true);
    sizeRangeLabel_->hide();
    const QString captions[3] = {tr("VMD:"), tr("Drop Density:"), tr("Volume:")};
    for (int i = 0; i < 3; ++i)
        captions_[i] = new QLabel(captions[i], this);
    for (QLabel *&value : values_)
        value = new QLabel(this);
    coverageCaption_ = new QLabel(tr("Coverage:"), this);
    coverageCaption_->setObjectName(QStringLiteral("CoverageCaption"));
    coverageValue_ = new QLabel(this);
    coverageValue_->setObjectName(QStringLiteral("CoverageLabel"));
    showCoverage({});
    leftOutLabel_ = new QLabel(this);
    leftOutLabel_->setWordWrap(true);
    leftOutLabel_->hide();
    // Broken into lines by its texts: a wrapping label squeezes the graph
    // of the fixed-size frame.
    wordsLabel_ = new QLabel(this);
    wordsLabel_->hide();
    for (QLabel **axis : {&leftLabel_, &rightLabel_, &bottomLabel_, &topLabel_})
        *axis = new QLabel(this);
    qualityLabel_ = new QLabel(this);
    qualityLabel_->setObjectName(QStringLiteral("QualityLabel"));
    qualityLabel_->setTextFormat(Qt::RichText);
    qualityLabel_->setToolTip(tr("The class of the drop size spectrum read from the cards (Dv0.1 and VMD against\n"
                                 "the class bounds; the finer of the two), not a laser measurement of the nozzle."));
    qualityLabel_->hide();
    smallestDropLabel_ = new QLabel(this);
    smallestDropLabel_->setObjectName(QStringLiteral("SmallestDropLabel"));
    smallestDropLabel_->setToolTip(
        tr("A stain must be three pixels across to be seen: the drop that stain stands for\n"
           "at the card's resolution, by the spread factor.  Smaller drops are not counted."));
    smallestDropLabel_->hide();
    staleLabel_ = new QLabel(this);
    staleLabel_->setObjectName(QStringLiteral("StaleLabel"));
    staleLabel_->setWordWrap(true);
    staleLabel_->setStyleSheet(QStringLiteral("color: rgb(192, 96, 0)"));
    staleLabel_->hide();

    for (int i = 0; i < 3; ++i) {
        option_[i]->setObjectName(QStringLiteral("GraphOption%1").arg(i + 1));
        captions_[i]->setObjectName(QStringLiteral("InfoLabel%1").arg(i + 1));
    }
    values_[0]->setObjectName(QStringLiteral("VMDLabel"));
    values_[1]->setObjectName(QStringLiteral("DropLabel"));
    values_[2]->setObjectName(QStringLiteral("VolumeLabel"));
    leftOutLabel_->setObjectName(QStringLiteral("RejectedLabel"));
    wordsLabel_->setObjectName(QStringLiteral("SpectrumLabel"));
    leftLabel_->setObjectName(QStringLiteral("ResultLabelX1"));
    rightLabel_->setObjectName(QStringLiteral("ResultLabelX2"));
    bottomLabel_->setObjectName(QStringLiteral("ResultLabelY1"));
    topLabel_->setObjectName(QStringLiteral("ResultLabelY2"));
}

void FiguresPanel::layOut()
{
    auto *result = new QGridLayout(this);
    // Below every other row, whatever rows come to stand above it.
    result->addWidget(staleLabel_, 20, 0, 1, 4);
    result->addWidget(qualityLabel_, 11, 0, 1, 4);
    result->addWidget(smallestDropLabel_, 12, 0, 1, 4);
    // The value labels sit at the top and bottom of the graph, in a column
    // wide enough for any of them, so the graph does not move between modes.
    for (QLabel *l : {bottomLabel_, topLabel_})
        l->setMinimumWidth(l->fontMetrics().horizontalAdvance(QStringLiteral("100.0%")));
    result->addWidget(topLabel_, 0, 0, Qt::AlignTop | Qt::AlignRight);
    result->addWidget(graph_, 0, 1, 2, 3);
    result->addWidget(bottomLabel_, 1, 0, Qt::AlignBottom | Qt::AlignRight);
    result->addWidget(leftLabel_, 2, 1);
    result->addWidget(rightLabel_, 2, 3, Qt::AlignRight);
    for (int i = 0; i < 3; ++i)
        result->addWidget(option_[i], 3, 1 + i);
    for (int i = 0; i < 3; ++i) {
        result->addWidget(captions_[i], 5 + i, 0, 1, 2);
        result->addWidget(values_[i], 5 + i, 2, 1, 2);
    }
    result->addWidget(coverageCaption_, 8, 0, 1, 2);
    result->addWidget(coverageValue_, 8, 2, 1, 2);
    result->addWidget(wordsLabel_, 9, 0, 1, 4);
    result->addWidget(leftOutLabel_, 10, 0, 1, 4);
}

void FiguresPanel::drawGraph(const GraphInputs &in, Rgb fill)
{
    graph_->setPicture(vex::drawResult(in), QColor(fill.Red, fill.Green, fill.Blue));
}

void FiguresPanel::clearGraph()
{
    graph_->clearGraph();
}

void FiguresPanel::showMode(int mode, bool composite)
{
    option_[std::clamp(mode, 1, 3) - 1]->setChecked(true);
    setTitle(QString::fromStdString(resultFrameCaption(mode, composite)));
}

bool FiguresPanel::modeChecked(int mode) const
{
    return option_[mode - 1]->isChecked();
}

void FiguresPanel::showAxisValues(int mode)
{
    const GraphMapping m = graph_->mapping();
    const HistogramLabels labels = histogramLabels(m.Right, m.Top, mode);
    leftLabel_->setText(QString::fromStdString(labels.X1));
    rightLabel_->setText(QString::fromStdString(labels.X2));
    topLabel_->setText(QString::fromStdString(labels.Y2));
    bottomLabel_->setText(QString::fromStdString(labels.Y1));
}

void FiguresPanel::showSizeRange(double x, bool moving)
{
    sizeRangeLabel_->setText(QString::fromStdString(sizeRangeText(x, moving)));
    sizeRangeLabel_->adjustSize();
    const QRect graph = graph_->geometry();
    int left = graph.left() + static_cast<int>(graph_->mapping().pixelX(x));
    if (left + sizeRangeLabel_->width() > graph.right())
        left = graph.right() - sizeRangeLabel_->width();
    sizeRangeLabel_->move(std::max(0, left), graph.bottom() + 2);
    sizeRangeLabel_->raise();
    sizeRangeLabel_->show();
}

void FiguresPanel::hideSizeRange()
{
    sizeRangeLabel_->hide();
}

void FiguresPanel::showFigures(const std::array<QString, 3> &captions, const std::array<std::string, 3> &values)
{
    for (std::size_t i = 0; i < 3; ++i) {
        captions_[i]->setText(captions[i]);
        values_[i]->setText(QString::fromStdString(values[i]));
    }
}

void FiguresPanel::showWords(const std::string &words)
{
    wordsLabel_->setText(QString::fromStdString(words));
    wordsLabel_->setVisible(!words.empty());
}

void FiguresPanel::showCoverage(const std::string &value)
{
    coverageValue_->setText(QString::fromStdString(value));
    coverageCaption_->setVisible(!value.empty());
    coverageValue_->setVisible(!value.empty());
}

void FiguresPanel::showLeftOut(const std::string &text, bool warning)
{
    leftOutLabel_->setText(QString::fromStdString(text));
    leftOutLabel_->setStyleSheet(warning ? QStringLiteral("color: rgb(255, 0, 0)") : QString());
    leftOutLabel_->setVisible(!text.empty());
}

void FiguresPanel::showQuality(const std::string &text, Rgb colour)
{
    const QString swatch =
        QStringLiteral("<span style=\"background-color: rgb(%1, %2, %3)\">&nbsp;&nbsp;&nbsp;&nbsp;</span> ")
            .arg(colour.Red)
            .arg(colour.Green)
            .arg(colour.Blue);
    qualityLabel_->setText(
        swatch + QString::fromStdString(text).toHtmlEscaped().replace(QLatin1Char('\n'), QStringLiteral("<br>")));
    qualityLabel_->setVisible(!text.empty());
}

void FiguresPanel::showSmallestDrop(const std::string &text)
{
    smallestDropLabel_->setText(QString::fromStdString(text));
    smallestDropLabel_->setVisible(!text.empty());
}

void FiguresPanel::hideLeftOut()
{
    leftOutLabel_->hide();
}

void FiguresPanel::showStale(const std::string &text)
{
    staleLabel_->setText(QString::fromStdString(text));
    staleLabel_->setVisible(!text.empty());
}

} // namespace vex::ui
