// Profile files from anywhere: the validator and the loader never read out of
// bounds, and whatever loads saves again and loads back the same.
#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <string>

#include "lang/prompts.h"
#include "store/profile_file.h"

namespace {

void Check(bool ok) {
  if (!ok) std::abort();
}

class QuietPrompts : public keyloft::Prompts {
 public:
  void Notify(std::string_view) override {}
  void NotifyFormatted(std::string_view, const keyloft::FormatArg&) override {}
  bool Confirm(std::string_view) override { return false; }
};

std::string MemoryFile(const uint8_t* data, size_t size, int& fd) {
  fd = ::memfd_create("profile", 0);
  size_t done = 0;
  while (done < size) {
    ssize_t n = ::write(fd, data + done, size - done);
    if (n <= 0) std::abort();
    done += static_cast<size_t>(n);
  }
  return "/proc/self/fd/" + std::to_string(fd);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace keyloft;
  int fd = -1;
  const std::string path = MemoryFile(data, size, fd);
  QuietPrompts prompts;
  const int valid = ValidateProfileFile(path, prompts);
  ProfileData loaded;
  const bool ok = LoadProfileFile(path, loaded);
  Check(ok == (valid == kProfileFileValid));
  ::close(fd);
  if (!ok) return 0;

  // What loads is a model like any other: it survives a save and a load.
  ProfileData copy = loaded;
  std::string saved = "/tmp/keyloft-profile-fuzz-" + std::to_string(::getpid());
  Check(SaveProfileFile(saved, copy));
  ProfileData reloaded;
  Check(LoadProfileFile(saved, reloaded));
  ::unlink(saved.c_str());
  Check(reloaded.macros == copy.macros && reloaded.texts.bySlot == copy.texts.bySlot);
  return 0;
}
