#include "KorvaResources.h"

#include "KorvaResourcePaths.h"

#include <QFontDatabase>
#include <QString>
#include <QtGlobal>

void korvaInitResources() {
    Q_INIT_RESOURCE(korva);
    Q_INIT_RESOURCE(korva_built);
}

int korvaLoadBrandFonts() {
    static const char* const faces[] = {"HalvexVento_Rg.ttf", "HalvexVento_Bd.ttf", "HalvexVento_It.ttf",
                                        "HalvexVento_BdIt.ttf"};
    int added = 0;
    for (const char* face : faces) {
        if (QFontDatabase::addApplicationFont(QString::fromUtf8(KORVA_FONT_DIR) + QString::fromUtf8(face)) >=
            0)
            ++added;
    }
    return added;
}
