#include "cli/control_server.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <streambuf>
#include <vector>

#include "cli/commands.h"
#include "cli/control_protocol.h"

namespace keyloft::cli {
namespace {

// A client that connected says what it wants at once; one that does not is dropped.
constexpr int kRequestWaitMs = 5000;
// A client that stops reading (watch piped into a pager that waits) is
// dropped after this, so the sequence thread that prints to it never stalls for long.
constexpr int kSendWaitMs = 2000;
// keyloftctl commands served at once; more are refused.
constexpr size_t kMaxConnections = 32;

bool SendAll(int fd, std::span<const uint8_t> bytes) {
  while (!bytes.empty()) {
    const ssize_t n = ::send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
      pollfd p{fd, POLLOUT, 0};
      if (::poll(&p, 1, kSendWaitMs) <= 0) return false;
      continue;
    }
    if (n <= 0) return false;
    bytes = bytes.subspan(static_cast<size_t>(n));
  }
  return true;
}

// Waits for fd to be readable or to hang up, or for cancel; false on cancel or time-out.
bool WaitReadable(int fd, int cancelFd, int timeoutMs) {
  pollfd fds[] = {{fd, POLLIN, 0}, {cancelFd, POLLIN, 0}};
  for (;;) {
    const int n = ::poll(fds, 2, timeoutMs);
    if (n < 0 && errno == EINTR) continue;
    return n > 0 && fds[1].revents == 0;
  }
}

}  // namespace

// One client: its socket, its thread, and the output streams its command writes to.
struct ControlServer::Connection {
  // Sends what is written as Output messages, whenever the stream is flushed
  // or its buffer is full, so a long command's lines arrive as they come.
  class Buffer : public std::streambuf {
   public:
    Buffer(Connection& connection, OutputStream stream) : connection_(connection), stream_(stream) {
      setp(chunk_, chunk_ + sizeof chunk_);
    }
    ~Buffer() override { sync(); }

   protected:
    int_type overflow(int_type c) override {
      if (sync() != 0) return traits_type::eof();
      if (!traits_type::eq_int_type(c, traits_type::eof())) {
        *pptr() = traits_type::to_char_type(c);
        pbump(1);
      }
      return traits_type::not_eof(c);
    }
    int sync() override {
      const auto n = static_cast<size_t>(pptr() - pbase());
      if (n == 0) return 0;
      connection_.Send(EncodeOutput(stream_, std::string_view(pbase(), n)));
      setp(chunk_, chunk_ + sizeof chunk_);
      return 0;  // a client that went away is noticed by the command's end, not here
    }

   private:
    Connection& connection_;
    OutputStream stream_;
    char chunk_[4096];
  };

  explicit Connection(int socket) : fd(socket), outBuffer(*this, OutputStream::Out), errBuffer(*this, OutputStream::Err),
                                    out(&outBuffer), err(&errBuffer) {}
  ~Connection() {
    // What is buffered goes while the socket is still ours.
    out.flush();
    err.flush();
    ::close(fd);
  }

  // From any thread: the command's and the sequences' writes meet here.
  void Send(const std::vector<uint8_t>& message) {
    std::scoped_lock lock(sendMutex);
    if (!broken && !SendAll(fd, message)) broken = true;
  }

  int fd;
  std::mutex sendMutex;
  bool broken = false;  // guarded by sendMutex
  Buffer outBuffer;
  Buffer errBuffer;
  std::ostream out;
  std::ostream err;
  std::thread thread;
  std::atomic<bool> finished{false};
};

ControlServer::ControlServer(KeyloftCore& core, Executor& executor, std::string transportKey)
    : core_(core), executor_(executor), transportKey_(std::move(transportKey)), allowedUid_(::geteuid()) {}

ControlServer::~ControlServer() { Stop(); }

bool ControlServer::Start(const std::filesystem::path& path, std::string& error) {
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  if (path.native().size() >= sizeof address.sun_path) {
    error = "the socket path " + path.string() + " is too long";
    return false;
  }
  std::memcpy(address.sun_path, path.c_str(), path.native().size());
  listenFd_ = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  cancelFd_ = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
  if (listenFd_ < 0 || cancelFd_ < 0) {
    error = std::string("cannot make a socket: ") + std::strerror(errno);
    Stop();
    return false;
  }
  // Only one copy runs per user (the single-instance lock), so a file here is a crashed copy's.
  ::unlink(path.c_str());
  // Created owner-only: no moment in which another user could connect.
  const mode_t previous = ::umask(0177);
  const int bound = ::bind(listenFd_, reinterpret_cast<const sockaddr*>(&address), sizeof address);
  ::umask(previous);
  if (bound != 0 || ::listen(listenFd_, 16) != 0) {
    error = "cannot listen on " + path.string() + ": " + std::strerror(errno);
    Stop();
    return false;
  }
  path_ = path;
  acceptThread_ = std::thread([this] { AcceptLoop(); });
  return true;
}

void ControlServer::Stop() {
  if (cancelFd_ >= 0) {
    const uint64_t one = 1;
    [[maybe_unused]] ssize_t n = ::write(cancelFd_, &one, sizeof one);
  }
  if (acceptThread_.joinable()) acceptThread_.join();
  std::list<std::unique_ptr<Connection>> connections;
  {
    std::scoped_lock lock(connectionsMutex_);
    connections.swap(connections_);
  }
  for (auto& c : connections) {
    if (c->thread.joinable()) c->thread.join();
  }
  if (listenFd_ >= 0) ::close(listenFd_);
  if (cancelFd_ >= 0) ::close(cancelFd_);
  listenFd_ = cancelFd_ = -1;
  if (!path_.empty()) ::unlink(path_.c_str());
  path_.clear();
}

void ControlServer::ReapFinished() {
  std::scoped_lock lock(connectionsMutex_);
  for (auto it = connections_.begin(); it != connections_.end();) {
    if ((*it)->finished) {
      (*it)->thread.join();
      it = connections_.erase(it);
    } else {
      ++it;
    }
  }
}

void ControlServer::AcceptLoop() {
  while (WaitReadable(listenFd_, cancelFd_, -1)) {
    const int fd = ::accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC);
    if (fd < 0) continue;
    ReapFinished();
    auto connection = std::make_unique<Connection>(fd);
    ucred peer{};
    socklen_t length = sizeof peer;
    if (::getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &peer, &length) != 0 || peer.uid != allowedUid_) {
      connection->Send(EncodeError("refused: the running keyloft serves only its own user"));
      continue;  // closed as the connection goes
    }
    Connection& c = *connection;
    std::scoped_lock lock(connectionsMutex_);
    if (connections_.size() >= kMaxConnections) {
      connection->Send(EncodeError("busy: " + std::to_string(kMaxConnections) + " keyloftctl commands are running already"));
      continue;
    }
    connections_.push_back(std::move(connection));
    c.thread = std::thread([this, &c] {
      Serve(c);
      // The client hears the end at once; the socket itself goes when the connection is reaped.
      c.out.flush();
      c.err.flush();
      ::shutdown(c.fd, SHUT_RDWR);
      c.finished = true;
    });
  }
}

void ControlServer::Serve(Connection& connection) {
  MessageReader reader;
  std::vector<uint8_t> body;
  uint8_t chunk[4096];
  MessageReader::Status status = MessageReader::Status::NeedMore;
  while ((status = reader.Next(body)) == MessageReader::Status::NeedMore) {
    if (!WaitReadable(connection.fd, cancelFd_, kRequestWaitMs)) return;
    const ssize_t n = ::recv(connection.fd, chunk, sizeof chunk, 0);
    if (n <= 0) return;
    reader.Feed(std::span(chunk, static_cast<size_t>(n)));
  }
  std::string why;
  const std::optional<ControlRequest> request =
      status == MessageReader::Status::Message ? DecodeRequest(body, &why) : std::nullopt;
  if (!request) {
    connection.Send(EncodeError("a malformed request" + (why.empty() ? std::string() : ": " + why)));
    return;
  }
  if (request->version != kControlProtocolVersion) {
    connection.Send(EncodeError("the running keyloft speaks control protocol " + std::to_string(kControlProtocolVersion) +
                                " and this keyloftctl " + std::to_string(request->version) +
                                "; use the keyloftctl installed with it"));
    return;
  }
  if (request->transport != transportKey_) {
    connection.Send(EncodeDecline("the running keyloft serves " + transportKey_));
    return;
  }
  if (request->words.empty()) {
    connection.Send(EncodeError("a request without a command"));
    return;
  }
  if (request->words[0] == kProbeWord) {  // doctor asks who serves the keyboard
    connection.Send(EncodeOutput(OutputStream::Out, transportKey_));
    connection.Send(EncodeExit(kExitOk));
    return;
  }

  // The command runs until it returns; watch until the client hangs up.
  const Host host{core_, executor_, [this, &connection] {
                    char byte;
                    while (WaitReadable(connection.fd, cancelFd_, -1)) {
                      const ssize_t n = ::recv(connection.fd, &byte, 1, 0);
                      if (n == 0 || (n < 0 && errno != EINTR)) return;
                    }
                  }};
  GlobalOptions options;
  options.json = request->flags & kFlagJson;
  options.yes = request->flags & kFlagYes;
  options.verify = request->flags & kFlagVerify;
  options.verbose = request->flags & kFlagVerbose;
  options.host = &host;
  options.callerFolder = request->folder;
  int code = kExitOk;
  {
    OutputScope scope(connection.out, connection.err);
    code = RunCommand(options, request->words);
  }
  connection.out.flush();
  connection.err.flush();
  connection.Send(EncodeExit(code));
  if (afterCommand_) afterCommand_();
}

}  // namespace keyloft::cli
