// Byte-for-byte comparison of a written document with its checked-in golden
// copy under tests/data/document. With QV_UPDATE_GOLDEN=1 in the environment
// the golden copy is rewritten instead; a changed golden file must be
// explained in the commit that changes it.
#pragma once

#include <string>

namespace qvtest {

// Compares actual with tests/data/document/<name>; reports the first line
// that differs.
void ExpectGoldenFile(const std::string& name, const std::string& actual);

}  // namespace qvtest
