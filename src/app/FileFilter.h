#pragma once
// File chooser filters are kept in the classic "Description|*.a;*.b|...||" form, the
// way the program states them; Qt wants "Description (*.a *.b);;...". One converter,
// used by every chooser.

#include <QString>

QString QtFileFilter(const QString& classic);

// The folder part of a chosen path: everything before its last separator, without the
// separator. A path with no separator has no folder (empty); a file in the root keeps
// the root itself ("/"), so that folder can still be remembered.
QString FolderOfPath(const QString& path);
