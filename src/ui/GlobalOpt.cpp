#include "ui/GlobalOpt.h"

#include <QComboBox>
#include <QFormLayout>
#include <QLineEdit>
#include <array>

#include "project/ProjectLimits.h"
#include "ui/WindowEx.h"

namespace tak::ui {

namespace {

// The fonts every PDF reader has; the text output ignores the font.
constexpr std::array kFontNames = {"Helvetica",   "Helvetica-Bold", "Helvetica-Oblique", "Helvetica-BoldOblique",
                                   "Times-Roman", "Times-Italic",   "Times-Bold",        "Times-BoldItalic",
                                   "Courier",     "Courier-Bold",   "Courier-Oblique",   "Courier-BoldOblique",
                                   "Symbol",      "ZapfDingbats"};
constexpr std::array kFontSizes = {8, 9, 10, 11, 12, 14, 16, 18, 20, 22, 24, 26, 28, 36, 48, 72};
static_assert(kFontSizes.front() >= kMinFontSize && kFontSizes.back() <= kMaxFontSize);
constexpr int kShownSizeWhenUnknown = 10;

}  // namespace

GlobalOptPanel::GlobalOptPanel(const LanguageTable& language, QWidget* parent)
    : QGroupBox(LangLabel(language, "GlobalOptions"), parent) {
    setObjectName("globalOptPanel");
    formatList_ = NewChooser(this, "outputFormatList");
    formatList_->addItem("TXT-" + LangText(language, "File"));
    formatList_->addItem("PDF-" + LangText(language, "File"));
    fontList_ = NewChooser(this, "fontNameList");
    for (const char* name : kFontNames) fontList_->addItem(name);
    sizeList_ = NewChooser(this, "fontSizeList");
    for (int size : kFontSizes) sizeList_->addItem(QString::number(size), size);

    auto* layout = new QFormLayout(this);
    layout->addRow(LangLabel(language, "OutputFormat"), formatList_);
    layout->addRow(LangLabel(language, "FontName"), fontList_);
    layout->addRow(LangLabel(language, "FontSize"), sizeList_);
    validFromField_ = NewTextField("validFromField");
    operatorField_ = NewTextField("operatorField");
    layout->addRow(LangLabel(language, "ValidFromText"), validFromField_);
    layout->addRow(LangLabel(language, "OperatorText"), operatorField_);

    // Only the user's choices count; filling the lists reports nothing.
    connect(formatList_, &QComboBox::activated, this, &GlobalOptPanel::OnFormatChosen);
    connect(fontList_, &QComboBox::activated, this, &GlobalOptPanel::OnFontChosen);
    connect(sizeList_, &QComboBox::activated, this, &GlobalOptPanel::OnSizeChosen);
    connect(validFromField_, &QLineEdit::textEdited, this,
            [this](const QString& text) { OnTextEdited(&OutputOpt::validFrom, text); });
    connect(operatorField_, &QLineEdit::textEdited, this,
            [this](const QString& text) { OnTextEdited(&OutputOpt::operatorName, text); });
    Show(nullptr);
}

// A font the list does not offer (older files say "Arial") shows as the first
// entry but stays stored until the user picks one; the same for sizes.
void GlobalOptPanel::Show(OutputOpt* options) {
    options_ = options;
    setEnabled(options != nullptr);
    if (options == nullptr) return;
    formatList_->setCurrentIndex(options->format == kOutputPdf ? 1 : 0);
    int font = fontList_->findText(FromUtf8(options->fontName), Qt::MatchFixedString | Qt::MatchCaseSensitive);
    fontList_->setCurrentIndex(font >= 0 ? font : 0);
    int size = sizeList_->findData(options->fontSize);
    sizeList_->setCurrentIndex(size >= 0 ? size : sizeList_->findData(kShownSizeWhenUnknown));
    validFromField_->setText(FromUtf8(options->validFrom));
    operatorField_->setText(FromUtf8(options->operatorName));
}

QLineEdit* GlobalOptPanel::NewTextField(const char* name) {
    auto* field = new QLineEdit(this);
    field->setObjectName(name);
    field->setMaxLength(static_cast<int>(kMaxHeadingText));
    return field;
}

void GlobalOptPanel::OnTextEdited(std::string OutputOpt::*member, const QString& text) {
    if (options_ == nullptr) return;
    std::string value = LimitHeadingText(ToUtf8(text));
    if (value == options_->*member) return;
    options_->*member = value;
    emit Changed();
}

void GlobalOptPanel::OnFormatChosen(int index) {
    if (options_ == nullptr || index < 0 || index == options_->format) return;
    options_->format = index;
    emit Changed();
}

void GlobalOptPanel::OnFontChosen(int index) {
    if (options_ == nullptr || index < 0) return;
    std::string name = ToUtf8(fontList_->itemText(index));
    if (name == options_->fontName) return;
    options_->fontName = name;
    emit Changed();
}

void GlobalOptPanel::OnSizeChosen(int index) {
    if (options_ == nullptr || index < 0) return;
    int size = sizeList_->itemData(index).toInt();
    if (size == options_->fontSize) return;
    options_->fontSize = size;
    emit Changed();
}

}  // namespace tak::ui
