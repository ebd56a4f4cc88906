#include "EditorTextFit.h"

#include <QLabel>
#include <QLayout>
#include <QRadioButton>
#include <QSpacerItem>

#include <algorithm>

#include "EditorTexts.h"
#include "TextFit.h"
#include "ui_ProfileConfigDialog.h"

namespace {

using EditorTexts::kCaptionWidth;
// The form's width of the Type choices and of their box.
const int kTypeChoiceWidth = 224;
const int kTypeBoxWidth = 248;

} // namespace

EditorTextFit::EditorTextFit(Ui::ProfileConfigDialog& ui, QWidget* dialog)
    : ui(ui), dialog(dialog), dialogWidth(dialog->minimumWidth()) {
    // The captions are the labels that the form gives a width of exactly 140 pixels.
    for (QLabel* label : ui.dialogWidget->findChildren<QLabel*>()) {
        if (label->minimumWidth() == kCaptionWidth && label->maximumWidth() == kCaptionWidth) {
            captions.push_back(
                {label, label->minimumHeight(), label->maximumHeight() == label->minimumHeight()});
        }
    }
    // The spacers that put the warnings and the Generate button under the inputs.
    for (QSpacerItem* spacer :
         {ui.horizontalSpacer_7, ui.horizontalSpacer_26, ui.horizontalSpacer_29, ui.horizontalSpacer_31}) {
        indents.push_back({spacer, spacer->sizeHint().width() - kCaptionWidth});
    }
    // The blocks of a fixed width that hold the rows, and the scroll area around them.
    QWidget* const widened[] = {ui.systemInfoWidget, ui.stackedWidgetVPNType, ui.scrollArea};
    for (QWidget* block : widened) {
        blocks.push_back({block, block->maximumWidth()});
    }
}

void EditorTextFit::fit() {
    int column = kCaptionWidth;
    for (const Caption& caption : captions) {
        const int needed = caption.label->wordWrap() ? TextFit::longestWordWidth(caption.label)
                                                     : TextFit::labelWidth(caption.label);
        column = std::max(column, needed);
    }
    for (const Caption& caption : captions) {
        caption.label->setFixedWidth(column);
        const int height = std::max(caption.formHeight, TextFit::labelHeight(caption.label, column));
        if (caption.fixedHeight) {
            caption.label->setFixedHeight(height);
        } else {
            caption.label->setMinimumHeight(height);
        }
    }
    // The captions of the remote-subnet rows added so far; rows added later read the
    // column's width from the dialog.
    dialog->setProperty(EditorTexts::kCaptionWidthProperty, column);
    for (QLabel* label :
         ui.dialogWidget->findChildren<QLabel*>(QString::fromLatin1(EditorTexts::kSubnetLabelName))) {
        label->setFixedSize(column,
                            std::max(EditorTexts::kCaptionHeight, TextFit::labelHeight(label, column)));
    }
    for (const Indent& indent : indents) {
        indent.spacer->changeSize(column + indent.gap, indent.spacer->sizeHint().height(), QSizePolicy::Fixed,
                                  QSizePolicy::Minimum);
    }
    for (QLayout* layout :
         {ui.horizontalLayout_12, ui.horizontalLayout_30, ui.horizontalLayout_32, ui.horizontalLayout_34}) {
        layout->invalidate();
    }
    // The rows fill their blocks' width in the form: every block, and the window, grows by
    // what the column grew.
    const int grown = column - kCaptionWidth;
    for (const Block& block : blocks) {
        block.widget->setMinimumWidth(block.formWidth + grown);
        block.widget->setMaximumWidth(block.formWidth + grown);
    }
    dialog->setMinimumWidth(dialogWidth + grown);
    if (dialog->width() != dialog->minimumWidth()) {
        dialog->resize(dialog->minimumWidth(), dialog->height());
    }

    int choices = kTypeChoiceWidth;
    for (QRadioButton* choice : {ui.btnStandardTunnel, ui.btnSpecifiedRemoteAddr}) {
        choices = std::max(choices, TextFit::toggleWidth(choice));
    }
    for (QRadioButton* choice : {ui.btnStandardTunnel, ui.btnSpecifiedRemoteAddr}) {
        choice->setFixedWidth(choices);
    }
    TextFit::fixWidth(ui.widget_3, kTypeBoxWidth, choices);
}
