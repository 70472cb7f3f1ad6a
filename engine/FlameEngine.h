#pragma once
// The flame engine: the emitters, the style and animation parameters that the
// settings write into it, the cover (the screen rectangle the display surface
// spans) and the frame: step, grow the cover, fade, draw spots, present.
//
// The engine paints the surface of a IFlameDisplay; the display owns the
// window and the surface's size.
#include <climits>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "ColorKernels.h"
#include "DIBmp.h"
#include "Emitters.h"
#include "FlameDisplay.h"
#include "FrameWorkers.h"
#include "ReferenceLists.h"
#include "SimdKernels.h"

struct TFadeSettings;
struct TPixelRows;

// FCoverRect while nothing is covered (only Left is tested).
inline constexpr TRect EmptyCover{INT32_MAX, INT32_MAX, -INT32_MAX, -INT32_MAX};

// Initial capacity of the emitter list, so that drawing normally never
// reallocates.
inline constexpr int32_t EmitterListCapacity = 5000;
// Values each spot work buffer holds before it has to grow.
inline constexpr int32_t SpotBufferValues = 16384;

struct TVector4 {
  float X = 0, Y = 0, Z = 0, W = 0;
};

// Bounding box of the emitter positions; MinX > MaxX means there is no art.
struct TArtBounds {
  float MinX = 0, MinY = 0, MaxX = 0, MaxY = 0;
  bool Empty() const { return MinX > MaxX; }
};

// Positions of the four fade-colour sliders of the "Fading" tab, each 0..256,
// which UpdateFadeColor turns into FFadeFactors.
struct TFadeSliders {
  int32_t Alpha = 0;
  int32_t Hue = 0;
  int32_t Saturation = 0;
  int32_t Lightness = 0;
};

using TEmitterList = TOwnedQuickList<TEmitter>;

// Where the art and its cover go when the monitors change: the art moves by
// Shift (the move of its origin's monitor, (0, 0) when that stayed) and the
// cover with it, cut to the new desktop. Every emitter whose monitor stayed
// keeps its screen pixel; the surface offsets follow the cover's new corner.
struct TDesktopMove {
  float OriginX = 0, OriginY = 0;
  TRect Cover = EmptyCover; // EmptyCover: nothing covered (none before, or all cut away)
  float SurfaceOffsetX = 0, SurfaceOffsetY = 0;
  // The part of the old surface that stays, in its coordinates; it goes to
  // (0, 0) of the new surface. Empty when nothing stays.
  TRect Kept;
};
TDesktopMove PlanDesktopMove(const TRect& NewDesktop, const TRect& Cover, float OriginX,
                             float OriginY, float SurfaceOffsetX, float SurfaceOffsetY,
                             TPoint Shift);

// The random draws of one spot: its colour, radius, angle and reach.
struct TSpotDraws {
  const TEmitter* E = nullptr;
  uint32_t Color = 0;
  float R = 0, Phi = 0;
  double M = 0;
};

class TPartForm {
public:
  // Creation: the emitter list, the empty cover, the work buffers, and the
  // display placed at (0, 0, 16, 16) with 16 x 16 size limits, presented.
  explicit TPartForm(IFlameDisplay& Display);
  ~TPartForm();
  TPartForm(const TPartForm&) = delete;
  TPartForm& operator=(const TPartForm&) = delete;

  IFlameDisplay& Display;

  // ---- Placement on the desktop ------------------------------------------
  // Emitter space: single-precision pixels, x right, y down, relative to the
  // origin, a point in screen coordinates (the centre of the settings window's
  // monitor at start-up). Set once, before the style is first applied.
  float OriginX = 0;
  float OriginY = 0;
  // Position of the origin in the surface: OriginX - cover Left, OriginY - cover
  // Top; recomputed whenever the cover grows, 0 until then.
  float SurfaceOffsetX = 0;
  float SurfaceOffsetY = 0;
  // Union of the primary screen (0, 0, width, height) and all monitors, in
  // screen coordinates; set at start-up and by MoveDesktop. The cover never
  // leaves it.
  TRect DesktopRect;
  // The monitors changed: the desktop is now NewDesktop and the origin's
  // monitor moved by Shift (PlanDesktopMove). The trails stay where they are
  // on the screen; those cut off with the desktop are gone. Presents when the
  // shown surface moved or changed.
  void MoveDesktop(const TRect& NewDesktop, TPoint Shift);

  // ---- Engine state ------------------------------------------------------
  std::vector<float> FSpotBuf;                       // spot work buffer; ends holding int32 levels
  std::vector<float> FSpotTmp;                       // second spot work buffer
  TEmitterList FEmitters{true, EmitterListCapacity}; // ordered, oldest first
  TRect FCoverRect = EmptyCover;                     // screen rectangle the surface covers
  TRect FArtMargin;              // reach of the flame beyond the emitters, per side
  bool FChanged = false;         // emitters added, moved or restyled since UpdateCover
  TEmitterStyle FStyle;          // shared style, followed live by emitters without their own
  bool FIndependent = false;     // new emitters get their own copy of FStyle
  double FHuePhase = 0;          // turns of the hue circle added to the fade hue
  float FHueSpeed = 0;           // turns per tick; 0 = off
  TVector4 FAttractor;           // attraction point, emitter space
  int32_t FXBlur = 0;            // horizontal blur window, odd, 1 = none
  int32_t FYBlur = 0;            // vertical blur window
  int32_t FYMotion = 0;          // rows per frame, -3..3, negative = up
  int32_t FMaxCount = 0;         // most emitters kept
  TLaneFactors FFadeFactors = 0; // blue, green, red, alpha lanes from the low end
  float FFrameTime = 0;          // milliseconds per tick
  float FGravity = 0;            // pixels per tick per tick; <= 0: no falling
  float FAttraction = 0;         // > 0 pulls to FAttractor, < 0 pushes away
  float FLifetime = 0;           // milliseconds, or ImmortalLife
  float FFadeOut = 0;            // milliseconds a dying emitter fades
  float FFadeOutScale = 0;       // 256 / FFadeOut
  bool FDebug = false;           // debug readout and flooded frames
  TFadeSliders FFadeSliders;     // input of UpdateFadeColor
  int32_t FDebugCounter = 0;     // diagnostic counter of the debug readout
  bool FBlankPresented = false;  // the last Tick presented a blank cover
  // Threads that render a frame: 0 picks by the render area's size (one up to
  // a 1920 x 1080 cover, one more per further 1920 x 1080 pixels, at most the
  // processor's threads and MaxFrameThreads). Any count gives the same bytes.
  int32_t FThreads = 0;
  // Rows per band of the frame on the vector paths; 0: about a megabyte of
  // rows. Any height gives the same bytes (tests use small ones).
  int32_t FBandRows = 0;
  // Receives the debug readout ("Emitters: ...") every step while FDebug is
  // set; the settings window shows it as its caption.
  std::function<void(const std::string&)> OnDebugCaption;

  // ---- Emitters ------------------------------------------------------------
  TEmitter* Emitter(int32_t i) const { return FEmitters[i]; }
  // Adds an emitter at (X, Y) with Intensity 0..256, following Style's copy
  // when given (or always its own copy of FStyle when FIndependent), else the
  // shared FStyle. Drops the oldest emitter when the list is full.
  TEmitter* AddEmitter(const TEmitterStyle* Style, int32_t Intensity, float X, float Y);
  // Ticks passes of falling and attraction, then ageing by Ticks frames, then
  // the debug readout.
  void Step(int32_t Ticks);
  TArtBounds GetArtBounds() const;

  // ---- Cover -----------------------------------------------------------------
  // Grows the cover (and the display) to hold the art with its margins.
  void UpdateCover();
  // "Clear fading": the display back to 16 x 16 at (0, 0), presented, and an
  // empty cover; the next UpdateCover rebuilds it on an all-zero surface.
  void ClearFading();

  // ---- Frame -----------------------------------------------------------------
  // One handled tick of the animation timer, Missed ticks having been
  // swallowed before it: Step(Missed + 1), UpdateCover, hue cycle, Render,
  // Present.
  // An idle flame (a blank cover, no emitters) is presented once, not every
  // frame: the window already shows the blank surface.
  void Tick(int32_t Missed);
  // Fading pass, then one spot per emitter, on (0, 0, layered width, height).
  // Returns false when the frame was skipped: a blank cover with no emitters
  // stays blank.
  bool Render();
  void Present() { Display.Present(); }
  // The threads a frame of W x H pixels runs on (FThreads, or the choice by
  // size).
  int32_t FrameThreads(int32_t W, int32_t H) const;
  // FFadeFactors from FFadeSliders and FHuePhase.
  void UpdateFadeColor();
  // Stores the slider positions in FFadeSliders, then UpdateFadeColor.
  void UpdateFadeColor(int32_t Alpha, int32_t Hue, int32_t Saturation, int32_t Lightness);

  // ---- Art operations ----------------------------------------------------
  // Centres the art's bounding box on the origin, then clears the fading.
  void CenterArt();
  // Turns the art by 18 degrees about the origin and shifts it 10 pixels right.
  void RotateArt();
  // Removes every emitter (the list keeps its capacity), then clears the fading.
  void StartOver();

  // The readout text: "Emitters: " Count "   Frame overflow: " Overflow
  // "    Debug: " Counter.
  static std::string DebugCaption(int32_t Count, int32_t Overflow, int32_t Counter);

private:
  // The draws of one frame's spots and their angles' sines and cosines,
  // kept so that a frame allocates nothing.
  std::vector<TSpotDraws> FSpotDraws;
  std::vector<float> FSpotAngles;

  // The boxes of this frame's spots (vector paths), in list order, their
  // band lists and the work rows of each thread that paints them.
  std::vector<TSpotBox> FSpotBoxes;
  struct TSpotRowSpan {
    int32_t First, Last; // a box's first and last row on the surface
  };
  std::vector<TSpotRowSpan> FSpotRowSpans; // one per box, kept apart to be walked quickly
  int32_t FSpotWidest = 0;
  std::vector<int32_t> FBandStarts, FBandBoxes, FBandNext;
  std::vector<std::vector<float>> FSpotWork;
  // Rows around each inner band edge, faded apart from the bands (FrameBands.cpp).
  std::vector<std::vector<uint32_t>> FEdgeRows;
  TFrameWorkers FWorkers;

  TFadeSettings FadeSettings() const;
  void FadePass(const TRect& R);
  // The reference path: every spot computed and painted in turn.
  void DrawSpots(const TRect& R);
  void DrawSpot(TDIBmp& Surface, const TEmitter& E);
  void EnsureSpotBuffers(int32_t Values);
  // The vector paths: the frame in bands of rows, each faded and then given
  // its part of every spot while it is in cache, on FrameThreads threads.
  void RenderBands(const TRect& R);
  // Fills FSpotBoxes from this frame's random draws, in list order.
  void PlanSpotBoxes(const TRect& R);
  // Paints the rows [Top, Bottom) of the boxes Which[0 .. Count).
  void PaintSpotRows(int32_t Top, int32_t Bottom, const int32_t* Which, size_t Count,
                     int32_t Worker);
};
