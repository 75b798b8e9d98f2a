// The node layer: items move around the trailing pointer, and a node read
// from a file is checked against its tag's geometry.
#include <gtest/gtest.h>

#include "index/mdx_nodes.h"

namespace orvex::test {
namespace {

TEST(Nodes, InsertAndRemoveKeepTheTrailingPointer) {
  const NodeGeometry g{4, 8, 3};
  Block block{};
  NodeView v(block, g);
  v.SetTrailing(77);
  const std::uint8_t b[] = "bbbb", a[] = "aaaa", c[] = "cccc";
  v.Append(2, b);
  v.Insert(0, 1, a);
  EXPECT_TRUE(v.HasRoom());
  v.Append(3, c);
  EXPECT_FALSE(v.HasRoom());
  ASSERT_EQ(v.Count(), 3);
  EXPECT_EQ(v.Pointer(0), 1u);
  EXPECT_EQ(v.Pointer(2), 3u);
  EXPECT_EQ(v.Trailing(), 77u);
  EXPECT_EQ(v.Child(3), 77u);
  EXPECT_EQ(v.Entries(), 4);
  v.Remove(1);
  ASSERT_EQ(v.Count(), 2);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(v.Key(1)), 4), "cccc");
  EXPECT_EQ(v.Trailing(), 77u);
  EXPECT_EQ(Get32(v.Item(2) + 4), 0u);  // nothing left behind the trailing pointer
}

TEST(Nodes, CheckRefusesCountsBeyondTheTag) {
  const NodeGeometry g{30, 36, 28};
  Block block{};
  Put32(block.data(), 28);
  EXPECT_TRUE(CheckNode(block, g));
  Put32(block.data(), 29);
  EXPECT_FALSE(CheckNode(block, g));
  Put32(block.data(), 0xFFFFFFFFu);
  EXPECT_FALSE(CheckNode(block, g));
  EXPECT_FALSE(CheckNode(block, NodeGeometry{30, 0, 28}));
}

}  // namespace
}  // namespace orvex::test
