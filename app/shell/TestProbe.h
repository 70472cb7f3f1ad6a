#pragma once
// A readout of the program's state for the end-to-end tests. When the
// environment names a file in QUELMA_TEST_PROBE, the program rewrites that
// file several times a second with one "name=value" line per fact: the
// number of emitters, the state of every named check box, slider, edit and
// label, the keyboard focus, the
// shown top-level windows with their window state, and the text of any open
// message box, and the facts the program adds (the emitters, the animation
// frames run and the emitters' steps in them, whether it is paused). The tests drive the program
// with real input and read here what cannot be seen from outside the process.
#include <QList>
#include <QPair>
#include <QString>

#include <functional>

class QObject;

// Name and value of each fact the program adds, asked afresh every time.
using TProbeFacts = QList<QPair<QString, QString>>;

// Starts the readout when QUELMA_TEST_PROBE is set; does nothing otherwise.
void InstallTestProbe(QObject* Parent, std::function<TProbeFacts()> Facts);

// The readout as it would be written now.
QString TestProbeText(const std::function<TProbeFacts()>& Facts);
