// make-pictures: draws every picture of the program into the given res/ folder.
#include <QDir>
#include <QGuiApplication>
#include <cstdio>

#include "Faces.h"

namespace {

// About 300 dots per inch: the faces are drawn large and shown at their
// physical size, so they stay sharp on dense screens.
constexpr int kDotsPerMetre = 11800;

struct FaceSpec {
    int id;
    int width;
    int height;
    pictures::Glyph glyph;
    bool hot;
    const char* caption;
};

const FaceSpec kFaces[] = {
    {149, 229, 91, pictures::Glyph::LeftArrow, true, "Download"},
    {150, 229, 91, pictures::Glyph::LeftArrow, false, "Download"},
    {151, 315, 100, pictures::Glyph::Chain, true, "Connect"},
    {152, 315, 100, pictures::Glyph::Chain, false, "Connect"},
    {153, 315, 100, pictures::Glyph::CircleArrows, true, "Refresh"},
    {154, 208, 100, pictures::Glyph::Info, false, "About"},
    {155, 208, 100, pictures::Glyph::Info, true, "About"},
    {156, 315, 100, pictures::Glyph::DownTriangle, false, "Copy Down"},
    {157, 315, 100, pictures::Glyph::DownTriangle, true, "Copy Down"},
    {158, 315, 100, pictures::Glyph::UpTriangle, false, "Copy Up"},
    {159, 315, 100, pictures::Glyph::UpTriangle, true, "Copy Up"},
    {160, 208, 100, pictures::Glyph::Question, false, "Help"},
    {161, 208, 100, pictures::Glyph::Question, true, "Help"},
    {162, 315, 100, pictures::Glyph::CircleArrows, false, "Refresh"},
};

bool Save(QImage image, const QString& path) {
    image.setDotsPerMeterX(kDotsPerMetre);
    image.setDotsPerMeterY(kDotsPerMetre);
    if (image.save(path, "PNG")) return true;
    std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
    return false;
}

}  // namespace

int main(int argc, char** argv) {
    QGuiApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: make-pictures RES_FOLDER\n");
        return 2;
    }
    const QDir res(QString::fromLocal8Bit(argv[1]));
    res.mkpath("png");
    res.mkpath("icons");
    bool ok = true;
    const QColor blue(32, 84, 200);
    const QColor red(214, 40, 40);
    for (const FaceSpec& f : kFaces) {
        const QImage face = pictures::DrawFace(f.width, f.height, f.glyph, f.hot ? red : blue,
                                               QString::fromLatin1(f.caption));
        ok &= Save(face, res.filePath(QString("png/%1.png").arg(f.id)));
    }
    QImage splash = pictures::DrawSplash();
    splash.setDotsPerMeterX(3780);
    splash.setDotsPerMeterY(3780);
    ok &= splash.save(res.filePath("splash.png"), "PNG");
    for (int size : {16, 24, 32, 48, 64, 128, 256}) {
        QImage icon = pictures::DrawIcon(size);
        ok &= icon.save(res.filePath(QString("icons/velnor-%1.png").arg(size)), "PNG");
    }
    return ok ? 0 : 1;
}
