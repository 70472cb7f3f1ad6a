#pragma once
// The program's modal message boxes: the box captioned "Debug" (file errors
// and the debug readouts) and the few notes the program gives the user.
#include <QString>

#include <functional>

struct TUserMessage {
  enum TKind { Information, Warning };
  QString Caption = QStringLiteral("Debug");
  QString Text;
  // Shown below the text (the box's informative text); "" for none.
  QString Detail;
  TKind Kind = Information;
};

void ShowUserMessage(const TUserMessage& Message);

// A debug readout: caption "Debug", information icon.
void ShowDebugMessage(const QString& Text);

// A file that could not be read or written: caption "Debug", warning icon,
// the file's name and the reason as detail.
void ShowFileError(const QString& Text, const QString& FileName, const QString& Reason);

// Replaces the message box (tests record the messages instead); empty: the box.
void SetUserMessageHandler(std::function<void(const TUserMessage&)> Handler);
// The same for tests that only look at the text.
void SetDebugMessageHandler(std::function<void(const QString&)> Handler);
