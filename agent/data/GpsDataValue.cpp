#include "data/GpsDataValue.h"

#include <new>

CGpsDataValue::CGpsDataValue(int quantity, int modifier, int unit) noexcept
    : m_quantity(_Code(quantity)), m_modifier(_Code(modifier)), m_unit(_Code(unit)) {}

CGpsDataValue::~CGpsDataValue() {
  // Texts of an arena measurement belong to the arena; a heap measurement
  // (a clone) owns its own.
  CGpsDataValueTexts* texts = _Texts();
  if (texts != nullptr && texts->arena == nullptr) delete texts;
}

bool CGpsDataValue::SetFloat(int, float) {
  return false;
}
bool CGpsDataValue::SetUnit(int) {
  return false;
}
std::string CGpsDataValue::FormatComponent(int, int) const {
  return std::string();
}
bool CGpsDataValue::GetComponentFloat(int, int, float*) const {
  return false;
}
bool CGpsDataValue::GetComponentInt(int, int, int*) const {
  return false;
}
bool CGpsDataValue::GetPairFloat(int, float*, float*) const {
  return false;
}
bool CGpsDataValue::GetFloat(int, float*) const {
  return false;
}
bool CGpsDataValue::GetPairInt(int, int*, int*) const {
  return false;
}
bool CGpsDataValue::GetInt(int, int*) const {
  return false;
}
bool CGpsDataValue::GetUnixTime(int, int64_t*) const {
  return false;
}
bool GetEndFromDuration(const CGpsDataValue& start, const CGpsDataValue& duration, int64_t* out) {
  int64_t startTime = 0;
  int storedUnix = 0;
  int seconds = 0;
  if (out == nullptr) return false;
  if (!start.GetUnixTime(0, &startTime)) {
    if (!start.GetInt(UNIT_UNIXTIME, &storedUnix)) return false;
    startTime = storedUnix;
  }
  if (!duration.GetInt(UNIT_SECONDS, &seconds)) return false;
  *out = startTime + seconds;
  return true;
}

std::string CGpsDataValue::Format(int) const {
  return std::string();
}

namespace {
const std::string& EmptyText() {
  static const std::string empty;
  return empty;
}
}  // namespace

const std::string& CGpsDataValue::GetId() const {
  const CGpsDataValueTexts* texts = _Texts();
  return texts != nullptr ? texts->id : EmptyText();
}

const std::string& CGpsDataValue::GetName() const {
  const CGpsDataValueTexts* texts = _Texts();
  return texts != nullptr ? texts->name : EmptyText();
}

const std::string& CGpsDataValue::GetCodeSpace() const {
  const CGpsDataValueTexts* texts = _Texts();
  return texts != nullptr ? texts->codeSpace : EmptyText();
}

const std::string& CGpsDataValue::GetReference() const {
  const CGpsDataValueTexts* texts = _Texts();
  return texts != nullptr ? texts->reference : EmptyText();
}

bool CGpsDataValue::SetId(const std::string& text) {
  return _SetText(&CGpsDataValueTexts::id, text);
}
bool CGpsDataValue::SetName(const std::string& text) {
  return _SetText(&CGpsDataValueTexts::name, text);
}
bool CGpsDataValue::SetCodeSpace(const std::string& text) {
  return _SetText(&CGpsDataValueTexts::codeSpace, text);
}
bool CGpsDataValue::SetReference(const std::string& text) {
  return _SetText(&CGpsDataValueTexts::reference, text);
}

CGpsDataValueTexts* CGpsDataValue::_MutableTexts() {
  CGpsDataValueTexts* texts = _Texts();
  if (texts != nullptr) return texts;
  auto* arena = reinterpret_cast<CGpsDataArena*>(m_extra);
  texts = arena != nullptr ? arena->New<CGpsDataValueTexts>() : new (std::nothrow) CGpsDataValueTexts();
  if (texts == nullptr) return nullptr;
  texts->arena = arena;
  m_extra = reinterpret_cast<uintptr_t>(texts) | 1u;
  return texts;
}

bool CGpsDataValue::_SetText(std::string CGpsDataValueTexts::*field, const std::string& text) {
  // An empty text and a missing one are the same.
  if (text.empty() && _Texts() == nullptr) return true;
  CGpsDataValueTexts* texts = _MutableTexts();
  if (texts == nullptr) return false;
  try {
    texts->*field = text;
  } catch (const std::bad_alloc&) {
    return false;
  }
  return true;
}
