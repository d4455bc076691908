// Profile files (".fwc"): the record block, the macro records and the packed
// texts of a model, with a checked header. Backups, restores, the profile
// manager's files and the per-user working copy ($Profile0) all use it.
#pragma once

#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <vector>

#include "model/profile_data.h"

namespace keyloft {

class Prompts;

enum ProfileFileCheck : int {
  kProfileFileValid = 1,
  kProfileFileRejected = 0,    // missing, too short or too long, or a header that fails its tests
  kProfileFileUnreadable = -2, // cannot be opened for reading
  kProfileFileNoMemory = -3,
};

// Whether path holds an acceptable profile file. A header that fails its tests
// (or declares more than the file holds) or a damaged body (a value no program
// writes, a macro record that does not hold together, bytes past what the
// header declares) is shown as PROFILE_FORMAT_ERROR with the path, and damage
// says what was found; the other refusals say nothing.
int ValidateProfileFile(const std::filesystem::path& path, Prompts& prompts, std::string* damage = nullptr);

// The model held in a valid file. False, with profile untouched, when the file
// cannot be read or is not valid. Texts come only from inside the pool.
bool LoadProfileFile(const std::filesystem::path& path, ProfileData& profile);

// Writes the model to path, atomically: on failure the old file stays. The
// header is rebuilt from the model and the records of texts learn their pool
// offsets. The caller holds the model's lock.
bool SaveProfileFile(const std::filesystem::path& path, ProfileData& profile);

// The same in two steps: the file's bytes (the header rebuilt and the text
// records told their offsets, as above), and those bytes put on disk
// atomically; so the model's lock need not be held while the disk works.
std::vector<uint8_t> EncodeProfileFile(ProfileData& profile);
bool WriteProfileFile(const std::filesystem::path& path, std::span<const uint8_t> bytes);

// A profile file of the default model, without touching any model.
bool CreateDefaultProfileFile(const std::filesystem::path& path);

// The per-user working copy of the model, in the user data folder.
std::filesystem::path WorkingProfileFile(const std::filesystem::path& userDataFolder);

}  // namespace keyloft
