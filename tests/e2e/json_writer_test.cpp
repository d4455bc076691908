// The hand-written JSON of keyloftctl: whatever a name or path holds, the
// document stays valid and reads back as written.
#include "cli/json_writer.h"

#include <gtest/gtest.h>

#include "json_reader.h"

namespace keyloft::cli {
namespace {

TEST(CtlJsonWriter, EscapesEveryCharacterJsonForbidsRaw) {
  const std::string awkward = std::string("quote\" back\\ tab\t nl\n cr\r bell\x07 nul") + '\0' + " é";
  EXPECT_EQ(JsonQuote(awkward), "\"quote\\\" back\\\\ tab\\t nl\\n cr\\r bell\\u0007 nul\\u0000 é\"");
  JsonWriter json;
  json.BeginObject().Key(awkward).String(awkward).EndObject();
  const auto doc = test::ParseJson(json.Text());
  ASSERT_TRUE(doc) << json.Text();
  EXPECT_EQ((*doc)[awkward].text, awkward);
}

TEST(CtlJsonWriter, SeparatesNestedMembersAndItems) {
  JsonWriter json;
  json.BeginObject()
      .Key("empty").BeginArray().EndArray()
      .Key("list").BeginArray().Int(-1).Bool(true).Null().BeginObject().Key("a").Int(2).EndObject().EndArray()
      .Key("last").String("x")
      .EndObject();
  EXPECT_EQ(json.Text(), R"({"empty":[],"list":[-1,true,null,{"a":2}],"last":"x"})");
}

}  // namespace
}  // namespace keyloft::cli
