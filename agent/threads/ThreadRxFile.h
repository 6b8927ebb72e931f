// The import job: reads one activity file, chosen by the user or handed over
// by the desktop, with the reader its extension selects, and keeps the
// reader (and so the imported data set) for the dialog, which shows the
// imported tracks and sends them on. The job never writes a document and
// never touches the network.
//
// The dialog writes the first status line ("Reading file...") and the path
// before the start, and reads the result, the status list and the imported
// data after the completion update.
#pragma once

#include <memory>
#include <string>

#include "import/XmlFileReader.h"
#include "threads/StatusList.h"
#include "threads/Thread.h"

class CGpsDataSet;

class CThreadRxFile : public CThread {
public:
  CThreadRxFile();
  ~CThreadRxFile() override;

  // Starts a run unless one is going on; the status list is kept.
  bool StartThread(CMessageWindow* owner) override;
  // Refused (with a trace line) while a run is going on; otherwise empties
  // the status list, then the common reset. The imported data stay.
  void ResetThread() override;

  void SetImportPath(const std::string& path) { m_importPath = path; }
  const std::string& GetImportPath() const { return m_importPath; }

  // Replaces the reader held (and its data) by reader.
  void SetImportedData(std::unique_ptr<CXmlFileReader> reader);
  // The data set of the last successful import; nullptr before any.
  CGpsDataSet* GetImportedData() const;

  CStatusList& GetStatusList() { return m_statusList; }
  const CStatusList& GetStatusList() const { return m_statusList; }

  // The worker's entry point; param is the thread object.
  static void ThreadProc(void* param);

private:
  void _Run();
  void _ReportUnfinishedRun(const std::string& reason) override;

  CStatusList m_statusList;
  std::string m_importPath;
  std::unique_ptr<CXmlFileReader> m_imported;
};
