#include "app/diagnostics_report.h"

#include <QApplication>
#include <QClipboard>
#include <QDialogButtonBox>
#include <QGuiApplication>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStandardPaths>
#include <QSysInfo>
#include <QTimer>
#include <QVBoxLayout>

#include "lang/localisation.h"

namespace keyloft::app {
namespace {

// The doctor asks nothing and ends within its own timeouts; this is the
// bound for one that hangs all the same.
constexpr int kDoctorLimitMs = 30000;

}  // namespace

QString FindKeyloftctl() {
  QString found = QStandardPaths::findExecutable(QStringLiteral("keyloftctl"), {QCoreApplication::applicationDirPath()});
  if (found.isEmpty()) found = QStandardPaths::findExecutable(QStringLiteral("keyloftctl"));
  return found;
}

DiagnosticsReport::DiagnosticsReport(const Localisation& lang, QStringList doctorArguments, QWidget* parent)
    : QDialog(parent), lang_(lang), arguments_(std::move(doctorArguments)) {
  auto text = [this](std::string_view key) { return QString::fromStdString(lang_.GetText(key)); };
  setWindowTitle(text("MAIN_REPORT_TITLE") + QStringLiteral(" – Keyloft"));
  setAttribute(Qt::WA_DeleteOnClose);
  resize(620, 420);
  auto* layout = new QVBoxLayout(this);
  text_ = new QPlainTextEdit(this);
  text_->setReadOnly(true);
  text_->setLineWrapMode(QPlainTextEdit::NoWrap);
  text_->setPlainText(text("MAIN_REPORT_RUNNING"));
  text_->setAccessibleName(text("MAIN_REPORT_TITLE"));
  layout->addWidget(text_);
  auto* buttons = new QDialogButtonBox(this);
  copy_ = buttons->addButton(text("MAIN_REPORT_COPY"), QDialogButtonBox::ActionRole);
  copy_->setEnabled(false);
  buttons->addButton(QDialogButtonBox::Close);
  connect(copy_, &QPushButton::clicked, this, [this] { QGuiApplication::clipboard()->setText(this->text()); });
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::close);
  layout->addWidget(buttons);
  doctor_.setProcessChannelMode(QProcess::MergedChannels);
  connect(&doctor_, &QProcess::finished, this, [this] { finish(QString::fromUtf8(doctor_.readAll())); });
  connect(&doctor_, &QProcess::errorOccurred, this, [this](QProcess::ProcessError error) {
    if (error == QProcess::FailedToStart) finish(QStringLiteral("keyloftctl could not be started: ") + doctor_.errorString());
  });
}

void DiagnosticsReport::start() {
  const QString ctl = FindKeyloftctl();
  if (ctl.isEmpty()) {
    finish(QStringLiteral("keyloftctl was not found beside keyloft or on the PATH."));
    return;
  }
  doctor_.start(ctl, arguments_ + QStringList{QStringLiteral("doctor")});
  QTimer::singleShot(kDoctorLimitMs, &doctor_, [this] {
    if (doctor_.state() != QProcess::NotRunning) doctor_.kill();
  });
}

QString DiagnosticsReport::text() const { return text_->toPlainText(); }

void DiagnosticsReport::finish(const QString& doctorOutput) {
  if (done_) return;
  done_ = true;
  const QString report =
      QStringLiteral("Keyloft %1\nQt %2 on %3 (%4), platform %5, desktop %6 (%7)\n\n$ keyloftctl doctor\n%8")
          .arg(QStringLiteral(KEYLOFT_VERSION), QString::fromLatin1(qVersion()), QSysInfo::prettyProductName(),
               QSysInfo::currentCpuArchitecture(), QGuiApplication::platformName(),
               qEnvironmentVariable("XDG_CURRENT_DESKTOP", QStringLiteral("unknown")),
               qEnvironmentVariable("XDG_SESSION_TYPE", QStringLiteral("unknown")), doctorOutput.trimmed());
  text_->setPlainText(report);
  copy_->setEnabled(true);
  QGuiApplication::clipboard()->setText(report);
  emit reportReady();
}

}  // namespace keyloft::app
