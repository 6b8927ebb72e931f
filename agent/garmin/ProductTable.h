// The protocols of receivers that do not report their own (no A001 protocol
// array): one row per product and software version from which the row holds.
#pragma once

#include <cstddef>
#include <cstdint>

#include "garmin/ProtocolTag.h"

constexpr size_t PRODUCT_TABLE_TAGS = 15;

struct ProductTableRow {
  int16_t productId;
  int16_t minVersion;                    // hundredths: 301 = 3.01
  ProtocolTag tags[PRODUCT_TABLE_TAGS];  // unused trailing slots are {0, 0}
};

// Rows of one product are consecutive and ordered by rising minimum version.
const ProductTableRow* ProductTableRows();
size_t ProductTableSize();

// Among the rows of the product, the one with the highest minimum version
// not above `version`; nullptr when the product is not listed or every row
// of it needs a newer version.
const ProductTableRow* FindProductTableRow(int16_t productId, int16_t version);
