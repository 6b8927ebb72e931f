// Reads a written document back with Expat, the parser the service side and
// our own importer use, so that "well-formed" means what a real reader says.
#pragma once

#include <string>
#include <vector>

namespace qvtest {

struct CParsedXml {
  bool wellFormed = false;
  std::string error;  // Expat's message and line when not well-formed
  // Start tags in document order, each as the element name followed by
  // " name=value" for every attribute, as Expat reports them (UTF-8).
  std::vector<std::string> elements;
  // The character data of the whole document, concatenated.
  std::string text;
};

CParsedXml ParseXml(const std::string& document);

}  // namespace qvtest
