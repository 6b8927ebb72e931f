#include "threads/ThreadRxFile.h"

#include <cstdio>

#include "import/ImportReader.h"
#include "resources/StringIds.h"
#include "resources/StringTable.h"
#include "threads/StatusText.h"
#include "util/TraceLog.h"
#include "util/Util.h"

namespace {

// Raw: the error list escapes its entries.
std::string WithLine(const char* pattern, const std::string& message, unsigned line) {
  const int needed = std::snprintf(nullptr, 0, pattern, message.c_str(), line);
  if (needed <= 0) return {};
  std::string text(static_cast<size_t>(needed) + 1, '\0');
  std::snprintf(text.data(), text.size(), pattern, message.c_str(), line);
  text.resize(static_cast<size_t>(needed));
  return text;
}

}  // namespace

CThreadRxFile::CThreadRxFile() : CThread(THREAD_TYPE_RXFILE) {}

CThreadRxFile::~CThreadRxFile() {
  // The worker uses this object's list and reader until it returns.
  RequestAbort();
  WaitForThread(std::chrono::seconds(30));
}

bool CThreadRxFile::StartThread(CMessageWindow* owner) {
  if (!_CanStart(owner, "RX file thread is already running.")) return false;
  return _LaunchThread(&CThreadRxFile::ThreadProc);
}

void CThreadRxFile::ResetThread() {
  if (!_CanReset("CThreadRxFile::ResetThread(): RX file thread is running.")) return;
  m_statusList.Clear();
  CThread::ResetThread();
}

void CThreadRxFile::SetImportedData(std::unique_ptr<CXmlFileReader> reader) {
  m_imported = std::move(reader);
}

CGpsDataSet* CThreadRxFile::GetImportedData() const {
  return m_imported ? &m_imported->GetData() : nullptr;
}

void CThreadRxFile::_ReportUnfinishedRun(const std::string& reason) {
  const std::string text = CUtil::BuildErrorList(LoadString(IDS_ERR_INTERNAL), 0, reason, 0, std::string());
  m_statusList.SetLast(STATUS_ERROR, text);
  _PostUpdate(THREAD_UPD_STATUS);
  LogWrite(LOG_INFO, "RX file thread terminated.");
}

void CThreadRxFile::ThreadProc(void* param) {
  LogWrite(LOG_INFO, "RxFile ThreadProc()");
  if (param == nullptr) return;
  static_cast<CThreadRxFile*>(param)->_Run();
}

void CThreadRxFile::_Run() {
  _SetResult(1);
  _SetStatus(THREAD_RUNNING);
  LogWrite(LOG_INFO, "RX file thread started.");

  const std::string path = m_importPath;
  const std::string extension = GetImportExtension(path);
  std::unique_ptr<CXmlFileReader> reader = CreateImportReader(path);
  if (!reader) {
    _SetResult(0);
    m_statusList.SetLast(STATUS_ERROR, FillStatusText("Unsupported import file format: %s", extension));
    _PostUpdate(THREAD_UPD_STATUS);
  } else {
    std::string text;
    if (reader->ParseFile(path) != 0) {
      if (reader->GetErrorText().empty()) {
        m_statusList.SetLast(STATUS_DONE, "Data file successfully imported");
        SetImportedData(std::move(reader));
      } else {
        text = FillStatusText("Error importing %s file.", extension) +
               CUtil::BuildErrorList("", 0,
                                     WithLine("%s (line %u)", reader->GetErrorText(), reader->GetErrorLine()),
                                     0, std::string());
      }
    } else if (reader->GetFailure() == EXmlParseFailure::OpenFailed) {
      text = "Unable to open file" + CUtil::BuildErrorList("", 0, path, 0, std::string());
    } else {
      text = FillStatusText("Error importing %s file.", extension) +
             CUtil::BuildErrorList(
                 "", 0,
                 WithLine("Invalid XML: %s (line %u)", reader->GetXmlErrorText(), reader->GetXmlErrorLine()),
                 0, std::string());
    }
    if (!text.empty()) {
      m_statusList.SetLast(STATUS_ERROR, text);
      _PostUpdate(THREAD_UPD_STATUS);
      reader.reset();
      _SetResult(0);
    }
  }
  _PostUpdate(THREAD_UPD_STATUS);
  _SetStatus(THREAD_TERMINATED);
  _PostUpdate(THREAD_UPD_COMPLETE);
}
