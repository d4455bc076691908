// A link label: its text in the link colour, a hand pointer, underlined
// while the pointer is over it, the visited colour once followed. A click
// opens the address in the user's browser, or goes to a handler when one is set.
#pragma once

#include <QColor>
#include <QLabel>
#include <QUrl>

#include <functional>

namespace keyloft {

class CHyperLink : public QLabel {
  Q_OBJECT

 public:
  using ClickHandler = std::function<void(const QUrl&)>;

  explicit CHyperLink(QWidget* parent = nullptr);
  CHyperLink(const QString& text, const QUrl& url, QWidget* parent = nullptr);

  void SetURL(const QUrl& url) { url_ = url; setToolTip(url.toString()); }
  QUrl GetURL() const { return url_; }
  void SetColours(const QColor& link, const QColor& visited, const QColor& hover = {});
  void SetVisited(bool visited);
  bool GetVisited() const { return visited_; }
  // Takes the click in place of the browser.
  void SetClickHandler(ClickHandler handler) { handler_ = std::move(handler); }

  // Follows the link as a click does; false when the browser could not be asked.
  bool Follow();

 signals:
  void clicked();

 protected:
  void enterEvent(QEnterEvent* event) override;
  void leaveEvent(QEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;

 private:
  void Restyle();

  QUrl url_;
  QColor linkColour_{0, 0, 238};
  QColor visitedColour_{85, 26, 139};
  QColor hoverColour_;  // invalid: the link or visited colour
  bool visited_ = false;
  bool hover_ = false;
  bool pressed_ = false;
  ClickHandler handler_;
};

}  // namespace keyloft
