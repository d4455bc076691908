// What the lighting model asks of the lighting panel and the keyboard view. The
// desktop program draws; keyloftctl and the tests record or ignore. Which
// controls an effect shows is the mode table's (model/lighting.h), so these
// calls carry the effect number and no rule of their own.
#pragma once

#include <span>
#include <string>

namespace keyloft {

class LightingView {
 public:
  virtual ~LightingView() = default;

  // Every panel control in line with the model's state: the effect combo from
  // the mode list, sliders, colours, toggles, arrows, four-colour pictures,
  // report-rate buttons; the visibility of the effect when the view is on,
  // everything hidden when it is off.
  virtual void RefreshPanel() = 0;
  // Every key button of the keyboard view loses its colour.
  virtual void BlankKeyColours() = 0;
  // Places and images the direction arrows for an effect.
  virtual void LayDirectionArrows(int mode) = 0;
  // Shows exactly the controls the mode table gives the effect.
  virtual void ShowEffectControls(int mode) = 0;
  // Every key button takes its slot's colour in the current profile's mirror.
  virtual void RepaintKeysFromMirror() = 0;
  // The lighting view is off: LED pictures off, key labels back, panel hidden.
  // The model has already cleared and stored the flag.
  virtual void LeaveLightingView() = 0;
  // The scheme combo of the user-defined effect: emptied, then these names.
  virtual void FillSchemeList(std::span<const std::string> names) = 0;
  // The effect preview starts again from its first frame.
  virtual void RestartPreview() = 0;
};

}  // namespace keyloft
