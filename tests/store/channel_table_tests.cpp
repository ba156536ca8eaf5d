#include "channel_table.h"

#include <gtest/gtest.h>

namespace chromatte {
namespace {

TEST(ChannelTable, AppendRefusesPastCapacity) {
  ChannelTable table;
  for (int i = 0; i < kMaxChannels; ++i) ASSERT_TRUE(table.Append("c" + std::to_string(i), "", 0));
  EXPECT_FALSE(table.Append("extra", "", 0));
  EXPECT_EQ(kMaxChannels, table.count);

  // Room made by a removal is usable again, and only once.
  std::bitset<kMaxChannels> marked;
  marked.set(0);
  table.RemoveMarked(marked);
  EXPECT_TRUE(table.Append("again", "", 0));
  EXPECT_FALSE(table.Append("extra", "", 0));
  EXPECT_EQ(kMaxChannels, table.count);
  EXPECT_EQ("again", table.names[kMaxChannels - 1]);
}

// Equal and case-equal names must not make a removal take the wrong entry:
// the passwords tell the entries apart.
TEST(ChannelTable, RemoveMarkedTakesExactlyTheMarkedEntries) {
  ChannelTable table;
  const char* const names[] = {"chat", "Chat", "chat", "autre", "CHAT", "chat"};
  for (int i = 0; i < 6; ++i) table.Append(names[i], "p" + std::to_string(i), static_cast<ColorRef>(i));
  std::bitset<kMaxChannels> marked;
  marked.set(2).set(4).set(5);
  marked.set(kMaxChannels - 1);  // beyond the count: ignored
  table.RemoveMarked(marked);

  ASSERT_EQ(3, table.count);
  const char* const kept[] = {"p0", "p1", "p3"};
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(kept[i], table.passwords[i]);
    EXPECT_EQ(static_cast<ColorRef>(kept[i][1] - '0'), table.colors[i]);
  }
  EXPECT_EQ("Chat", table.names[1]);
}

TEST(ChannelTable, LookupsAreExactAndTakeTheFirstMatch) {
  ChannelTable table;
  table.Append("Chat", "a", 1);
  table.Append("chat", "b", 2);
  table.Append("chat", "c", 3);
  EXPECT_EQ(1, table.FindByName("chat"));
  EXPECT_EQ(3, table.FindByName("CHAT"));
}

}  // namespace
}  // namespace chromatte
