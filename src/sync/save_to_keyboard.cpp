#include "sync/save_to_keyboard.h"

#include <algorithm>
#include <utility>
#include <vector>

#include "device/connection.h"
#include "model/key_assignments.h"
#include "model/macros.h"
#include "store/write_journal.h"

namespace keyloft {

std::filesystem::path JournalFileOf(DeviceContext& device) {
  if (device.journalFolder.empty()) return {};
  return WriteJournalFile(device.journalFolder, device.commandLink.Info().vendorId, device.commandLink.Info().productId);
}

DevResult WriteMacrosAndKeyMaps(CommandChannel& channel, std::span<const uint8_t> macroImage,
                                std::span<const std::pair<int, std::vector<uint8_t>>> keyMaps, bool* begun) {
  DevResults results;
  results.Add(channel.DevBegin());
  if (begun) *begun = results.Ok();
  results.Add(channel.DevWriteMacros(macroImage));
  for (const auto& [profile, image] : keyMaps) results.Add(channel.DevWriteKeyMap(image, profile));
  // A bracket the keyboard never saw closed is no finished write.
  results.Add(channel.DevEnd());
  return results.First();
}

SaveOutcome SaveToKeyboard(ProfileWorkspace& workspace, DeviceContext& device, CommandChannel& channel,
                           Prompts& prompts, bool allProfiles) {
  DeviceSequence sequence(device, DeviceSequence::Fresh);
  SaveOutcome outcome;
  const bool all = allProfiles || workspace.WriteAll();
  // Known before the snapshot, so no lock is held while the keyboard answers.
  const int active = all ? 0 : GetActiveProfile(device, channel);
  std::array<uint8_t, kDefaultKeyMapBytes> defaultMap;
  {
    std::scoped_lock lock(device.stateLock);
    defaultMap = device.defaultKeyMap;
  }
  const auto defaultImage = std::span<const uint8_t>(defaultMap).first(device.keyMapBytes);
  const size_t capacity = device.macroCapacity;

  bool fits = true;
  std::vector<uint8_t> macroImage;
  std::vector<std::pair<int, std::vector<uint8_t>>> keyMaps;
  workspace.Snapshot(
      [&](ProfileData& working, ProfileData& upload) {
        upload.block = working.block;
        upload.macros = working.macros;
        auto header = BuildProfileHeader(static_cast<uint16_t>(std::min(upload.macros.size(), kMaxMacros)),
                                         static_cast<uint32_t>(working.texts.TotalBytes()));
        std::copy(header.begin(), header.end(), upload.block.header.begin());
        // Texts packed in slot order; each working record learns where its
        // text went, while the snapshot keeps the values it was taken with.
        upload.packedTexts = PackTexts(working);
        upload.texts = working.texts;
      },
      [&](const ProfileData& upload) {
        // The macro image: with names when they fit, else without and a word afterwards.
        const MacroImageSize sizes = MacroImageSizes(upload.macros);
        if (sizes.withoutNames > capacity || upload.macros.size() > kMaxMacros) {
          fits = false;
          return;
        }
        outcome.namesDropped = sizes.withNames > capacity;
        macroImage = BuildMacroImage(upload.macros, !outcome.namesDropped);
        if (all) {
          for (int p = 0; p < static_cast<int>(kProfiles); ++p) {
            keyMaps.emplace_back(p, EncodeKeyMapImage(upload.block.arrays[static_cast<size_t>(p)], defaultImage,
                                                      upload.macros));
          }
        } else {
          // An unknown active profile is refused by the key-map write itself.
          const auto& records = upload.block.arrays[active >= 0 && active < 3 ? static_cast<size_t>(active) : 0];
          keyMaps.emplace_back(active, EncodeKeyMapImage(records, defaultImage, upload.macros));
        }
        // Noted first, so a write cut short is finished at the next connection
        // instead of its torn content being read as the keyboard's.
        const std::filesystem::path journal = JournalFileOf(device);
        if (!journal.empty()) {
          [[maybe_unused]] bool noted = SaveWriteJournal(journal, {device.commandLink.Info().vendorId,
                                                                    device.commandLink.Info().productId, macroImage, keyMaps});
        }
        bool begun = false;
        outcome.device = WriteMacrosAndKeyMaps(channel, macroImage, keyMaps, &begun);
        // Only a write the keyboard stopped answering in the middle of is left
        // to finish: one done, refused by a keyboard that answers, or never begun is not.
        if (!journal.empty() && !WriteCutShort(begun, outcome.device)) RemoveWriteJournal(journal);
      });

  if (!fits) {
    prompts.Notify("EXTRA_MACRO_TOO_LONG");
    outcome.result = SaveResult::MacrosTooLong;
    return outcome;
  }
  if (outcome.namesDropped) prompts.Notify("EXTRA_PROFILE_SPACE_TIGHT");
  outcome.result = outcome.device == DevResult::Ok ? SaveResult::Saved : SaveResult::WriteFailed;
  if (outcome.result == SaveResult::Saved) workspace.SetWriteAll(false);
  return outcome;
}

}  // namespace keyloft
