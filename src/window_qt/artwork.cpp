#include "artwork.h"

#include <QString>

// The pictures live in the window library; make sure its resources are
// registered even when the linker would drop the unreferenced initialiser.
// Qt's initialiser is declared outside every namespace.
static void LoadArt() {
    Q_INIT_RESOURCE(probelyn);
}

namespace probelyn {

namespace {
struct ArtLoader {
    ArtLoader() { LoadArt(); }
};
void EnsureArt() {
    static ArtLoader loader;
}
}  // namespace

QIcon WindowIcon() {
    EnsureArt();
    QIcon icon;
    for (int size : {16, 24, 32, 48, 64, 128, 256}) {
        icon.addFile(QStringLiteral(":/art/icon-%1.png").arg(size), QSize(size, size));
    }
    return icon;
}

QPixmap PadlockPicture() {
    EnsureArt();
    return QPixmap(QStringLiteral(":/art/padlock.png"));
}

QPixmap LogoPicture() {
    EnsureArt();
    return QPixmap(QStringLiteral(":/art/logo.png"));
}

QCursor HandPointer() {
    EnsureArt();
    // The finger tip is the hot spot.
    return QCursor(QPixmap(QStringLiteral(":/art/hand.xpm")), 5, 0);
}

}  // namespace probelyn
