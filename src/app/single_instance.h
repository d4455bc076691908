// One copy of Keyloft per user. The first copy holds a lock file and listens
// on a local socket, both in the user's private runtime folder; a later start
// finds the lock taken, sends the running copy "OPEN" (or "KILL") and ends.
// A copy that crashed leaves a lock whose process is gone and a socket no one
// listens on: both are taken over, never a reason to refuse to start.
#pragma once

#include <QLocalServer>
#include <QLockFile>
#include <QObject>
#include <QString>
#include <filesystem>
#include <memory>

namespace keyloft::app {

inline constexpr char kOpenMessage[] = "OPEN";
inline constexpr char kKillMessage[] = "KILL";

class SingleInstance : public QObject {
  Q_OBJECT

 public:
  enum class Role {
    First,     // this copy runs: it holds the lock and listens
    Told,      // another copy runs and was told
    Unreachable,  // another copy holds the lock but does not answer
    NoFolder,  // no private folder for the lock (see error())
  };

  // folder: the user's private runtime folder (PrivateRuntimeFolder).
  explicit SingleInstance(std::filesystem::path folder, QObject* parent = nullptr);
  ~SingleInstance() override;

  // Becomes the running copy, or tells the running one message ("OPEN" or "KILL").
  Role claim(const QString& message);
  QString error() const { return error_; }
  QString socketPath() const;

 signals:
  // The running copy was told by a later start.
  void openRequested();
  void killRequested();

 private:
  void readMessage();

  std::filesystem::path folder_;
  std::unique_ptr<QLockFile> lock_;
  QLocalServer server_;
  QString error_;
};

}  // namespace keyloft::app
