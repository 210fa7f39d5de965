#pragma once
// The Template Manager: the named card templates, their counts, sizes and
// gaps, a preview of the sheet, and saving, deleting and choosing one.

#include "templates/TemplateStore.h"

#include <QDialog>

#include <functional>
#include <optional>
#include <string>
#include <vector>

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace vex::ui {

class UpDown;

// The sheet and its cards in the proportions of an 8.5 x 11 inch page.
class TemplatePreview : public QWidget {
    Q_OBJECT
public:
    explicit TemplatePreview(QWidget *parent = nullptr);
    void setTemplate(const TemplateRecord &t);
    const TemplateRecord &shown() const { return template_; }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    TemplateRecord template_;
};

class frmTemplates : public QDialog {
    Q_OBJECT
public:
    // `current` is the cutting window's template: shown first, and set on
    // Accept.  Sizes and gaps are shown and typed in millimetres when metric.
    frmTemplates(TemplateRecord &current, const std::string &rootDir, QWidget *parent = nullptr, bool metric = false);

    // Asks for a name; nothing for Cancel.  The input box when not set.
    std::function<std::optional<std::string>()> askName;

    QComboBox *comboTemplates = nullptr;
    QLineEdit *txtHNum = nullptr;
    QLineEdit *txtHSize = nullptr;
    QLineEdit *txtHSpace = nullptr;
    QLineEdit *txtVNum = nullptr;
    QLineEdit *txtVSize = nullptr;
    QLineEdit *txtVSpace = nullptr;
    UpDown *udHNum = nullptr;
    UpDown *udHSize = nullptr;
    UpDown *udHSpace = nullptr;
    UpDown *udVNum = nullptr;
    UpDown *udVSize = nullptr;
    UpDown *udVSpace = nullptr;
    TemplatePreview *Preview = nullptr;
    QLabel *lblHSize = nullptr;
    QLabel *lblVSize = nullptr;
    QPushButton *btnSave = nullptr;
    QPushButton *btnAccept = nullptr;
    QPushButton *btnCancel = nullptr;

    const std::vector<TemplateRecord> &templates() const { return templates_; }
    // The values the boxes hold, under the selected template's name.
    TemplateRecord boxValues() const;

public slots:
    void comboTemplates_Click();
    void btnSave_Click();
    void btnAccept_Click();
    void deleteSelected();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void buildControls();
    void Form_Load();
    void refreshBoxes();
    void edited();
    bool SaveTemplates();
    void leaveBox(QLineEdit *box);

    TemplateRecord &current_;
    TemplateLengthUnit unit_;
    std::string path_;
    std::vector<TemplateRecord> templates_; // 0 is "<Default>"
    bool loading_ = false;
};

} // namespace vex::ui
