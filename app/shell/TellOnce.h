#pragma once
// Lines for the user on standard error that must not repeat: a condition
// that stays (a folder that cannot be written) is said the first time only.
#include <QString>

// Writes "quelma: Text" to standard error unless Topic has been told before
// in this run; returns whether it wrote.
bool TellOnce(const char* Topic, const QString& Text);
