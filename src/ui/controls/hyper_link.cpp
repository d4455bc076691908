#include "ui/controls/hyper_link.h"

#include <QDesktopServices>
#include <QKeyEvent>
#include <QMouseEvent>

namespace keyloft {

CHyperLink::CHyperLink(QWidget* parent) : QLabel(parent) {
  setCursor(Qt::PointingHandCursor);
  setFocusPolicy(Qt::TabFocus);
  // The caption is shown as written, never read as markup.
  setTextFormat(Qt::PlainText);
  Restyle();
}

CHyperLink::CHyperLink(const QString& text, const QUrl& url, QWidget* parent) : CHyperLink(parent) {
  setText(text);
  SetURL(url);
}

void CHyperLink::SetColours(const QColor& link, const QColor& visited, const QColor& hover) {
  linkColour_ = link;
  visitedColour_ = visited;
  hoverColour_ = hover;
  Restyle();
}

void CHyperLink::SetVisited(bool visited) {
  visited_ = visited;
  Restyle();
}

void CHyperLink::Restyle() {
  QColor colour = visited_ ? visitedColour_ : linkColour_;
  if (hover_ && hoverColour_.isValid()) colour = hoverColour_;
  QPalette pal = palette();
  pal.setColor(QPalette::WindowText, colour);
  setPalette(pal);
  QFont f = font();
  f.setUnderline(hover_);
  setFont(f);
}

bool CHyperLink::Follow() {
  SetVisited(true);
  emit clicked();
  if (handler_) {
    handler_(url_);
    return true;
  }
  return QDesktopServices::openUrl(url_);
}

void CHyperLink::enterEvent(QEnterEvent* event) {
  QLabel::enterEvent(event);
  hover_ = true;
  Restyle();
}

void CHyperLink::leaveEvent(QEvent* event) {
  QLabel::leaveEvent(event);
  hover_ = false;
  Restyle();
}

void CHyperLink::mousePressEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) return QLabel::mousePressEvent(event);
  pressed_ = true;
}

void CHyperLink::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton || !pressed_) return QLabel::mouseReleaseEvent(event);
  pressed_ = false;
  // A press dragged off the link and released elsewhere is no click.
  if (rect().contains(event->position().toPoint())) Follow();
}

void CHyperLink::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter || event->key() == Qt::Key_Space) {
    Follow();
    return;
  }
  QLabel::keyPressEvent(event);
}

}  // namespace keyloft
