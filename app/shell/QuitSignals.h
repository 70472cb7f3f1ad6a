#pragma once
// SIGTERM, SIGINT and SIGHUP (a session that ends, Ctrl+C in a terminal) end
// the program the orderly way, through the event loop, so the preferences are
// written as after "Exit". Only the signal's arrival happens in the handler:
// it writes a byte to a pipe that the GUI thread watches.
class QObject;

// Installs the handlers; call once the application object exists. Returns
// false when they cannot be installed (the default handling stays).
bool QuitOnTerminationSignals(QObject* Parent);
