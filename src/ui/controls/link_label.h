// A link label: its text in the link colour, a hand pointer, underlined
// while the pointer is over it, the visited colour once followed. As with a
// QLabel link, a click opens the address in the user's browser, or, with
// openExternalLinks off, emits linkActivated for the owner to follow.
#pragma once

#include <QColor>
#include <QLabel>
#include <QUrl>

namespace keyloft {

class LinkLabel : public QLabel {
  Q_OBJECT
  Q_PROPERTY(QUrl url READ url WRITE setUrl)
  Q_PROPERTY(bool visited READ isVisited WRITE setVisited)

 public:
  explicit LinkLabel(QWidget* parent = nullptr);
  LinkLabel(const QString& text, const QUrl& url, QWidget* parent = nullptr);

  // Also the tooltip.
  void setUrl(const QUrl& url);
  QUrl url() const { return url_; }
  // An invalid hover colour keeps the link or visited colour under the pointer.
  void setColors(const QColor& link, const QColor& visited, const QColor& hover = {});
  void setVisited(bool visited);
  bool isVisited() const { return visited_; }

  // Follows the link as a click does; false when the browser could not be asked.
  bool follow();

 signals:
  void clicked();

 protected:
  void enterEvent(QEnterEvent* event) override;
  void leaveEvent(QEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;

 private:
  void restyle();

  QUrl url_;
  QColor linkColor_{0, 0, 238};
  QColor visitedColor_{85, 26, 139};
  QColor hoverColor_;
  bool visited_ = false;
  bool hover_ = false;
  bool pressed_ = false;
};

}  // namespace keyloft
