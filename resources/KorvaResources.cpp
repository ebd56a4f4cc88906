#include "KorvaResources.h"

#include "KorvaResourcePaths.h"

#include <QByteArray>
#include <QFontDatabase>
#include <QResource>
#include <QString>
#include <QtGlobal>

void korvaInitResources() {
    Q_INIT_RESOURCE(korva);
    Q_INIT_RESOURCE(korva_built);
}

int korvaAddResourceFont(const QString& resource) {
    // A face stored uncompressed is handed to the font database where it lies in the
    // program: added by its name, the face would be read into memory once for the
    // database and once more for each font engine made from it.
    const QResource file(resource);
    if (file.isValid() && file.compressionAlgorithm() == QResource::NoCompression && file.size() > 0) {
        return QFontDatabase::addApplicationFontFromData(QByteArray::fromRawData(
            reinterpret_cast<const char*>(file.data()), static_cast<int>(file.size())));
    }
    return QFontDatabase::addApplicationFont(resource);
}

int korvaLoadBrandFonts() {
    static const char* const faces[] = {"HalvexVento_Rg.ttf", "HalvexVento_Bd.ttf", "HalvexVento_It.ttf",
                                        "HalvexVento_BdIt.ttf"};
    int added = 0;
    for (const char* face : faces) {
        if (korvaAddResourceFont(QString::fromUtf8(KORVA_FONT_DIR) + QString::fromUtf8(face)) >= 0)
            ++added;
    }
    return added;
}
