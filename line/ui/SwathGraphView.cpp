#include "line/ui/SwathGraphView.h"

#include "line/SprayLineGraph.h"

#include <QButtonGroup>
#include <QPainter>
#include <QPainterPath>
#include <QRadioButton>

#include <algorithm>
#include <cmath>

namespace vex::ui {

namespace {

const QColor CovColour(40, 40, 40);
const QColor BackAndForthColour(30, 110, 200);
const QColor ProfileColour(128, 128, 128);
constexpr double LeftMargin = 58;
constexpr double RightMargin = 16;

double xMax(const std::vector<double> &xs)
{
    return xs.empty() ? 1.0 : std::max(1e-9, *std::max_element(xs.begin(), xs.end()));
}

// Ticks, values and titles of one graph's axes.
void axes(QPainter &p, const QRectF &area, double xLow, double xHigh, double yTop, const QString &xTitle,
          const QString &yTitle)
{
    p.setPen(QPen(Qt::black, 1));
    p.drawRect(area);
    const QFontMetrics fm(p.font());
    const double yStep = niceTickStep(static_cast<float>(yTop));
    for (int k = 0; k * yStep <= yTop * (1.0 + 1e-9); ++k) {
        const double v = k * yStep;
        const double y = area.bottom() - v / yTop * area.height();
        p.drawLine(QPointF(area.left(), y), QPointF(area.left() + 5, y));
        const QString label = QString::fromStdString(tickLabel(v, yStep, false));
        p.drawText(QRectF(area.left() - 7 - 60, y - fm.height() / 2.0, 60, fm.height()),
                   Qt::AlignRight | Qt::AlignVCenter, label);
    }
    const double span = xHigh - xLow > 0.0 ? xHigh - xLow : 1.0;
    const double xStep = niceTickStep(static_cast<float>(span));
    for (double v = std::ceil(xLow / xStep) * xStep; v <= xHigh + 1e-9 * span; v += xStep) {
        const double x = area.left() + (v - xLow) / span * area.width();
        p.drawLine(QPointF(x, area.bottom()), QPointF(x, area.bottom() - 5));
        p.drawText(QRectF(x - 30, area.bottom() + 2, 60, fm.height()), Qt::AlignHCenter | Qt::AlignTop,
                   QString::fromStdString(tickLabel(v, xStep, false)));
    }
    p.drawText(QRectF(area.left(), area.bottom() + fm.height() + 2, area.width(), fm.height()), Qt::AlignHCenter,
               xTitle);
    p.drawText(QRectF(area.left(), area.top() - fm.height() - 2, area.width(), fm.height()), Qt::AlignHCenter, yTitle);
}

} // namespace

SwathGraphView::SwathGraphView(QWidget *parent) : QWidget(parent), group_(new QButtonGroup(this))
{
    setAttribute(Qt::WA_OpaquePaintEvent);
    group_->setExclusive(true);
    connect(group_, &QButtonGroup::idClicked, this, &SwathGraphView::widthChosen);
}

QRectF SwathGraphView::covArea() const
{
    return {LeftMargin, 24.0, width() - LeftMargin - RightMargin, height() * 0.5 - 24.0 - 58.0};
}

QRectF SwathGraphView::profileArea() const
{
    const double top = height() * 0.5 + 26.0;
    return {LeftMargin, top, width() - LeftMargin - RightMargin, height() - top - 36.0};
}

QRadioButton *SwathGraphView::widthButton(int n) const
{
    return n >= 1 && n <= widthButtons() ? buttons_[static_cast<std::size_t>(n - 1)] : nullptr;
}

void SwathGraphView::setPicture(const SwathPicture &picture)
{
    picture_ = picture;
    const std::size_t count = picture_.Widths.size();
    while (buttons_.size() > count) {
        delete buttons_.back();
        buttons_.pop_back();
    }
    while (buttons_.size() < count) {
        auto *b = new QRadioButton(this);
        b->setObjectName(QStringLiteral("optSwathWidth%1").arg(buttons_.size() + 1));
        b->setFocusPolicy(Qt::NoFocus);
        group_->addButton(b, static_cast<int>(buttons_.size()) + 1);
        b->show();
        buttons_.push_back(b);
    }
    if (QRadioButton *b = widthButton(picture_.Selected))
        b->setChecked(true);
    placeButtons();
    update();
}

void SwathGraphView::placeButtons()
{
    const QRectF area = covArea();
    const double span = xMax(picture_.Widths);
    for (std::size_t i = 0; i < buttons_.size(); ++i) {
        QRadioButton *b = buttons_[i];
        b->adjustSize();
        const double x = area.left() + picture_.Widths[i] / span * area.width();
        b->move(static_cast<int>(x - b->width() / 2.0), static_cast<int>(area.bottom() + 34));
    }
}

void SwathGraphView::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    placeButtons();
}

void SwathGraphView::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.fillRect(rect(), Qt::white);
    QFont small = font();
    small.setPointSizeF(7.5);
    p.setFont(small);
    const SwathPicture &pic = picture_;
    const QString length = QString::fromStdString(pic.LengthUnit);

    // COV against swath width.
    const QRectF cov = covArea();
    const double span = xMax(pic.Widths);
    const double covTop = pic.CovTop > 0.0 ? pic.CovTop : 1.0;
    axes(p, cov, 0.0, span, covTop, QStringLiteral("Swath Width (") + length + QStringLiteral(")"),
         QStringLiteral("Coefficient of Variation"));
    auto covPoint = [&](std::size_t i, double v) {
        return QPointF(cov.left() + pic.Widths[i] / span * cov.width(), cov.bottom() - v / covTop * cov.height());
    };
    p.setPen(QPen(QColor(255, 0, 0), 1, Qt::DashLine));
    const double limit = cov.bottom() - 0.3 / covTop * cov.height();
    p.drawLine(QPointF(cov.left(), limit), QPointF(cov.right(), limit));
    p.setRenderHint(QPainter::Antialiasing, true);
    auto finePoint = [&](std::size_t j, double v) {
        return QPointF(cov.left() + pic.FineWidths[j] / span * cov.width(), cov.bottom() - v / covTop * cov.height());
    };
    // The curve runs through the widths between whole spacings where there
    // are any; the whole widths, which the buttons choose, are marked.
    auto series = [&](const std::vector<double> &values, const std::vector<double> &fine, const QPen &pen) {
        p.setPen(pen);
        QPainterPath path;
        const bool between = fine.size() == pic.FineWidths.size() && fine.size() > values.size();
        for (std::size_t i = 0; i < values.size() && i < pic.Widths.size(); ++i) {
            if (!between) {
                if (i == 0)
                    path.moveTo(covPoint(i, values[i]));
                else
                    path.lineTo(covPoint(i, values[i]));
            }
            p.drawEllipse(covPoint(i, values[i]), 2.5, 2.5);
        }
        for (std::size_t j = 0; between && j < fine.size(); ++j) {
            if (j == 0)
                path.moveTo(finePoint(j, fine[j]));
            else
                path.lineTo(finePoint(j, fine[j]));
        }
        p.drawPath(path);
    };
    series(pic.CovBackAndForth, pic.FineCovBackAndForth, QPen(BackAndForthColour, 1.5, Qt::DashLine));
    series(pic.Cov, pic.FineCov, QPen(CovColour, 2));
    p.setRenderHint(QPainter::Antialiasing, false);
    // Legend of the two patterns.
    const QFontMetrics fm(small);
    const double legendY = cov.top() + 4;
    const double legendLeft = cov.right() - 4 -
                              (42 + fm.horizontalAdvance(QStringLiteral("one way")) +
                               fm.horizontalAdvance(QStringLiteral("back and forth")) + 40);
    p.setPen(QPen(CovColour, 2));
    const double mid = legendY + fm.height() / 2.0;
    p.drawLine(QPointF(legendLeft, mid), QPointF(legendLeft + 20, mid));
    p.drawText(QPointF(legendLeft + 24, legendY + fm.ascent()), QStringLiteral("one way"));
    const double second = legendLeft + 24 + fm.horizontalAdvance(QStringLiteral("one way")) + 16;
    p.setPen(QPen(BackAndForthColour, 1.5, Qt::DashLine));
    p.drawLine(QPointF(second, mid), QPointF(second + 20, mid));
    p.drawText(QPointF(second + 24, legendY + fm.ascent()), QStringLiteral("back and forth"));

    // The multiswath deposit profile.
    const QRectF prof = profileArea();
    const double lowX = pic.ProfileX.empty() ? 0.0 : *std::min_element(pic.ProfileX.begin(), pic.ProfileX.end());
    const double highX = pic.ProfileX.empty() ? 1.0 : *std::max_element(pic.ProfileX.begin(), pic.ProfileX.end());
    const double top = pic.ProfileTop > 0.0 ? pic.ProfileTop : 1.0;
    axes(p, prof, lowX, highX, top, QStringLiteral("Position Across Block (") + length + QStringLiteral(")"),
         QString::fromStdString(pic.Title + "  " + pic.ValueUnit));
    const double xSpan = highX - lowX > 0.0 ? highX - lowX : 1.0;
    QPainterPath path;
    for (std::size_t i = 0; i < pic.ProfileX.size() && i < pic.ProfileY.size(); ++i) {
        const QPointF at(prof.left() + (pic.ProfileX[i] - lowX) / xSpan * prof.width(),
                         prof.bottom() - pic.ProfileY[i] / top * prof.height());
        if (i == 0)
            path.moveTo(at);
        else
            path.lineTo(at);
    }
    p.setRenderHint(QPainter::Antialiasing, true);
    p.setPen(QPen(ProfileColour, 3, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.drawPath(path);
}

} // namespace vex::ui
