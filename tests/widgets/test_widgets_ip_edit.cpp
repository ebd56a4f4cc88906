// The IPv4 address editor: the keyboard table, the address operations, paste and the
// focus border.
#include <QApplication>
#include <QClipboard>
#include <QInputMethodEvent>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTest>
#include <QVBoxLayout>
#include <gtest/gtest.h>

#include "GuiTest.h"
#include "ZRInputIpLineEdit.h"

namespace {

class IpEdit : public ZRInputIpLineEdit {
public:
    QLineEdit* octet(int i) const { return octetEdits[i]; }
    QStringList octets() const {
        QStringList texts;
        for (QLineEdit* edit : octetEdits) {
            texts.append(edit->text());
        }
        return texts;
    }
    int focused() const { return octetIndex(QApplication::focusWidget()); }
};

class IpEditTest : public ::testing::Test {
protected:
    void SetUp() override {
        auto* layout = new QVBoxLayout(&window);
        field = new IpEdit;
        other = new QLineEdit;
        layout->addWidget(field);
        layout->addWidget(other);
        ASSERT_TRUE(guitest::showAndExpose(&window));
        QApplication::setActiveWindow(&window);
        ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    }
    void start(const QStringList& octets, int focus, int cursor) {
        for (int i = 0; i < 4; ++i) {
            field->octet(i)->setText(octets.at(i));
        }
        field->octet(focus)->setFocus();
        field->octet(focus)->setCursorPosition(cursor < 0 ? octets.at(focus).size() : cursor);
    }
    // Each key goes to whichever widget has the focus at that moment, as typing does.
    void type(const QList<int>& keys) {
        for (int key : keys) {
            const QString text = key == Qt::Key_Period                  ? "."
                                 : key >= Qt::Key_0 && key <= Qt::Key_9 ? QString(QChar(key))
                                                                        : QString();
            QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, text);
            QApplication::sendEvent(QApplication::focusWidget(), &press);
            QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier, text);
            QApplication::sendEvent(QApplication::focusWidget(), &release);
        }
    }

    QWidget window;
    IpEdit* field = nullptr;
    QLineEdit* other = nullptr;
};

struct KeyCase {
    const char* what;
    QStringList before;
    int focus;
    int cursor; // -1: at the end
    QList<int> keys;
    QStringList after;
    int focusAfter;
    int cursorAfter; // -1: at the end
    const char* selectedAfter;
};

TEST_F(IpEditTest, KeyboardMovesBetweenOctetsAsInAnAddressField) {
    const QStringList empty{"", "", "", ""};
    const KeyCase cases[] = {
        {"three digits move on",
         empty,
         0,
         0,
         {Qt::Key_1, Qt::Key_9, Qt::Key_2},
         {"192", "", "", ""},
         1,
         0,
         ""},
        {"a digit past 255 is lost and the next octet selected",
         {"", "7", "", ""},
         0,
         0,
         {Qt::Key_2, Qt::Key_6, Qt::Key_5},
         {"26", "7", "", ""},
         1,
         -1,
         "7"},
        {"a fourth digit in a full octet is lost",
         {"", "", "123", "4"},
         2,
         -1,
         {Qt::Key_5},
         {"", "", "123", "4"},
         3,
         -1,
         "4"},
        {"the last octet keeps the focus",
         {"1", "1", "1", "26"},
         3,
         -1,
         {Qt::Key_5},
         {"1", "1", "1", "26"},
         3,
         -1,
         ""},
        {"dot after digits moves on",
         empty,
         0,
         0,
         {Qt::Key_1, Qt::Key_0, Qt::Key_Period},
         {"10", "", "", ""},
         1,
         0,
         ""},
        {"dot in an empty octet stays", empty, 0, 0, {Qt::Key_Period}, empty, 0, 0, ""},
        {"dot inside the digits stays",
         {"12", "", "", ""},
         0,
         1,
         {Qt::Key_Period},
         {"12", "", "", ""},
         0,
         1,
         ""},
        {"backspace at the start moves back without deleting",
         {"1", "23", "4", ""},
         2,
         0,
         {Qt::Key_Backspace},
         {"1", "23", "4", ""},
         1,
         -1,
         ""},
        {"a second backspace deletes there",
         {"1", "23", "4", ""},
         2,
         0,
         {Qt::Key_Backspace, Qt::Key_Backspace},
         {"1", "2", "4", ""},
         1,
         -1,
         ""},
        {"backspace in an empty octet moves back",
         {"9", "", "", ""},
         1,
         0,
         {Qt::Key_Backspace},
         {"9", "", "", ""},
         0,
         -1,
         ""},
        {"backspace in the first octet stays",
         {"9", "", "", ""},
         0,
         0,
         {Qt::Key_Backspace},
         {"9", "", "", ""},
         0,
         0,
         ""},
        {"left at the start moves to the end of the previous",
         {"12", "34", "", ""},
         1,
         0,
         {Qt::Key_Left},
         {"12", "34", "", ""},
         0,
         -1,
         ""},
        {"left inside stays", {"12", "34", "", ""}, 1, 1, {Qt::Key_Left}, {"12", "34", "", ""}, 1, 0, ""},
        {"right at the end moves to the start of the next",
         {"12", "34", "", ""},
         0,
         -1,
         {Qt::Key_Right},
         {"12", "34", "", ""},
         1,
         0,
         ""},
        {"right in the last octet stays",
         {"1", "2", "3", "4"},
         3,
         -1,
         {Qt::Key_Right},
         {"1", "2", "3", "4"},
         3,
         -1,
         ""},
        {"a zero between two digits", {"25", "", "", ""}, 0, 1, {Qt::Key_0}, {"205", "", "", ""}, 1, 0, ""},
        {"a zero after two digits", {"25", "", "", ""}, 0, -1, {Qt::Key_0}, {"250", "", "", ""}, 1, 0, ""},
        {"no leading zero in front of two digits",
         {"25", "", "", ""},
         0,
         0,
         {Qt::Key_0},
         {"25", "", "", ""},
         0,
         0,
         ""},
        {"no digit after a lone zero", empty, 0, 0, {Qt::Key_0, Qt::Key_5}, {"0", "", "", ""}, 0, -1, ""},
    };
    for (const KeyCase& c : cases) {
        start(c.before, c.focus, c.cursor);
        type(c.keys);
        EXPECT_EQ(field->octets(), c.after) << c.what;
        ASSERT_EQ(field->focused(), c.focusAfter) << c.what;
        QLineEdit* now = field->octet(c.focusAfter);
        EXPECT_EQ(now->cursorPosition(), c.cursorAfter < 0 ? now->text().size() : c.cursorAfter) << c.what;
        EXPECT_EQ(now->selectedText(), c.selectedAfter) << c.what;
    }
}

TEST_F(IpEditTest, AnIdeographicFullStopActsAsADot) {
    start({"10", "", "", ""}, 0, -1);
    QInputMethodEvent commit;
    commit.setCommitString(QString(QChar(0x3002)));
    QApplication::sendEvent(field->octet(0), &commit);
    EXPECT_EQ(field->focused(), 1);
}

TEST_F(IpEditTest, AddressIsReadWrittenAndClearedThroughTheOctets) {
    QSignalSpy changed(field, &ZRInputIpLineEdit::lineEidtTextChanged);
    EXPECT_EQ(field->ipAddress(), "");
    field->setIpAddress("192.168.001.010");
    EXPECT_EQ(field->octets(), QStringList({"192", "168", "001", "010"}));
    EXPECT_EQ(field->ipAddress(), "192.168.001.010");
    EXPECT_EQ(changed.count(), 4);

    field->octet(2)->clear();
    EXPECT_EQ(field->ipAddress(), "192.168..010");
    field->clearIpAddress();
    EXPECT_EQ(field->ipAddress(), "");

    for (const char* invalid : {"256.1.1.1", "10.0.0", "", "1.2.3.4.5", "a.b.c.d"}) {
        field->setIpAddress("10.1.2.3");
        changed.clear();
        guitest::closeNextModal();
        field->setIpAddress(invalid);
        EXPECT_EQ(field->ipAddress(), "10.1.2.3") << invalid;
        EXPECT_EQ(changed.count(), 0) << invalid;
    }
}

TEST_F(IpEditTest, PastesOnlyAWholeValidAddress) {
    struct Case {
        const char* clip;
        QStringList before;
        QStringList after;
    };
    const Case cases[] = {
        {"10.0.0.1", {"", "", "", ""}, {"10", "0", "0", "1"}},
        {"192.168.100.254", {"7", "", "", ""}, {"192", "168", "100", "254"}},
        {"10.0.0", {"", "", "", ""}, {"", "", "", ""}},
    };
    for (const Case& c : cases) {
        QApplication::clipboard()->setText(c.clip);
        start(c.before, 0, -1);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_V, Qt::ControlModifier);
        EXPECT_EQ(field->octets(), c.after) << c.clip;
    }
}

TEST_F(IpEditTest, ShowsTheBorderWhileAnOctetHasTheFocus) {
    field->octet(0)->setFocus();
    EXPECT_EQ(field->styleSheet(), "ZRInputIpLineEdit{border:1px solid #04B0FF}");
    field->octet(2)->setFocus();
    EXPECT_EQ(field->styleSheet(), "ZRInputIpLineEdit{border:1px solid #04B0FF}");
    other->setFocus();
    EXPECT_EQ(field->styleSheet(), "ZRInputIpLineEdit{border:none}");
    EXPECT_TRUE(field->isReadOnly());
    EXPECT_EQ(field->octet(0)->maxLength(), 3);
}

} // namespace
