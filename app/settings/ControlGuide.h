#pragma once
// The guidance each control of the settings window gives as its tooltip:
// what it does, its range and unit, and what its extremes do.
#include <QStringList>

#include <vector>

class QWidget;

struct TControlGuide {
  const char* Control; // the control's object name
  const char* Text;
};
const std::vector<TControlGuide>& ControlGuides();

// Gives each control of Window its tooltip; returns the names of the table
// that Window has no control of.
QStringList ApplyControlGuides(QWidget& Window);
