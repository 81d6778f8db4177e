// Whole-file replacement that never puts a cut file in place of a good one.
#pragma once

#include <QSaveFile>
#include <QString>

namespace platform {

// Commits `file` only when every byte written reached the disk. QSaveFile alone
// renames its new file into place even when writing back its buffer at the close
// failed (a full disk), so a good file would be replaced by a cut one. On failure the
// new file is dropped, the old one stays as it was, and `error` (when given) says why.
bool commitWhole(QSaveFile& file, QString* error = nullptr);

}  // namespace platform
