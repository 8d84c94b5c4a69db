#pragma once

// Routes the libraries' error boxes (ShowErrMsgBox_Printf) to a Qt message box
// with the error icon. Callable from any thread: a call from another thread
// queues the box to the GUI thread and returns at once, so a worker that is
// being waited for by the GUI thread can never deadlock on it.
void InstallQtErrMsgBoxHandler();
