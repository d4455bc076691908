// The lighting panel of the main window and its view of the keyboard: the
// effect, brightness, speed, direction and colour controls, the per-key
// colour tools and schemes, and the key buttons showing the effect's preview
// or the painted colours. Every control is placed from the skin's Main.ini.
// Clicks become calls on the core's lighting operations, run on the sequence
// thread; the panel shows what the core's lighting view calls tell it, each
// with a snapshot of the lighting taken where it changed.
#pragma once

#include <QComboBox>
#include <QObject>
#include <QPixmap>
#include <QSpinBox>
#include <QTimer>
#include <array>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "app/main_window.h"
#include "model/effect_preview.h"
#include "sync/scheme_editor.h"
#include "ui/controls/color_button.h"
#include "ui/controls/picture_button.h"
#include "ui/controls/pixmap_slider.h"
#include "ui/controls/transparent_label.h"

namespace keyloft::app {

class LightingPanel : public QObject, public LightingPanelSeam, private LightingView {
  Q_OBJECT

 public:
  // Every 50 ms while the view is shown and the window visible.
  static constexpr int kPreviewTickMs = 50;

  LightingPanel(MainWindow& window, KeyloftCore& core, SequenceRunner& runner);
  ~LightingPanel() override;

  // Places the controls; after the window's own buttons.
  void build();

  // LightingPanelSeam
  bool viewShown() const override { return viewOn_; }
  void paintKey(KeyCode key) override;
  void refresh(const LightingSnapshot& lighting) override;
  void update(const LightingSnapshot& lighting) override { lighting_ = lighting; }
  LightingView& view() override { return *this; }
  // The LED pictures: on asks the core first (an open editing dialog refuses).
  void toggleView(bool fromOffPicture);

  // For tests and the benchmark: the colour a key button shows, none when it
  // shows no colour.
  std::optional<Colour> keyColour(KeyCode key) const;
  bool previewRunning() const { return previewTimer_.isActive(); }
  QWidget* control(const std::string& skinKey) const;
  // A panel picture by file name, as loaded from the skin folder.
  const QPixmap& picture(const std::string& file);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  // LightingView, on the Qt thread.
  void RefreshPanel() override;
  void BlankKeyColours() override;
  void LayDirectionArrows(int mode) override;
  void ShowEffectControls(int mode) override;
  void RepaintKeysFromMirror() override;
  void LeaveLightingView() override;
  void FillSchemeList(std::span<const std::string> names) override;
  void RestartPreview() override;

  template <class T>
  T* make(const std::string& skinKey);
  void wire();
  void turnViewOn(bool fromOffPicture);
  void showControls(int mode, bool enteringView, bool fromOffPicture);
  void hidePanel();
  void showBrushChannels();
  void imageLedPictures();
  void imageSliders();
  void imageArrows(int mode);
  void imageMulticolour();
  void imageFourColour();
  void imageTools();
  void syncUserControls();
  void setKeyColour(KeyCode key, std::optional<Colour> colour);
  void dressKeys(bool on);
  void previewTick();
  void updatePreviewTimer();
  void chooseColour(const QColor& color, ColorButton* from);
  template <class Work>
  void send(Work work);

  MainWindow& window_;
  KeyloftCore& core_;
  SequenceRunner& runner_;
  LightingSnapshot lighting_;
  bool viewOn_ = false;
  std::map<std::string, QWidget*> controls_;
  std::array<QSpinBox*, 3> channels_{};  // the brush colour's red, green and blue
  std::map<std::string, QPixmap> pictures_;
  std::map<KeyCode, std::optional<Colour>> keyColours_;
  QComboBox* effects_ = nullptr;
  QComboBox* schemes_ = nullptr;
  PixmapSlider* brightness_ = nullptr;
  PixmapSlider* speed_ = nullptr;
  std::array<ColorButton*, 2> effectColour_{};  // breathing-type, reactive
  ColorButton* brushColour_ = nullptr;
  ColorButton* baseColour_ = nullptr;
  std::string directionSuffix_;
  QTimer previewTimer_;
  EffectPreview preview_;
};

}  // namespace keyloft::app
