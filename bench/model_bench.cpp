// The keyboard model's image work, so later changes can be compared:
// a macro area as large as the keyboard can announce (255 blocks of 128
// bytes), and the key-map image of one profile.
#include <benchmark/benchmark.h>

#include "model/effect_preview.h"

#include "model/default_key_map.h"
#include "model/key_assignments.h"
#include "model/keyboard_model.h"
#include "lang/localisation.h"
#include "model/macros.h"

namespace keyloft {
namespace {

constexpr size_t kLargestMacroArea = 255 * 128;

// Eight named macros whose image fills the largest area.
MacroList FullAreaList() {
  MacroList list(8);
  for (size_t i = 0; i < list.size(); ++i) {
    list[i].id = static_cast<uint16_t>(i + 1);
    list[i].name = u"Macro with a long descriptive name " + std::u16string(1, static_cast<char16_t>(u'A' + i));
  }
  size_t step = 0;
  while (MacroImageSizes(list).withNames + 4 <= kLargestMacroArea) {
    list[step % list.size()].steps.push_back({static_cast<uint32_t>(step % 400) * 10, 0x01E, static_cast<uint16_t>(step % 2)});
    ++step;
  }
  return list;
}

void BM_BuildFullMacroArea(benchmark::State& state) {
  const MacroList list = FullAreaList();
  for (auto _ : state) benchmark::DoNotOptimize(BuildMacroImage(list, true));
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(kLargestMacroArea));
}
BENCHMARK(BM_BuildFullMacroArea);

void BM_DecodeFullMacroArea(benchmark::State& state) {
  const auto image = BuildMacroImage(FullAreaList(), true);
  for (auto _ : state) benchmark::DoNotOptimize(DecodeMacroImage(image, u"Macro "));
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(image.size()));
}
BENCHMARK(BM_DecodeFullMacroArea);

RecordArray EveryKeyReassigned() {
  RecordArray records;
  InitRecordArray(records);
  for (KeyCode c : kFullSizeKeys) records[KeyCodeToIndex(c)] = {kAssignKey, 0, 0x01E};
  return records;
}

void BM_EncodeKeyMap(benchmark::State& state) {
  const RecordArray records = EveryKeyReassigned();
  const MacroList macros;
  for (auto _ : state) benchmark::DoNotOptimize(EncodeKeyMapImage(records, BuiltInDefaultKeyMap(), macros));
}
BENCHMARK(BM_EncodeKeyMap);

void BM_DecodeKeyMap(benchmark::State& state) {
  const auto image = EncodeKeyMapImage(EveryKeyReassigned(), BuiltInDefaultKeyMap(), {});
  RecordArray records;
  for (auto _ : state) {
    DecodeKeyMapImage(image, BuiltInDefaultKeyMap(), records);
    benchmark::DoNotOptimize(records);
  }
}
BENCHMARK(BM_DecodeKeyMap);

// The tooltip of every key button of the main window: the 105 keys, G1..G9
// and their assignments, named through the language file (parsed once).
void BM_DescribeEveryKeyButton(benchmark::State& state) {
  const Localisation lang(KEYLOFT_ASSETS_DIR, 0x0409);
  ProfileData model;
  BuildDefaultProfile(model);
  model.block.arrays[0] = EveryKeyReassigned();
  const std::vector<KeyCode> keys = AssignableKeys(DefaultKeyboardModel());
  for (auto _ : state) {
    for (KeyCode key : keys) benchmark::DoNotOptimize(DescribeKey(lang, model, 0, key));
  }
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * keys.size()));
}
BENCHMARK(BM_DescribeEveryKeyButton)->Unit(benchmark::kMicrosecond);

// One preview frame of an effect, multicolour (1) or one colour (0).
void BM_PreviewFrame(benchmark::State& state) {
  EffectPreview preview([] { return 12345u; });
  const PreviewInput input{static_cast<LightingMode>(state.range(0)), kDirectionFirst, state.range(1) != 0,
                           MakeColour(200, 100, 50)};
  for (auto _ : state) benchmark::DoNotOptimize(preview.Tick(input));
}
BENCHMARK(BM_PreviewFrame)
    ->ArgsProduct({{1, 2, 3, 4, 5, 6, 10, 11, 12, 13, 14, 15, 16, 18}, {0, 1}})
    ->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace keyloft
