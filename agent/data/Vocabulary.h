// The service's vocabulary: the base of the codeSpace URIs that qualify the
// names of sports, workout intensities and zones in documents.
#pragma once

inline constexpr char VOCABULARY_BASE_URI[] = "http://www.tavelnor.com/vocabulary";
