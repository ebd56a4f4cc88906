// The program's one toast: a small frameless window over a widget that shows a short
// text, optionally with an icon, for a given time. Requests made while a toast shows
// wait in a first-in, first-out queue and follow without a gap.
#pragma once

#include <QDialog>
#include <QList>
#include <QPixmap>
#include <QPointer>
#include <QRect>
#include <QString>
#include <QTimer>

class QLabel;

// One queued toast, copied by value into and out of the queue.
struct ZRToastItem {
    QString text;
    QRect anchorRect; // global coordinates, taken when the toast was requested
    int durationMs = 0;
    int toastType = 4;
    QString containerStyle;
    QString textStyle;
    QString iconStyle;
    QString iconPath;
    float verticalRatio = 0.8f;
};

class ZRToastDialog : public QDialog {
    Q_OBJECT
public:
    // Toast types: 0 to 2 preset icons, 3 an icon from a path with the item's own
    // styles, 4 text only.
    enum { TypePreset0 = 0, TypePreset1 = 1, TypePreset2 = 2, TypeCustom = 3, TypeTextOnly = 4 };

    static ZRToastDialog* instance();
    static void setDefaultParent(QWidget* widget);

    void showToast(QWidget* widget, const QString& text, int durationMs);
    void showDefaultToast(const QString& text, int durationMs);
    void showTypedToast(QWidget* widget, const QString& text, int durationMs, int type,
                        const QString& containerStyle, const QString& textStyle, const QString& iconStyle,
                        const QString& iconPath, float ratio);
    void showPresetToast0(QWidget* widget, const QString& text, int durationMs);
    void showPresetToast1(QWidget* widget, const QString& text, int durationMs);
    void showPresetToast2(QWidget* widget, const QString& text, int durationMs);
    void showCustomToast(QWidget* widget, const QString& text, const QString& containerStyle,
                         const QString& textStyle, const QString& iconStyle, const QString& iconPath,
                         float ratio, int durationMs);
    void showToastEx(QWidget* widget, const QString& text, int durationMs, int type,
                     const QString& containerStyle, const QString& textStyle, const QString& iconStyle,
                     const QString& iconPath, float ratio);

    // Stores the styles used by every toast but type 3; empty styles keep the stored ones.
    void setToastStyles(const QString& containerStyle, const QString& textStyle, const QString& iconPath0,
                        const QString& iconPath1, const QString& iconPath2);

protected:
    explicit ZRToastDialog(QWidget* parent = nullptr);
    ~ZRToastDialog() override;

    bool event(QEvent* event) override;

    QRect anchorRectOf(QWidget* widget) const;
    void setVerticalRatio(float ratio);
    void setToastIcon(int type, const QString& iconPath);
    void applyToastStyles(int type, const QString& containerStyle, const QString& textStyle,
                          const QString& iconStyle);
    void setToastText(const QString& text, const QRect& anchor);
    // Places the toast over its anchor, clamped into the default parent's screen.
    void placeOverAnchor();

    QWidget* containerWidget;
    QLabel* textLabel;
    QLabel* iconLabel;
    QPixmap presetIcons[4];
    QTimer timer;
    QList<ZRToastItem> queue;
    QRect anchorRect;
    float verticalRatio = 0.8f;
    QString containerStyle;
    QString textStyle;
    QString iconStyle;

private slots:
    void slotTimeOut();

private:
    static QPointer<QWidget> defaultParent;
};
