// Writes the program icon as PNG files in the hicolor layout, DIR/<n>x<n>/apps/sonomap.png,
// for each size n named after DIR.
#include <QDir>
#include <QImage>
#include <QString>
#include <cstdio>
#include <cstdlib>

#include "shell/CAppIcon.h"

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: sonomap-make-icon DIR SIZE...\n");
        return 2;
    }
    const QString root = QString::fromLocal8Bit(argv[1]);
    for (int i = 2; i < argc; ++i) {
        const int size = std::atoi(argv[i]);
        if (size <= 0 || size > 1024) {
            std::fprintf(stderr, "sonomap-make-icon: bad size %s\n", argv[i]);
            return 2;
        }
        const QString folder = QString("%1/%2x%2/apps").arg(root).arg(size);
        const QString path = folder + "/sonomap.png";
        if (!QDir().mkpath(folder) || !CAppIcon::Render(size).save(path, "PNG")) {
            std::fprintf(stderr, "sonomap-make-icon: cannot write %s\n", qPrintable(path));
            return 1;
        }
    }
    return 0;
}
