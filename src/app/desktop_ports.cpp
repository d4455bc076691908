#include "app/desktop_ports.h"

#include <QMetaObject>
#include <QThread>
#include <future>

namespace keyloft::app {

struct DesktopPorts::Waiter {
  std::promise<bool> answer;
  bool answered = false;  // guarded by waitersMutex_
};

DesktopPorts::DesktopPorts(DesktopShell& shell, QObject* parent) : QObject(parent), shell_(shell) {}


QString DesktopPorts::text(std::string_view key) const {
  return QString::fromStdString(lang_ ? lang_->GetText(key) : std::string(key));
}

void DesktopPorts::onQtThread(std::function<void()> work) {
  if (QThread::currentThread() == thread()) {
    work();
  } else {
    QMetaObject::invokeMethod(this, std::move(work), Qt::QueuedConnection);
  }
}

bool DesktopPorts::waitForQtThread(std::function<bool()> work) {
  if (QThread::currentThread() == thread()) return work();
  auto waiter = std::make_shared<Waiter>();
  std::future<bool> answer = waiter->answer.get_future();
  {
    std::scoped_lock lock(waitersMutex_);
    if (closing_) return false;
    waiters_.push_back(waiter);
  }
  QMetaObject::invokeMethod(
      this,
      [this, waiter, work = std::move(work)] {
        bool value = false;
        {
          std::scoped_lock lock(waitersMutex_);
          if (waiter->answered) return;  // closed before its turn came
        }
        value = work();
        std::scoped_lock lock(waitersMutex_);
        if (waiter->answered) return;
        waiter->answered = true;
        waiter->answer.set_value(value);
        std::erase(waiters_, waiter);
      },
      Qt::QueuedConnection);
  return answer.get();
}

void DesktopPorts::close() {
  std::scoped_lock lock(waitersMutex_);
  closing_ = true;
  for (auto& waiter : waiters_) {
    if (waiter->answered) continue;
    waiter->answered = true;
    waiter->answer.set_value(false);
  }
  waiters_.clear();
}

void DesktopPorts::Notify(std::string_view textKey) {
  onQtThread([this, message = text(textKey)] { shell_.showNotice(message); });
}

void DesktopPorts::NotifyFormatted(std::string_view textKey, const FormatArg& argument) {
  const std::string formatted = lang_ ? lang_->FormatTextOf(textKey, argument) : std::string(textKey);
  onQtThread([this, message = QString::fromStdString(formatted)] {
    shell_.showNotice(message);
  });
}

bool DesktopPorts::Confirm(std::string_view textKey) {
  return waitForQtThread([this, question = text(textKey)] { return shell_.askYesNo(question); });
}

void DesktopPorts::KeyboardConnected() { onQtThread([this] { shell_.keyboardConnected(); }); }
void DesktopPorts::KeyboardRemoved() { onQtThread([this] { shell_.keyboardRemoved(); }); }
void DesktopPorts::OpenRequested() { onQtThread([this] { shell_.openRequested(); }); }
void DesktopPorts::ShowTrayIcon(TrayIcon icon) { onQtThread([this, icon] { shell_.showTrayIcon(icon); }); }

void DesktopPorts::SetApplyEnabled(bool enabled) { onQtThread([this, enabled] { shell_.setApplyEnabled(enabled); }); }

void DesktopPorts::StopRecording() {
  waitForQtThread([this] {
    shell_.stopRecording();
    return true;
  });
}

void DesktopPorts::ProfileManagerShowActive(int profile) {
  onQtThread([this, profile] { shell_.profileManagerShowActive(profile); });
}

void DesktopPorts::RedrawKeys() { onQtThread([this] { shell_.redrawKeys(); }); }
void DesktopPorts::MarkProfileButton(int profile) { onQtThread([this, profile] { shell_.markProfileButton(profile); }); }
void DesktopPorts::RefreshProfileCaption() { onQtThread([this] { shell_.refreshProfileCaption(); }); }

void DesktopPorts::lightingCall(std::function<void(LightingView&)> call) {
  // Read here, on the thread that changes the lighting; shown there.
  LightingSnapshot lighting = lightingSource_ ? lightingSource_() : LightingSnapshot{};
  onQtThread([this, lighting = std::move(lighting), call = std::move(call)] { shell_.lightingViewCall(lighting, call); });
}

void DesktopPorts::RefreshPanel() {
  LightingSnapshot lighting = lightingSource_ ? lightingSource_() : LightingSnapshot{};
  onQtThread([this, lighting = std::move(lighting)] { shell_.refreshLighting(lighting); });
}
void DesktopPorts::BlankKeyColours() {
  lightingCall([](LightingView& v) { v.BlankKeyColours(); });
}
void DesktopPorts::LayDirectionArrows(int mode) {
  lightingCall([mode](LightingView& v) { v.LayDirectionArrows(mode); });
}
void DesktopPorts::ShowEffectControls(int mode) {
  lightingCall([mode](LightingView& v) { v.ShowEffectControls(mode); });
}
void DesktopPorts::RepaintKeysFromMirror() {
  lightingCall([](LightingView& v) { v.RepaintKeysFromMirror(); });
}
void DesktopPorts::LeaveLightingView() {
  lightingCall([](LightingView& v) { v.LeaveLightingView(); });
}
void DesktopPorts::FillSchemeList(std::span<const std::string> names) {
  lightingCall([copy = std::vector<std::string>(names.begin(), names.end())](LightingView& v) { v.FillSchemeList(copy); });
}
void DesktopPorts::RestartPreview() {
  lightingCall([](LightingView& v) { v.RestartPreview(); });
}

void DesktopPorts::Show() { onQtThread([this] { shell_.showProgress(true); }); }
void DesktopPorts::Hide() { onQtThread([this] { shell_.showProgress(false); }); }

}  // namespace keyloft::app
