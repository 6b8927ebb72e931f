// The two choice pages: received activities to send to the service (page
// 110) and imported tracks to send to a receiver (page 193). Rows are
// numbered by position in the data ("check3" is the third segment or track,
// whether or not earlier ones got a row), so the readers find each row's
// boxes by walking the data in the same order. Rows are sorted newest first.
#pragma once

class CGpsDataSet;
class CHtmlView;

// Replaces "ActivityTable"; checks "CheckAll" when every segment is included.
void BuildActivityTable(CHtmlView& view, const CGpsDataSet& data);
// Stores each row's box into its segment's included flag; true when any is checked.
bool ReadActivityChoices(CHtmlView& view, CGpsDataSet& data);

// Replaces "TrackTable"; checks "CheckAll" when every track with points is included.
void BuildTrackTable(CHtmlView& view, const CGpsDataSet& data);
// Includes or excludes each track and takes its name from the row's text
// field; true when any is checked.
bool ReadTrackChoices(CHtmlView& view, CGpsDataSet& data);
