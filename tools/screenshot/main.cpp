// Starts Velnor as a user would see it (splash, then the main window) and
// saves a picture of the main window once the splash has gone:
//   velnor-screenshot OUTPUT.png [WIDTH HEIGHT]
// scripts/screenshot.sh runs it without a display for the README's picture.

#include <QImage>
#include <QTimer>
#include <cstdio>

#include "ui/MainFrame.h"
#include "ui/VelnorApp.h"

int main(int argc, char** argv) {
    CVelnorApp app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() != 2 && args.size() != 4) {
        std::fprintf(stderr, "usage: velnor-screenshot OUTPUT.png [WIDTH HEIGHT]\n");
        return 2;
    }
    const QString output = args[1];
    const QSize size = args.size() == 4 ? QSize(args[2].toInt(), args[3].toInt()) : QSize(900, 640);
    if (!app.InitInstance()) return 1;
    CMainFrame* frame = app.MainFrame();
    frame->resize(size);

    int status = 1;
    auto grab = [&] {
        // Let the panes settle into the new size before the picture.
        QTimer::singleShot(500, &app, [&] {
            const QImage picture = frame->grab().toImage();
            if (picture.save(output)) {
                std::printf("%s: %dx%d\n", qPrintable(output), picture.width(), picture.height());
                status = 0;
            } else {
                std::fprintf(stderr, "cannot write %s\n", qPrintable(output));
            }
            app.quit();
        });
    };
    if (frame->SplashDone()) {
        grab();
    } else {
        QObject::connect(frame, &CMainFrame::splashDone, &app, grab);
    }
    QTimer::singleShot(20000, &app, [&] {
        std::fprintf(stderr, "the main window never came up\n");
        app.quit();
    });
    app.exec();
    return app.ExitInstance(status);
}
