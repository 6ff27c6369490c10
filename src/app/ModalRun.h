#pragma once
// How the program's dialogs run: modal to the window that opened them, never to the
// whole program. The window under such a dialog waits for it; the program's other
// top-level windows (the main dialog, the inspector) go on taking input.

#include <QDialog>

inline int ExecOverParent(QDialog& dialog)
{
    // A dialog without a parent would block nothing with this modality: it runs as the
    // platform's default (application modal) instead.
    if (dialog.parentWidget() != nullptr)
        dialog.setWindowModality(Qt::WindowModal);
    return dialog.exec();
}
