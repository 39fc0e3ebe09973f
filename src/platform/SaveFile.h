#pragma once

#include <QByteArray>
#include <QString>

namespace vtx {

// Why a save failed, in the terms a user can act on.
enum class SaveError { None, NoSpace, FileTooLarge, FolderNotWritable, CannotReplace, Other };

// What errno says of a failed write: no space or a file too large, else
// otherwise. Any thread.
SaveError SaveErrorOf(int error, SaveError otherwise);

// Writes bytes to path through a temporary file in the same folder: every
// byte is flushed and synced before the rename, so on any failure the old
// file stays byte for byte and the temporary file is removed. Any thread.
SaveError SaveFileAtomically(const QString &path, const QByteArray &bytes);

// The message for a failed save of path, in the current language. GUI thread.
QString SaveErrorText(SaveError error, const QString &path);

} // namespace vtx
