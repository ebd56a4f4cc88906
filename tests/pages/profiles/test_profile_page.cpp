// The Profiles page's list: filling and paging, the sort by name, the connected mark, a
// language change and a store that cannot be read.
#include <QApplication>
#include <QHeaderView>
#include <QTest>
#include <algorithm>
#include <sqlite3.h>

#include "AppContext.h"
#include "GuiTest.h"
#include "ProfilesTest.h"
#include "StoreStatements.h"
#include "ZRStringConstant.h"

using namespace profilestest;

namespace {

// The names of seedNumbered(count) on a page, newest first as the store lists them.
QStringList expectedPage(int count, int page, const char* prefix = "Profile") {
    QStringList names;
    for (int i = count - 7 * (page - 1); i > std::max(0, count - 7 * page); --i) {
        names << QString::fromLatin1(prefix) + (i < 10 ? QStringLiteral("_0") : QStringLiteral("_")) +
                     QString::number(i);
    }
    return names;
}

} // namespace

class ProfilePageTest : public ProfilesTest {};

TEST_F(ProfilePageTest, FillsTheFirstPageAndSetsUpThePager) {
    struct Case {
        int profiles;
        int rows;
        bool pagerShown;
        QString records;
        QList<int> middleButtons; // numbered buttons between the first and the last page
        int lastPage;
    };
    const Case cases[] = {
        {1, 1, false, QStringLiteral("Showing 01-01 of 1 records"), {}, 1},
        {7, 7, false, QStringLiteral("Showing 01-07 of 7 records"), {}, 1},
        {8, 7, true, QStringLiteral("Showing 01-07 of 8 records"), {}, 2},
        {15, 7, true, QStringLiteral("Showing 01-07 of 15 records"), {2}, 3},
        {50, 7, true, QStringLiteral("Showing 01-07 of 50 records"), {2, 3, 4, 5, 6}, 8},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.profiles);
        exec("DELETE FROM PROFILE");
        seedNumbered(c.profiles);
        auto page = makePage();
        EXPECT_EQ(rowNames(*page), expectedPage(c.profiles, 1));
        EXPECT_EQ(tree(*page)->visualItemRect(tree(*page)->topLevelItem(0)).height(), 52);
        EXPECT_EQ(pageWidget(*page)->isVisible(), c.pagerShown);
        EXPECT_TRUE(button(*page, "btnExport")->isEnabled());
        EXPECT_EQ(recordsLabel(*page), c.records);
        EXPECT_EQ(pager(*page)->visiblePageNumbers(), c.middleButtons);
        EXPECT_EQ(pagerCurrentPage(*page), 1);
        if (c.lastPage > 1) {
            EXPECT_NE(pagerButton(*page, c.lastPage), nullptr);
        }
        // Every row carries its profile's data; the kind label shows in column 2.
        QTreeWidgetItem* first = tree(*page)->topLevelItem(0);
        EXPECT_EQ(first->type(), 0);
        EXPECT_GT(first->data(1, 101).toInt(), 0);
        EXPECT_EQ(first->data(1, 100).toInt(), configIdOf(first->data(1, 101).toInt()));
        EXPECT_FALSE(first->data(1, 103).toBool());
        EXPECT_FALSE(first->data(3, 103).toBool());
    }
}

TEST_F(ProfilePageTest, AnEmptyStoreShowsThePlaceholderRow) {
    auto page = makePage();
    QTreeWidget* list = tree(*page);
    ASSERT_EQ(list->topLevelItemCount(), 1);
    for (int column = 0; column < 4; ++column) {
        EXPECT_EQ(list->topLevelItem(0)->data(column, 101).toInt(), -1);
    }
    EXPECT_EQ(list->visualItemRect(list->topLevelItem(0)).height(), 364);
    EXPECT_FALSE(button(*page, "btnExport")->isEnabled());
    EXPECT_FALSE(pageWidget(*page)->isVisible());

    // Either arrow on an empty store still shows the placeholder.
    QTest::mouseClick(sortArrow(*page, true), Qt::LeftButton);
    ASSERT_EQ(list->topLevelItemCount(), 1);
    EXPECT_EQ(list->topLevelItem(0)->data(2, 101).toInt(), -1);
}

TEST_F(ProfilePageTest, KindLabelsFollowTheProfileType) {
    seed({{"ipsec", 1}, {"ssl", 2}, {"openvpn", 3}, {"wireguard", 4}, {"odd", 9}});
    auto page = makePage();
    QStringList labels;
    for (int i = 0; i < 5; ++i) {
        labels << tree(*page)->topLevelItem(i)->text(2);
    }
    EXPECT_EQ(labels, (QStringList{QString(), QStringLiteral("Wireguard VPN"), QStringLiteral("Openvpn"),
                                   QStringLiteral("SSL VPN"), QStringLiteral("IPsec VPN")}));
}

TEST_F(ProfilePageTest, PagerButtonsShowTheirPage) {
    seedNumbered(15);
    auto page = makePage();
    clickPagerPage(*page, 3);
    EXPECT_EQ(rowNames(*page), expectedPage(15, 3));
    EXPECT_EQ(recordsLabel(*page), QStringLiteral("Showing 15-15 of 15 records"));
    clickPagerPage(*page, 2);
    EXPECT_EQ(rowNames(*page), expectedPage(15, 2));
    EXPECT_EQ(recordsLabel(*page), QStringLiteral("Showing 08-14 of 15 records"));
    // A page change reads the store again: a profile added meanwhile shows.
    seed({{"Newest", 4}});
    clickPagerPage(*page, 1);
    EXPECT_EQ(rowNames(*page).value(0), QStringLiteral("Newest"));
}

TEST_F(ProfilePageTest, ArrowsSortByNameBothWaysAcrossPages) {
    // Names in no order, with capitals before small letters in byte order.
    const char* names[] = {"mango", "Apple", "kiwi",  "Banana", "date",   "cherry",  "Fig",
                           "grape", "lemon", "Lime",  "olive",  "Peach",  "pear",    "quince",
                           "Plum",  "fig",   "melon", "apple",  "Nectar", "Zucchini"};
    std::vector<Seed> profiles;
    for (const char* name : names) {
        profiles.push_back({name, 3});
    }
    seed(profiles);
    QStringList database;
    for (int i = 19; i >= 0; --i) {
        database << QString::fromLatin1(names[i]);
    }
    QStringList ascending = database;
    std::sort(ascending.begin(), ascending.end(),
              [](const QString& a, const QString& b) { return a.toUtf8() < b.toUtf8(); });
    QStringList descending = ascending;
    std::reverse(descending.begin(), descending.end());

    auto page = makePage();
    clickPagerPage(*page, 2);
    ASSERT_EQ(rowNames(*page), database.mid(7, 7));

    QTest::mouseClick(sortArrow(*page, true), Qt::LeftButton);
    EXPECT_EQ(rowNames(*page), descending.mid(7, 7));
    EXPECT_EQ(pagerCurrentPage(*page), 2);
    EXPECT_TRUE(sortArrow(*page, true)->styleSheet().contains(QLatin1String("sortUpHover.png")));
    EXPECT_TRUE(sortArrow(*page, false)->styleSheet().contains(QLatin1String("sortDown.png")));

    QTest::mouseClick(sortArrow(*page, false), Qt::LeftButton);
    EXPECT_EQ(rowNames(*page), ascending.mid(7, 7));
    EXPECT_TRUE(sortArrow(*page, true)->styleSheet().contains(QLatin1String("sortUp.png")));
    EXPECT_TRUE(sortArrow(*page, false)->styleSheet().contains(QLatin1String("sortDownHover.png")));

    // Another page lists database order again; the arrows keep the sort state.
    clickPagerPage(*page, 3);
    EXPECT_EQ(rowNames(*page), database.mid(14, 7));
    EXPECT_TRUE(sortArrow(*page, false)->styleSheet().contains(QLatin1String("sortDownHover.png")));

    QTest::mouseClick(sortArrow(*page, true), Qt::LeftButton);
    EXPECT_EQ(rowNames(*page), database.mid(14, 7));
    EXPECT_TRUE(sortArrow(*page, true)->styleSheet().contains(QLatin1String("sortUp.png")));
    EXPECT_EQ(recordsLabel(*page), QStringLiteral("Showing 15-20 of 20 records"));
}

TEST_F(ProfilePageTest, SortKeepsEqualNamesInDatabaseOrderAndComparesBytes) {
    seed({{"b", 1}, {"abc", 2}, {"ABD", 3}});
    auto page = makePage();
    QTest::mouseClick(sortArrow(*page, true), Qt::LeftButton);
    EXPECT_EQ(rowNames(*page), (QStringList{"b", "abc", "ABD"}));
    QTest::mouseClick(sortArrow(*page, true), Qt::LeftButton);
    EXPECT_EQ(rowNames(*page), (QStringList{"ABD", "abc", "b"}));
    QTest::mouseClick(sortArrow(*page, true), Qt::LeftButton);
    EXPECT_EQ(rowNames(*page), (QStringList{"ABD", "abc", "b"})); // database order, newest first
}

TEST_F(ProfilePageTest, StoreSortsAreStableAndMatchNeighbourSwapping) {
    // Names that tie, names with bytes above 0x7F, and an empty name.
    const char* names[] = {"beta", "Äpfel", "alpha", "beta", "", "Zeta", "alpha", "éclair", "beta", "Alpha"};
    std::vector<ProfileInfo> list;
    for (int i = 0; i < 10; ++i) {
        ProfileInfo profile;
        profile.ProfileID = 100 - i;
        strcpy(profile.ProfileName, names[i]);
        list.push_back(profile);
    }
    // The order of swapping neighbours only when strictly out of order.
    auto reference = [](std::vector<ProfileInfo> items, bool ascending) {
        for (size_t last = items.size() - 1; last >= 1; --last) {
            for (size_t i = 0; i < last; ++i) {
                const int order = strcmp(items[i].ProfileName, items[i + 1].ProfileName);
                if (ascending ? order > 0 : order < 0) {
                    std::swap(items[i], items[i + 1]);
                }
            }
        }
        return items;
    };
    auto ids = [](const std::vector<ProfileInfo>& items) {
        std::vector<int> out;
        for (const ProfileInfo& item : items) {
            out.push_back(item.ProfileID);
        }
        return out;
    };
    std::vector<ProfileInfo> ascending = list;
    IPCSqlite::SortProfilesAscending(ascending);
    EXPECT_EQ(ids(ascending), ids(reference(list, true)));
    std::vector<ProfileInfo> descending = list;
    IPCSqlite::SortProfilesDescending(descending);
    EXPECT_EQ(ids(descending), ids(reference(list, false)));
    std::vector<ProfileInfo> empty;
    EXPECT_EQ(IPCSqlite::SortProfilesAscending(empty), 0);
}

TEST_F(ProfilePageTest, MarksTheConnectedProfileOnItsPage) {
    const std::vector<int> ids = seedNumbered(10); // ids[0] is the oldest: page 2
    auto page = makePage();
    setConnection(CONNECT_STATUS_CONNECTING, ids[0]);
    page->updateConnectStatus(CONNECT_STATUS_CONNECTING);
    for (int i = 0; i < tree(*page)->topLevelItemCount(); ++i) {
        EXPECT_FALSE(tree(*page)->topLevelItem(i)->data(1, 103).toBool());
    }
    clickPagerPage(*page, 2);
    QTreeWidgetItem* marked = tree(*page)->topLevelItem(2);
    EXPECT_EQ(marked->data(1, 101).toInt(), ids[0]);
    EXPECT_TRUE(marked->data(1, 103).toBool());
    EXPECT_TRUE(marked->data(3, 103).toBool());
    EXPECT_FALSE(tree(*page)->topLevelItem(1)->data(1, 103).toBool());

    for (int status : {CONNECT_STATUS_DISCONNECTED, CONNECT_STATUS_NOT_CONNECTED}) {
        setConnection(status, ids[0]);
        page->updateConnectStatus(status);
        EXPECT_FALSE(marked->data(1, 103).toBool());
        EXPECT_FALSE(marked->data(3, 103).toBool());
    }
    setConnection(CONNECT_STATUS_CONNECTED, ids[0]);
    page->updateConnectStatus(CONNECT_STATUS_CONNECTED);
    EXPECT_TRUE(marked->data(3, 103).toBool());
}

TEST_F(ProfilePageTest, LanguageChangeTranslatesTitlesButtonsPagerAndKindLabels) {
    seedNumbered(6);
    seed({{"ipsec", 1}, {"ssl", 2}, {"openvpn", 3}, {"wireguard", 4}});
    auto page = makePage();
    const QPoint arrowBefore = sortArrow(*page, true)->pos();
    ASSERT_TRUE(switchLanguage("de"));
    QTreeWidget* list = tree(*page);
    EXPECT_EQ(button(*page, "btnAddProfile")->text(), QApplication::translate("ProfileWidget", "Add"));
    EXPECT_NE(button(*page, "btnAddProfile")->text(), QStringLiteral("Add"));
    EXPECT_EQ(list->headerItem()->text(1), ZRStringConstant::tr("ZRVPN_PROFILE_NAME"));
    EXPECT_NE(list->headerItem()->text(1), QStringLiteral("PROFILE NAME"));
    EXPECT_EQ(list->topLevelItem(3)->text(2), ZRStringConstant::tr("ZRVPN_IPSEC_VPN"));
    EXPECT_EQ(list->topLevelItem(0)->text(2), ZRStringConstant::tr("ZRVPN_WIREGUARD_VPN"));
    EXPECT_EQ(recordsLabel(*page),
              ZRStringConstant::tr("ZRVPN_PROFILE_SHOWING_RECORDS").arg("01", "07", "10"));
    EXPECT_NE(recordsLabel(*page), QStringLiteral("Showing 01-07 of 10 records"));
    // The arrows stay beside the (re-measured) name title, as when the page is shown.
    EXPECT_EQ(sortArrow(*page, true)->y(), arrowBefore.y());
    EXPECT_GT(sortArrow(*page, true)->x(), 10);
    ASSERT_TRUE(switchLanguage("en"));
    EXPECT_EQ(list->topLevelItem(3)->text(2), QStringLiteral("IPsec VPN"));
    EXPECT_EQ(sortArrow(*page, true)->pos(), arrowBefore);
    EXPECT_EQ(recordsLabel(*page), QStringLiteral("Showing 01-07 of 10 records"));
}

TEST_F(ProfilePageTest, ColumnWidthsAndArrowPlaces) {
    seedNumbered(3);
    auto page = makePage();
    QTreeWidget* list = tree(*page);
    const int shared = (list->width() - 160) / 2;
    EXPECT_EQ(list->columnWidth(0), 10);
    EXPECT_EQ(list->columnWidth(1), shared);
    EXPECT_EQ(list->columnWidth(2), shared);
    EXPECT_EQ(list->columnWidth(3), 150);
    EXPECT_EQ(list->height(), 417);
    QFont font(QStringLiteral("Halvex Vento"));
    font.setPixelSize(12); // 9 points on a 96-dpi screen
    font.setWeight(QFont::Medium);
    const int titleWidth =
        QFontMetrics(font).boundingRect(QRect(), Qt::AlignLeft, QStringLiteral("PROFILE NAME")).width();
    EXPECT_EQ(sortArrow(*page, true)->geometry(), QRect(10 + titleWidth + 45, 19, 8, 8));
    EXPECT_EQ(sortArrow(*page, false)->geometry(), QRect(10 + titleWidth + 45, 25, 8, 8));
    EXPECT_EQ(list->header()->sectionResizeMode(1), QHeaderView::Fixed);
}

TEST_F(ProfilePageTest, AStoreThatCannotBeReadLeavesTheListEmptyAndLogs) {
    seedNumbered(9);
    auto page = makePage();
    ASSERT_TRUE(pageWidget(*page)->isVisible());
    const QString recordsBefore = recordsLabel(*page);
    exec("DROP TABLE PROFILE");
    const guitest::LogMark mark;
    clickPagerPage(*page, 2);
    EXPECT_EQ(tree(*page)->topLevelItemCount(), 0);
    EXPECT_TRUE(pageWidget(*page)->isVisible());
    EXPECT_TRUE(button(*page, "btnExport")->isEnabled());
    EXPECT_EQ(page->updatePageCount(1), -1);
    EXPECT_TRUE(mark.added().contains(
        QStringLiteral("WireGuard :: Faile SELECT * FROM PROFILE ORDER BY ProfileID DESC = -1 \n")));
    exec(StoreSql::kCreateProfileTable);
}
