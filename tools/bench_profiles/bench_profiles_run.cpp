// Prints figures of the Profiles page on a store of 10,000 profiles (or the count given as
// the first argument): a page change and a sort, each beside the raw store calls it makes
// (reading the whole PROFILE table, sorting the cached list), and for comparison the
// neighbour-swapping sort the page no longer uses. Run it through bench_profiles, which
// gives it a scratch folder as its working directory and home.
#include <QApplication>
#include <QFile>
#include <QPushButton>
#include <QTranslator>
#include <QTreeWidget>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "AppContext.h"
#include "KorvaResourcePaths.h"
#include "KorvaResources.h"
#include "NetworkAdapters.h"
#include "ProfileWidget.h"
#include "SeedProfiles.h"
#include "SystemContext.h"

namespace {

using Clock = std::chrono::steady_clock;

struct Figures {
    double mean = 0;
    double median = 0;
    double max = 0;
};

// Runs the step `runs` times and gives its times in milliseconds.
Figures measure(int runs, const std::function<void(int)>& step) {
    std::vector<double> times;
    for (int run = 0; run < runs; ++run) {
        const Clock::time_point start = Clock::now();
        step(run);
        times.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
    }
    Figures figures;
    for (double time : times) {
        figures.mean += time / runs;
    }
    std::sort(times.begin(), times.end());
    figures.median = times[times.size() / 2];
    figures.max = times.back();
    return figures;
}

void print(const char* what, const Figures& figures) {
    std::printf("%-46s mean %8.2f ms  median %8.2f ms  max %8.2f ms\n", what, figures.mean, figures.median,
                figures.max);
}

// The order the neighbour-swapping sort gives, for comparison.
void bubbleSortAscending(std::vector<ProfileInfo>& list) {
    for (size_t last = list.size() > 0 ? list.size() - 1 : 0; last >= 1; --last) {
        for (size_t i = 0; i < last; ++i) {
            if (strncmp(list[i].ProfileName, list[i + 1].ProfileName, sizeof(list[i].ProfileName)) > 0) {
                std::swap(list[i], list[i + 1]);
            }
        }
    }
}

} // namespace

int main(int argc, char** argv) {
    const int count = argc > 1 ? atoi(argv[1]) : 10000;
    if (count <= 0) {
        std::fprintf(stderr, "usage: bench_profiles [profile count]\n");
        return 2;
    }
    QApplication application(argc, argv);
    korvaInitResources();
    if (korvaLoadBrandFonts() > 0) {
        QApplication::setFont(QFont(QStringLiteral(KORVA_BRAND_FONT_FAMILY)));
    }
    QTranslator english;
    if (english.load(QStringLiteral(KORVA_TRANSLATION_PREFIX "en"), QStringLiteral(KORVA_TRANSLATION_DIR))) {
        QApplication::installTranslator(&english);
    }
    QFile sheet(QStringLiteral(KORVA_STYLESHEET_NORMAL));
    if (sheet.open(QIODevice::ReadOnly)) {
        application.setStyleSheet(QString::fromUtf8(sheet.readAll()));
    }
    SystemContext::GetSettingManager()->setColorMode(1);

    // An adapter list with a TAP adapter: no adapter script runs.
    SetNetworkAdapterSource([] {
        NetworkAdapter tap;
        tap.name = "tap0";
        tap.description = "TAP-Windows Adapter V9";
        return std::vector<NetworkAdapter>{tap};
    });
    AppContext* app = SystemContext::Instance()->GetAppContext();
    if (app->Start() != 0 ||
        !seedprofiles::SeedProfileRows(std::string(app->GetDataPath()) + "vpn.db", count, 1)) {
        std::fprintf(stderr, "bench_profiles: no store\n");
        return 1;
    }

    ProfileWidget page;
    page.resize(887, 602);
    page.show();
    QApplication::processEvents();
    const int pages = (count + 6) / 7;
    std::mt19937 random(5);
    std::vector<int> pageOrder;
    for (int i = 0; i < 200; ++i) {
        pageOrder.push_back(1 + static_cast<int>(random() % static_cast<unsigned>(pages)));
    }

    const Figures read = measure(50, [app](int) {
        app->ClearProfileList();
        app->GetSqlite()->GetProfileList(*app->GetProfileList());
    });
    const std::vector<ProfileInfo> stored = *app->GetProfileList();
    const Figures ascending = measure(20, [&stored](int) {
        std::vector<ProfileInfo> list = stored;
        IPCSqlite::SortProfilesAscending(list);
    });
    const Figures descending = measure(20, [&stored](int) {
        std::vector<ProfileInfo> list = stored;
        IPCSqlite::SortProfilesDescending(list);
    });
    const Figures copy = measure(20, [&stored](int) {
        std::vector<ProfileInfo> list = stored;
        if (list.size() != stored.size()) {
            std::abort();
        }
    });

    auto changePage = [&page, &pageOrder](int run) {
        QMetaObject::invokeMethod(&page, "slotCurrentPageChanged", Qt::DirectConnection,
                                  Q_ARG(int, pageOrder[static_cast<size_t>(run) % pageOrder.size()]));
    };
    const Figures pageChange = measure(200, changePage);
    const Figures pageChangePainted = measure(100, [&](int run) {
        changePage(run);
        page.repaint();
    });

    const Figures paintOnly = measure(50, [&page](int) { page.repaint(); });
    QPushButton* arrow = page.findChild<QTreeWidget*>(QStringLiteral("profileTreeWidget"))
                             ->findChildren<QPushButton*>(QString(), Qt::FindDirectChildrenOnly)
                             .value(0);
    QMetaObject::invokeMethod(&page, "slotCurrentPageChanged", Qt::DirectConnection, Q_ARG(int, pages / 2));
    const Figures sort = measure(30, [arrow](int) { arrow->click(); });
    const Figures sortPainted = measure(15, [&](int) {
        arrow->click();
        page.repaint();
    });
    const Figures reload = measure(
        30, [&page](int) { QMetaObject::invokeMethod(&page, "slotCurrentPage", Qt::DirectConnection); });

    std::vector<ProfileInfo> bubbled = stored;
    const Clock::time_point bubbleStart = Clock::now();
    bubbleSortAscending(bubbled);
    const double bubbleMs = std::chrono::duration<double, std::milli>(Clock::now() - bubbleStart).count();
    std::vector<ProfileInfo> sorted = stored;
    IPCSqlite::SortProfilesAscending(sorted);
    bool same = sorted.size() == bubbled.size();
    for (size_t i = 0; same && i < sorted.size(); ++i) {
        same = sorted[i].ProfileID == bubbled[i].ProfileID;
    }

    std::printf("profiles in the store: %d (%d pages of 7)\n\n", count, pages);
    std::printf("raw store calls\n");
    print("  GetProfileList, whole table into the cache", read);
    print("  SortProfilesAscending of the cached list", ascending);
    print("  SortProfilesDescending of the cached list", descending);
    print("  (copying the list, part of both sorts above)", copy);
    std::printf("  neighbour-swapping sort, for comparison:     %8.0f ms (same order: %s)\n\n", bubbleMs,
                same ? "yes" : "NO");
    std::printf("the page (one read each, two for a sort and a full reload)\n");
    print("  page change: read and fill", pageChange);
    print("  page change: read, fill and paint", pageChangePainted);
    print("  (painting the page alone, no change)", paintOnly);
    print("  sort (arrow click): read, sort, fill, read", sort);
    print("  sort and paint", sortPainted);
    print("  full reload from page 1 (after a save)", reload);
    std::printf("\naim: a page change within 8 ms\n");

    page.hide();
    app->Stop();
    SetNetworkAdapterSource(nullptr);
    return same ? 0 : 1;
}
