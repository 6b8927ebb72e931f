// The exchange document sent to the service after a retrieval: the units and
// device dictionaries, one event per activity (the legs of a multisport
// activity share one), each activity with its time samples and segments, and
// the user profiles with their heart-rate zones. Workouts, occurrences,
// limits and courses are not part of it. CGpsDevice::CreateQvxFile writes
// the document of a device's data set through this class.
#pragma once

#include <string>

#include "document/QvxWriter.h"
#include "platform/Win32Errors.h"

class CGpsDataSet;
class CGpsDataTrack;
class CGpsDataProfile;

class CQvxDocument {
public:
  CQvxDocument() = default;

  // Writes the document for data to path, replacing any file there. False
  // when the file cannot be created (error text 3524) or a write fails (error
  // text 3525); a partly written file is left for the caller to delete.
  bool Create(const CGpsDataSet& data, const char* path);

  // HRESULT form of the system error behind the last failure; 0 when none.
  HRESULT GetErrorCode() const { return m_errorCode; }
  // String-table number of the text that goes with it; 0 when none.
  unsigned GetErrorId() const { return m_errorId; }

private:
  bool _WriteHeader();
  bool _WriteUnitsDictionary();
  bool _WriteDeviceDictionary();
  bool _WriteTracks();
  // Opens an event for track unless it continues a multisport activity whose
  // event is open; tells whether the event ends with this activity.
  bool _OpenEvent(const CGpsDataTrack& track, bool& closeAfter);
  bool _WriteProfile(const CGpsDataProfile& profile);
  void _SetError(unsigned messageId);

  CQvxWriter m_writer;
  const CGpsDataSet* m_data = nullptr;
  bool m_eventOpen = false;
  HRESULT m_errorCode = S_OK;
  unsigned m_errorId = 0;
};
