#include "app/about_box.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "ui/controls/link_label.h"

namespace keyloft::app {

AboutBox::AboutBox(const Localisation& lang, std::filesystem::path manual, QWidget* parent) : QDialog(parent) {
  auto text = [&](std::string_view key) { return QString::fromStdString(lang.GetText(key)); };
  setWindowTitle(text("LANG_ABOUT_TITLE"));
  setAttribute(Qt::WA_DeleteOnClose);
  setModal(false);
  auto* layout = new QVBoxLayout(this);
  auto* title = new QLabel(QStringLiteral("<b>Keyloft %1</b>").arg(QStringLiteral(KEYLOFT_VERSION)), this);
  layout->addWidget(title);
  auto* about = new QLabel(text("GUANYU_JIESHAO"), this);
  about->setWordWrap(true);
  layout->addWidget(about);
  auto* rights = new QLabel(text("GUANYU_BANQUAN"), this);
  rights->setWordWrap(true);
  layout->addWidget(rights);
  // The manual beside the program: a link the project owns, offline.
  auto* link = new LinkLabel(text("MENU_4"), QUrl::fromLocalFile(QString::fromStdString(manual.string())), this);
  link->setOpenExternalLinks(false);
  // The box's own palette: a link of the fixed hyperlink blue is lost on a dark window.
  const QColor linkColour = palette().color(QPalette::Link);
  link->setColors(linkColour, linkColour, linkColour.lighter(125));
  connect(link, &QLabel::linkActivated, this, &AboutBox::manualRequested);
  connect(link, &LinkLabel::clicked, this, &AboutBox::manualRequested);
  layout->addWidget(link);
  auto* buttons = new QDialogButtonBox(this);
  buttons->addButton(text("LANG_ABOUT_OK"), QDialogButtonBox::AcceptRole);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  layout->addWidget(buttons);
}

}  // namespace keyloft::app
