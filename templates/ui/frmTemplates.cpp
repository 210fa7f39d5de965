#include "templates/ui/frmTemplates.h"

#include "templates/ui/UpDown.h"
#include "text/NumberText.h"
#include "text/WholeFile.h"
#include "ui/Messages.h"
#include "ui/NumericKeyFilter.h"

#include <QComboBox>
#include <QEvent>
#include <QFile>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QInputDialog>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QVBoxLayout>

#include <cmath>

namespace vex::ui {

namespace {

constexpr double PreviewWidth = 340;
constexpr double PreviewHeight = 440;

} // namespace

TemplatePreview::TemplatePreview(QWidget *parent) : QWidget(parent)
{
    setFixedSize(static_cast<int>(PreviewWidth / 2) + 2, static_cast<int>(PreviewHeight / 2) + 2);
}

void TemplatePreview::setTemplate(const TemplateRecord &t)
{
    template_ = t;
    update();
}

void TemplatePreview::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.fillRect(rect(), palette().color(QPalette::Window));
    // The sheet, and the block of cards from its top-left corner; a block
    // larger than the sheet is shrunk with it so that both stay in view.
    const double blockW = blockWidth(template_);
    const double blockH = blockHeight(template_);
    const double scale = std::min((width() - 2) / std::max(8.5, blockW), (height() - 2) / std::max(11.0, blockH));
    p.setPen(Qt::black);
    p.setBrush(Qt::white);
    p.drawRect(QRectF(1, 1, 8.5 * scale, 11.0 * scale));
    p.setBrush(QColor(236, 222, 120));
    for (int r = 0; r < template_.TemplateNumV && r < 5; ++r)
        for (int c = 0; c < template_.TemplateNumH && c < 5; ++c) {
            const double x = 1 + c * static_cast<double>(template_.TemplateSizeH + template_.TemplateSpaceH) * scale;
            const double y = 1 + r * static_cast<double>(template_.TemplateSizeV + template_.TemplateSpaceV) * scale;
            p.drawRect(QRectF(x, y, template_.TemplateSizeH * scale, template_.TemplateSizeV * scale));
        }
}

frmTemplates::frmTemplates(TemplateRecord &current, const std::string &rootDir, QWidget *parent, bool metric)
    : QDialog(parent), current_(current), unit_{metric}, path_(rootDir + TemplatesFile)
{
    setObjectName(QStringLiteral("frmTemplates"));
    setWindowTitle(tr("Template Manager"));
    buildControls();
    Form_Load();
}

void frmTemplates::buildControls()
{
    comboTemplates = new QComboBox(this);
    comboTemplates->setObjectName(QStringLiteral("comboTemplates"));
    comboTemplates->installEventFilter(this);
    auto box = [this](const char *name, bool decimals) {
        auto *b = new QLineEdit(this);
        b->setObjectName(QString::fromLatin1(name));
        b->setMaximumWidth(60);
        b->installEventFilter(this);
        NumericKeyFilter::install(b, decimals, false);
        return b;
    };
    txtHNum = box("txtHNum", false);
    txtHSize = box("txtHSize", true);
    txtHSpace = box("txtHSpace", true);
    txtVNum = box("txtVNum", false);
    txtVSize = box("txtVSize", true);
    txtVSpace = box("txtVSpace", true);
    udHNum = new UpDown(1, 5, 1, this);
    udVNum = new UpDown(1, 5, 1, this);
    // From 0.05 inch (a gap from 0) to 8.5 inches, in the unit's counts.
    const int least = unit_.countsPerInch() / 20;
    const int most = unit_.countsPerInch() * 17 / 2;
    udHSize = new UpDown(least, most, unit_.step(), this);
    udVSize = new UpDown(least, most, unit_.step(), this);
    udHSpace = new UpDown(0, most, unit_.step(), this);
    udVSpace = new UpDown(0, most, unit_.step(), this);

    auto frame = [this](const QString &title, const QString &size, QLineEdit *num, UpDown *unum, QLineEdit *sz,
                        UpDown *usz, QLineEdit *sp, UpDown *usp) {
        auto *g = new QGroupBox(title, this);
        auto *grid = new QGridLayout(g);
        const QString labels[3] = {tr("Number:"), size, tr("Space:")};
        QLineEdit *boxes[3] = {num, sz, sp};
        UpDown *ups[3] = {unum, usz, usp};
        for (int i = 0; i < 3; ++i) {
            grid->addWidget(new QLabel(labels[i], g), i, 0);
            grid->addWidget(boxes[i], i, 1);
            grid->addWidget(ups[i], i, 2);
            if (i > 0)
                grid->addWidget(new QLabel(QString::fromLatin1(unit_.symbol()), g), i, 3);
        }
        return g;
    };
    QGroupBox *across = frame(tr("Across"), tr("Width:"), txtHNum, udHNum, txtHSize, udHSize, txtHSpace, udHSpace);
    QGroupBox *down = frame(tr("Down"), tr("Height:"), txtVNum, udVNum, txtVSize, udVSize, txtVSpace, udVSpace);
    Preview = new TemplatePreview(this);
    lblHSize = new QLabel(this);
    lblHSize->setObjectName(QStringLiteral("lblHSize"));
    lblVSize = new QLabel(this);
    lblVSize->setObjectName(QStringLiteral("lblVSize"));
    btnSave = new QPushButton(tr("Save"), this);
    btnSave->setObjectName(QStringLiteral("btnSave"));
    btnSave->setAutoDefault(false);
    btnAccept = new QPushButton(tr("Accept"), this);
    btnAccept->setObjectName(QStringLiteral("btnAccept"));
    btnAccept->setDefault(true);
    btnCancel = new QPushButton(tr("Cancel"), this);
    btnCancel->setObjectName(QStringLiteral("btnCancel"));
    btnCancel->setAutoDefault(false);

    auto *top = new QHBoxLayout;
    top->addWidget(new QLabel(tr("Template:"), this));
    top->addWidget(comboTemplates, 1);
    auto *values = new QVBoxLayout;
    values->addWidget(across);
    values->addWidget(down);
    values->addStretch();
    auto *preview = new QVBoxLayout;
    preview->addWidget(lblHSize, 0, Qt::AlignHCenter);
    preview->addWidget(Preview);
    preview->addWidget(lblVSize, 0, Qt::AlignHCenter);
    auto *middle = new QHBoxLayout;
    middle->addLayout(values);
    middle->addLayout(preview);
    auto *buttons = new QHBoxLayout;
    buttons->addWidget(btnSave);
    buttons->addStretch();
    buttons->addWidget(btnAccept);
    buttons->addWidget(btnCancel);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addLayout(middle);
    layout->addLayout(buttons);

    connect(comboTemplates, &QComboBox::activated, this, &frmTemplates::comboTemplates_Click);
    for (UpDown *u : {udHNum, udHSize, udHSpace, udVNum, udVSize, udVSpace})
        connect(u, &UpDown::valueChanged, this, [this] {
            refreshBoxes();
            edited();
        });
    connect(btnSave, &QPushButton::clicked, this, &frmTemplates::btnSave_Click);
    connect(btnAccept, &QPushButton::clicked, this, &frmTemplates::btnAccept_Click);
    connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);
}

void frmTemplates::Form_Load()
{
    templates_ = {defaultTemplate()};
    comboTemplates->addItem(QString::fromLatin1(DefaultTemplateName));
    const Result<std::string> text = readWholeFile(path_);
    if (!text.ok()) {
        // A file that cannot be read (a folder of that name, a read error)
        // leaves the built-in templates; it is not written over unasked.
        showMessage(this,
                    tr("The templates file %1 could not be read (%2); the built-in template is used.")
                        .arg(QString::fromStdString(path_), QString::fromStdString(text.reason())),
                    QMessageBox::Ok, QMessageBox::Warning);
    } else {
        const TemplateFileContents contents = readTemplatesText(*text);
        for (const TemplateRecord &t : contents.Templates) {
            templates_.push_back(t);
            comboTemplates->addItem(QString::fromStdString(t.TemplateName));
        }
        if (!contents.IgnoredLines.empty()) {
            QStringList lines;
            for (const int n : contents.IgnoredLines)
                lines << QString::number(n);
            showMessage(this,
                        tr("These lines of %1 could not be read and were left out: %2.")
                            .arg(QString::fromStdString(path_), lines.join(QStringLiteral(", "))),
                        QMessageBox::Ok, QMessageBox::Warning);
        }
    }
    int selected = -1;
    for (std::size_t i = 0; i < templates_.size(); ++i)
        if (templates_[i].TemplateName == current_.TemplateName) {
            selected = static_cast<int>(i);
            break;
        }
    if (selected < 0) {
        templates_.push_back(current_);
        comboTemplates->addItem(QString::fromStdString(current_.TemplateName));
        selected = static_cast<int>(templates_.size()) - 1;
    }
    comboTemplates->setCurrentIndex(selected);
    comboTemplates_Click();
}

void frmTemplates::comboTemplates_Click()
{
    const int i = std::max(0, comboTemplates->currentIndex());
    const TemplateRecord &t = templates_[static_cast<std::size_t>(i)];
    loading_ = true;
    udHNum->setValue(t.TemplateNumH);
    udVNum->setValue(t.TemplateNumV);
    auto counts = [this](float inches) {
        return static_cast<int>(std::nearbyint(static_cast<double>(inches) * unit_.countsPerInch()));
    };
    udHSize->setValue(counts(t.TemplateSizeH));
    udVSize->setValue(counts(t.TemplateSizeV));
    udHSpace->setValue(counts(t.TemplateSpaceH));
    udVSpace->setValue(counts(t.TemplateSpaceV));
    loading_ = false;
    btnSave->hide();
    refreshBoxes();
}

void frmTemplates::refreshBoxes()
{
    txtHNum->setText(QString::number(udHNum->value()));
    txtVNum->setText(QString::number(udVNum->value()));
    const std::pair<QLineEdit *, UpDown *> sizes[] = {
        {txtHSize, udHSize}, {txtVSize, udVSize}, {txtHSpace, udHSpace}, {txtVSpace, udVSpace}};
    for (const auto &[text, up] : sizes)
        text->setText(QString::fromStdString(unit_.text(static_cast<double>(up->value()) / unit_.countsPerInch())));
    const TemplateRecord t = boxValues();
    lblHSize->setText(QStringLiteral(" ") + QString::fromStdString(unit_.blockText(blockWidth(t))) +
                      QStringLiteral(" "));
    lblVSize->setText(QStringLiteral(" ") + QString::fromStdString(unit_.blockText(blockHeight(t))) +
                      QStringLiteral(" "));
    Preview->setTemplate(t);
}

void frmTemplates::edited()
{
    if (!loading_)
        btnSave->show();
}

TemplateRecord frmTemplates::boxValues() const
{
    TemplateRecord t;
    const int i = std::max(0, comboTemplates->currentIndex());
    t.TemplateName = templates_[static_cast<std::size_t>(i)].TemplateName;
    auto number = [](const QLineEdit *b) { return parseNumber(b->text().toStdString()).value_or(0.0); };
    auto length = [this](const QLineEdit *b) {
        return static_cast<float>(unit_.inches(b->text().toStdString()).value_or(0.0));
    };
    t.TemplateNumH = static_cast<std::int32_t>(number(txtHNum));
    t.TemplateNumV = static_cast<std::int32_t>(number(txtVNum));
    t.TemplateSizeH = length(txtHSize);
    t.TemplateSizeV = length(txtVSize);
    t.TemplateSpaceH = length(txtHSpace);
    t.TemplateSpaceV = length(txtVSpace);
    return t;
}

void frmTemplates::leaveBox(QLineEdit *box)
{
    const std::pair<QLineEdit *, UpDown *> pairs[] = {{txtHNum, udHNum},     {txtVNum, udVNum},
                                                      {txtHSize, udHSize},   {txtVSize, udVSize},
                                                      {txtHSpace, udHSpace}, {txtVSpace, udVSpace}};
    for (const auto &[text, up] : pairs) {
        if (text != box)
            continue;
        const bool count = text == txtHNum || text == txtVNum;
        const std::optional<double> v = parseNumber(text->text().toStdString());
        const double scaled = v ? (count ? *v : *v * unit_.countsPerShown()) : -1.0;
        if (!v || scaled < up->minimum() || scaled > up->maximum()) {
            refreshBoxes(); // the up-down's value comes back
            return;
        }
        up->setValue(static_cast<int>(std::nearbyint(scaled)));
        refreshBoxes();
    }
}

bool frmTemplates::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == comboTemplates && event->type() == QEvent::KeyPress &&
        static_cast<QKeyEvent *>(event)->key() == Qt::Key_Delete) {
        deleteSelected();
        return true;
    }
    if (auto *box = qobject_cast<QLineEdit *>(watched)) {
        if (event->type() == QEvent::KeyPress) {
            const int key = static_cast<QKeyEvent *>(event)->key();
            UpDown *up = box == txtHNum     ? udHNum
                         : box == txtVNum   ? udVNum
                         : box == txtHSize  ? udHSize
                         : box == txtVSize  ? udVSize
                         : box == txtHSpace ? udHSpace
                                            : udVSpace;
            if (key == Qt::Key_Up || key == Qt::Key_Down) {
                up->stepBy(key == Qt::Key_Up ? 1 : -1);
                return true;
            }
        } else if (event->type() == QEvent::FocusOut) {
            leaveBox(box);
        }
    }
    return QDialog::eventFilter(watched, event);
}

bool frmTemplates::SaveTemplates()
{
    const std::vector<TemplateRecord> user(templates_.begin() + 1, templates_.end());
    Status saved;
    if (!user.empty()) {
        saved = writeWholeFile(path_, templatesText(user));
    } else if (QFile::exists(QString::fromStdString(path_)) && !QFile::remove(QString::fromStdString(path_))) {
        saved = Status::failure("the file could not be removed");
    }
    if (!saved.ok()) {
        showMessage(this,
                    tr("The templates could not be saved in %1: %2")
                        .arg(QString::fromStdString(path_), QString::fromStdString(saved.reason())),
                    QMessageBox::Ok, QMessageBox::Warning);
        return false;
    }
    return true;
}

void frmTemplates::btnSave_Click()
{
    const TemplateRecord values = boxValues();
    for (std::size_t i = 1; i < templates_.size(); ++i)
        if (sameDimensions(templates_[i], values)) {
            showMessage(this, tr("Template '%1' has the same dimensions as the one you're saving.")
                                  .arg(QString::fromStdString(templates_[i].TemplateName)));
            comboTemplates->setCurrentIndex(static_cast<int>(i));
            comboTemplates_Click();
            return;
        }
    std::string name;
    int overwrite = -1;
    for (;;) {
        std::optional<std::string> answer;
        if (askName) {
            answer = askName();
        } else {
            bool ok = false;
            const QString typed =
                QInputDialog::getText(this, QStringLiteral("Vexolin"), tr("Please enter a name for this template:"),
                                      QLineEdit::Normal, QString(), &ok);
            if (ok)
                answer = typed.toStdString();
        }
        if (!answer || answer->empty())
            return;
        const std::vector<TemplateRecord> user(templates_.begin() + 1, templates_.end());
        const int match = templateNamed(user, *answer);
        if (match >= 0) {
            const QMessageBox::StandardButton yes =
                showMessage(this,
                            tr("Overwrite template '%1'?")
                                .arg(QString::fromStdString(user[static_cast<std::size_t>(match)].TemplateName)),
                            QMessageBox::Yes | QMessageBox::No, QMessageBox::Question);
            if (yes != QMessageBox::Yes)
                continue;
        }
        if (!isValidTemplateName(*answer))
            continue;
        name = *answer;
        overwrite = match >= 0 ? match + 1 : -1;
        break;
    }
    const auto first = name.find_first_not_of(' ');
    name = name.substr(first, name.find_last_not_of(' ') - first + 1);
    TemplateRecord saved = values;
    saved.TemplateName = name;
    int index = overwrite;
    if (index < 0) {
        templates_.push_back(saved);
        comboTemplates->addItem(QString::fromStdString(name));
        index = static_cast<int>(templates_.size()) - 1;
    } else {
        templates_[static_cast<std::size_t>(index)] = saved;
        comboTemplates->setItemText(index, QString::fromStdString(name));
    }
    SaveTemplates();
    comboTemplates->setCurrentIndex(index);
    comboTemplates_Click();
}

void frmTemplates::deleteSelected()
{
    const int i = comboTemplates->currentIndex();
    if (i < 1)
        return; // "<Default>" stays
    if (showMessage(this, tr("Are you sure you want to delete this template?"), QMessageBox::Yes | QMessageBox::No,
                    QMessageBox::Question) != QMessageBox::Yes)
        return;
    templates_.erase(templates_.begin() + i);
    comboTemplates->removeItem(i);
    SaveTemplates();
    comboTemplates->setCurrentIndex(std::min(i, comboTemplates->count() - 1));
    comboTemplates_Click();
}

void frmTemplates::btnAccept_Click()
{
    TemplateRecord t = boxValues();
    if (templates_.size() < 2)
        t.TemplateName = NoTemplateName;
    current_ = t;
    accept();
}

} // namespace vex::ui
