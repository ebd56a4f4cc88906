// The progress of a profile import while its work runs beside the window: a frameless
// dialog in the program's style with a title, what the import is doing, and a bar that
// fills as the profiles are merged. It shows no button and ignores Esc and close: it ends
// when the work has ended (finish()), or with the event loop it runs in when the client
// quits.
#pragma once

#include <QTimer>
#include <atomic>

#include "ZRBaseDialog.h"

class QLabel;
class QProgressBar;

// What the import's worker tells the window; the dialog reads it every so often.
struct ImportProgress {
    enum Stage { Reading, Merging };
    std::atomic<int> stage{Reading};
    std::atomic<int> done{0};
    std::atomic<int> total{0};

    void reset() {
        stage = Reading;
        done = 0;
        total = 0;
    }
};

class ImportProgressDialog : public ZRBaseDialog {
    Q_OBJECT
public:
    explicit ImportProgressDialog(const ImportProgress* progress, QWidget* parent = nullptr);
    ~ImportProgressDialog() override;

public slots:
    // The work has ended: the dialog closes.
    void finish();
    // Esc and close do nothing until the work has ended.
    void reject() override;

protected:
    void showEvent(QShowEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    // Shows the stage and the count the worker reached; nothing changes on screen when
    // neither has moved.
    void follow(bool always);

    const ImportProgress* progress;
    QWidget* titleWidget = nullptr;
    QLabel* labelTitle = nullptr;
    QLabel* labelContent = nullptr;
    QProgressBar* bar = nullptr;
    QTimer poll;
    int shownStage = -1;
    int shownDone = -1;
    int shownTotal = -1;
    bool finished = false;
};
