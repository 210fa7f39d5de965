// The switch of the main window between one card and the whole line, the
// card strip as passes and line orders change it, and the line's outputs,
// which the line view runs.

#include "app/ui/frmMain.h"

#include "analysis/DropStatistics.h"
#include "app/ui/CardView.h"
#include "app/ui/FiguresPanel.h"
#include "app/ui/LineView.h"
#include "line/CardPositions.h"
#include "line/StaleFigures.h"
#include "line/ui/frmCardPos.h"

#include <QPushButton>

#include <algorithm>

namespace vex::ui {

void frmMain::CompositeCheck_Click()
{
    if (cards_.empty() || busy_) {
        // A box ticked while nothing can follow goes back.
        lineView_->setShown(compositeMode() && !cards_.empty() && !cardView_->pictureShown());
        return;
    }
    const bool line = compositeMode();
    if (!line && meanShown()) {
        // The points of the mean are no cards to show: back to the pass.
        selectPass(currentPass());
        return;
    }
    for (QWidget *w : {loadButton_, loadTemplateButton_, findCardsButton_, scanButton_, scanAllButton_})
        w->setEnabled(!line);
    masking_->setCompositeShown(line);
    cardView_->setScrollEnabled(!line);
    lineView_->showButtons(line, meanShown());
    if (line) {
        lineView_->enter();
    } else {
        lineView_->leave();
        const CardRecord &card = cards_[currentCard_];
        setCaption(QStringLiteral("Quarrow Vexolin -- ") + QString::fromStdString(shownName(card)) +
                   QStringLiteral(" -- ") + QString::number(card.Resolution) + QStringLiteral(" dpi"));
        if (rangeSelected(false, line_.All, card, view_.RangeLow, view_.RangeHigh))
            view_.SingleRange = calcSingleRange(card, view_.RangeLow, view_.RangeHigh);
        QStringList names;
        for (int i = 1; i <= cardCount(); ++i)
            names << QString::fromStdString(shownName(cards_[i]));
        cardView_->setTabs(names, currentCard_ - 1);
        cardView_->showPage(nullptr);
        showCard(currentCard_);
    }

    GraphOption_Click(std::clamp(view_.GraphMode, 1, 3));
    const bool selected = rangeSelected(line, line_.All, cards_[currentCard_], view_.RangeLow, view_.RangeHigh);
    view_.CurrentVMD = vex::currentVmd(line, selected, line_.All, line_.Range, view_.SingleRange, cards_[currentCard_]);
    drawResult();
    updateHistogramLabels();
    if (!line || lineView_->tab() == 0)
        updateStatsLabels();
}

void frmMain::rebuildCardStrip()
{
    QStringList names;
    for (int i = 1; i <= cardCount(); ++i)
        names << QString::fromStdString(shownName(cards_[i]));
    cardView_->setTabs(names);
    // A card whose file has gone or changed is marked; its stored figures stand.
    for (int i = 1; i <= cardCount(); ++i)
        if (cards_[i].FileState != CardFileState::Present)
            cardView_->markTab(i - 1, true);
    cardView_->fitCardLabels(cardCount());
}

void frmMain::showPassCards(TrialController::Shown shown)
{
    using Shown = TrialController::Shown;
    if (shown == Shown::Empty || cards_.empty()) {
        showEmptyState();
        return;
    }
    if (shown != Shown::Mean)
        resolutionButton_->show();
    if (shown == Shown::Opened) {
        noteOpenedFigures(cards_, analysisSettings());
        for (LinePass &pass : trial_->passes())
            noteOpenedFigures(pass.Cards, analysisSettings());
    }
    rebuildCardStrip();
    if (shown == Shown::Mean) {
        lineView_->offer(true);
        lineView_->setShown(true);
    } else {
        offerComposite();
        // An opened trial starts on its cards.
        lineView_->setShown(shown == Shown::PassAsLine && lineView_->offered());
    }
    CompositeCheck_Click();
    if (shown == Shown::Opened)
        selectCurrentTab();
}

bool frmMain::showCardPositions(bool acceptOnly)
{
    const std::string path = cards_.empty() ? std::string() : cards_[currentCard_].FilePath;
    const std::string position1 = prefs_.Spray[Sample_Position1];
    const std::string interval = prefs_.Spray[Sample_Interval];
    frmCardPos window(cards_, prefs_.Spray, store_, module_.Metric, acceptOnly, this);
    window.exec();
    if (window.lineOrderChanged()) {
        trial_->markOrderEdited();
        currentCard_ = std::max(1, findCardByPath(cards_, path));
        shownCard_ = 0;
        if (!compositeMode())
            rebuildCardStrip();
    }
    updateTrialMark();
    return window.placesChanged() || prefs_.Spray[Sample_Position1] != position1 ||
           prefs_.Spray[Sample_Interval] != interval;
}

// ---- The line's outputs: the line view's -------------------------------------------

ReportInputs frmMain::reportInputs()
{
    return reportInputsFor(cards_, line_, analysisSettings());
}

} // namespace vex::ui
