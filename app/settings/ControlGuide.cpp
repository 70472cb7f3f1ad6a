#include "ControlGuide.h"

#include <QWidget>

// What each control does, its range and unit, and what its extremes do. One
// table, so that the guidance reads as one text and no control is missed.
const std::vector<TControlGuide>& ControlGuides() {
  static const std::vector<TControlGuide> Guides = {
      // Top row
      {"StartOverBtn", "Removes all art and flame. Ctrl+Z brings them back."},
      {"ClearFadingBtn", "Wipes the trails of the flame; the emitters stay."},
      {"CenterArtBtn", "Moves the art so that its middle is the middle of its monitor."},
      {"ExitBtn", "Ends QUELMA. The preferences are kept; the art is not (save it first)."},
      // Emitters
      {"PASel", "Brightness of each emitter's spots, 0 (none) to 256 (full)."},
      {"PHSel", "Colour of the spots on the colour circle, 0 to 256 (endless: red again after "
                "256)."},
      {"PSSel", "Saturation of the spots' colour, 0 (grey) to 256 (pure colour)."},
      {"PLSel", "Lightness of the spots' colour, 0 (black) to 256 (white)."},
      {"MaxCountSel", "Most emitters kept, 10 to 20000. Lowering it removes the oldest emitters "
                      "(Ctrl+Z brings them back)."},
      {"PMaxSizeSel", "Size of the spots: radius 2 pixels plus up to this many, 0 to 50."},
      {"PXSpreadSel", "How far a spot jumps sideways, 0 to 100 pixels."},
      {"PYSpreadSel", "How far a spot jumps up and down, 0 to 100 pixels."},
      {"GlowBox", "Rounder, fuller spots."},
      {"IndPartBox", "New emitters keep the style they were drawn with; without it every "
                     "emitter follows the style as it changes."},
      // Fading
      {"FASel", "How much of the flame stays each frame, 0 to 256: high values leave long "
                "trails, low ones short flames."},
      {"FHSel", "Colour the trails fade towards, 0 to 256 on the colour circle (endless)."},
      {"FSSel", "Saturation of the fading colour, 0 (grey) to 256 (pure)."},
      {"FLSel", "Lightness of the fading colour, 0 (dark) to 256 (bright)."},
      {"FHCycleSel", "Turns the fading colour round the colour circle, 0 (still) to 1000 "
                     "(fastest)."},
      {"XBlurSel", "Sideways blur of the trails, 0 (none) to 8: a window 2 x value + 1 pixels "
                   "wide."},
      {"YBlurSel", "Up-and-down blur of the trails, 0 (none) to 8: a window 2 x value + 1 pixels "
                   "high."},
      {"YMotionSel", "How the trails move each frame, -3 to 3 rows: negative rises, positive "
                     "falls, 0 stays."},
      // Animation
      {"FPSSel", "Frames per second, 10 to 100. More frames cost more of the processor."},
      {"GravitySel", "Makes the emitters fall, 0 (off) to 1000 (fast). Fallen below the screen "
                     "they are gone (Ctrl+Z brings them back)."},
      {"AttractionSel", "Pulls the emitters towards the last one drawn (1 to 1000) or pushes "
                        "them away (-1 to -1000). A strong push flings the art off the screen, "
                        "where it is gone (Ctrl+Z brings it back)."},
      {"ELTSel", "How long an emitter lives, 0 (a tenth of a second) to 999 (about five "
                 "minutes); 1000 is forever."},
      {"EFOSel", "How long a dying emitter fades, 0 (a tenth of a second) to 1000 (about five "
                 "minutes)."},
      // System
      {"DrawingBox", "Opens the blue drawing window: drag with the left button to draw, "
                     "middle-click to start over, right-click to stop."},
      {"DisplayBox", "Shows or hides the flame."},
      {"WOEVisibleBox", "Shows the flame only while this settings window is open."},
      {"WFrontBox", "Keeps the flame above all other windows; without it a window you activate "
                    "covers it."},
      {"WSolidBox", "The flame takes the mouse clicks over it instead of letting them through "
                    "to the windows below."},
      {"AddBox", "Adds the spots' light instead of covering what is under them."},
      {"DebugBox", "Shows the emitters' count in the title and the engine's numbers on the Help "
                   "tab."},
      {"AutostartBox", "Starts QUELMA, without this window, when you log in."},
      {"PauseFullScreenBox", "Stops the flame while a full-screen window (a film, a game) is "
                             "active, and starts it again after."},
      {"DrawingHotKey", "Click, then press the keys (with Ctrl or Alt; F1 to F12 alone). "
                        "Backspace clears. Turns drawing on and off from any program."},
      {"DisplayHotKey", "Click, then press the keys (with Ctrl or Alt; F1 to F12 alone). "
                        "Backspace clears. Shows or hides the flame from any program."},
      {"EditorHotKey", "Click, then press the keys (with Ctrl or Alt; F1 to F12 alone). "
                       "Backspace clears. Shows or hides this window from any program."},
      // Files
      {"LoadBtn", "Reads a .quelma file: its style, its art or both, as the boxes below say. "
                  "Ctrl+Z goes back."},
      {"SaveBtn", "Writes the style and the art into a .quelma file."},
      {"LStyleBox", "Load takes the file's style."},
      {"LArtBox", "Load takes the file's art, in place of what is drawn."},
      {"UndoBtn", "Takes back the last change of the art (Ctrl+Z)."},
      {"RedoBtn", "Makes the change taken back again (Ctrl+Shift+Z)."},
      {"Button2", "Turns a picture (PNG, JPEG, BMP, GIF, WebP, TGA) into art: one emitter per "
                  "visible sample. It replaces the art; Ctrl+Z goes back."},
      {"BmpMaxSizeSel", "Longest side of the picture in samples, 0 to 128: more samples, more "
                        "emitters."},
      {"BmpScaleSel", "Distance between the samples on the screen, 100 to 1000 hundredths of a "
                      "pixel (400: 4 pixels)."},
      {"BmpResetBox", "The import also sets a style suited to pictures."},
      {"BmpMonoBox", "Only a transparent picture's shape counts (its alpha); the colours come "
                     "from the style."},
      // About
      {"DeskIconsBtn", "Sets your desktop icons on fire: replaces the art and the style "
                       "(Ctrl+Z goes back)."},
  };
  return Guides;
}

QStringList ApplyControlGuides(QWidget& Window) {
  QStringList Missing;
  for (const TControlGuide& G : ControlGuides()) {
    QWidget* W = Window.findChild<QWidget*>(QString::fromLatin1(G.Control));
    if (W)
      W->setToolTip(QString::fromUtf8(G.Text));
    else
      Missing << QString::fromLatin1(G.Control);
  }
  return Missing;
}
