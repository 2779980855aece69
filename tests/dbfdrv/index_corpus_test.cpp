// Compound indexes made by other writers: every tag's name, expressions,
// key count and the record order of a full walk, compared with what their
// tables hold and what the peers state of them.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "dbf_sample_reader.h"
#include "expr/expression.h"
#include "index/compound_index.h"
#include "support/temp_dir.h"
#include "table/engine_status.h"

using namespace dbf;

namespace {

struct Walk {
  std::vector<std::string> keys;
  std::vector<uint32_t> records;
};

std::string corpusFile(const std::string& rel) {
  std::string dir = qvtest::corpusDir();
  if (dir.empty()) return "";
  std::string path = dir + "/dbf/" + rel;
  return std::filesystem::exists(path) ? path : "";
}

Walk walk(IndexTree& tree) {
  Walk w;
  bool found = false;
  EXPECT_EQ(tree.first(found), StatusOk);
  while (found) {
    w.keys.push_back(tree.key());
    w.records.push_back(tree.record());
    EXPECT_EQ(tree.next(found), StatusOk);
  }
  return w;
}

std::vector<uint32_t> range(uint32_t from, uint32_t to) {
  std::vector<uint32_t> v;
  for (uint32_t i = from; i <= to; ++i) v.push_back(i);
  return v;
}

IndexOpenOptions readOnly() {
  IndexOpenOptions o;
  o.readOnly = true;
  return o;
}

struct TagFact {
  std::string name, expression, filter;
  int keyLength;
  std::vector<uint32_t> order;
};

void checkFile(const std::string& rel, const std::vector<TagFact>& facts) {
  std::string path = corpusFile(rel);
  if (path.empty()) GTEST_SKIP() << "corpus absent";
  CompoundIndex cdx;
  ASSERT_EQ(cdx.open(path, readOnly()), StatusOk) << rel;
  std::vector<TagEntry> tags;
  ASSERT_EQ(cdx.tags(tags), StatusOk);
  ASSERT_EQ(tags.size(), facts.size()) << rel;
  for (std::size_t i = 0; i < facts.size(); ++i) {
    const TagFact& f = facts[i];
    EXPECT_EQ(tags[i].name, f.name);
    IndexTree tag;
    ASSERT_EQ(cdx.openTag(f.name, f.expression.find("key_name") != std::string::npos ? KeyType::Character
                                                                                        : KeyType::Numeric,
                          tag),
              StatusOk);
    EXPECT_EQ(tag.header().keyExpression, f.expression);
    EXPECT_EQ(tag.header().forExpression, f.filter);
    EXPECT_EQ(tag.header().keyLength, f.keyLength);
    Walk w = walk(tag);
    EXPECT_EQ(w.records, f.order) << rel << " " << f.name;
    uint64_t count = 0;
    ASSERT_EQ(tag.count(count), StatusOk);
    EXPECT_EQ(count, f.order.size());
    std::string detail;
    EXPECT_EQ(tag.verify(detail), StatusOk) << detail;
  }
}

TEST(IndexCorpus, CallsTagsHoldEveryCallInTheirOrder) {
  // CALL_ID holds 1 to 16 in record order; CONTACT_ID the stable order of
  // the contact numbers (five calls of contact 1, six of 2, three of 3, ...).
  checkFile("infused-dbf/foxprodb/calls.CDX", {{"CALL_ID", "call_id", "", 4, range(1, 16)},
                                               {"CONTACT_ID", "contact_id", "", 4, range(1, 16)}});
}

TEST(IndexCorpus, ContactsTypesSetupTags) {
  checkFile("infused-dbf/foxprodb/contacts.CDX", {{"CONTACT_ID", "contact_id", "", 4, range(1, 5)},
                                                  {"TYPE_ID", "contact_type_id", "", 4, {2, 4, 5, 1, 3}}});
  checkFile("infused-dbf/foxprodb/types.CDX", {{"TYPE_ID", "contact_type_id", "", 4, {1, 2}}});
  checkFile("infused-dbf/foxprodb/setup.CDX", {{"KEY_NAME", "key_name", "", 50, {1, 2, 3}}});
}

TEST(IndexCorpus, KeysDecodeToTheValuesOfTheRecordsTheyName) {
  std::string cdxPath = corpusFile("infused-dbf/foxprodb/calls.CDX");
  if (cdxPath.empty()) GTEST_SKIP() << "corpus absent";
  auto records = dbftest::readSampleTable(corpusFile("infused-dbf/foxprodb/calls.dbf"));
  ASSERT_EQ(records.size(), 16u);
  CompoundIndex cdx;
  ASSERT_EQ(cdx.open(cdxPath, readOnly()), StatusOk);
  int verified = 0;
  for (const char* name : {"CALL_ID", "CONTACT_ID"}) {
    IndexTree tag;
    ASSERT_EQ(cdx.openTag(name, KeyType::Numeric, tag), StatusOk);
    Walk w = walk(tag);
    for (std::size_t i = 0; i < w.keys.size(); ++i) {
      // Integer keys: four bytes, big-endian, the sign bit flipped.
      ASSERT_EQ(w.keys[i].size(), 4u);
      uint32_t u = 0;
      for (char c : w.keys[i]) u = (u << 8) | static_cast<unsigned char>(c);
      int32_t value = static_cast<int32_t>(u ^ 0x80000000u);
      Expression e;
      ASSERT_EQ(e.compile(name), ExprOk);
      ExprValue v;
      ASSERT_EQ(e.evaluate(records[w.records[i] - 1], v), ExprOk);
      EXPECT_EQ(v.number, value);
      ++verified;
    }
  }
  EXPECT_EQ(verified, 32);  // 16 records in each tag
  // CALL_ID = 7 finds one record; CONTACT_ID = 1 five; 99 none.
  IndexTree contact;
  ASSERT_EQ(cdx.openTag("contact_id", KeyType::Numeric, contact), StatusOk);
  bool found = false;
  ASSERT_EQ(contact.find(std::string("\x80\x00\x00\x01", 4), FindMode::FirstEqual, 0, found), StatusOk);
  int ones = 0;
  while (found && contact.key() == std::string("\x80\x00\x00\x01", 4)) {
    ++ones;
    ASSERT_EQ(contact.next(found), StatusOk);
  }
  EXPECT_EQ(ones, 5);
  ASSERT_EQ(contact.find(std::string("\x80\x00\x00\x63", 4), FindMode::FirstEqual, 0, found), StatusOk);
  EXPECT_FALSE(found);
}

TEST(IndexCorpus, SetupKeysAreTheCaseSensitiveCharacterColumn) {
  std::string path = corpusFile("infused-dbf/foxprodb/setup.CDX");
  if (path.empty()) GTEST_SKIP() << "corpus absent";
  CompoundIndex cdx;
  ASSERT_EQ(cdx.open(path, readOnly()), StatusOk);
  IndexTree tag;
  ASSERT_EQ(cdx.openTag("KEY_NAME", KeyType::Character, tag), StatusOk);
  bool found = false;
  ASSERT_EQ(tag.find("CONTACTS", FindMode::FirstEqual, 0, found), StatusOk);
  EXPECT_TRUE(found);
  EXPECT_EQ(tag.record(), 2u);
  ASSERT_EQ(tag.find("contacts", FindMode::FirstEqual, 0, found), StatusOk);
  EXPECT_FALSE(found);
  // A prefix scan from "CONT" yields CONTACTS, then CONTACT_TYPES.
  ASSERT_EQ(tag.find("CONT", FindMode::FirstNotBelow, 0, found), StatusOk);
  std::vector<std::string> names;
  while (found && tag.key().compare(0, 4, "CONT") == 0) {
    names.push_back(tag.key().substr(0, tag.key().find_last_not_of(' ') + 1));
    ASSERT_EQ(tag.next(found), StatusOk);
  }
  EXPECT_EQ(names, (std::vector<std::string>{"CONTACTS", "CONTACT_TYPES"}));
}

// Tags whose keys are texts built by an expression: the walk equals the
// records that pass the filter, sorted by the evaluated key, ties in record
// order.
void checkEvaluatedOrder(const std::string& indexRel, const std::string& tableRel, std::size_t tagCount) {
  std::string path = corpusFile(indexRel);
  if (path.empty()) GTEST_SKIP() << "corpus absent";
  auto records = dbftest::readSampleTable(corpusFile(tableRel));
  ASSERT_FALSE(records.empty());
  CompoundIndex cdx;
  ASSERT_EQ(cdx.open(path, readOnly()), StatusOk);
  std::vector<TagEntry> tags;
  ASSERT_EQ(cdx.tags(tags), StatusOk);
  ASSERT_EQ(tags.size(), tagCount);
  for (const TagEntry& t : tags) {
    IndexTree tag;
    ASSERT_EQ(cdx.openTag(t.name, KeyType::Character, tag), StatusOk);
    Expression key, filter;
    ASSERT_EQ(key.compile(tag.header().keyExpression), ExprOk) << tag.header().keyExpression;
    if (!tag.header().forExpression.empty()) {
      ASSERT_EQ(filter.compile(tag.header().forExpression), ExprOk);
    }
    std::vector<std::pair<std::string, uint32_t>> expected;
    for (const auto& r : records) {
      bool in = true;
      if (!filter.empty()) {
        ASSERT_EQ(filter.test(r, in), ExprOk);
      }
      if (!in) continue;
      ExprValue v;
      ASSERT_EQ(key.evaluate(r, v), ExprOk);
      std::string k = exprValueText(v);
      k.resize(static_cast<std::size_t>(tag.header().keyLength), ' ');
      expected.emplace_back(k, r.number);
    }
    std::stable_sort(expected.begin(), expected.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    Walk w = walk(tag);
    ASSERT_EQ(w.keys.size(), expected.size()) << t.name;
    for (std::size_t i = 0; i < expected.size(); ++i) {
      EXPECT_EQ(w.keys[i], expected[i].first) << t.name << " entry " << i;
      EXPECT_EQ(w.records[i], expected[i].second) << t.name << " entry " << i;
    }
  }
}

TEST(IndexCorpus, DatabaseContainerTagsFollowTheirExpressionsAndFilters) {
  checkEvaluatedOrder("infused-dbf/foxprodb/FOXPRO-DB-TEST.DCX", "infused-dbf/foxprodb/FOXPRO-DB-TEST.DBC", 2);
}

// This table gained records from a writer that left its index as it was:
// the tags still hold the first record only.
TEST(IndexCorpus, AnotherWritersTagsWithAFilter) {
  std::string path = corpusFile("php-xbase/foxpro/issue115.cdx");
  if (path.empty()) return;
  CompoundIndex cdx;
  ASSERT_EQ(cdx.open(path, readOnly()), StatusOk);
  IndexTree cod;
  ASSERT_EQ(cdx.openTag("COD", KeyType::Character, cod), StatusOk);
  EXPECT_EQ(cod.header().keyExpression, "cod");
  EXPECT_EQ(cod.header().forExpression, ".NOT.DELETED()");
  EXPECT_EQ(cod.header().keyLength, 4);
  Walk w = walk(cod);
  EXPECT_EQ(w.keys, std::vector<std::string>{"0001"});
  EXPECT_EQ(w.records, std::vector<uint32_t>{1});
  IndexTree name;
  ASSERT_EQ(cdx.openTag("DENUMIRE", KeyType::Character, name), StatusOk);
  EXPECT_EQ(name.header().keyExpression, "denumire");
  EXPECT_EQ(name.header().keyLength, 36);
  w = walk(name);
  ASSERT_EQ(w.keys.size(), 1u);
  EXPECT_EQ(w.keys[0], "AGENTUL" + std::string(29, ' '));
  EXPECT_EQ(w.records, std::vector<uint32_t>{1});
}

}  // namespace
