#include "ui/VelnorApp.h"

int main(int argc, char** argv) {
    CVelnorApp app(argc, argv);
    if (!app.InitInstance()) return 1;
    return app.ExitInstance(app.exec());
}
