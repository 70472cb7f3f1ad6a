#include "ArtHistory.h"

#include <memory>
#include <utility>

TArtSnapshot TakeArtSnapshot(const TPartForm& Form) {
  TArtSnapshot S;
  S.Emitters.reserve(std::size_t(Form.FEmitters.Count));
  for (int32_t i = 0; i < Form.FEmitters.Count; ++i) {
    const TEmitter& E = *Form.FEmitters[i];
    S.Emitters.push_back(TEmitterRecord{E.X, E.Y, E.Z, E.W, E.Fall, E.Life, E.Alpha, E.BaseAlpha,
                                        E.OwnStyle, E.HasOwnStyle()});
  }
  S.Attractor = Form.FAttractor;
  return S;
}

void RestoreArtSnapshot(TPartForm& Form, const TArtSnapshot& Snapshot) {
  Form.FEmitters.Reset();
  for (const TEmitterRecord& R : Snapshot.Emitters) {
    auto E = std::make_unique<TEmitter>();
    E->X = R.X;
    E->Y = R.Y;
    E->Z = R.Z;
    E->W = R.W;
    E->Fall = R.Fall;
    E->Life = R.Life;
    E->Alpha = R.Alpha;
    E->BaseAlpha = R.BaseAlpha;
    E->OwnStyle = R.OwnStyle;
    E->Style = R.HasOwnStyle ? &E->OwnStyle : &Form.FStyle;
    Form.FEmitters.Add(std::move(E));
  }
  Form.FAttractor = Snapshot.Attractor;
  Form.FChanged = true;
}

void TArtHistory::Record(TArtState Before, TArtChange Change) {
  if (!Takes(Change))
    return;
  FStyleRun = Change == TArtChange::Style;
  for (const TStep& S : FRedo)
    FBytes -= SizeOf(S);
  FRedo.clear();
  Push(FUndo, TStep{std::move(Before), Change});
}

std::optional<TArtState> TArtHistory::Undo(TArtState Now) {
  return Move(FUndo, FRedo, std::move(Now));
}

std::optional<TArtState> TArtHistory::Redo(TArtState Now) {
  return Move(FRedo, FUndo, std::move(Now));
}

std::optional<TArtState> TArtHistory::Move(std::deque<TStep>& From, std::deque<TStep>& To,
                                           TArtState Now) {
  if (From.empty())
    return std::nullopt;
  TStep Step = std::move(From.back());
  From.pop_back();
  FBytes -= SizeOf(Step);
  FStyleRun = false;
  Push(To, TStep{std::move(Now), Step.Change});
  return std::move(Step.State);
}

void TArtHistory::Clear() {
  FUndo.clear();
  FRedo.clear();
  FBytes = 0;
  FStyleRun = false;
}

void TArtHistory::Push(std::deque<TStep>& Stack, TStep Step) {
  FBytes += SizeOf(Step);
  Stack.push_back(std::move(Step));
  Trim();
}

void TArtHistory::Trim() {
  // The oldest steps of either kind go first; the step just made stays.
  const auto Drop = [this](std::deque<TStep>& Stack) {
    FBytes -= SizeOf(Stack.front());
    Stack.pop_front();
  };
  while (FUndo.size() > MaxSteps)
    Drop(FUndo);
  while (FRedo.size() > MaxSteps)
    Drop(FRedo);
  while (FBytes > MaxBytes && FUndo.size() + FRedo.size() > 1) {
    if (FUndo.size() > 1 || FRedo.empty())
      Drop(FUndo);
    else
      Drop(FRedo);
  }
}
