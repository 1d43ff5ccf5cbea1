#include "ui/programicon.h"

namespace ProgramIcon {

QIcon icon()
{
    static const QIcon icon = [] {
        QIcon made;
        for (const int size : {16, 32, 48, 64, 128, 256})
            made.addFile(QStringLiteral(":/tarnwick/icons/tarnwick-%1.png").arg(size), QSize(size, size));
        return made;
    }();
    return icon;
}

} // namespace ProgramIcon
