#pragma once
// Undo and redo of the art: copies of the emitters (every field, in order,
// with their own styles) and the attraction point, each with the style that
// was in force, kept in a bounded history while the program runs. The
// frame (the surface, the cover) is not part of it, and nothing of it is
// written to state files.
#include <cstddef>
#include <cstdint>
#include <deque>
#include <optional>
#include <vector>

#include "Emitters.h"
#include "FlameEngine.h"
#include "StyleMapping.h"

// One emitter as it is, without the pointer to its style.
struct TEmitterRecord {
  float X = 0, Y = 0, Z = 0, W = 0;
  float Fall = 0;
  float Life = 0;
  int32_t Alpha = 0;
  int32_t BaseAlpha = 0;
  TEmitterStyle OwnStyle;
  bool HasOwnStyle = false;
};

// The art of an engine at one moment.
struct TArtSnapshot {
  std::vector<TEmitterRecord> Emitters;
  TVector4 Attractor;
  // Memory it holds.
  std::size_t Bytes() const { return sizeof(*this) + Emitters.capacity() * sizeof(TEmitterRecord); }
};

TArtSnapshot TakeArtSnapshot(const TPartForm& Form);
// The engine's emitters become exactly those of Snapshot (the list's
// capacity and the frame are left alone); the cover grows at the next frame.
void RestoreArtSnapshot(TPartForm& Form, const TArtSnapshot& Snapshot);

// What changed the art: a run of style changes is one step.
enum class TArtChange { Stroke, StartOver, CenterArt, Load, Import, DesktopIcons, Style };

// The art and the style together: a style change (a lower Max count, a
// strong Attraction) removes emitters, and giving them back under that style
// would lose them again.
struct TArtState {
  TArtSnapshot Art;
  TStyleSettings Style;
};

class TArtHistory {
public:
  // At most this many steps back, holding at most this much memory; the
  // oldest steps go first (the newest one always stays).
  static constexpr std::size_t MaxSteps = 50;
  static constexpr std::size_t MaxBytes = std::size_t(64) << 20;

  // Before a change of kind Change: Before is the state it starts from. A
  // new change forgets what was undone. A style change right after another
  // one (nothing else between) keeps the first one's state.
  void Record(TArtState Before, TArtChange Change);
  // Whether Record would keep a step of this kind now (false inside a run of
  // style changes), so that no state is copied for nothing.
  bool Takes(TArtChange Change) const {
    return !(Change == TArtChange::Style && FStyleRun && !FUndo.empty());
  }
  bool CanUndo() const { return !FUndo.empty(); }
  bool CanRedo() const { return !FRedo.empty(); }
  // The state to go back (or forward) to, given the state now; nothing when
  // there is no step.
  std::optional<TArtState> Undo(TArtState Now);
  std::optional<TArtState> Redo(TArtState Now);
  std::size_t Steps() const { return FUndo.size(); }
  std::size_t Bytes() const { return FBytes; }
  void Clear();

private:
  struct TStep {
    TArtState State;
    TArtChange Change;
  };
  void Push(std::deque<TStep>& Stack, TStep Step);
  // The last step of From, given back; Now goes onto To.
  std::optional<TArtState> Move(std::deque<TStep>& From, std::deque<TStep>& To, TArtState Now);
  void Trim();
  static std::size_t SizeOf(const TStep& S) { return S.State.Art.Bytes() + sizeof(TStep); }

  std::deque<TStep> FUndo, FRedo;
  std::size_t FBytes = 0;
  bool FStyleRun = false; // the last step recorded is a style change
};
