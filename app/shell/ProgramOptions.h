#pragma once
// The command line as main reads it before any application object exists, so
// help, errors and commands for the running instance need no display.
#include <QString>
#include <QStringList>

#include "SingleInstance.h"

struct TProgramOptions {
  enum TAction {
    Run,         // start, or hand Arguments over to the running instance
    Help,        // print ProgramUsage
    Version,     // print the version
    SendCommand, // send Command to the running instance
    BadUsage,    // Error says what is wrong; exit status 2
  };
  TAction Action = Run;
  TRemoteCommand Command = TRemoteCommand::ToggleDrawing;
  QStringList Arguments; // Run: state files and "/TRAY", in order, without "--"
  QString Error;
};

// Arguments without the program name. "-h"/"--help" and "--version" win
// wherever they stand before "--"; a command stands alone.
TProgramOptions ParseProgramOptions(const QStringList& Arguments);

extern const char* const ProgramUsage;
