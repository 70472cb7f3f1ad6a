#pragma once

// Third-order smoothing filter: three identical one-pole low-pass sections in
// series. Its coefficient is chosen so that a unit step reaches 0.999 of its
// height after a given number of ticks, without overshoot.
class TSmoothingFilter {
public:
  // Ticks: how many calls of Next a step needs to settle to 0.999 (at least 1).
  void Setup(double Ticks);
  void Reset(double Value);
  double Next(double Input);

  double Coefficient() const { return FCoefficient; }

private:
  double FCoefficient = 1.0;
  double FStage[3] = {0.0, 0.0, 0.0};
};

// Step response of the three sections after N ticks for coefficient A (0..1].
double SmoothingStepResponse(double A, int N);
