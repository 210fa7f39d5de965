#include "templates/ui/LoadTemplateForm.h"

#include "intake/Resolution.h"
#include "intake/qt/PictureLoader.h"
#include "templates/ui/frmTemplates.h"
#include "text/NumberText.h"
#include "ui/CCommonDialogs.h"
#include "ui/Messages.h"
#include "ui/NumericKeyFilter.h"

#include <QApplication>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QVBoxLayout>

#include <cmath>
#include <filesystem>

namespace vex::ui {

namespace {

constexpr int ViewLongSide = 560;

std::string generalText(double v)
{
    return significantText(v, 7);
}

} // namespace

SheetView::SheetView(QWidget *parent) : QWidget(parent)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
    setFocusPolicy(Qt::StrongFocus);
    setMouseTracking(true); // a hand over the cards says they can be moved
    setFixedSize(ViewLongSide * 85 / 110, ViewLongSide);
}

void SheetView::setSheet(const QImage &sheet, double widthInches, double heightInches)
{
    sheet_ = sheet;
    widthInches_ = widthInches > 0.0 ? widthInches : 8.5;
    heightInches_ = heightInches > 0.0 ? heightInches : 11.0;
    // The sheet's own proportions within the long side.
    const double aspect = widthInches_ / heightInches_;
    if (aspect <= 1.0)
        setFixedSize(std::max(50, static_cast<int>(ViewLongSide * aspect)), ViewLongSide);
    else
        setFixedSize(ViewLongSide, std::max(50, static_cast<int>(ViewLongSide / aspect)));
    update();
}

void SheetView::setOutlines(const std::vector<CardOutline> &outlines, const std::vector<Look> &looks)
{
    outlines_ = outlines;
    looks_ = looks;
    update();
}

double SheetView::pixelsPerInch() const
{
    return width() / widthInches_;
}

QPointF SheetView::toInches(QPointF pixel) const
{
    return pixel / pixelsPerInch();
}

void SheetView::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.fillRect(rect(), palette().color(QPalette::Window));
    if (!sheet_.isNull())
        p.drawImage(rect(), sheet_);
    const double ppi = pixelsPerInch();
    for (std::size_t k = 0; k < outlines_.size(); ++k) {
        const Look look = k < looks_.size() ? looks_[k] : Look{};
        p.setPen(QPen(look.Colour, look.Width, look.Chosen ? Qt::SolidLine : Qt::DotLine));
        p.setBrush(Qt::NoBrush);
        const CardOutline &o = outlines_[k];
        p.drawRect(QRectF(o.Left * ppi, o.Top * ppi, o.Width * ppi, o.Height * ppi));
    }
}

void SheetView::mousePressEvent(QMouseEvent *event)
{
    pressedAt_ = event->position().toPoint();
    const QPointF at = toInches(event->position());
    press_ =
        event->button() == Qt::LeftButton && cardAt(outlines_, at.x(), at.y()) > 0 ? Press::OnCard : Press::Outside;
}

void SheetView::mouseMoveEvent(QMouseEvent *event)
{
    if (press_ == Press::None) {
        const QPointF at = toInches(event->position());
        if (cardAt(outlines_, at.x(), at.y()) > 0)
            setCursor(Qt::OpenHandCursor);
        else
            unsetCursor();
        return;
    }
    const QPoint distance = event->position().toPoint() - pressedAt_;
    if (press_ == Press::OnCard && distance.manhattanLength() >= QApplication::startDragDistance()) {
        press_ = Press::Dragging;
        setCursor(Qt::ClosedHandCursor);
        emit dragStarted();
    }
    if (press_ == Press::Dragging)
        emit dragged(distance);
}

void SheetView::mouseReleaseEvent(QMouseEvent *)
{
    // A card is chosen or left out by a click; a drag only moves.
    if (press_ == Press::OnCard || press_ == Press::Outside)
        emit pressed(toInches(QPointF(pressedAt_)));
    if (press_ == Press::Dragging)
        setCursor(Qt::OpenHandCursor);
    press_ = Press::None;
}

LoadTemplateForm::LoadTemplateForm(SettingsStore &store, const std::string &templateFile,
                                   std::int32_t defaultResolution, const std::string &rootDir,
                                   std::int32_t &lastClipIndex, QWidget *parent, bool metric)
    : QDialog(parent), TemplateFile(templateFile), store_(store), rootDir_(rootDir),
      lastClipIndex_(lastClipIndex), unit_{metric}
{
    setObjectName(QStringLiteral("LoadTemplateForm"));
    setWindowTitle(tr("Cut Sheet by Template - %1")
                       .arg(QString::fromStdString(std::filesystem::path(templateFile).filename().string())));
    // The template in use, as last cut with.
    auto read = [&store](const char *key, const char *fallback) {
        return readSetting(store, SettingsSection, key, fallback);
    };
    Template.TemplateName = read("TemplateName", DefaultTemplateName);
    // Each stored number within what the Template Manager can make; the
    // user is told of any that was not.
    std::vector<std::string> reset;
    auto number = [&](const char *key, double fallback, double low, double high) {
        return readDoubleSetting(store, SettingsSection, key, fallback, low, high, reset);
    };
    Template.TemplateNumH = static_cast<std::int32_t>(std::nearbyint(number("TemplateNumH", 3, 1, 5)));
    Template.TemplateNumV = static_cast<std::int32_t>(std::nearbyint(number("TemplateNumV", 3, 1, 5)));
    Template.TemplateSizeH = static_cast<float>(number("TemplateSizeH", 1.75, 0.01, TemplateLengthLimit));
    Template.TemplateSizeV = static_cast<float>(number("TemplateSizeV", 2.75, 0.01, TemplateLengthLimit));
    Template.TemplateSpaceH = static_cast<float>(number("TemplateSpaceH", 0.25, 0.0, TemplateLengthLimit));
    Template.TemplateSpaceV = static_cast<float>(number("TemplateSpaceV", 0.375, 0.0, TemplateLengthLimit));
    resetSettings_ = reset;
    CardSelected.fill(true);
    const DecodeResult decoded = loadIndexedImage(TemplateFile);
    if (decoded.ok()) {
        sheet_ = decoded->Image;
        sheetPicture_ = toQImage(sheet_);
        SheetLoaded = true;
        RecordedResolution = recordedResolution(decoded->PixelsPerMetreX, decoded->PixelsPerMetreY);
    } else {
        LoadError = decoded.reason();
    }
    // A sheet scanned at a resolution its file records is cut at it, as a
    // card opened alone would be; the default stands in for files without.
    Resolution = std::clamp(RecordedResolution > 0 ? RecordedResolution : defaultResolution, 1, 32767);

    Picture1 = new SheetView(this);
    Picture1->setObjectName(QStringLiteral("Picture1"));
    Picture1->setToolTip(tr("Click a card to leave it out or take it back; drag a card to move all the outlines."));
    LoadingLabel = new QLabel(tr("Loading Image..."), this);
    ResCombo = new QComboBox(this);
    ResCombo->setObjectName(QStringLiteral("ResCombo"));
    ResCombo->setEditable(true);
    ResCombo->setInsertPolicy(QComboBox::NoInsert);
    for (const char *r : {"150", "300", "600", "900", "1200", "2400"})
        ResCombo->addItem(QString::fromLatin1(r));
    ResCombo->setEditText(QString::number(Resolution));
    const char *arrows[4] = {"\u2191", "\u2192", "\u2193", "\u2190"};
    for (int i = 0; i < 4; ++i) {
        ShiftButton[i] = new QPushButton(QString::fromUtf8(arrows[i]), this);
        ShiftButton[i]->setFixedWidth(34);
        ShiftButton[i]->setAutoDefault(false);
        ShiftButton[i]->setFocusPolicy(Qt::NoFocus);
        connect(ShiftButton[i], &QPushButton::clicked, this, [this, i] { shift(i + 1); });
    }
    auto lengthBox = [this](const char *name) {
        auto *b = new QLineEdit(this);
        b->setObjectName(QString::fromLatin1(name));
        b->setMaximumWidth(70);
        NumericKeyFilter::install(b, true, true);
        connect(b, &QLineEdit::editingFinished, this, [this, b] { typePosition(b); });
        return b;
    };
    txtLeft = lengthBox("txtLeft");
    txtTop = lengthBox("txtTop");
    btnTemplates = new QPushButton(tr("&Templates"), this);
    btnTemplates->setAutoDefault(false);
    btnOK = new QPushButton(tr("OK"), this);
    btnOK->setDefault(true);
    CancelButton = new QPushButton(tr("Cancel"), this);
    CancelButton->setAutoDefault(false);

    auto *res = new QHBoxLayout;
    auto *resLabel = new QLabel(tr("Image &Resolution:"), this);
    resLabel->setBuddy(ResCombo);
    res->addWidget(resLabel);
    res->addWidget(ResCombo);
    res->addWidget(new QLabel(tr("dpi"), this));
    // What the file says stays in view when the user types another.
    auto *recorded = new QLabel(tr("The file records %1 dpi.").arg(RecordedResolution), this);
    recorded->setObjectName(QStringLiteral("lblRecorded"));
    recorded->setVisible(RecordedResolution > 0);
    auto *arrowsGrid = new QGridLayout;
    arrowsGrid->addWidget(ShiftButton[0], 0, 1);
    arrowsGrid->addWidget(ShiftButton[3], 1, 0);
    arrowsGrid->addWidget(ShiftButton[1], 1, 2);
    arrowsGrid->addWidget(ShiftButton[2], 2, 1);
    auto *position = new QGroupBox(tr("Cards from the sheet's corner"), this);
    auto *positionGrid = new QGridLayout(position);
    const std::pair<QString, QLineEdit *> rows[2] = {{tr("Left:"), txtLeft}, {tr("Top:"), txtTop}};
    for (int i = 0; i < 2; ++i) {
        positionGrid->addWidget(new QLabel(rows[i].first, position), i, 0);
        positionGrid->addWidget(rows[i].second, i, 1);
        positionGrid->addWidget(new QLabel(QString::fromLatin1(unit_.symbol()), position), i, 2);
    }
    auto *side = new QVBoxLayout;
    side->addWidget(LoadingLabel);
    side->addLayout(res);
    side->addWidget(recorded);
    side->addLayout(arrowsGrid);
    side->addWidget(position);
    side->addWidget(btnTemplates);
    side->addStretch();
    side->addWidget(btnOK);
    side->addWidget(CancelButton);
    auto *layout = new QHBoxLayout(this);
    layout->addWidget(Picture1);
    layout->addLayout(side);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    connect(ResCombo, &QComboBox::textActivated, this, [this] { applyResolution(); });
    connect(ResCombo->lineEdit(), &QLineEdit::editingFinished, this, [this] { applyResolution(); });
    connect(Picture1, &SheetView::pressed, this, &LoadTemplateForm::toggleCard);
    connect(Picture1, &SheetView::dragStarted, this, [this] { dragFrom_ = QPoint(OffsetX, OffsetY); });
    connect(Picture1, &SheetView::dragged, this, &LoadTemplateForm::dragOutlines);
    connect(btnTemplates, &QPushButton::clicked, this, &LoadTemplateForm::btnTemplates_Click);
    connect(btnOK, &QPushButton::clicked, this, &LoadTemplateForm::btnOK_Click);
    connect(CancelButton, &QPushButton::clicked, this, &QDialog::reject);

    LoadingLabel->hide();
    applyResolution();
}

std::vector<CardOutline> LoadTemplateForm::outlines() const
{
    const double perPixel = 1.0 / Picture1->pixelsPerInch();
    return templateOutlines(Template, OffsetX * perPixel, OffsetY * perPixel);
}

void LoadTemplateForm::applyResolution()
{
    const std::optional<double> v = parseNumber(ResCombo->currentText().toStdString());
    if (v && *v >= 1.0 && *v <= 32767.0)
        Resolution = static_cast<std::int32_t>(std::nearbyint(*v));
    ResCombo->setEditText(QString::number(Resolution));
    Picture1->setSheet(sheetPicture_, static_cast<double>(sheet_.Width) / Resolution,
                       static_cast<double>(sheet_.Height) / Resolution);
    drawOutlines();
}

void LoadTemplateForm::drawOutlines()
{
    const std::vector<CardOutline> o = outlines();
    looks_.resize(o.size());
    for (std::size_t k = 0; k < o.size(); ++k)
        looks_[k].Chosen = CardSelected[k];
    Picture1->setOutlines(o, looks_);
    btnOK->setEnabled(SheetLoaded && outlinesFit(o, Resolution, sheet_.Width, sheet_.Height));
    showPosition();
}

void LoadTemplateForm::showPosition()
{
    const std::vector<CardOutline> o = outlines();
    txtLeft->setText(QString::fromStdString(unit_.positionText(o.empty() ? 0.0 : o[0].Left)));
    txtTop->setText(QString::fromStdString(unit_.positionText(o.empty() ? 0.0 : o[0].Top)));
}

void LoadTemplateForm::typePosition(QLineEdit *box)
{
    // Typed like the arrows move: to the nearest preview pixel, and free to
    // leave the sheet (OK then says no).
    if (const std::optional<double> inches = unit_.inches(box->text().toStdString()))
        (box == txtLeft ? OffsetX : OffsetY) =
            static_cast<int>(std::clamp(std::nearbyint(*inches * Picture1->pixelsPerInch()), -1e6, 1e6));
    drawOutlines();
}

void LoadTemplateForm::dragOutlines(QPoint distance)
{
    const double ppi = Picture1->pixelsPerInch();
    const double sheetWidth = static_cast<double>(sheet_.Width) / Resolution;
    const double sheetHeight = static_cast<double>(sheet_.Height) / Resolution;
    OffsetX = offsetWithinSheet(dragFrom_.x() + distance.x(), OffsetX, blockWidth(Template), sheetWidth, ppi);
    OffsetY = offsetWithinSheet(dragFrom_.y() + distance.y(), OffsetY, blockHeight(Template), sheetHeight, ppi);
    drawOutlines();
}

void LoadTemplateForm::shift(int button)
{
    switch (button) {
    case 1:
        --OffsetY;
        break;
    case 2:
        ++OffsetX;
        break;
    case 3:
        ++OffsetY;
        break;
    default:
        --OffsetX;
        break;
    }
    drawOutlines();
    Picture1->setFocus();
}

void LoadTemplateForm::keyPressEvent(QKeyEvent *event)
{
    switch (event->key()) {
    case Qt::Key_Up:
        shift(1);
        return;
    case Qt::Key_Right:
        shift(2);
        return;
    case Qt::Key_Down:
        shift(3);
        return;
    case Qt::Key_Left:
        shift(4);
        return;
    // Enter reaches the window only from a box (a focused button takes it
    // itself): it applies the box, and never cuts the sheet by the way of
    // the default button.
    case Qt::Key_Return:
    case Qt::Key_Enter:
        applyResolution();
        return;
    default:
        QDialog::keyPressEvent(event);
    }
}

void LoadTemplateForm::toggleCard(QPointF inches)
{
    const int k = cardAt(outlines(), inches.x(), inches.y());
    if (k < 1 || k > 25)
        return;
    CardSelected[static_cast<std::size_t>(k - 1)] = !CardSelected[static_cast<std::size_t>(k - 1)];
    drawOutlines();
}

void LoadTemplateForm::btnTemplates_Click()
{
    if (chooseTemplate) {
        chooseTemplate(Template);
    } else {
        frmTemplates manager(Template, rootDir_, this, unit_.Metric);
        manager.exec();
    }
    drawOutlines();
}

std::string LoadTemplateForm::readyClipFolder()
{
    std::string folder = clipFolderOf(TemplateFile);
    const Status beside = prepareClipFolder(folder);
    if (beside.ok())
        return folder;
    showMessage(this,
                programText("The cut cards cannot be kept beside the sheet:\r" + beside.reason() +
                            "\rPlease choose a folder for them."),
                QMessageBox::Ok, QMessageBox::Warning);
    if (chooseClipFolder) {
        if (!chooseClipFolder(folder))
            return {};
    } else {
        CCommonDialogs dialog;
        dialog.Init(this);
        dialog.Title = "Folder for the Cut Cards";
        dialog.InitialDir = std::filesystem::path(TemplateFile).parent_path().string();
        if (!dialog.ShowFolder())
            return {};
        folder = dialog.Path;
    }
    if (folder.empty())
        return {};
    if (folder.back() != '/')
        folder += '/';
    if (const Status chosen = prepareClipFolder(folder); !chosen.ok()) {
        showMessage(this, programText("Error: " + chosen.reason()), QMessageBox::Ok, QMessageBox::Warning);
        return {};
    }
    return folder;
}

void LoadTemplateForm::btnOK_Click()
{
    const std::vector<CardOutline> o = outlines();
    if (!SheetLoaded || !outlinesFit(o, Resolution, sheet_.Width, sheet_.Height))
        return;
    // Nothing is cut until the cards have a place that lasts.
    const std::string folder = readyClipFolder();
    if (folder.empty())
        return;
    clipFolder_ = folder;
    clips_.clear();
    std::string cutShort;
    for (std::size_t k = 0; k < o.size(); ++k) {
        if (!CardSelected[k])
            continue;
        looks_[k].Colour = QColor(0, 0, 255);
        looks_[k].Width = 2;
        Picture1->setOutlines(o, looks_);
        Picture1->repaint();
        const PixelRect rect = cutRectangle(o[k], Resolution);
        const IndexedImage clip = cropImage(sheet_, rect);
        if (const std::string s = cutShortText(static_cast<int>(k) + 1, rect, clip); !s.empty())
            cutShort += (cutShort.empty() ? "" : "\r") + s;
        const Result<std::string> written = writeClip(folder, clipFileName(lastClipIndex_ + static_cast<int>(k) + 1),
                                                      encodeIndexedBmp(clip, Resolution));
        if (!written.ok()) {
            showMessage(this, QStringLiteral("Error: ") + QString::fromStdString(written.reason()), QMessageBox::Ok,
                        QMessageBox::Warning);
            break;
        }
        clips_.push_back(*written);
        if (LoadImage)
            LoadImage(std::filesystem::path(*written).filename().string(), folder, Resolution);
        looks_[k].Colour = QColor(255, 0, 0);
        Picture1->setOutlines(o, looks_);
        Picture1->repaint();
    }
    if (!cutShort.empty())
        showMessage(this, programText(cutShort), QMessageBox::Ok, QMessageBox::Warning);
    lastClipIndex_ += Template.TemplateNumH * Template.TemplateNumV;
    Status stored = writeSetting(store_, SettingsSection, "TemplateName", Template.TemplateName);
    stored.add(writeSetting(store_, SettingsSection, "TemplateNumH", std::to_string(Template.TemplateNumH)));
    stored.add(writeSetting(store_, SettingsSection, "TemplateNumV", std::to_string(Template.TemplateNumV)));
    stored.add(writeSetting(store_, SettingsSection, "TemplateSizeH", generalText(Template.TemplateSizeH)));
    stored.add(writeSetting(store_, SettingsSection, "TemplateSizeV", generalText(Template.TemplateSizeV)));
    stored.add(writeSetting(store_, SettingsSection, "TemplateSpaceH", generalText(Template.TemplateSpaceH)));
    stored.add(writeSetting(store_, SettingsSection, "TemplateSpaceV", generalText(Template.TemplateSpaceV)));
    if (!stored.ok())
        showMessage(this, programText(stored.reason()), QMessageBox::Ok, QMessageBox::Warning);
    accept();
}

} // namespace vex::ui
