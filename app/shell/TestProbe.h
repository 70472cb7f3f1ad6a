#pragma once
// A readout of the program's state for the end-to-end tests. When the
// environment names a file in QUELMA_TEST_PROBE, the program rewrites that
// file several times a second with one "name=value" line per fact: the
// number of emitters, the state of every named check box, slider, edit and
// label, the keyboard focus, the
// shown top-level windows with their window state, and the text of any open
// message box. The tests drive the program with real input and read here
// what cannot be seen from outside the process.
#include <QString>

#include <functional>

class QObject;

// Starts the readout when QUELMA_TEST_PROBE is set; does nothing otherwise.
// Emitters tells the engine's emitter count.
void InstallTestProbe(QObject* Parent, std::function<int()> Emitters);

// The readout as it would be written now.
QString TestProbeText(const std::function<int()>& Emitters);
