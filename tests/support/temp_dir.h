// A temporary folder for one test, removed with everything in it afterwards.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace keyloft::test {

class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::filesystem::path& Path() const { return path_; }
  std::filesystem::path operator/(std::string_view name) const { return path_ / name; }

  // Writes a file below the folder (creating its folders) and returns its path.
  std::filesystem::path Write(std::string_view name, std::string_view content) const;
  // The content of a file below the folder, or "<missing>".
  std::string Read(std::string_view name) const;
  // The content of any file, or "<missing>".
  static std::string ReadFile(const std::filesystem::path& path);

 private:
  std::filesystem::path path_;
};

}  // namespace keyloft::test
