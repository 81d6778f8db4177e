#include "platform/core/SaveFile.h"

#include <cerrno>
#include <cstring>

#include <unistd.h>

namespace platform {

bool commitWhole(QSaveFile& file, QString* error)
{
    QString reason;
    if (!file.isOpen() || !file.flush() || file.error() != QFileDevice::NoError) {
        reason = file.errorString();
    } else if (::fsync(file.handle()) != 0 && errno != EINVAL && errno != EROFS) {
        // A file system that reports the lack of room only when the data is written
        // out says so here.
        reason = QString::fromLocal8Bit(std::strerror(errno));
    }
    if (reason.isEmpty()) {
        if (file.commit())
            return true;
        reason = file.errorString();
    } else if (file.isOpen()) {
        file.cancelWriting();
        file.commit();  // drops the new file
    }
    if (error)
        *error = reason;
    return false;
}

}  // namespace platform
