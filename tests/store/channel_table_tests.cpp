#include "channel_table.h"

#include <gtest/gtest.h>

namespace chromatte {
namespace {

TEST(ChannelTable, AppendRefusesPastCapacity) {
  ChannelTable table;
  for (int i = 0; i < kMaxChannels; ++i) ASSERT_TRUE(table.Append("c" + std::to_string(i), "", 0));
  EXPECT_FALSE(table.Append("extra", "", 0));
  EXPECT_EQ(kMaxChannels, table.count);
}

}  // namespace
}  // namespace chromatte
