// One measurement of a point, a lap or a profile as a line (or, for a zone,
// a small element) of the exchange document.
#pragma once

class CQvxWriter;
class CGpsDataValue;

// Writes value as the element its quantity and modifier call for, in the
// unit the document uses for that quantity. A value that cannot be given in
// that unit is left out without a trace. The result of the write is not
// reported: a failure surfaces when the writer is closed.
void WriteQvxMeasurement(CQvxWriter& writer, const CGpsDataValue& value);

// Writes a zone: a measurementZone holding its name and its low and high
// bounds, or, for a zone given only by number, a reference to the zone it
// names.
void WriteQvxZone(CQvxWriter& writer, const CGpsDataValue& value);
