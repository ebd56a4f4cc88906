// The editor's window tests: an editor whose kind saves a test stands in for, and helpers
// that drive its widgets as a person does (type, click, pick from the kind selector).
#pragma once

#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollArea>
#include <QTest>
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "FieldRules.h"
#include "GuiTest.h"
#include "ProfileConfigDialog.h"
#include "RemoteSubnetRows.h"
#include "ZRInputIpLineEdit.h"
#include "zrwlog.h"

namespace editortest {

// The editor with its form and state open to the tests, and the marks and rows as its
// pages reach them.
class OpenEditor : public ProfileConfigDialog {
public:
    OpenEditor(bool edit, const QString& name, int profileID, int configID, int kind, QWidget* parent)
        : ProfileConfigDialog(parent, edit, name, profileID, configID, kind) {}

    Ui::ProfileConfigDialog& form() { return ui; }
    bool needPassword() const { return m_bNeedPwd; }
    void setNeedPassword(bool on) { m_bNeedPwd = on; }
    bool fileImported() const { return m_bFileImported; }
    QString configFilePath() const { return m_ovpnFilePath; }
    QString subnetText() const { return remoteSubnetText; }

    using ProfileConfigDialog::addRemoteSubnetRow;
    using ProfileConfigDialog::checkNameUniqueness;
    using ProfileConfigDialog::fitToScreenHeight;
    using ProfileConfigDialog::profileFilePath;
    using ProfileConfigDialog::resetAllFields;

    static void markLineEdit(QLineEdit* field) { FieldRules::markLineEdit(field); }
    static void markAddress(ZRInputIpLineEdit* field) { FieldRules::markAddress(field); }
    static void markFrame(QWidget* frame) { FieldRules::markFrame(frame); }
    static void showWarning(QLabel* label, QLineEdit* field, const char* key) {
        FieldRules::showWarning(label, field, key);
    }
    static QList<ZRInputIpLineEdit*> rowAddresses(QWidget* rows) { return RemoteSubnetRows::addresses(rows); }
    static QList<QLineEdit*> rowMasks(QWidget* rows) { return RemoteSubnetRows::masks(rows); }
    static QList<QLabel*> rowLabels(QWidget* rows) { return RemoteSubnetRows::labels(rows); }
};

// The editor with its four saves replaced: each records its kind, writes a marker into the
// log and answers what the test set.
class TestEditor : public OpenEditor {
public:
    explicit TestEditor(bool edit = false, const QString& name = QString(), int profileID = 0,
                        int configID = 0, int kind = 0, QWidget* parent = nullptr)
        : OpenEditor(edit, name, profileID, configID, kind, parent) {}

    void setImportedFile(const QString& path) {
        m_bFileImported = true;
        m_ovpnFilePath = path;
    }
    QPushButton* clearFileButton() const { return m_btnClearFile; }
    QDialog* backdrop() const { return m_shadowDialog; }

    const QRegExp& ipRule() const { return m_ipRegExp; }
    const QRegExp& portRule() const { return m_portRegExp; }
    const QRegExp& maskRule() const { return m_maskRegExp; }
    const QRegExp& userRule() const { return m_userRegExp; }
    const QRegExp& passwordRule() const { return m_pwdRegExp; }

    // What the next save answers, and the kinds whose save ran.
    bool saveResult = false;
    std::vector<int> savedKinds;

protected:
    bool saveIPSecTunnel() override { return stand(1); }
    bool saveSSLVPN() override { return stand(2); }
    bool saveOpenVPN() override { return stand(3); }
    bool saveWireGuardVPN() override { return stand(4); }

private:
    bool stand(int kind) {
        savedKinds.push_back(kind);
        ZRWLog(6, 3, "Test :: save of kind %d\n", kind);
        return saveResult;
    }
};

// Clicks a button, then lets the event loop run as it does between two actions of a person
// (rows added to a shown page appear, deleted rows go). A radio button is clicked on its indicator, at its
// left: a wide one takes no click in the empty space right of its text.
inline void click(QAbstractButton* button) {
    const bool radio = button->inherits("QRadioButton");
    QTest::mouseClick(button, Qt::LeftButton, Qt::NoModifier,
                      radio ? QPoint(qMin(8, button->width() / 2), button->height() / 2) : QPoint());
    QApplication::processEvents();
}

// Picks an entry of the kind selector with the keyboard, one step at a time, as a person
// does; each step that lands on another entry is a pick.
inline void chooseKind(QComboBox* combo, int index) {
    while (combo->currentIndex() < index) {
        QTest::keyClick(combo, Qt::Key_Down);
    }
    while (combo->currentIndex() > index) {
        QTest::keyClick(combo, Qt::Key_Up);
    }
}

// Types a text key by key; a character beyond ASCII comes as the text of a key press, as
// a keyboard layout or an input method delivers it.
inline void typeText(QWidget* field, const QString& text) {
    for (const QChar c : text) {
        if (c.unicode() < 0x80) {
            QTest::keyClick(field, c.toLatin1());
        } else {
            QTest::sendKeyEvent(QTest::Click, field, Qt::Key_unknown, QString(c), Qt::NoModifier);
        }
    }
}

// Empties a line edit and types the text into it, key by key (its validator judges each key).
inline void typeInto(QLineEdit* field, const QString& text) {
    field->selectAll();
    QTest::keyClick(field, Qt::Key_Backspace);
    typeText(field, text);
}

// Types a dotted address into the four octets of an address editor.
inline void typeAddress(ZRInputIpLineEdit* editor, const QString& address) {
    const QStringList parts = address.split(QLatin1Char('.'));
    const QList<QLineEdit*> octets = editor->findChildren<QLineEdit*>();
    for (int i = 0; i < octets.size() && i < parts.size(); ++i) {
        octets.at(i)->clear();
        QTest::keyClicks(octets.at(i), parts.at(i));
    }
}

// Every test of the editor starts from a dialog in a known colour mode, and reads what it
// wrote to the log.
class EditorTest : public ::testing::Test {
protected:
    void SetUp() override { guitest::applyColorMode(1); }

    // The log lines this test wrote.
    std::string log() const { return mark.added().toStdString(); }

    guitest::LogMark mark;
};

} // namespace editortest
