#pragma once
// The modal message box captioned "Debug": file errors and the debug readouts.
#include <QString>

#include <functional>

void ShowDebugMessage(const QString& Text);

// Replaces the message box (tests record the messages instead); empty: the box.
void SetDebugMessageHandler(std::function<void(const QString&)> Handler);
