// The product table: its shape and the row chosen for a product and version.
#include <gtest/gtest.h>

#include <string>

#include "garmin/ProductTable.h"

namespace {

std::string TagsOf(const ProductTableRow& row) {
  std::string text;
  for (const ProtocolTag& tag : row.tags) {
    if (tag.letter == 0) break;
    if (!text.empty()) text += ' ';
    text += FormatProtocolTag(tag);
  }
  return text;
}

TEST(ProductTable, HasFiftyThreeOrderedRows) {
  ASSERT_EQ(ProductTableSize(), 53u);
  const ProductTableRow* rows = ProductTableRows();
  for (size_t i = 1; i < ProductTableSize(); ++i) {
    SCOPED_TRACE(i);
    const ProductTableRow& a = rows[i - 1];
    const ProductTableRow& b = rows[i];
    EXPECT_TRUE(a.productId < b.productId || (a.productId == b.productId && a.minVersion < b.minVersion));
  }
  for (size_t i = 0; i < ProductTableSize(); ++i) {
    SCOPED_TRACE(rows[i].productId);
    // Every row starts with the physical and link protocols; unused slots are empty.
    EXPECT_EQ(rows[i].tags[0], (ProtocolTag{'P', 0}));
    EXPECT_EQ(rows[i].tags[1].letter, 'L');
    bool ended = false;
    for (const ProtocolTag& tag : rows[i].tags) {
      if (tag.letter == 0) {
        ended = true;
        EXPECT_EQ(tag.number, 0);
      } else {
        EXPECT_FALSE(ended);
      }
    }
  }
}

TEST(ProductTable, ChoosesTheNewestRowTheVersionReaches) {
  struct Case {
    const char* legend;
    int16_t product;
    int16_t version;
    int16_t rowVersion;  // -1: not found
    const char* tags;
  };
  const Case cases[] = {
      {"77 at 3.55 takes the 3.50 row", 77, 355, 350,
       "P0000 L0001 A0010 A0100 D0103 A0200 D0201 D0103 A0300 D0300 A0500 D0501 D0310"},
      {"77 at 3.00 takes the 0.00 row", 77, 300, 0,
       "P0000 L0001 A0010 A0100 D0100 A0200 D0201 D0100 A0300 D0300 A0400 D0400 A0500 D0501 D0310"},
      {"77 at 3.01 exactly", 77, 301, 301, nullptr},
      {"77 at 3.61", 77, 361, 361, nullptr},
      {"77 far beyond", 77, 9999, 361, nullptr},
      {"39 below 3.00 is not listed", 39, 299, -1, nullptr},
      {"39 at 3.00", 39, 300, 300, nullptr},
      {"29 at 3.99", 29, 399, 0, nullptr},
      {"29 at 4.00", 29, 400, 400, nullptr},
      {"first row", 7, 0, 0, "P0000 L0001 A0010 A0100 D0100 A0200 D0200 D0100 A0500 D0500"},
      {"last row", 112, 250, 0, nullptr},
      {"L002 receiver", 20, 100, 0,
       "P0000 L0002 A0011 A0100 D0150 A0200 D0201 D0150 A0400 D0450 A0500 D0500"},
      {"unknown product", 484, 350, -1, nullptr},
      {"negative version", 7, -1, -1, nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.legend);
    const ProductTableRow* row = FindProductTableRow(c.product, c.version);
    if (c.rowVersion < 0) {
      EXPECT_EQ(row, nullptr);
      continue;
    }
    ASSERT_NE(row, nullptr);
    EXPECT_EQ(row->productId, c.product);
    EXPECT_EQ(row->minVersion, c.rowVersion);
    if (c.tags != nullptr) {
      EXPECT_EQ(TagsOf(*row), c.tags);
    }
  }
}

TEST(ProtocolTag, ReadsThreeWireBytesAndPrintsLikeTheTrace) {
  const uint8_t wire[] = {'A', 0xE8, 0x03, 'D', 0x10, 0x27, 0, 0, 0};
  EXPECT_EQ(ReadProtocolTag(wire, 0), (ProtocolTag{'A', 1000}));
  EXPECT_EQ(ReadProtocolTag(wire, 3), (ProtocolTag{'D', 10000}));
  EXPECT_EQ(FormatProtocolTag(ReadProtocolTag(wire, 0)), "A1000");
  EXPECT_EQ(FormatProtocolTag(ReadProtocolTag(wire, 3)), "D10000");
  EXPECT_EQ(FormatProtocolTag(ReadProtocolTag(wire, 6)), "O0000");
  EXPECT_EQ(FormatProtocolTag({'L', 1}), "L0001");
}

}  // namespace
