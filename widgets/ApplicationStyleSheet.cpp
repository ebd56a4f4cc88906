#include "ApplicationStyleSheet.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QEvent>
#include <QFile>
#include <QPointer>
#include <QWidget>

QString ReadStyleSheet(const char* resource) {
    QFile file(QString::fromUtf8(resource));
    if (!file.open(QIODevice::ReadOnly)) {
        return QString();
    }
    return QString::fromUtf8(file.readAll());
}

void SetApplicationStyleSheet(QApplication* app, const QString& sheet) {
    if (app->styleSheet() != sheet || sheet.isEmpty()) {
        app->setStyleSheet(sheet);
        return;
    }
    // A widget's handler may delete others (a dialog that closes itself): each is looked up
    // again before its event.
    QList<QPointer<QWidget>> widgets;
    for (QWidget* widget : QApplication::allWidgets()) {
        widgets.append(widget);
    }
    for (const QPointer<QWidget>& widget : widgets) {
        if (widget != nullptr && widget->windowType() != Qt::Desktop) {
            QEvent change(QEvent::StyleChange);
            QCoreApplication::sendEvent(widget, &change);
        }
    }
}

void SetWidgetStyleSheet(QWidget* widget, const QString& sheet) {
    if (widget->styleSheet() != sheet) {
        widget->setStyleSheet(sheet);
    }
}

void StyleDropDownList(QComboBox* combo) {
    // An empty sheet of its own: the rules are the application's.
    combo->view()->window()->setStyleSheet(QStringLiteral("/**/"));
}
