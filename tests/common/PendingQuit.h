#pragma once
// A quit signal's quit() that came outside the application's loop stays
// pending, and would end every later modal loop (a message box's exec) at
// once: one round of the application's loop clears it, so that the tests
// after it in the same process meet a program that can ask again.
#include <QCoreApplication>
#include <QTimer>

inline void ClearPendingQuit()
{
    QTimer::singleShot(0, [] { QCoreApplication::quit(); });
    QCoreApplication::exec();
}
