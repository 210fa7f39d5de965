#pragma once
// Cutting a scanned sheet of several cards: the sheet with the outlines of
// the template's cards, the resolution, nudging the outlines, leaving cards
// out, and OK, which saves each chosen card as a clip and opens it as a card.

#include "intake/IndexedImage.h"
#include "templates/TemplateCutting.h"
#include "text/Settings.h"

#include <QDialog>
#include <QImage>

#include <array>
#include <functional>
#include <string>

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace vex::ui {

// The sheet scaled into the widget with the card outlines over it.
class SheetView : public QWidget {
    Q_OBJECT
public:
    explicit SheetView(QWidget *parent = nullptr);
    void setSheet(const QImage &sheet, double widthInches, double heightInches);
    // Outlines with their look: chosen solid, left out dotted; the colour of
    // the card being cut or done.
    struct Look {
        bool Chosen = true;
        QColor Colour = Qt::black;
        int Width = 1;
    };
    void setOutlines(const std::vector<CardOutline> &outlines, const std::vector<Look> &looks);
    // Preview pixels in one inch of the sheet.
    double pixelsPerInch() const;
    QPointF toInches(QPointF pixel) const;

signals:
    // A press and release that did not drag, where it was pressed.
    void pressed(QPointF inches);
    // A press inside an outline moved further than a click would: the
    // distance from the press in preview pixels, at every move.
    void dragStarted();
    void dragged(QPoint distance);

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;

private:
    enum class Press { None, Outside, OnCard, Dragging };
    Press press_ = Press::None;
    QPoint pressedAt_;
    QImage sheet_;
    double widthInches_ = 8.5;
    double heightInches_ = 11.0;
    std::vector<CardOutline> outlines_;
    std::vector<Look> looks_;
};

class LoadTemplateForm : public QDialog {
    Q_OBJECT
public:
    // The resolution is the one the sheet's file records, else the default.
    // Lengths are shown and typed in millimetres when metric.
    LoadTemplateForm(SettingsStore &store, const std::string &templateFile, std::int32_t defaultResolution,
                     const std::string &rootDir, std::int32_t &lastClipIndex, QWidget *parent = nullptr,
                     bool metric = false);

    // Opens a written clip as a new card (the main window's LoadImage) at the
    // resolution typed here.
    std::function<bool(const std::string &fileTitle, const std::string &folder, std::int32_t resolution)> LoadImage;
    // Lets a test answer the Template Manager; when not set, it is shown.
    std::function<void(TemplateRecord &)> chooseTemplate;
    // Chooses the folder for the cut cards when the one beside the sheet
    // cannot take them; when not set, the folder dialog asks.  True with a
    // folder chosen.
    std::function<bool(std::string &folder)> chooseClipFolder;

    std::string TemplateFile;
    TemplateRecord Template;
    std::int32_t Resolution = 1200;
    int OffsetX = 0; // preview pixels
    int OffsetY = 0;
    std::array<bool, 25> CardSelected{};
    bool SheetLoaded = false;
    std::string LoadError;
    std::int32_t RecordedResolution = 0; // 0 when the file records none

    SheetView *Picture1 = nullptr;
    QLabel *LoadingLabel = nullptr;
    QComboBox *ResCombo = nullptr;
    QPushButton *ShiftButton[4] = {nullptr, nullptr, nullptr, nullptr};
    // Where the block of cards lies from the sheet's top-left corner, in
    // the unit of lengths; typing one moves the block.
    QLineEdit *txtLeft = nullptr;
    QLineEdit *txtTop = nullptr;
    QPushButton *btnTemplates = nullptr;
    QPushButton *btnOK = nullptr;
    QPushButton *CancelButton = nullptr;

    std::vector<CardOutline> outlines() const;
    // Stored template values that were set back to their defaults.
    const std::vector<std::string> &resetSettings() const { return resetSettings_; }
    // The clips written by the last OK, by full path.
    const std::vector<std::string> &clips() const { return clips_; }
    // Where the last OK put them, ending with '/'.
    const std::string &clipFolder() const { return clipFolder_; }

public slots:
    void btnOK_Click();
    void btnTemplates_Click();
    void shift(int button); // 1 up, 2 right, 3 down, 4 left
    // The block moved by a drag to `distance` preview pixels from where it
    // was when the drag began, never out of the sheet.
    void dragOutlines(QPoint distance);

protected:
    void keyPressEvent(QKeyEvent *event) override;

private:
    void drawOutlines();
    void applyResolution();
    void toggleCard(QPointF inches);
    void showPosition();
    void typePosition(QLineEdit *box);
    // The folder the cut cards go to, made if need be; empty when there is
    // none (the user was told, or cancelled).
    std::string readyClipFolder();

    SettingsStore &store_;
    std::string rootDir_;
    std::int32_t &lastClipIndex_;
    IndexedImage sheet_;
    QImage sheetPicture_; // converted once, shown at every resolution
    std::vector<SheetView::Look> looks_;
    std::vector<std::string> clips_;
    std::string clipFolder_;
    std::vector<std::string> resetSettings_;
    TemplateLengthUnit unit_;
    QPoint dragFrom_; // the offset when the drag began
};

} // namespace vex::ui
