// The editor's texts whole in every language: the captions of the rows form one column
// that is as wide as its longest word needs (the form's 140 pixels the least), each caption
// as high as its wrapped lines need, the warnings and the Generate button stay under the
// inputs, the blocks that hold the rows and the window grow by what the column grew, and
// the IPsec page's two Type choices are as wide as their texts.
#pragma once

#include <QList>

#include <vector>

class QLabel;
class QSpacerItem;
class QWidget;

namespace Ui {
class ProfileConfigDialog;
}

class EditorTextFit {
public:
    // Takes the form's sizes of the captions, the blocks and the window (`dialog`) as they
    // stand right after the form was built.
    EditorTextFit(Ui::ProfileConfigDialog& ui, QWidget* dialog);

    // Fits every caption, spacer and Type choice to the texts of the language in force.
    void fit();

private:
    struct Caption {
        QLabel* label;
        int formHeight;
        bool fixedHeight;
    };
    struct Indent {
        QSpacerItem* spacer;
        int gap; // the spacer's width less the caption column's
    };
    struct Block {
        QWidget* widget;
        int formWidth;
    };

    Ui::ProfileConfigDialog& ui;
    QWidget* dialog;
    int dialogWidth;
    std::vector<Caption> captions;
    std::vector<Indent> indents;
    std::vector<Block> blocks;
};
