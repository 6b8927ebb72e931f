// The text of a measurement in a document unit, for the kinds of value a
// track log consists of, made without printf: a track log of a million
// points holds six million of them, and printf's floating-point path
// dominates the cost of the whole document otherwise. The text is the same,
// byte for byte, as CGpsDataValue::Format gives (the tests compare the two
// over wide ranges of values); every other kind is left to Format.
#pragma once

#include <cstddef>

class CGpsDataValue;

// Room a caller provides for the text.
inline constexpr size_t kQvxValueTextSize = 80;

// Writes the text of value in unit to buffer (kQvxValueTextSize bytes, no
// terminating zero) and returns its length; 0 when value is of a kind this
// function leaves to Format.
size_t FormatQvxValueText(const CGpsDataValue& value, int unit, char* buffer);
