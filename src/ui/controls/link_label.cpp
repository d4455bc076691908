#include "ui/controls/link_label.h"

#include <QDesktopServices>
#include <QKeyEvent>
#include <QMouseEvent>

namespace keyloft {

LinkLabel::LinkLabel(QWidget* parent) : QLabel(parent) {
  setCursor(Qt::PointingHandCursor);
  setFocusPolicy(Qt::TabFocus);
  // The caption is shown as written, never read as markup.
  setTextFormat(Qt::PlainText);
  setOpenExternalLinks(true);
  restyle();
}

LinkLabel::LinkLabel(const QString& text, const QUrl& url, QWidget* parent) : LinkLabel(parent) {
  setText(text);
  setUrl(url);
}

void LinkLabel::setUrl(const QUrl& url) {
  url_ = url;
  setToolTip(url.toString());
}

void LinkLabel::setColors(const QColor& link, const QColor& visited, const QColor& hover) {
  linkColor_ = link;
  visitedColor_ = visited;
  hoverColor_ = hover;
  restyle();
}

void LinkLabel::setVisited(bool visited) {
  visited_ = visited;
  restyle();
}

void LinkLabel::restyle() {
  QColor color = visited_ ? visitedColor_ : linkColor_;
  if (hover_ && hoverColor_.isValid()) color = hoverColor_;
  QPalette pal = palette();
  pal.setColor(QPalette::WindowText, color);
  setPalette(pal);
  QFont f = font();
  f.setUnderline(hover_);
  setFont(f);
}

bool LinkLabel::follow() {
  setVisited(true);
  emit clicked();
  if (!openExternalLinks()) {
    emit linkActivated(url_.toString());
    return true;
  }
  return QDesktopServices::openUrl(url_);
}

void LinkLabel::enterEvent(QEnterEvent* event) {
  QLabel::enterEvent(event);
  hover_ = true;
  restyle();
}

void LinkLabel::leaveEvent(QEvent* event) {
  QLabel::leaveEvent(event);
  hover_ = false;
  restyle();
}

void LinkLabel::mousePressEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) return QLabel::mousePressEvent(event);
  pressed_ = true;
}

void LinkLabel::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton || !pressed_) return QLabel::mouseReleaseEvent(event);
  pressed_ = false;
  // A press dragged off the link and released elsewhere is no click.
  if (rect().contains(event->position().toPoint())) follow();
}

void LinkLabel::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter || event->key() == Qt::Key_Space) {
    follow();
    return;
  }
  QLabel::keyPressEvent(event);
}

}  // namespace keyloft
