#include "widgets/GdiPlusBitmapResource.h"

#include <QFile>

static void InitResourcesOnce() {
    static const bool s_bDone = [] {
        Q_INIT_RESOURCE(velnor);
        return true;
    }();
    (void)s_bDone;
}

void InitVelnorResources() {
    InitResourcesOnce();
}

bool CGdiPlusBitmapResource::LoadFromResource(int id, const char* type) {
    InitResourcesOnce();
    m_image = QImage();
    const QString path = QStringLiteral(":/%1/%2").arg(QString::fromLatin1(type).toLower()).arg(id);
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return false;
    const QByteArray bytes = file.readAll();
    if (bytes.isEmpty()) return false;
    QImage image;
    if (!image.loadFromData(bytes)) return false;  // the format is read from the bytes
    m_image = image;
    return true;
}
