// Undo and redo of the art: every change, undone and redone, gives back the
// emitters (every field, bit for bit, in order, own or shared style) and the
// style exactly; the history stays within its bounds.
#include <bit>
#include <cstring>
#include <string>

#include "ArtHistory.h"
#include "EngineTestSupport.h"
#include "StateFile.h"
#include "StyleMapping.h"

namespace {

bool SameBits(float A, float B) {
  return std::bit_cast<uint32_t>(A) == std::bit_cast<uint32_t>(B);
}

// Equal bit for bit, and each emitter on the style it had.
::testing::AssertionResult SameArt(const TArtSnapshot& A, const TArtSnapshot& B) {
  if (A.Emitters.size() != B.Emitters.size())
    return ::testing::AssertionFailure()
           << A.Emitters.size() << " emitters against " << B.Emitters.size();
  for (std::size_t i = 0; i < A.Emitters.size(); ++i) {
    const TEmitterRecord &P = A.Emitters[i], &Q = B.Emitters[i];
    const bool Same = SameBits(P.X, Q.X) && SameBits(P.Y, Q.Y) && SameBits(P.Z, Q.Z) &&
                      SameBits(P.W, Q.W) && SameBits(P.Fall, Q.Fall) && SameBits(P.Life, Q.Life) &&
                      P.Alpha == Q.Alpha && P.BaseAlpha == Q.BaseAlpha &&
                      P.HasOwnStyle == Q.HasOwnStyle &&
                      (!P.HasOwnStyle || (SameBits(P.OwnStyle.Thickness, Q.OwnStyle.Thickness) &&
                                          SameBits(P.OwnStyle.XWildness, Q.OwnStyle.XWildness) &&
                                          SameBits(P.OwnStyle.YWildness, Q.OwnStyle.YWildness) &&
                                          P.OwnStyle.Color == Q.OwnStyle.Color &&
                                          P.OwnStyle.MaxAlpha == Q.OwnStyle.MaxAlpha &&
                                          P.OwnStyle.Fat == Q.OwnStyle.Fat));
    if (!Same)
      return ::testing::AssertionFailure() << "emitter " << i << " differs";
  }
  if (!SameBits(A.Attractor.X, B.Attractor.X) || !SameBits(A.Attractor.Y, B.Attractor.Y))
    return ::testing::AssertionFailure() << "the attraction point differs";
  return ::testing::AssertionSuccess();
}

class ArtHistoryTest : public EngineTest {
protected:
  void SetUp() override {
    EngineTest::SetUp();
    ApplyStyle(form, style);
    form.FLifetime = 2000; // mortal: Life differs from emitter to emitter
    TEmitterStyle Own;
    Own.Thickness = 3.25f;
    Own.Color = 0xFF1080F0;
    Own.Fat = true;
    for (int i = 0; i < 40; ++i)
      form.AddEmitter(i % 3 == 0 ? &Own : nullptr, 100 + i, float(i * 7 - 100), float(i % 5));
    form.Step(3);
  }
  TArtState Now() { return TArtState{TakeArtSnapshot(form), style}; }
  void Restore(const TArtState& S) {
    style = S.Style;
    ApplyStyle(form, style);
    RestoreArtSnapshot(form, S.Art);
  }

  TStyleSettings style;
  TArtHistory history;
};

TEST_F(ArtHistoryTest, EveryChangeIsUndoneAndRedoneBitForBit) {
  struct Case {
    const char* What;
    TArtChange Change;
    void (*Do)(TPartForm&, TStyleSettings&);
  };
  const Case Cases[] = {
      {"a stroke", TArtChange::Stroke,
       [](TPartForm& F, TStyleSettings&) {
         for (int i = 0; i < 10; ++i)
           F.AddEmitter(nullptr, 256, 300.5f + i, -20.25f);
       }},
      {"start over", TArtChange::StartOver, [](TPartForm& F, TStyleSettings&) { F.StartOver(); }},
      {"center art", TArtChange::CenterArt, [](TPartForm& F, TStyleSettings&) { F.CenterArt(); }},
      {"max count lowered", TArtChange::Style,
       [](TPartForm& F, TStyleSettings& S) {
         S.MaxCount = 10;
         ApplyStyle(F, S);
       }},
      {"a strong push flings the emitters off the screen", TArtChange::Style,
       [](TPartForm& F, TStyleSettings& S) {
         S.Attraction = -999;
         ApplyStyle(F, S);
         F.Step(200);
       }},
      {"a state file read", TArtChange::Load,
       [](TPartForm& F, TStyleSettings& S) {
         TSurfaceDisplay D;
         TPartForm Other(D);
         TStyleSettings OtherStyle;
         OtherStyle.Thickness = 40;
         ApplyStyle(Other, OtherStyle);
         Other.AddEmitter(nullptr, 200, 1, 2);
         ReadStateText(WriteStateText(Other, OtherStyle), F, S);
       }},
  };
  for (const Case& C : Cases) {
    SCOPED_TRACE(C.What);
    const TArtState Before = Now();
    history.Record(Now(), C.Change);
    C.Do(form, style);
    const TArtState After = Now();
    ASSERT_FALSE(SameArt(Before.Art, After.Art)) << "the change changed nothing";

    Restore(*history.Undo(Now()));
    EXPECT_TRUE(SameArt(TakeArtSnapshot(form), Before.Art));
    EXPECT_EQ(style.MaxCount, Before.Style.MaxCount);
    EXPECT_EQ(style.Attraction, Before.Style.Attraction);
    EXPECT_EQ(form.FMaxCount, Before.Style.MaxCount);
    EXPECT_TRUE(form.FChanged); // the cover follows at the next frame

    Restore(*history.Redo(Now()));
    EXPECT_TRUE(SameArt(TakeArtSnapshot(form), After.Art));
    EXPECT_EQ(style.MaxCount, After.Style.MaxCount);
    // Each emitter without its own style follows the engine's again.
    for (int32_t i = 0; i < form.FEmitters.Count; ++i)
      EXPECT_TRUE(form.Emitter(i)->Style == &form.FStyle || form.Emitter(i)->HasOwnStyle());
    Restore(*history.Undo(Now())); // back to the start for the next case
    history.Clear();
  }
}

TEST_F(ArtHistoryTest, UndoRedoOrderANewChangeForgetsRedoAndStyleRunsAreOneStep) {
  const TArtSnapshot A = TakeArtSnapshot(form);
  history.Record(Now(), TArtChange::Stroke);
  form.AddEmitter(nullptr, 256, 1, 1);
  const TArtSnapshot B = TakeArtSnapshot(form);
  history.Record(Now(), TArtChange::CenterArt);
  form.CenterArt();
  const TArtSnapshot C = TakeArtSnapshot(form);

  Restore(*history.Undo(Now()));
  EXPECT_TRUE(SameArt(TakeArtSnapshot(form), B));
  Restore(*history.Undo(Now()));
  EXPECT_TRUE(SameArt(TakeArtSnapshot(form), A));
  EXPECT_FALSE(history.Undo(Now()));
  Restore(*history.Redo(Now()));
  Restore(*history.Redo(Now()));
  EXPECT_TRUE(SameArt(TakeArtSnapshot(form), C));
  EXPECT_FALSE(history.Redo(Now()));

  Restore(*history.Undo(Now()));
  history.Record(Now(), TArtChange::StartOver); // a new change: C cannot come back
  form.StartOver();
  EXPECT_FALSE(history.CanRedo());

  // A drag of a slider is many style changes: one step back undoes them all.
  const std::size_t Steps = history.Steps();
  for (int MaxCount : {500, 400, 300}) {
    history.Record(Now(), TArtChange::Style);
    style.MaxCount = MaxCount;
    ApplyStyle(form, style);
  }
  EXPECT_EQ(history.Steps(), Steps + 1);
  Restore(*history.Undo(Now()));
  EXPECT_EQ(style.MaxCount, TStyleSettings{}.MaxCount);
}

TEST_F(ArtHistoryTest, KeepsAtMostItsStepsAndItsMemory) {
  for (std::size_t i = 0; i < TArtHistory::MaxSteps + 10; ++i)
    history.Record(Now(), TArtChange::Stroke);
  EXPECT_EQ(history.Steps(), TArtHistory::MaxSteps);

  // Large art reaches the memory bound before the step bound.
  history.Clear();
  form.FMaxCount = 40000;
  for (int i = 0; i < 40000; ++i)
    form.AddEmitter(nullptr, 256, float(i % 1000), float(i / 1000));
  const std::size_t One = TakeArtSnapshot(form).Bytes();
  for (std::size_t i = 0; i < TArtHistory::MaxSteps; ++i)
    history.Record(Now(), TArtChange::Stroke);
  EXPECT_LE(history.Bytes(), TArtHistory::MaxBytes);
  EXPECT_LT(history.Steps(), TArtHistory::MaxSteps);
  EXPECT_GE(history.Steps(), TArtHistory::MaxBytes / (One + 1024) - 1);
  // Undoing all of it keeps the bound: the redo steps count too.
  while (history.CanUndo())
    Restore(*history.Undo(Now()));
  EXPECT_LE(history.Bytes(), TArtHistory::MaxBytes);
}

} // namespace
