// The output options panel shared by the plan windows: output format, font
// and font size of the project's documents, and the validity and operator
// texts of their page headings. It edits the options in place
// and reports every real change, so that its host can mark the project
// modified.
#pragma once

#include <QGroupBox>

#include "base/Language.h"
#include "project/Project.h"

class QComboBox;
class QLineEdit;

namespace tak::ui {

class GlobalOptPanel : public QGroupBox {
    Q_OBJECT

public:
    GlobalOptPanel(const LanguageTable& language, QWidget* parent);

    // Shows `options` and edits them from now on; null disables the panel.
    void Show(OutputOpt* options);

signals:
    // The user chose a value that differs from the stored one.
    void Changed();

private:
    void OnFormatChosen(int index);
    void OnFontChosen(int index);
    void OnSizeChosen(int index);
    void OnTextEdited(std::string OutputOpt::*member, const QString& text);
    QLineEdit* NewTextField(const char* name);

    OutputOpt* options_ = nullptr;
    QComboBox* formatList_ = nullptr;
    QComboBox* fontList_ = nullptr;
    QComboBox* sizeList_ = nullptr;
    QLineEdit* validFromField_ = nullptr;
    QLineEdit* operatorField_ = nullptr;
};

}  // namespace tak::ui
