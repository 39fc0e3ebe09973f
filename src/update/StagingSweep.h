#pragma once

#include <QByteArray>

// Which staging folders left by an interrupted unpack may go.
enum class LeftStaging {
  WithoutBackups, // no file was moved aside: they hold nothing the program folder lacks
  All,            // also those whose old/ holds files: only after an install of the archive succeeded
};

// Removes the staging folders an interrupted unpack of archive (a native path)
// left beside it: folders of ours named "<archive>.XXXXXX" that hold nothing
// but a folder new/ and a folder old/. Anything else of such a name stays.
// Removal failures are ignored: the next sweep tries again.
void SweepLeftStaging(const QByteArray &archive, LeftStaging which);

// The mkostemp template of the temporary file a replacing write of target (a
// native path) makes beside it: "<target>.part-XXXXXX", a shape no staging
// folder and no file of the user's is given.
QByteArray PartFileTemplate(const QByteArray &target);

// Removes the temporary files an interrupted replacing write of target left:
// regular files of ours named "<target>.part-" and six letters or digits. A
// link or folder of such a name stays. Removal failures are ignored: the next
// write of target tries again.
void SweepLeftPartFiles(const QByteArray &target);
